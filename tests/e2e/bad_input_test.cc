// Runs the built tool on inputs and arguments it must refuse, checking the
// message and exit status of each, that the input keeps its bytes and that no
// file appears besides the chapter file the run names.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "e2e/end_to_end.h"
#include "test_support.h"
#include "wave_bytes.h"

namespace hushmark {
namespace {

namespace fs = std::filesystem;
using testing::loud;
using testing::quiet;
using testing::read_file;
using testing::WaveBytes;
using testing::write_file;

// Exit status (-1 after a signal or the time limit) and standard output.
using Result = testing::ToolRun;

std::string echo(const std::string& in, const std::string& out) {
  return "infile = " + in + "\noutfile = " + out + "\n";
}

// A short file with one chapter point, so that a run gets as far as writing.
std::string good_wave() {
  WaveBytes w;
  return w.fmt_raw(1, 2, 16000, 16)
      .data({loud(1), quiet(800), loud(1)})
      .bytes();
}
constexpr char kPoint[] = "00:00:00.000  0.200秒\n";
// What a chapter file held before a run.
constexpr char kEarlier[] = "earlier chapters\r\n01:02:03.004\r\n";

constexpr char kNoInput[] = "WAVEファイルを指定してください。\n";
constexpr char kCannotOpen[] = "WAVEファイルを開けませんでした。\n";
constexpr char kCannotWrite[] = "CHAPTERファイルを書き出しできませんでした。\n";
constexpr char kNotWave[] = "WAVEファイルではありません。\n";
constexpr char kSameFile[] =
    "入力ファイルと同じファイルにはCHAPTERファイルを書き出せません。\n";
constexpr char kTooLong[] = "ファイル名が長すぎます。\n";

// One folder holding in.wav; every run checks that in.wav keeps its bytes
// and that nothing but the expected new files appears.
class BadInput : public testing::EndToEnd {
 protected:
  void SetUp() override { put_input(good_wave()); }

  void put_input(const std::string& bytes) {
    input_ = bytes;
    write_file(dir_ / "in.wav", bytes);
    settle();
  }

  // Takes the folder as it is now as the state every run must leave.
  void settle() { before_ = listing(); }

  // Runs a command that must fail before its first point twice: with no
  // chapter file, which must not appear, and with an earlier one, which must
  // keep its bytes.
  void expect_failure_before_points(std::vector<std::string> args,
                                    const std::string& chapters,
                                    const std::string& out);

  Result run(std::vector<std::string> args, std::set<std::string> created = {},
             const char* lang = "C.UTF-8") {
    Result r = testing::run_tool(dir_.path(), args, lang);
    EXPECT_TRUE(read_file(dir_ / "in.wav") == input_) << "the input changed";
    std::set<std::string> expected = before_;
    expected.insert(created.begin(), created.end());
    EXPECT_EQ(listing(), expected);
    for (const std::string& name : created)
      fs::remove(dir_ / name);
    return r;
  }

  std::string input_;
  std::set<std::string> before_;
};

void expect_result(const Result& r, int status, const std::string& out) {
  EXPECT_EQ(r.status, status);
  EXPECT_EQ(r.out, out);
}

void BadInput::expect_failure_before_points(std::vector<std::string> args,
                                            const std::string& chapters,
                                            const std::string& out) {
  expect_result(run(args), 1, out);
  write_file(dir_ / chapters, kEarlier);
  settle();
  expect_result(run(args), 1, out);
  EXPECT_EQ(read_file(dir_ / chapters), kEarlier);
  fs::remove(dir_ / chapters);
  settle();
}

TEST_F(BadInput, CommandLinesWithoutAnInput) {
  const std::vector<std::vector<std::string>> lines = {
      {},     {"-i"},     {"-o", "x.txt"},       {"-s", "5", "-m"},
      {"-q"}, {"in.wav"}, {"--", "-i", "in.wav"}};
  for (const auto& args : lines) {
    expect_result(run(args), 1, kNoInput);
  }
  Result help = run({"-i", "in.wav", "-h"});
  EXPECT_EQ(help.status, 1);
  EXPECT_TRUE(help.out.starts_with("hushmark 無音区切り v0.02 \nusage : "))
      << help.out;
}

TEST_F(BadInput, NumbersOutOfRangeOrMalformed) {
  const std::string echoed = echo("in.wav", "in_chapter.txt");
  for (const char* p : {"5000000000", "-1", "3", "0x100000002"}) {
    expect_result(run({"-i", "in.wav", "-p", p}), 1,
                  "区切り位置(-p)は0,1,2で指定してください。\n");
  }
  // Text that is no number reads as 0; unknown options and a missing last
  // argument are ignored.
  for (const auto& args :
       std::vector<std::vector<std::string>>{{"-i", "in.wav", "-p", "x"},
                                             {"-q", "-i", "in.wav"},
                                             {"-i", "in.wav", "-s"}}) {
    expect_result(run(args, {"in_chapter.txt"}), 0, echoed + kPoint);
  }
  // Huge and negative limits clamp to 32 bits; they find nothing, without
  // failing.
  expect_result(
      run({"-i", "in.wav", "-m", "99999999999999999999"}, {"in_chapter.txt"}),
      0, echoed + "無音時間が2147483647ms以上で区切ります。\n");
  expect_result(run({"-i", "in.wav", "-m", "-200"}, {"in_chapter.txt"}), 0,
                echoed + "無音時間が-200ms以上で区切ります。\n");
  expect_result(run({"-i", "in.wav", "-s", "-99999999999"}, {"in_chapter.txt"}),
                0, echoed + "無音範囲:-2147483648\n");
  expect_result(run({"-i", "in.wav", "-s", "0x7fffffffff"}, {"in_chapter.txt"}),
                0, echoed + "無音範囲:2147483647\n");
}

TEST_F(BadInput, FailuresBeforeAnyPointLeaveTheChapterFileAlone) {
  const std::string good = good_wave();
  std::vector<std::string> files = {"", "RIFF", good.substr(0, 11)};
  for (std::size_t at : {0, 1, 2, 3, 8, 9, 10, 11}) {
    std::string bad = good;
    bad[at] ^= 0x20;  // "riff", "wave" and the like
    files.push_back(bad);
  }
  for (const std::string& file : files) {
    put_input(file);
    expect_failure_before_points({"-i", "in.wav"}, "in_chapter.txt",
                                 echo("in.wav", "in_chapter.txt") + kNotWave);
  }
  std::vector<std::pair<WaveBytes, const char*>> cases(7);
  cases[0].first.raw("fmt ").u32(14).u16(1).u16(2).u32(4000).u32(16000).u16(4);
  cases[0].second = "WAVEが壊れています？\n";
  cases[1].first.fmt_raw(3, 2, 32000, 32);
  cases[1].second = "未対応のWAVEです。(wFormatTag!=1)\n";
  cases[2].first.fmt_raw(1, 1, 8000, 16);
  cases[2].second = "未対応のWAVEです。(nChannels!=2)\n";
  cases[3].first.fmt_raw(1, 2, 8000, 8);
  cases[3].second = "未対応のWAVEです。(wBitsPerSample!=16)\n";
  cases[4].first.fmt_raw(1, 2, 0, 16);
  cases[4].second = "未対応のWAVEです。(nAvgBytesPerSec==0)\n";
  // A data chunk without a point, then one the scan cannot take.
  cases[5].first.fmt_raw(1, 2, 16000, 16).data({quiet(900)});
  cases[5].first.fmt_raw(1, 1, 8000, 16);
  cases[5].second = "未対応のWAVEです。(nChannels!=2)\n";
  for (int i = 0; i < 6; ++i)
    cases[i].first.data({quiet(2)});
  // Data that ends before its first point.
  cases[6]
      .first.fmt_raw(1, 2, 16000, 16)
      .raw("data")
      .u32(4000)
      .raw(testing::frames_of({loud(1), quiet(700)}));
  cases[6].second = "データ読み取りに失敗\n";
  for (const auto& [wave, message] : cases) {
    put_input(wave.bytes());
    expect_failure_before_points({"-i", "in.wav"}, "in_chapter.txt",
                                 echo("in.wav", "in_chapter.txt") + message);
  }
}

TEST_F(BadInput, ChapterFilesAreReplacedOnlyOnceOutputBegins) {
  const std::string point = "00:00:00.000\r\n";
  const std::string echoed = echo("in.wav", "in_chapter.txt");
  // Runs that fail after a point keep it; runs that succeed, with or without
  // points, replace the earlier file whole.
  WaveBytes cut, later;
  cut.fmt_raw(1, 2, 16000, 16)
      .raw("data")
      .u32(8000)
      .raw(testing::frames_of({loud(1), quiet(800), loud(1)}));
  later.fmt_raw(1, 2, 16000, 16).data({loud(1), quiet(800), loud(1)});
  later.fmt_raw(1, 1, 8000, 16).data({quiet(2)});
  const std::vector<std::tuple<std::string, std::vector<std::string>, int,
                               std::string, std::string>>
      runs = {
          {cut.bytes(),
           {},
           1,
           kPoint + std::string("データ読み取りに失敗\n"),
           point},
          {later.bytes(),
           {},
           1,
           kPoint + std::string("未対応のWAVEです。(nChannels!=2)\n"),
           point},
          {good_wave(), {}, 0, kPoint, point},
          {good_wave(),
           {"-m", "900"},
           0,
           "無音時間が900ms以上で区切ります。\n",
           ""},
      };
  for (const auto& [input, options, status, out, chapters] : runs) {
    put_input(input);
    write_file(dir_ / "in_chapter.txt", kEarlier);
    settle();
    std::vector<std::string> args = {"-i", "in.wav"};
    args.insert(args.end(), options.begin(), options.end());
    expect_result(run(args), status, echoed + out);
    EXPECT_EQ(read_file(dir_ / "in_chapter.txt"), chapters);
  }
  fs::remove(dir_ / "in_chapter.txt");
  put_input(good_wave());
  // Devices are written as they are, and never removed. The two streams are
  // buffered apart, so only the console's own order is fixed.
  Result shared = run({"-i", "in.wav", "-o", "/dev/stdout"});
  std::size_t at = shared.out.find(point);
  ASSERT_NE(at, std::string::npos) << shared.out;
  expect_result({shared.status, shared.out.erase(at, point.size()), ""}, 0,
                echo("in.wav", "/dev/stdout") + kPoint);
  // A symbolic link is written through; a failure before any point leaves
  // its target as it was, or not there at all.
  fs::create_symlink("old.txt", dir_ / "link.txt");
  fs::create_symlink("new.txt", dir_ / "dangling.txt");
  write_file(dir_ / "old.txt", kEarlier);
  put_input("RIFF");
  for (const char* out : {"link.txt", "dangling.txt"}) {
    expect_result(run({"-i", "in.wav", "-o", out}), 1,
                  echo("in.wav", out) + kNotWave);
  }
  EXPECT_EQ(read_file(dir_ / "old.txt"), kEarlier);
  put_input(good_wave());
  expect_result(run({"-i", "in.wav", "-o", "link.txt"}), 0,
                echo("in.wav", "link.txt") + kPoint);
  EXPECT_EQ(read_file(dir_ / "old.txt"), point);
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.txt"));
}

TEST_F(BadInput, InputsThatCannotBeOpened) {
  fs::create_symlink("nowhere.wav", dir_ / "dangling.wav");
  fs::create_symlink("loop.wav", dir_ / "loop.wav");
  settle();
  for (const char* name :
       {"missing.wav", "dangling.wav", "loop.wav", "in.wav/x.wav"}) {
    std::string out =
        std::string(name).substr(0, std::string(name).rfind('.')) +
        "_chapter.txt";
    expect_result(run({"-i", name}), 1, echo(name, out) + kCannotOpen);
  }
  // A folder: its own name, and "." whose full stop starts the extension.
  expect_result(run({"-i", dir_.path().string(), "-o", "out.txt"}), 1,
                echo(dir_.path().string(), "out.txt") + kCannotOpen);
  expect_result(run({"-i", "."}), 1, echo(".", "_chapter.txt") + kCannotOpen);
  // Permissions do not stop root, who runs these tests in CI; elsewhere an
  // unreadable file must be refused like a missing one.
  if (geteuid() != 0) {
    chmod((dir_ / "in.wav").c_str(), 0);
    Result r = testing::run_tool(dir_.path(), {"-i", "in.wav"});
    chmod((dir_ / "in.wav").c_str(), 0644);
    expect_result(r, 1, echo("in.wav", "in_chapter.txt") + kCannotOpen);
    EXPECT_TRUE(read_file(dir_ / "in.wav") == input_);
    EXPECT_EQ(listing(), before_);
  }
}

TEST_F(BadInput, SpecialFilesAsInput) {
  // A FIFO without a writer must neither block the open nor the read.
  ASSERT_EQ(mkfifo((dir_ / "pipe.wav").c_str(), 0644), 0);
  settle();
  for (const char* name : {"pipe.wav", "/dev/null", "/dev/zero"}) {
    expect_result(run({"-i", name, "-o", "out.txt"}), 1,
                  echo(name, "out.txt") + kNotWave);
  }
  // Opens, but its first read fails (nothing is mapped at address 0): a
  // read error, not a file of another kind.
  expect_failure_before_points(
      {"-i", "/proc/self/mem", "-o", "out.txt"}, "out.txt",
      echo("/proc/self/mem", "out.txt") + "データ読み取りに失敗\n");
}

TEST_F(BadInput, ChapterFilesThatCannotBeWritten) {
  // /proc refuses new files even to root.
  for (const char* out :
       {"missing/out.txt", "/proc/hushmark_chapter.txt", ".", "in.wav/x"}) {
    expect_result(run({"-i", "in.wav", "-o", out}), 1,
                  echo("in.wav", out) + kCannotWrite);
  }
  expect_result(run({"-i", "in.wav", "-o", "/dev/full"}), 1,
                echo("in.wav", "/dev/full") + kPoint + kCannotWrite);
  // A FIFO that nobody reads must not block the run.
  ASSERT_EQ(mkfifo((dir_ / "out.fifo").c_str(), 0644), 0);
  settle();
  expect_result(run({"-i", "in.wav", "-o", "out.fifo"}), 1,
                echo("in.wav", "out.fifo") + kCannotWrite);
  if (geteuid() != 0) {  // root writes into a read-only folder anyway
    fs::create_directory(dir_ / "locked");
    chmod((dir_ / "locked").c_str(), 0555);
    settle();
    expect_result(run({"-i", "in.wav", "-o", "locked/out.txt"}), 1,
                  echo("in.wav", "locked/out.txt") + kCannotWrite);
  }
}

TEST_F(BadInput, ChapterFileNamingTheInput) {
  fs::create_directory(dir_ / "sub");
  fs::create_symlink("in.wav", dir_ / "link.wav");
  fs::create_hard_link(dir_ / "in.wav", dir_ / "hard.wav");
  settle();
  const std::string absolute = (dir_ / "in.wav").string();
  for (const std::string& out :
       {std::string("in.wav"), std::string("./in.wav"),
        std::string("sub/../in.wav"), std::string(".//in.wav"), absolute,
        std::string("link.wav"), std::string("hard.wav")}) {
    expect_result(run({"-i", "in.wav", "-o", out}), 1,
                  echo("in.wav", out) + kSameFile);
  }
  // Through the link the other way round.
  expect_result(run({"-i", "link.wav", "-o", "in.wav"}), 1,
                echo("link.wav", "in.wav") + kSameFile);
}

// A relative path of exactly `length` characters: folders of 200 characters,
// then a file name made of `fill` and ending in `tail`.
std::string long_path(std::size_t length, char fill, const std::string& tail) {
  std::string path;
  while (length - path.size() > 250)
    path += std::string(199, 'd') + "/";
  return path + std::string(length - path.size() - tail.size(), fill) + tail;
}

TEST_F(BadInput, PathLengthLimits) {
  const std::string in = long_path(1023, 'w', ".wav");
  fs::create_directories(dir_.path() / fs::path(in).parent_path());
  write_file(dir_ / in, good_wave());
  settle();
  // The full stop lies past where an extension may start, so the name is cut
  // there.
  const std::string derived = in.substr(0, 1011) + "_chapter.txt";
  expect_result(run({"-i", in}, {derived}), 0, echo(in, derived) + kPoint);
  const std::string out = long_path(1023, 'c', ".txt");
  expect_result(run({"-i", "in.wav", "-o", out}, {out}), 0,
                echo("in.wav", out) + kPoint);
  for (std::size_t n : {1024, 5000}) {
    expect_result(run({"-i", long_path(n, 'w', ".wav")}), 1, kTooLong);
    expect_result(run({"-i", "in.wav", "-o", long_path(n, 'c', ".txt")}), 1,
                  kTooLong);
  }
  // A folder so deep that no chapter name fits beside the input.
  const std::string deep = long_path(1020, 'd', "/c.wav");
  expect_result(run({"-i", deep}), 1, kTooLong);
  // A name whose derived chapter name is the name itself.
  const std::string self = long_path(1023, 's', "_chapter.txt");
  write_file(dir_ / self, good_wave());
  settle();
  expect_result(run({"-i", self}), 1, echo(self, self) + kSameFile);
  EXPECT_TRUE(read_file(dir_ / self) == good_wave());
}

TEST_F(BadInput, PathsThatAreNotUtf8) {
  // Each undecodable byte is shown escaped and names the same file.
  for (const std::string& stem :
       {std::string("caf\xe9"), std::string("\xe3\x81"),
        std::string("x\xff\xfe")}) {
    write_file(dir_ / (stem + ".wav"), good_wave());
    settle();
    std::string shown;
    for (unsigned char c : stem) {
      char hex[8];
      std::snprintf(hex, sizeof hex, c < 0x80 ? "%c" : "\\x%02x", c);
      shown += hex;
    }
    expect_result(run({"-i", stem + ".wav"}, {stem + "_chapter.txt"}), 0,
                  echo(shown + ".wav", shown + "_chapter.txt") + kPoint);
    expect_result(run({"-i", stem + ".wav"}, {stem + "_chapter.txt"}, "C"), 0,
                  echo(shown + ".wav", shown + "_chapter.txt") + kPoint);
    fs::remove(dir_ / (stem + ".wav"));
  }
}

}  // namespace
}  // namespace hushmark
