#include "cli/options.h"

#include <getopt.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "chapters/chapter_options.h"
#include "cli/echo.h"
#include "probe/probe_options.h"
#include "test_support.h"

namespace hushmark {
namespace {

using testing::CapturedConsole;

struct Parsed {
  bool ok;
  Settings settings;
  std::string console;
  OptionsOutcome outcome = OptionsOutcome::kRun;
};

// A command line for an option reader: the program's name, then args.
struct CommandLineArgs {
  std::vector<std::string> args;
  std::vector<char*> argv;

  explicit CommandLineArgs(std::vector<std::string> given)
      : args(std::move(given)) {
    args.insert(args.begin(), "hushmark");
    for (std::string& a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    optind = 0;  // start glibc's getopt afresh
    opterr = 0;
  }
  int argc() const { return static_cast<int>(args.size()); }
};

Parsed parse(std::vector<std::string> args) {
  CommandLineArgs line(std::move(args));
  Parsed p{false, {}, {}};
  CapturedConsole console;
  p.outcome = parse_options(line.argc(), line.argv.data(), p.settings,
                            console.console());
  p.ok = p.outcome == OptionsOutcome::kRun;
  p.console = console.text();
  return p;
}

// The probe's settings from these options after "-i a.wav", and its echo.
Parsed parse_probe(std::vector<std::string> args) {
  args.insert(args.begin(), {"-i", "a.wav"});
  CommandLineArgs line(std::move(args));
  Parsed p{false, {}, {}};
  std::vector<std::wstring> inputs;
  CapturedConsole console;
  p.outcome = read_probe_options(line.argc(), line.argv.data(), p.settings,
                                 inputs, console.console());
  p.ok = p.outcome == OptionsOutcome::kRun;
  if (p.ok) echo_probe_settings(p.settings, console.console());
  p.console = console.text();
  return p;
}

// hushmark-chapters' settings from these options after "-i a.wav -o a.txt",
// and its echo.
Parsed parse_chapters(std::vector<std::string> args) {
  args.insert(args.begin(), {"-i", "a.wav", "-o", "a.txt"});
  CommandLineArgs line(std::move(args));
  Parsed p{false, {}, {}};
  ChapterSettings settings;
  CapturedConsole console;
  p.outcome = read_chapter_options(line.argc(), line.argv.data(), settings,
                                   console.console());
  p.ok = p.outcome == OptionsOutcome::kRun;
  if (p.ok) echo_chapter_settings(settings, console.console());
  p.settings = settings.scan;
  p.console = console.text();
  return p;
}

TEST(ReadNumber, ReadsLikeStrtolAndClampsTo32Bits) {
  EXPECT_EQ(read_number("200"), 200);
  EXPECT_EQ(read_number("010"), 8);
  EXPECT_EQ(read_number("0x10"), 16);
  EXPECT_EQ(read_number("  -12"), -12);
  EXPECT_EQ(read_number("+7"), 7);
  EXPECT_EQ(read_number("12abc"), 12);
  EXPECT_EQ(read_number("abc"), 0);
  EXPECT_EQ(read_number(""), 0);
  EXPECT_EQ(read_number("08"), 0);
  EXPECT_EQ(read_number("5000000000"), 2147483647);
  EXPECT_EQ(read_number("-5000000000"), -2147483647 - 1);
  EXPECT_EQ(read_number("99999999999999999999999"), 2147483647);
  EXPECT_EQ(read_number("0xffffffff"), 2147483647);
}

TEST(ParseOptions, FillsSettingsInCommandLineOrder) {
  Parsed p = parse({"-i", "a.wav", "-s", "0x10", "-m", "010", "-p", "1", "-o",
                    "c.txt", "-i", "b.wav"});
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.settings.infile, L"b.wav");
  EXPECT_EQ(p.settings.outfile, L"c.txt");
  EXPECT_EQ(p.settings.threshold, 16);
  EXPECT_EQ(p.settings.min_silence_ms, 8);
  EXPECT_EQ(p.settings.cut_position, 1);

  // Attached arguments, arguments that look like options, unknown options.
  p = parse({"-ia.wav", "-x", "-o", "-h", "-m", "abc"});
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.settings.infile, L"a.wav");
  EXPECT_EQ(p.settings.outfile, L"-h");
  EXPECT_EQ(p.settings.min_silence_ms, 0);
  EXPECT_EQ(p.console, "");
}

TEST(ParseOptions, NotesWhetherThresholdAndMinimumWereGiven) {
  Parsed p = parse({"-i", "a.wav"});
  EXPECT_FALSE(p.settings.threshold_given);
  EXPECT_FALSE(p.settings.min_silence_given);
  p = parse({"-s", "3", "-s", "4"});
  EXPECT_EQ(p.settings.threshold, 4);
  EXPECT_TRUE(p.settings.threshold_given);
  EXPECT_FALSE(p.settings.min_silence_given);
  // hushmark reads "auto" as strtol does: 0, and given.
  p = parse({"-s", "auto", "-m", "auto"});
  EXPECT_EQ(p.settings.threshold, 0);
  EXPECT_EQ(p.settings.min_silence_ms, 0);
  EXPECT_TRUE(p.settings.threshold_given && p.settings.min_silence_given);
}

TEST(ParseOptions, AutoIsNotGivenInTheProbeAndInHushmarkChapters) {
  const std::string s5 = "無音範囲:5\n", s0 = "無音範囲:0\n";
  const std::string m300 = "無音時間が300ms以上で区切ります。\n";
  const std::string m0 = "無音時間が0ms以上で区切ります。\n";
  const struct {
    std::vector<std::string> args;
    std::int32_t threshold;
    bool threshold_given;
    std::int32_t min_silence_ms;
    bool min_silence_given;
    std::string probe_echo;     // its lines for -s and -m
    std::string chapters_echo;  // likewise
  } cases[] = {
      {{}, 0, false, 200, false, "", ""},
      {{"-s", "5"}, 5, true, 200, false, s5, s5},
      {{"-s", "0"}, 0, true, 200, false, s0, ""},
      {{"-s", "auto"}, 0, false, 200, false, "", ""},
      {{"-m", "auto"}, 0, false, 200, false, "", ""},
      {{"-s", "5", "-m", "300", "-s", "auto"}, 0, false, 300, true, m300, m300},
      {{"-s", "auto", "-s", "0"}, 0, true, 200, false, s0, ""},
      {{"-m", "300", "-m", "auto", "-s", "5"}, 5, true, 200, false, s5, s5},
      {{"-m", "auto", "-m", "300"}, 0, false, 300, true, m300, m300},
      // Only the word itself: these read as numbers, as hushmark reads them.
      {{"-s", "Auto", "-m", "auto5"}, 0, true, 0, true, s0 + m0, m0},
  };
  for (const auto& c : cases) {
    for (bool probe : {true, false}) {
      const Parsed p = probe ? parse_probe(c.args) : parse_chapters(c.args);
      std::string where = probe ? "probe" : "chapters";
      for (const std::string& arg : c.args)
        where += " " + arg;
      ASSERT_TRUE(p.ok) << where;
      EXPECT_EQ(p.settings.threshold, c.threshold) << where;
      EXPECT_EQ(p.settings.threshold_given, c.threshold_given) << where;
      EXPECT_EQ(p.settings.min_silence_ms, c.min_silence_ms) << where;
      EXPECT_EQ(p.settings.min_silence_given, c.min_silence_given) << where;
      const std::string head =
          probe ? "infile = a.wav\n" : "infile = a.wav\noutfile = a.txt\n";
      EXPECT_EQ(p.console, head + (probe ? c.probe_echo : c.chapters_echo))
          << where;
    }
  }
}

TEST(ParseOptions, PermutesUnlessPosixlyCorrectAndStopsAtDoubleDash) {
  Parsed p = parse({"stray", "-i", "a.wav", "more", "-p", "2"});
  EXPECT_EQ(p.settings.infile, L"a.wav");
  EXPECT_EQ(p.settings.cut_position, 2);

  p = parse({"-i", "a.wav", "--", "-p", "2", "-h"});
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.settings.cut_position, 0);

  setenv("POSIXLY_CORRECT", "1", 1);
  p = parse({"-i", "a.wav", "stray", "-p", "2"});
  unsetenv("POSIXLY_CORRECT");
  EXPECT_EQ(p.settings.infile, L"a.wav");
  EXPECT_EQ(p.settings.cut_position, 0);
}

TEST(ParseOptions, HelpActsWhenReadAndIgnoresTheRest) {
  Parsed p = parse({"-p", "9", "-h", "-i", "a.wav"});
  EXPECT_FALSE(p.ok);
  EXPECT_TRUE(p.settings.infile.empty());
  EXPECT_EQ(p.console,
            "hushmark 無音区切り v0.02 \n"
            "usage : hushmark [options] -i input.wav -o output_chapter.txt\n"
            "  -i in.wav   入力WAVEファイル名\n"
            "  -o out.txt  出力チャプターファイル名\n"
            "\n"
            "  -s 0        無音範囲 お好みで調整(0～32767)\n"
            "  -m 200      無音時間 200ms以上無音が続けば区切る\n"
            "  -p 0        区切り位置 0=無音開始 1=中間 2=無音終了\n"
            "  -h          ヘルプ\n");
  // The banner's version is the one the build and the packages carry.
  EXPECT_TRUE(
      p.console.starts_with("hushmark 無音区切り v" HUSHMARK_VERSION " \n"));
  // "-h" as an option's argument names a file.
  p = parse({"-i", "-h"});
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.settings.infile, L"-h");
}

TEST(ParseOptions, AnswerHelpAndVersionAndRefuseOtherLongOptions) {
  using enum OptionsOutcome;
  const std::string refused =
      " は使えません。指定は -i のような1文字で、一覧は -h で見られます。\n";
  const struct {
    std::vector<std::string> args;
    OptionsOutcome outcome;
    std::string console;  // "usage" and "version" stand for the program's
  } cases[] = {
      {{"--help"}, kExitSuccess, "usage"},
      {{"--he", "-p", "9"}, kExitSuccess, "usage"},
      {{"-s", "5", "--version", "--help"}, kExitSuccess, "version"},
      {{"a.wav", "--vers"}, kExitSuccess, "version"},
      {{"--foo", "--help"}, kExitFailure, "--foo" + refused},
      {{"--help=x"}, kExitFailure, "--help=x" + refused},
      {{"---"}, kExitFailure, "---" + refused},
      {{"--verbose"}, kExitFailure, "--verbose" + refused},
      // An option's argument, and what follows "--", are no options.
      {{"-i", "--version"}, kRun, ""},
      {{"--", "--help"}, kRun, ""},
  };
  const std::pair<std::string, Parsed (*)(std::vector<std::string>)>
      programs[] = {{"hushmark", parse},
                    {"hushmark-probe", parse_probe},
                    {"hushmark-chapters", parse_chapters}};
  for (const auto& [name, read] : programs) {
    const std::string usage = read({"-h"}).console;
    for (const auto& c : cases) {
      std::string where = name;
      for (const std::string& arg : c.args)
        where += " " + arg;
      const Parsed p = read(c.args);
      EXPECT_EQ(p.outcome, c.outcome) << where;
      if (c.outcome == kRun) continue;  // the echo is tested elsewhere
      const std::string expected = c.console == "usage"     ? usage
                                   : c.console == "version" ? name + " v0.02\n"
                                                            : c.console;
      EXPECT_EQ(p.console, expected) << where;
    }
  }
}

TEST(ParseOptions, RefusesPathsTooLongForTheRecord) {
  Parsed p =
      parse({"-i", std::string(1023, 'a'), "-o", std::string(1023, 'b')});
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.settings.infile.size(), 1023u);
  for (std::size_t n : {1024u, 5000u}) {
    p = parse({"-o", std::string(n, 'b'), "-h"});
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.console, "ファイル名が長すぎます。\n");
  }
  // Each byte the locale cannot decode counts as one character and is kept.
  p = parse({"-i", "caf\xc3\xa9\xff.wav"});
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.settings.infile.size(), 10u);
}

Settings named(std::wstring infile, std::int32_t cut_position) {
  Settings s;
  s.infile = std::move(infile);
  s.cut_position = cut_position;
  return s;
}

TEST(ValidateSettings, NeedsAnInputFirstThenAValidCutPosition) {
  auto check = [](Settings s) {
    CapturedConsole console;
    bool ok = validate_settings(s, console.console());
    return std::make_pair(ok, console.text());
  };
  EXPECT_EQ(
      check({}),
      std::make_pair(false, std::string("WAVEファイルを指定してください。\n")));
  EXPECT_EQ(check(named(L"", 9)).second, "WAVEファイルを指定してください。\n");
  for (int bad : {-1, 3, -2147483647 - 1}) {
    EXPECT_EQ(
        check(named(L"a.wav", bad)),
        std::make_pair(
            false, std::string("区切り位置(-p)は0,1,2で指定してください。\n")));
  }
  for (int good : {0, 1, 2}) {
    EXPECT_TRUE(check(named(L"a.wav", good)).first);
  }
}

TEST(DeriveOutfile, ReplacesTheExtensionOfTheLastComponent) {
  auto derived = [](std::wstring in) {
    Settings s = named(std::move(in), 0);
    CapturedConsole console;
    EXPECT_TRUE(derive_outfile(s, console.console()));
    return s.outfile;
  };
  EXPECT_EQ(derived(L"talk.wav"), L"talk_chapter.txt");
  EXPECT_EQ(derived(L"talk"), L"talk_chapter.txt");
  EXPECT_EQ(derived(L"a.b.wav"), L"a.b_chapter.txt");
  EXPECT_EQ(derived(L".wav"), L"_chapter.txt");
  EXPECT_EQ(derived(L"rec.d/take1"), L"rec.d/take1_chapter.txt");
  EXPECT_EQ(derived(L"../take1"), L"../take1_chapter.txt");
  EXPECT_EQ(derived(L"rec.d/take1.wav"), L"rec.d/take1_chapter.txt");
  EXPECT_EQ(derived(L"rec/.wav"), L"rec/_chapter.txt");

  // A full stop at index 1,011 or later does not count.
  std::wstring letters(1015, L'x');
  EXPECT_EQ(derived(letters + L".wav"),
            std::wstring(1011, L'x') + L"_chapter.txt");
  EXPECT_EQ(derived(std::wstring(1010, L'x') + L".wav"),
            std::wstring(1010, L'x') + L"_chapter.txt");
  EXPECT_EQ(derived(std::wstring(1011, L'x') + L".wav"),
            std::wstring(1011, L'x') + L"_chapter.txt");
  // A long name ending in the suffix derives itself; the run refuses it later.
  std::wstring self = std::wstring(1011, L'x') + L"_chapter.txt";
  EXPECT_EQ(derived(self), self);
}

TEST(DeriveOutfile, RefusesWhenTheFolderLeavesNoRoomForTheName) {
  // Found by fuzzing: with the last separator at index 1,011 or later the cut
  // fell inside a folder name, naming a file in the folder above.
  const std::wstring folder =
      std::wstring(600, L'a') + L"/" + std::wstring(410, L'b');
  CapturedConsole console;
  Settings s = named(folder + L"/c.wav", 0);
  EXPECT_FALSE(derive_outfile(s, console.console()));
  EXPECT_EQ(s.outfile, L"");
  s = named(folder + L"b/c.wav", 0);
  EXPECT_FALSE(derive_outfile(s, console.console()));
  EXPECT_EQ(console.text(),
            "ファイル名が長すぎます。\nファイル名が長すぎます。\n");
  // A separator at index 1,010 still leaves room for the bare suffix.
  s = named(folder.substr(0, 1010) + L"/c.wav", 0);
  EXPECT_TRUE(derive_outfile(s, console.console()));
  EXPECT_EQ(s.outfile, folder.substr(0, 1010) + L"/_chapter.txt");
}

TEST(EchoSettings, ShowsThresholdAndMinimumOnlyWhenChanged) {
  auto echo = [](Settings s) {
    CapturedConsole console;
    echo_settings(s, console.console());
    return console.text();
  };
  Settings s = named(L"a.wav", 0);
  s.outfile = L"a_chapter.txt";
  EXPECT_EQ(echo(s), "infile = a.wav\noutfile = a_chapter.txt\n");
  s.threshold = 5;
  EXPECT_EQ(echo(s), "infile = a.wav\noutfile = a_chapter.txt\n無音範囲:5\n");
  s.threshold = 0;
  s.min_silence_ms = 0;
  EXPECT_EQ(echo(s),
            "infile = a.wav\noutfile = "
            "a_chapter.txt\n無音時間が0ms以上で区切ります。\n");
  s.threshold = -3;
  s.min_silence_ms = 300;
  s.infile = L"caf\xdcff";
  EXPECT_EQ(echo(s),
            "infile = caf\\xff\noutfile = a_chapter.txt\n無音範囲:-3\n"
            "無音時間が300ms以上で区切ります。\n");
}

}  // namespace
}  // namespace hushmark
