// Runs the built hushmark-probe beside hushmark: the probe's table must count
// exactly the chapter lines hushmark writes at each threshold, and it must
// share hushmark's messages and statuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "chapters/chapter_list.h"
#include "e2e/end_to_end.h"
#include "extract/ladder.h"
#include "extract/silences.h"
#include "test_support.h"
#include "wave_bytes.h"

namespace hushmark {
namespace {

namespace fs = std::filesystem;
using testing::loud;
using testing::quiet;
using testing::read_file;
using testing::run_probe;
using testing::run_tool;
using testing::WaveBytes;
using testing::write_file;

constexpr char kTableHeader[] = "    -s    dBFS  区切り数    無音の合計\n";
constexpr char kMinTableHeader[] = "    -m  区切り数    無音の合計\n";

std::size_t line_count(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// The counts column of the probe's table, one per rung.
std::vector<std::uint64_t> table_counts(const std::string& out) {
  std::vector<std::uint64_t> counts;
  std::istringstream lines(out.substr(out.find(kTableHeader)));
  std::string line;
  std::getline(lines, line);
  while (counts.size() < kRungs && std::getline(lines, line)) {
    std::istringstream row(line);
    std::string threshold, dbfs;
    std::uint64_t count;
    row >> threshold >> dbfs >> count;
    counts.push_back(count);
  }
  return counts;
}

// The threshold table and its proposal.
std::string threshold_part(const std::string& out) {
  std::size_t from = out.find(kTableHeader);
  return out.substr(from, out.find("無音時間(-m)") - from);
}

// The word after mark in the probe's output, or "" without mark.
std::string word_after(const std::string& out, const std::string& mark) {
  std::size_t at = out.find(mark);
  if (at == std::string::npos) return "";
  at += mark.size();
  return out.substr(at, out.find_first_of(" )\n", at) - at);
}

// The threshold in the probe's suggestion line.
std::string suggested_threshold(const std::string& out) {
  return word_after(out, "おすすめ: -s ");
}

// The threshold of the table by minimum silence, and its counts column.
std::string min_table_threshold(const std::string& out) {
  return word_after(out, "無音時間(-m)ごとの区切り数 (-s ");
}
std::vector<std::uint64_t> min_table_counts(const std::string& out) {
  std::vector<std::uint64_t> counts;
  std::istringstream lines(out.substr(out.find(kMinTableHeader)));
  std::string line;
  std::getline(lines, line);
  while (counts.size() < kMinRows && std::getline(lines, line)) {
    std::istringstream row(line);
    std::string min_ms;
    std::uint64_t count;
    row >> min_ms >> count;
    counts.push_back(count);
  }
  return counts;
}

// The chapter lines hushmark writes in folder with these options.
std::size_t hushmark_points(const fs::path& folder,
                            std::vector<std::string> args, int status,
                            const std::string* piped = nullptr) {
  // A run that fails before its first point keeps an earlier file.
  fs::remove(folder / "out.txt");
  args.insert(args.end(), {"-o", "out.txt"});
  testing::ToolRun run = run_tool(folder, args, "C.UTF-8", {}, piped);
  EXPECT_EQ(run.status, status);
  return fs::exists(folder / "out.txt")
             ? line_count(read_file(folder / "out.txt"))
             : 0;
}

class Probe : public testing::EndToEnd {};

TEST_F(Probe, CountsWhatHushmarkWritesAtEveryThresholdAndMinimum) {
  std::mt19937 rng(14);
  // Quiet stretches among the levels reach the longer minima.
  auto frames = [&rng](std::size_t n) {
    std::string out;
    while (out.size() < n * kFrameBytes) {
      out += testing::ladder_frames(rng, 300, kLadder);
      out += testing::frames_of({quiet(rng() % 6000)});
    }
    return out;
  };
  struct Case {
    std::string bytes;
    std::string min_ms;
    std::string threshold;  // for the table by minimum silence
    int status;
    bool piped = false;
  };
  // The data ends early.
  std::string cut = WaveBytes().fmt(11025).data(frames(30000)).bytes();
  cut.resize(cut.size() - 4001);
  // Piped with a placeholder size, the data ends where the stream does.
  std::string placeholder = WaveBytes().fmt(8000).data(frames(20000)).bytes();
  placeholder.replace(40, 4, "\xff\xff\xff\xff");
  // At 1,000 Hz the ladder's minima are short enough for these runs.
  const Case cases[] = {
      {WaveBytes().fmt(1000).data(frames(20000)).bytes(), "0", "11", 0},
      {WaveBytes().chunk("LIST", 3).fmt(1000).data(frames(20000), 3).bytes(),
       "10", "40", 0},
      {cut, "5", "5", 1},
      {placeholder, "1", "64", 0, true},
      {cut, "1", "0", 1, true},
  };
  for (const Case& c : cases) {
    write_file(dir_ / "in.wav", c.bytes);
    const std::string in = c.piped ? "/dev/stdin" : "in.wav";
    const std::string* piped = c.piped ? &c.bytes : nullptr;
    testing::ToolRun probe =
        run_probe(dir_.path(), {"-m", c.min_ms, "-i", in}, piped);
    EXPECT_EQ(probe.status, c.status);
    std::vector<std::uint64_t> want;
    for (std::int32_t threshold : kLadder) {
      want.push_back(hushmark_points(
          dir_.path(),
          {"-i", in, "-m", c.min_ms, "-s", std::to_string(threshold)}, c.status,
          piped));
    }
    EXPECT_EQ(table_counts(probe.out), want)
        << "-m " << c.min_ms << (c.piped ? " piped" : "");
    // -s picks the threshold of the second table and leaves the first alone.
    testing::ToolRun given = run_probe(
        dir_.path(), {"-m", c.min_ms, "-s", c.threshold, "-i", in}, piped);
    EXPECT_EQ(threshold_part(given.out), threshold_part(probe.out));
    EXPECT_EQ(min_table_threshold(given.out), c.threshold);
    std::vector<std::uint64_t> want_min;
    for (std::int32_t min_ms : kMinLadder) {
      want_min.push_back(hushmark_points(
          dir_.path(),
          {"-i", in, "-m", std::to_string(min_ms), "-s", c.threshold}, c.status,
          piped));
    }
    EXPECT_EQ(min_table_counts(given.out), want_min)
        << "-s " << c.threshold << (c.piped ? " piped" : "");
  }
}

TEST_F(Probe, SharesHushmarksOptionsMessagesAndStatuses) {
  write_file(dir_ / "text.wav", "RIFF....TEXTfmt ");
  write_file(dir_ / "mono.wav",
             WaveBytes().fmt(8000, 1).data({loud(9)}).bytes());
  write_file(dir_ / "short.wav", WaveBytes()
                                     .fmt(8000)
                                     .data({loud(10), quiet(480), loud(10)})
                                     .bytes()
                                     .substr(0, 44 + 400 * 4));
  struct Case {
    std::vector<std::string> args;
    std::string out;
  };
  const Case cases[] = {
      {{"-m", "5"}, "WAVEファイルを指定してください。\n"},
      {{"-i", "none.wav"},
       "infile = none.wav\nWAVEファイルを開けませんでした。\n"},
      {{"-itext.wav", "-m", "300", "-s", "0"},
       "infile = text.wav\n無音範囲:0\n無音時間が300ms以上で区切ります。\n"
       "ffmpegが見つかりません。WAVE以外のファイルを読むにはffmpegを"
       "インストールしてください。(環境変数HUSHMARK_FFMPEGで指定することも"
       "できます)\n"},
      {{"-i", "mono.wav"},
       "infile = mono.wav\nffmpegが見つかりません。WAVE以外のファイルを読むには"
       "ffmpegをインストールしてください。(環境変数HUSHMARK_FFMPEGで指定する"
       "こともできます)\n"},
      {{"-m", "9", "-h", "-i", "x.wav"},
       "hushmark-probe 無音範囲しらべ v" HUSHMARK_VERSION " \n"
       "usage : hushmark-probe [options] -i input [input2 ...]\n"
       "  -i in.wav   入力ファイル名 (WAVE以外はffmpegで読む、-は標準入力)\n\n"
       "  -s 0        無音範囲 -mごとの一覧に使う(省略時とautoはおすすめの-s)\n"
       "  -m 200      無音時間 200ms以上無音が続けば区切る\n"
       "  -h          ヘルプ\n"
       "無音範囲(-s)ごとの区切り数を一覧にして、おすすめの-sを示します。\n"
       "続いて無音時間(-m)ごとの区切り数を一覧にして、章の区切りに"
       "おすすめの-mを示します。\n"},
  };
  for (const Case& c : cases) {
    testing::ToolRun run =
        run_probe(dir_.path(), c.args, nullptr, testing::kNoDecoder);
    EXPECT_EQ(run.status, 1) << c.args[1];
    EXPECT_EQ(run.out, c.out);
  }
  // hushmark's other options are not the probe's.
  testing::ToolRun other =
      run_probe(dir_.path(), {"-p", "1", "-i", "mono.wav"});
  EXPECT_NE(other.err.find("invalid option -- 'p'"), std::string::npos);
  // Only the first data chunk is counted, as players play only that one.
  write_file(dir_ / "two.wav", WaveBytes()
                                   .fmt(8000)
                                   .data({loud(10), quiet(480), loud(10)})
                                   .data({quiet(900), loud(10)})
                                   .bytes());
  testing::ToolRun two = run_probe(dir_.path(), {"-i", "two.wav", "-m", "50"});
  EXPECT_TRUE(two.out.starts_with(
      "infile = two.wav\n無音時間が50ms以上で区切ります。\n※ dataチャンクが2"
      "個あります。数えるのは最初のdataチャンクだけです。\n" +
      std::string(kTableHeader) + "     0    -inf         1       0.060秒"));
  // Data that ends early: the tables of what was read, then the message.
  testing::ToolRun cut =
      run_probe(dir_.path(), {"-i", "short.wav", "-m", "50"});
  EXPECT_EQ(cut.status, 1);
  EXPECT_TRUE(cut.out.starts_with(
      "infile = short.wav\n無音時間が50ms以上で区切ります。\n" +
      std::string(kTableHeader)));
  EXPECT_TRUE(
      cut.out.ends_with("おすすめ: なし (区切り数が落ち着く-sがありません)\n"
                        "無音時間(-m)ごとの区切り数: おすすめの-sがないため"
                        "省きます。-sを指定してください。\n"
                        "データ読み取りに失敗\n"));
  // A file at another rate, told only once it is read, joins nothing after
  // it; a later file's data that ends early is still told.
  write_file(
      dir_ / "late.wav",
      WaveBytes().chunk("JUNK", 70000).fmt(16000).data({loud(10)}).bytes());
  testing::ToolRun apart = run_probe(
      dir_.path(), {"-i", "two.wav", "late.wav", "short.wav", "-m", "50"});
  EXPECT_EQ(apart.status, 1);
  EXPECT_TRUE(apart.out.ends_with("データ読み取りに失敗\n")) << apart.out;
}

TEST_F(Probe, PrintsOneRowPerThresholdAndPerMinimumWithSuggestions) {
  write_file(dir_ / "in.wav",
             WaveBytes()
                 .fmt(8000)
                 .data({loud(10), quiet(480), loud(10), quiet(1600), loud(10),
                        quiet(24000), loud(10)})
                 .bytes());
  testing::ToolRun run = run_probe(dir_.path(), {"-i", "in.wav", "-m", "50"});
  EXPECT_EQ(run.status, 0);
  const std::string bar(40, '#'), half(20, '#');
  for (const std::string& row :
       {std::string(kTableHeader) + "     0    -inf         3       3.260秒  " +
            bar + "\n     1   -90.3         3       3.260秒  " + bar + "\n",
        "   724   -33.1         3       3.260秒  " + bar +
            "\n  1024   -30.1         0       0.000秒\n",
        "32767    -0.0         0       0.000秒\n"
        "おすすめ: -s 0 (区切り3か所)\n"
        "無音時間(-m)ごとの区切り数 (-s 0)\n" +
            std::string(kMinTableHeader) + "   100         2       3.200秒  " +
            bar + "\n   200         2       3.200秒  " + bar +
            "\n   300         1       3.000秒  " + half +
            "\n   500         1       3.000秒  " + half + "\n",
        "  3000         1       3.000秒  " + half +
            "\n  4000         0       0.000秒\n",
        std::string(" 10000         0       0.000秒\n") +
            "章の区切りのおすすめ: なし (ほかより長く目立つ無音がありません)\n"
            "※ 区切りの数を決めて選ぶには hushmark-chapters -n "
            "を使います。\n"}) {
    EXPECT_NE(run.out.find(row), std::string::npos) << row;
  }
  // The echo, then each table with its head and its proposal.
  EXPECT_EQ(line_count(run.out), 2 + (1 + kRungs + 1) + (2 + kMinRows + 2));
}

// Makes the recordings of make_pause_recordings.sh in folder; false when
// espeak-ng or sox is missing.
bool make_recordings(const fs::path& folder, const std::string& mode) {
  if (!testing::installed("espeak-ng") || !testing::installed("sox")) {
    return false;
  }
  EXPECT_TRUE(testing::run_in(folder, std::string("bash '") +
                                          HUSHMARK_PAUSE_RECORDINGS + "' '" +
                                          folder.string() + "' " + mode));
  return true;
}

// The start, in ms, of each pause in one of the script's lists.
std::vector<std::int64_t> pause_starts(const fs::path& list) {
  std::vector<std::int64_t> ms;
  std::ifstream pauses(list);
  for (std::int64_t frame, length; pauses >> frame >> length;) {
    ms.push_back(frame * 1000 / 44100);
  }
  return ms;
}

// Runs hushmark in folder and checks its points against the pauses' starts,
// to within tolerance_ms.
void expect_points_at(const fs::path& folder, std::vector<std::string> args,
                      const std::vector<std::int64_t>& pause_ms,
                      const std::string& what, std::int64_t tolerance_ms = 20) {
  args.insert(args.end(), {"-o", "out.txt"});
  run_tool(folder, args);
  std::istringstream lines(read_file(folder / "out.txt"));
  std::vector<std::int64_t> found;
  for (int h, m, s, ms; lines >> h;) {
    char c;
    lines >> c >> m >> c >> s >> c >> ms;
    found.push_back(((h * 60 + m) * 60 + s) * 1000 + ms);
  }
  ASSERT_EQ(found.size(), pause_ms.size()) << what;
  for (std::size_t i = 0; i < found.size(); ++i) {
    // Under hiss, the speech's last faint frames may already count as quiet.
    EXPECT_NEAR(found[i], pause_ms[i], tolerance_ms) << "pause " << i << "\n"
                                                     << what;
  }
}

// Known pauses in speech, clean, dithered and under faint and loud hiss.
TEST_F(Probe, SuggestsAThresholdThatFindsExactlyTheKnownPauses) {
  if (!make_recordings(dir_.path(), "")) {
    GTEST_SKIP() << "espeak-ng and sox make the recordings";
  }
  std::vector<std::int64_t> pause_ms = pause_starts(dir_ / "pauses.txt");
  ASSERT_EQ(pause_ms.size(), 10u);
  for (const char* name : {"clean", "dithered", "faint", "loud"}) {
    std::string wav = std::string(name) + ".wav";
    testing::ToolRun probe = run_probe(dir_.path(), {"-i", wav});
    std::string threshold = suggested_threshold(probe.out);
    ASSERT_NE(threshold, "") << probe.out;
    expect_points_at(dir_.path(), {"-i", wav, "-s", threshold}, pause_ms,
                     name + ("\n" + probe.out));
  }
}

// Encodes each book of the script to mp3 and AAC at several bitrates side by
// side, each with its decoded WAVE for hushmark; the names of the encodings,
// or none without ffmpeg.
std::vector<std::string> encode_books(const fs::path& folder) {
  if (!testing::installed("ffmpeg")) return {};
  std::vector<std::string> names;
  std::string jobs;
  for (const char* book : {"clean", "dithered", "hissy"}) {
    for (const char* rate : {"32k", "64k", "96k"}) {
      for (const char* type : {"mp3", "m4a"}) {
        names.push_back(std::string(book) + "-" + rate + "." + type);
        jobs += std::string(book) + ".wav " + rate + " " + names.back() + "\n";
      }
    }
  }
  EXPECT_TRUE(testing::run_in(
      folder, "printf '" + jobs +
                  "' | xargs -P 2 -n 3 sh -c 'ffmpeg -nostdin -v error "
                  "-i \"$0\" -b:a $1 \"$2\" && ffmpeg -nostdin -v error "
                  "-i \"$2\" \"$2.wav\"'"));
  return names;
}

// A book whose chapter pauses are longer than any pause between sentences:
// the proposed -m, with the proposed -s, finds the chapter pauses alone, on
// the book as made and through lossy coding.
TEST_F(Probe, SuggestsAMinimumThatFindsExactlyTheChapterPauses) {
  if (!make_recordings(dir_.path(), "book")) {
    GTEST_SKIP() << "espeak-ng and sox make the recordings";
  }
  std::vector<std::int64_t> chapter_ms = pause_starts(dir_ / "chapters.txt");
  ASSERT_EQ(chapter_ms.size(), 4u);
  ASSERT_EQ(pause_starts(dir_ / "pauses.txt").size(), 26u);
  std::vector<std::string> inputs = encode_books(dir_.path());
  for (const char* book : {"clean", "dithered", "hissy"}) {
    inputs.push_back(std::string(book) + ".wav");
  }
  for (const std::string& input : inputs) {
    testing::ToolRun probe = run_probe(dir_.path(), {"-i", input});
    const std::string mark = "章の区切りのおすすめ: -m ";
    std::string min_ms = word_after(probe.out, mark);
    ASSERT_NE(min_ms, "") << input << "\n" << probe.out;
    std::string threshold = word_after(probe.out, mark + min_ms + " (-s ");
    EXPECT_EQ(threshold, suggested_threshold(probe.out));
    // hushmark reads WAVE alone: the encodings' decoded copies. An AAC
    // frame spreads the speech's last sound some 25 ms into the pause.
    bool lossy = !input.ends_with(".wav");
    expect_points_at(
        dir_.path(),
        {"-i", lossy ? input + ".wav" : input, "-s", threshold, "-m", min_ms},
        chapter_ms, input + "\n" + probe.out, lossy ? 50 : 20);
  }
}

// One recording of make_books.py's test set and what its truth file says:
// its chapter pauses, start and end in ms, and whether it is a lecture.
struct Book {
  std::string file;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> pauses;
  bool lecture = false;
};

// The recordings make_books.py wrote into folder, each beside NAME.json.
std::vector<Book> read_books(const fs::path& folder) {
  std::vector<Book> books;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == ".json") continue;
    Book book;
    book.file = entry.path().filename().string();
    fs::path truth_file = entry.path();
    const std::string truth = read_file(truth_file.replace_extension(".json"));
    book.lecture = truth.find("\"lecture\": true") != std::string::npos;
    const std::size_t at = truth.find("\"chapter_pauses\":");
    std::string list = truth.substr(at, truth.find('\n', at) - at);
    std::replace_if(
        list.begin(), list.end(), [](char c) { return c < '0' || c > '9'; },
        ' ');
    std::istringstream numbers(list);
    for (std::uint64_t from, to; numbers >> from >> to;) {
      book.pauses.push_back({from, to});
    }
    books.push_back(book);
  }
  return books;
}

// True when the chapter file starts a chapter at 0, once inside each chapter
// pause (within 150 ms of it), and nowhere else.
bool starts_in_pauses(const std::string& chapters, const Book& book) {
  std::vector<ListedChapter> list;
  ListError error;
  if (!parse_chapter_list(chapters, list, error)) return false;
  if (list.size() != book.pauses.size() + 1) return false;
  if (list[0].start_ms != 0) return false;
  for (std::size_t k = 0; k < book.pauses.size(); ++k) {
    const std::uint64_t ms = list[k + 1].start_ms;
    const auto [from, to] = book.pauses[k];
    if (ms + 150 < from || ms > to + 150) return false;
  }
  return true;
}

// Generated books over every kind of floor, and a lecture: with no option
// hushmark-chapters starts a chapter in each chapter pause and nowhere else;
// so does -n with their count, and so do the probe's proposals as options.
TEST_F(Probe, AgreesWithHushmarkChaptersOnTheChapterPausesOfGeneratedBooks) {
  for (const char* tool : {"python3", "espeak-ng", "sox", "ffmpeg"}) {
    SKIP_WITHOUT(tool);
  }
  const std::string make = "python3 '" HUSHMARK_BOOKS "' '" +
                           dir_.path().string() + "' --set test >/dev/null";
  ASSERT_EQ(std::system(make.c_str()), 0);
  const std::vector<Book> books = read_books(dir_.path());
  ASSERT_EQ(books.size(), 10u);
  for (const Book& book : books) {
    SCOPED_TRACE(book.file);
    // Each run writes a file of its own: one that failed leaves none.
    const std::string out = fs::path(book.file).stem().string();
    testing::ToolRun chosen =
        testing::run_chapters(dir_.path(), {"-i", book.file, "-o", out});
    const std::string chapters = read_file(dir_ / out);
    EXPECT_TRUE(starts_in_pauses(chapters, book)) << chosen.out;
    EXPECT_EQ(chosen.out.find("\n※ ほかより長く目立つ無音がないため") !=
                  std::string::npos,
              book.lecture);
    const std::string count = std::to_string(book.pauses.size() + 1);
    testing::run_chapters(dir_.path(),
                          {"-i", book.file, "-n", count, "-o", out + ".n"});
    EXPECT_TRUE(starts_in_pauses(read_file(dir_ / (out + ".n")), book)) << "-n";
    testing::ToolRun probe = run_probe(dir_.path(), {"-i", book.file});
    std::vector<std::string> proposed = {"-i", book.file, "-o", out + ".p"};
    const std::string threshold = suggested_threshold(probe.out);
    const std::string min_ms =
        word_after(probe.out, "章の区切りのおすすめ: -m ");
    if (!threshold.empty()) proposed.insert(proposed.end(), {"-s", threshold});
    if (!min_ms.empty()) proposed.insert(proposed.end(), {"-m", min_ms});
    testing::run_chapters(dir_.path(), proposed);
    EXPECT_EQ(read_file(dir_ / (out + ".p")), chapters) << probe.out;
  }
}

}  // namespace
}  // namespace hushmark
