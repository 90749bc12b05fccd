// Runs the built tool in a temporary folder and compares its standard output,
// exit status and chapter file byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "e2e/end_to_end.h"
#include "test_support.h"
#include "wave_bytes.h"

namespace hushmark {
namespace {

namespace fs = std::filesystem;

// Skips the calling test where a locale it needs is missing. A macro, since
// GTEST_SKIP() returns only from the function that uses it.
#define SKIP_WITHOUT_LOCALE(name)       \
  if (!testing::locale_installed(name)) \
  GTEST_SKIP() << (name) << " is not installed"

using testing::loud;
using testing::quiet;
using testing::read_file;
using testing::run_tool;
using testing::WaveBytes;
using testing::write_file;

constexpr char kTalkChapters[] =
    "00:00:01.257\r\n00:00:02.624\r\n00:00:04.461\r\n00:00:06.794\r\n";

// A folder holding a copy of the bundled recording as talk.wav.
class Talk : public testing::EndToEnd {
 protected:
  void SetUp() override {
    fs::copy_file(fs::path(HUSHMARK_EXAMPLES) / "talk.wav", dir_ / "talk.wav");
    original_ = read_file(dir_ / "talk.wav");
  }
  void TearDown() override {
    EXPECT_EQ(read_file(dir_ / "talk.wav"), original_);
  }
  std::string original_;
};

TEST_F(Talk, WritesItsChaptersUnderCAndJapaneseUtf8) {
  for (const char* lang : {"C.UTF-8", "ja_JP.UTF-8", "C", "POSIX"}) {
    if (!testing::locale_installed(lang)) continue;
    testing::ToolRun run = run_tool(dir_.path(), {"-i", "talk.wav"}, lang);
    EXPECT_EQ(run.status, 0) << lang;
    EXPECT_EQ(run.out,
              "infile = talk.wav\noutfile = talk_chapter.txt\n"
              "00:00:01.257  0.600秒\n00:00:02.624  0.300秒\n"
              "00:00:04.461  1.500秒\n00:00:06.794  1.000秒\n")
        << lang;
    EXPECT_EQ(read_file(dir_ / "talk_chapter.txt"), kTalkChapters) << lang;
  }
}

TEST_F(Talk, PlacesPointsInTheMiddleOrAtTheEnd) {
  testing::ToolRun middle =
      run_tool(dir_.path(), {"-p", "1", "-i", "talk.wav", "-o", "m.txt"});
  EXPECT_EQ(middle.status, 0);
  EXPECT_EQ(read_file(dir_ / "m.txt"),
            "00:00:01.557\r\n00:00:02.774\r\n00:00:05.211\r\n00:00:07.294\r\n");
  testing::ToolRun end =
      run_tool(dir_.path(), {"-i", "talk.wav", "-p2", "-m", "700", "-oe.txt"});
  EXPECT_EQ(end.status, 0);
  EXPECT_EQ(
      end.out,
      "infile = talk.wav\noutfile = e.txt\n無音時間が700ms以上で区切ります。\n"
      "00:00:05.961  1.500秒\n00:00:07.794  1.000秒\n");
  EXPECT_EQ(read_file(dir_ / "e.txt"), "00:00:05.961\r\n00:00:07.794\r\n");
}

TEST_F(Talk, SpeaksTheLocalesEncoding) {
  SKIP_WITHOUT_LOCALE("ja_JP.EUC-JP");
  testing::ToolRun run = run_tool(
      dir_.path(), {"-i", "talk.wav", "-s", "2", "-m", "300"}, "ja_JP.EUC-JP");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "infile = talk.wav\noutfile = talk_chapter.txt\n"
            "\xcc\xb5\xb2\xbb\xc8\xcf\xb0\xcf:2\n"
            "\xcc\xb5\xb2\xbb\xbb\xfe\xb4\xd6\xa4\xac"
            "300ms\xb0\xca\xbe\xe5\xa4\xc7"
            "\xb6\xe8\xc0\xda\xa4\xea\xa4\xde\xa4\xb9\xa1\xa3\n"
            "00:00:01.257  0.600\xc9\xc3\n00:00:02.624  0.300\xc9\xc3\n"
            "00:00:04.461  1.500\xc9\xc3\n00:00:06.794  1.000\xc9\xc3\n");
  EXPECT_EQ(read_file(dir_ / "talk_chapter.txt"), kTalkChapters);
  // The usage's fullwidth tilde takes its three-byte form.
  testing::ToolRun help = run_tool(dir_.path(), {"-h"}, "ja_JP.EUC-JP");
  EXPECT_EQ(help.status, 1);
  EXPECT_NE(help.out.find("(0\x8f\xa2\xb7"
                          "32767)"),
            std::string::npos);
}

TEST_F(Talk, UsesTheLocalesDecimalSeparatorForLengthsOnly) {
  SKIP_WITHOUT_LOCALE("de_DE.UTF-8");
  testing::ToolRun run =
      run_tool(dir_.path(), {"-i", "talk.wav"}, "de_DE.UTF-8");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "infile = talk.wav\noutfile = talk_chapter.txt\n"
            "00:00:01.257  0,600秒\n00:00:02.624  0,300秒\n"
            "00:00:04.461  1,500秒\n00:00:06.794  1,000秒\n");
  EXPECT_EQ(read_file(dir_ / "talk_chapter.txt"), kTalkChapters);
}

TEST_F(Talk, FindsTheSamePointsInWaveThatFfmpegWritesToAPipe) {
  SKIP_WITHOUT("ffmpeg");
  // A compressed copy, turned back into 16-bit stereo on the way in.
  ASSERT_TRUE(
      testing::run_in(dir_, "ffmpeg -nostdin -v error -i talk.wav talk.flac"));
  EXPECT_TRUE(testing::run_in(
      dir_,
      "ffmpeg -nostdin -v error -i talk.flac -ac 2 -ar 44100 -c:a pcm_s16le "
      "-f wav - | LANG=C.UTF-8 " HUSHMARK_BINARY
      " -i /dev/stdin -o piped.txt > console.txt"));
  EXPECT_EQ(read_file(dir_ / "piped.txt"), kTalkChapters);
  std::string console = read_file(dir_ / "console.txt");
  EXPECT_TRUE(
      console.ends_with("00:00:01.257  0.600秒\n00:00:02.624  0.300秒\n"
                        "00:00:04.461  1.500秒\n00:00:06.794  1.000秒\n"))
      << console;
}

class Cli : public testing::EndToEnd {};

TEST_F(Cli, EndsAPipedDataChunkOfPlaceholderSizeWhereTheStreamEnds) {
  // One point, then a silence still open and half a frame.
  const std::string frames =
      testing::frames_of({loud(1), quiet(800), loud(1), quiet(5)}) + "\x01\x02";
  const struct {
    std::uint32_t declared;
    bool piped;
    const char* tail;
  } cases[] = {
      {0xFFFFFFFF, true, ""},  // ffmpeg
      {0x7FFFF000, true, ""},  // espeak-ng
      {0x7FFFEFFF, true, "データ読み取りに失敗\n"},
      {0xFFFFFFFF, false, "データ読み取りに失敗\n"},
      {0x7FFFF000, false, "データ読み取りに失敗\n"},
  };
  for (const auto& c : cases) {
    WaveBytes w;
    const std::string wave = w.fmt_raw(1, 2, 16000, 16)
                                 .raw("data")
                                 .u32(c.declared)
                                 .raw(frames)
                                 .bytes();
    write_file(dir_ / "in.wav", wave);
    const char* in = c.piped ? "/dev/stdin" : "in.wav";
    testing::ToolRun run = run_tool(dir_.path(), {"-i", in, "-o", "c.txt"},
                                    "C.UTF-8", {}, c.piped ? &wave : nullptr);
    EXPECT_EQ(run.status, *c.tail ? 1 : 0) << c.declared << c.piped;
    EXPECT_EQ(run.out, "infile = " + std::string(in) +
                           "\noutfile = c.txt\n00:00:00.000  0.200秒\n" +
                           c.tail)
        << c.declared << c.piped;
    EXPECT_EQ(read_file(dir_ / "c.txt"), "00:00:00.000\r\n");
  }
}

// /dev/stdout and /dev/fd/N name a descriptor the shell set up; writing
// there must neither empty a log it appends to nor overwrite the console.
TEST_F(Cli, WritesToTheDescriptorThatDevStdoutNames) {
  fs::copy_file(fs::path(HUSHMARK_EXAMPLES) / "talk.wav", dir_ / "talk.wav");
  const std::string console =
      "infile = talk.wav\noutfile = /dev/stdout\n"
      "00:00:01.257  0.600秒\n00:00:02.624  0.300秒\n"
      "00:00:04.461  1.500秒\n00:00:06.794  1.000秒\n";
  const std::string tools[] = {HUSHMARK_BINARY, HUSHMARK_CHAPTERS_BINARY};
  for (const std::string& tool : tools) {
    write_file(dir_ / "log.txt", "earlier\n");
    ASSERT_TRUE(testing::run_in(
        dir_, "env LANG=C.UTF-8 '" + tool +
                  "' -i talk.wav -m 200 -o /dev/stdout >>log.txt && '" + tool +
                  "' -i talk.wav -m 200 -o /dev/fd/3 3>fd.txt >/dev/null"))
        << tool;
    std::string log = read_file(dir_ / "log.txt");
    if (tool == HUSHMARK_BINARY) {
      // The chapter lines go out as they are found, the console's at the end.
      EXPECT_EQ(log, "earlier\n" + std::string(kTalkChapters) + console);
      EXPECT_EQ(read_file(dir_ / "fd.txt"), kTalkChapters);
    } else {
      // The file goes out whole, after the console's lines.
      EXPECT_TRUE(log.starts_with("earlier\ninfile = talk.wav\n")) << log;
      EXPECT_TRUE(log.ends_with("00:00:06.794 Chapter 5\n")) << log;
      EXPECT_TRUE(
          read_file(dir_ / "fd.txt").starts_with("00:00:00.000 Chapter 1\n"));
    }
  }
}

TEST_F(Cli, EndsWithStatusOneWhenItCannotRun) {
  testing::ToolRun none = run_tool(dir_.path(), {});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out, "WAVEファイルを指定してください。\n");
  testing::ToolRun cut = run_tool(dir_.path(), {"-i", "a.wav", "-p", "-1"});
  EXPECT_EQ(cut.status, 1);
  EXPECT_EQ(cut.out, "区切り位置(-p)は0,1,2で指定してください。\n");
  testing::ToolRun help = run_tool(dir_.path(), {"-p", "9", "-h"});
  EXPECT_EQ(help.status, 1);
  EXPECT_TRUE(help.out.starts_with("hushmark 無音区切り v0.02 \n")) << help.out;
  testing::ToolRun missing = run_tool(dir_.path(), {"-i", "a.wav", "-x"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out,
            "infile = a.wav\noutfile = "
            "a_chapter.txt\nWAVEファイルを開けませんでした。\n");
  EXPECT_NE(missing.err.find("invalid option"), std::string::npos);
  EXPECT_TRUE(fs::is_empty(dir_.path()));
}

testing::ToolRun run_named(const std::string& name, const fs::path& folder,
                           const std::vector<std::string>& args) {
  if (name == "hushmark-probe") return testing::run_probe(folder, args);
  if (name == "hushmark-chapters") return testing::run_chapters(folder, args);
  return run_tool(folder, args);
}

// What the option tests cannot see: the exit status, and that a long option
// draws no word of the C library's own on standard error.
TEST_F(Cli, AnswerVersionAndRefuseOtherLongOptionsAsEachProgram) {
  for (const std::string name :
       {"hushmark", "hushmark-probe", "hushmark-chapters"}) {
    auto run = [&](const std::vector<std::string>& args, const fs::path& at) {
      return run_named(name, at, args);
    };
    const testing::ToolRun version = run({"--version"}, dir_.path());
    EXPECT_EQ(version.status, 0) << name;
    EXPECT_EQ(version.out, name + " v0.02\n");
    EXPECT_EQ(version.err, "");
    const testing::ToolRun help = run({"--help"}, dir_.path());
    EXPECT_EQ(help.status, 0) << name;
    EXPECT_EQ(help.out, run({"-h"}, dir_.path()).out);
    const testing::ToolRun other =
        run({"-j", "--hex", "-i", "a.wav"}, dir_.path());
    EXPECT_EQ(other.status, 1) << name;
    EXPECT_EQ(other.out,
              "--hex は使えません。指定は -i のような1文字で、一覧は -h "
              "で見られます。\n");
    // One line, glibc's, for the short option alone.
    EXPECT_TRUE(other.err.ends_with("/" + name + ": invalid option -- 'j'\n") &&
                other.err.find('\n') + 1 == other.err.size())
        << other.err;
  }
  EXPECT_TRUE(fs::is_empty(dir_.path()));
}

TEST_F(Cli, FailsWhenTheChapterFileCannotBeWritten) {
  WaveBytes w;
  write_file(dir_ / "a.wav",
             w.fmt(44100).data({loud(1), quiet(8820), loud(1)}).bytes());
  testing::ToolRun run =
      run_tool(dir_.path(), {"-i", "a.wav", "-o", "/dev/full"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "infile = a.wav\noutfile = /dev/full\n00:00:00.000  0.200秒\n"
            "CHAPTERファイルを書き出しできませんでした。\n");
}

TEST_F(Cli, OpensExactlyTheFileNamedWhateverItsBytes) {
  WaveBytes w;
  std::string wave = w.fmt(44100).data({loud(1), quiet(8820), loud(1)}).bytes();
  // Bytes that are not UTF-8, under a UTF-8 locale.
  write_file(dir_ / "caf\xff.wav", wave);
  testing::ToolRun latin = run_tool(dir_.path(), {"-i", "caf\xff.wav"});
  EXPECT_EQ(latin.status, 0);
  EXPECT_EQ(latin.out,
            "infile = caf\\xff.wav\noutfile = "
            "caf\\xff_chapter.txt\n00:00:00.000  0.200秒\n");
  EXPECT_EQ(read_file(dir_ / "caf\xff_chapter.txt"), "00:00:00.000\r\n");
  // A UTF-8 name under the C locale.
  write_file(dir_ / "講義.wav", wave);
  testing::ToolRun c = run_tool(dir_.path(), {"-i", "講義.wav"}, "C");
  EXPECT_EQ(c.status, 0);
  EXPECT_EQ(
      c.out,
      "infile = \\xe8\\xac\\x9b\\xe7\\xbe\\xa9.wav\n"
      "outfile = \\xe8\\xac\\x9b\\xe7\\xbe\\xa9_chapter.txt\n00:00:00.000  "
      "0.200秒\n");
  EXPECT_EQ(read_file(dir_ / "講義_chapter.txt"), "00:00:00.000\r\n");
  // The same name under a UTF-8 locale is shown as it is.
  testing::ToolRun utf8 =
      run_tool(dir_.path(), {"-i", "講義.wav", "-o", "講義.txt"});
  EXPECT_EQ(utf8.out,
            "infile = 講義.wav\noutfile = 講義.txt\n00:00:00.000  0.200秒\n");
  EXPECT_EQ(read_file(dir_ / "講義.txt"), "00:00:00.000\r\n");
}

TEST_F(Cli, RefusesADerivedNameThatIsTheInputItself) {
  // 1,011 characters of folders and name, then "_chapter.txt": the derived
  // chapter name is the input's own.
  std::string path;
  while (path.size() + 201 < 1011) {
    path += std::string(200, 'd') + "/";
    fs::create_directory(dir_ / path);
  }
  path += std::string(1011 - path.size(), 'n') + "_chapter.txt";
  ASSERT_EQ(path.size(), 1023u);
  WaveBytes w;
  std::string wave = w.fmt(44100).data({loud(1), quiet(8820), loud(1)}).bytes();
  write_file(dir_ / path, wave);
  testing::ToolRun run = run_tool(dir_.path(), {"-i", path});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(
      run.out.find(
          "入力ファイルと同じファイルにはCHAPTERファイルを書き出せません。\n"),
      std::string::npos);
  EXPECT_EQ(read_file(dir_ / path), wave);
}

}  // namespace
}  // namespace hushmark
