// Runs the built hushmark-chapters beside hushmark: its chapters start at
// exactly the points hushmark writes, it shares hushmark's messages and
// statuses, and it never leaves an output file half written.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "chapters/chapter_list.h"
#include "e2e/end_to_end.h"
#include "test_support.h"
#include "wave_bytes.h"

namespace hushmark {
namespace {

namespace fs = std::filesystem;
using testing::loud;
using testing::quiet;
using testing::read_file;
using testing::run_chapters;
using testing::run_tool;
using testing::WaveBytes;
using testing::write_file;

class Chapters : public testing::EndToEnd {};

TEST_F(Chapters, StartAtExactlyThePointsHushmarkWrites) {
  std::mt19937 rng(18);
  const std::int32_t levels[] = {0, 3, 64, 1000};
  const std::uint32_t rates[] = {8000, 11025, 44100, 48000};
  for (int round = 0; round < 16; ++round) {
    const std::uint32_t rate = rates[round % 4];
    // A loud first frame: no silence starts at the recording's first frame.
    // A loud half second at the end: the last chapter holds more than a
    // closing silence.
    std::string body =
        testing::frames_of({loud(1)}) +
        testing::ladder_frames(rng, 2000 + rng() % 30000, levels) +
        testing::frames_of({{rate / 2, 20000, -20000}});
    write_file(dir_ / "in.wav", WaveBytes().fmt(rate).data(body).bytes());
    const std::vector<std::string> options = {
        "-s", std::to_string(levels[rng() % 4]),
        "-m", std::to_string(rng() % 3 == 0 ? 0 : rng() % 40),
        "-p", std::to_string(rng() % 3)};
    std::vector<std::string> args = {"-i", "in.wav", "-o", "out.txt"};
    args.insert(args.end(), options.begin(), options.end());
    ASSERT_EQ(run_tool(dir_.path(), args).status, 0);
    std::vector<std::string> points =
        testing::lines_of(read_file(dir_ / "out.txt"));
    // hushmark's own file, read as -a reads it.
    std::vector<ListedChapter> starts;
    ListError error;
    ASSERT_TRUE(points.empty() ||
                parse_chapter_list(read_file(dir_ / "out.txt"), starts, error));
    ASSERT_EQ(starts.size(), points.size());
    testing::ToolRun run = run_chapters(dir_.path(), args);
    ASSERT_EQ(run.status, 0) << run.out;
    // Every point starts a chapter, but a chapter is never empty: not at 0,
    // not twice in one millisecond, not at the very end.
    std::vector<std::string> want = {"00:00:00.000 Chapter 1"};
    const std::uint64_t end_ms = body.size() / 4 * 1000 / rate;
    for (std::size_t k = 0; k < points.size(); ++k) {
      const std::uint64_t ms = starts[k].start_ms;
      if (ms == 0 || ms >= end_ms || (k > 0 && ms == starts[k - 1].start_ms)) {
        continue;
      }
      want.push_back(points[k] + " Chapter " + std::to_string(want.size() + 1));
    }
    EXPECT_EQ(testing::lines_of(read_file(dir_ / "out.txt")), want) << round;
    EXPECT_NE(run.out.find("個 (候補の無音" + std::to_string(points.size()) +
                           "か所から)\n"),
              std::string::npos)
        << run.out;
  }
}

TEST_F(Chapters, UseTheFirstDataChunkAndSayWhenThereAreMore) {
  std::string first = testing::frames_of(
      {loud(10), quiet(1800), loud(10), quiet(2000), loud(2400)});
  write_file(dir_ / "one.wav", WaveBytes().fmt(8000).data(first).bytes());
  write_file(dir_ / "two.wav", WaveBytes()
                                   .fmt(8000)
                                   .data(first)
                                   .fmt(44100)
                                   .data({loud(1), quiet(9000), loud(1)})
                                   .bytes());
  testing::ToolRun one = run_chapters(
      dir_.path(), {"-i", "one.wav", "-s", "0", "-m", "200", "-o", "1"});
  testing::ToolRun two = run_chapters(
      dir_.path(), {"-i", "two.wav", "-s", "0", "-m", "200", "-o", "2"});
  EXPECT_EQ(two.status, 0);
  EXPECT_EQ(read_file(dir_ / "2"), read_file(dir_ / "1"));
  EXPECT_EQ(read_file(dir_ / "1"),
            "00:00:00.000 Chapter 1\n00:00:00.001 Chapter 2\n"
            "00:00:00.227 Chapter 3\n");
  const std::string note =
      "※ "
      "dataチャンクが2個あります。チャプターは最初のdataチャンクだけで作ります"
      "。\n";
  EXPECT_EQ(two.out, "infile = two.wav\noutfile = 2\n" + note +
                         one.out.substr(one.out.find("  1  ")));
}

TEST_F(Chapters, ReadAFolderInTheOrderOfItsNamesAndNamedFilesAsGiven) {
  fs::create_directory(dir_ / "Book");
  std::string expected;
  for (int k = 1; k <= 10; ++k) {
    const std::string name = "part " + std::to_string(k);
    write_file(dir_ / "Book" / (name + ".wav"),
               WaveBytes().fmt(8000).data({loud(800)}).bytes());
    expected += "00:00:0" + std::to_string((k - 1) / 10) + "." +
                std::to_string((k - 1) % 10) + "00 " + name + "\n";
  }
  write_file(dir_ / "Book" / "cover.jpg", "\xFF\xD8\xFF\xE0");
  write_file(dir_ / "Book" / "notes.txt", "read me\n");
  write_file(dir_ / "Book" / ".part 0.wav",
             WaveBytes().fmt(8000).data({loud(800)}).bytes());
  testing::ToolRun book =
      run_chapters(dir_.path(), {"-F", "-o", "book.txt", "Book"});
  ASSERT_EQ(book.status, 0) << book.out;
  EXPECT_EQ(read_file(dir_ / "book.txt"), expected);
  EXPECT_TRUE(
      book.out.starts_with("infile = Book/part 1.wav\n"
                           "infile = Book/part 2.wav\n"))
      << book.out;
  // Files named one by one keep their order, which the console points out.
  testing::ToolRun named = run_chapters(
      dir_.path(),
      {"-F", "-o", "named.txt", "Book/part 10.wav", "Book/part 9.wav"});
  EXPECT_EQ(read_file(dir_ / "named.txt"),
            "00:00:00.000 part 10\n00:00:00.100 part 9\n");
  EXPECT_TRUE(named.out.starts_with(
      "※ 入力ファイルは指定された順につなぎます(名前の順とは違います)。\n"
      "infile = Book/part 10.wav\n"))
      << named.out;
  fs::remove_all(dir_ / "Book");
  fs::create_directory(dir_ / "Book");
  write_file(dir_ / "Book" / "cover.jpg", "\xFF\xD8\xFF\xE0");
  testing::ToolRun empty =
      run_chapters(dir_.path(), {"-F", "-o", "empty.txt", "Book"});
  EXPECT_EQ(empty.status, 1);
  EXPECT_EQ(empty.out, "音声ファイルが見つかりません: Book\n");
}

TEST_F(Chapters, ShowTheirSettingsEachChapterAndTheTotal) {
  fs::copy_file(fs::path(HUSHMARK_EXAMPLES) / "talk.wav", dir_ / "talk.wav");
  testing::ToolRun run = run_chapters(
      dir_.path(), {"-i", "talk.wav", "-s", "0x10", "-m", "300", "-p", "1",
                    "-f", "vtt", "-n", "3", "-l", "1", "-t", "第%02d章"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "infile = talk.wav\noutfile = talk.vtt\n無音範囲:16\n"
            "無音時間が300ms以上で区切ります。\n区切り位置:1\n出力形式:vtt\n"
            "チャプター数:最大3\nチャプターの長さ:1秒以上\nタイトル:第%02d章\n"
            "  1  00:00:00.000             第01章\n"
            "  2  00:00:05.211    1.500秒  第02章\n"
            "  3  00:00:07.294    1.000秒  第03章\n"
            "チャプター3個 (候補の無音4か所から)\n");
  EXPECT_EQ(read_file(dir_ / "talk.vtt"),
            "WEBVTT\n\n00:00:00.000 --> 00:00:05.211\n第01章\n\n"
            "00:00:05.211 --> 00:00:07.294\n第02章\n\n"
            "00:00:07.294 --> 00:00:08.566\n第03章\n");
  // Without -f the output's name chooses the format, and -f still wins.
  testing::ToolRun named =
      run_chapters(dir_.path(), {"-i", "talk.wav", "-n", "2", "-o", "a.CUE"});
  EXPECT_TRUE(named.out.starts_with(
      "infile = talk.wav\noutfile = a.CUE\n出力形式:cue\nチャプター数"))
      << named.out;
  EXPECT_EQ(
      read_file(dir_ / "a.CUE"),
      "FILE \"talk.wav\" WAVE\n"
      "  TRACK 01 AUDIO\n    TITLE \"Chapter 1\"\n    INDEX 01 00:00:00\n"
      "  TRACK 02 AUDIO\n    TITLE \"Chapter 2\"\n    INDEX 01 00:04:34\n");
  run_chapters(dir_.path(), {"-i", "talk.wav", "-n", "2", "-f", "txt", "-o",
                             "txt.labels.txt"});
  EXPECT_EQ(read_file(dir_ / "txt.labels.txt"),
            "00:00:00.000 Chapter 1\n00:00:04.461 Chapter 2\n");
  // A line break in a title cannot break the console's lines.
  testing::ToolRun breaks = run_chapters(
      dir_.path(), {"-i", "talk.wav", "-n", "1", "-t", "a\r\nb %d"});
  EXPECT_EQ(breaks.out.substr(breaks.out.find("タイトル")),
            "タイトル:a\\x0d\\x0ab %d\n"
            "  1  00:00:00.000             a\\x0d\\x0ab 1\n"
            "チャプター1個 (候補の無音4か所から)\n"
            "自動で選びました: -s 0 (間はデジタル無音、声 -14dBFS)\n");
  // A CUE sheet past 99 tracks is written, with a word of warning.
  std::string flips;
  for (int i = 0; i < 900; ++i)
    flips += testing::frames_of({loud(1), quiet(1)});
  flips += testing::frames_of({loud(2400)});
  write_file(dir_ / "flips.wav", WaveBytes().fmt(8000).data(flips).bytes());
  testing::ToolRun cue = run_chapters(
      dir_.path(), {"-i", "flips.wav", "-f", "cue", "-s", "0", "-m", "0"});
  EXPECT_TRUE(cue.out.ends_with(
      "チャプター226個 (候補の無音900か所から)\n"
      "※ CUEシートのトラックは99までしか読めないプレーヤーが多くあります。"
      "(-n 99で99個までにできます)\n"))
      << cue.out;
  EXPECT_NE(read_file(dir_ / "flips.cue").find("  TRACK 225 AUDIO\n"),
            std::string::npos);
  testing::ToolRun usage = run_chapters(dir_.path(), {"-n", "0", "-h"});
  EXPECT_EQ(usage.status, 1);
  EXPECT_TRUE(usage.out.starts_with(
      "hushmark-chapters 無音でチャプター v" HUSHMARK_VERSION
      " \n"
      "usage : hushmark-chapters [options] -i input -o output [input2 ...]\n"))
      << usage.out;
  EXPECT_TRUE(usage.out.ends_with(
      "その順につないで1つの録音として扱います。\n"
      "フォルダを指定すると、中の音声ファイルを名前の順につなぎます。\n"))
      << usage.out;
}

TEST_F(Chapters, TakeTitlesFromAFileStartBeforeTheSoundAndSplitLongOnes) {
  fs::copy_file(fs::path(HUSHMARK_EXAMPLES) / "talk.wav", dir_ / "talk.wav");
  write_file(dir_ / "t.txt", "\xEF\xBB\xBFIntro\r\n  Part two \r\n\r\n");
  // Two lines make two chapters, as -n 2 does; -x alone makes one chapter
  // and splits it.
  run_chapters(dir_.path(), {"-i", "talk.wav", "-o", "t2.txt", "-T", "t.txt"});
  EXPECT_EQ(read_file(dir_ / "t2.txt"),
            "00:00:00.000 Intro\n00:00:04.461 Part two\n");
  run_chapters(dir_.path(), {"-i", "talk.wav", "-o", "x3.txt", "-x", "3"});
  EXPECT_EQ(read_file(dir_ / "x3.txt"),
            "00:00:00.000 Chapter 1\n00:00:04.461 Chapter 2\n");
  // Each break 250 ms before the sound resumes: -p 2 puts them at 1.857,
  // 2.924, 5.961 and 7.794 s.
  testing::ToolRun run = run_chapters(
      dir_.path(), {"-i", "talk.wav", "-s", "0", "-o", "all.txt", "-p", "1",
                    "-b", "250", "-T", "t.txt", "-n", "4", "-x", "2,3"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "infile = talk.wav\noutfile = all.txt\n区切り位置:音の250ms前\n"
            "チャプター数:最大4\n長いチャプターを分けます:目安2秒 最長3秒\n"
            "タイトルファイル:t.txt\n"
            "  1  00:00:00.000             Intro\n"
            "  2  00:00:01.607    0.600秒  Part two\n"
            "  3  00:00:02.674    0.300秒  Part two (2)\n"
            "  4  00:00:05.711    1.500秒  Chapter 4\n"
            "  5  00:00:07.544    1.000秒  Chapter 5\n"
            "チャプター5個 (候補の無音4か所から)\n"
            "※ タイトルは2行で、チャプターは4個です。"
            "残りのチャプターは-tのタイトルにします。\n"
            "※ チャプター3は分けられる無音がないため、3秒より長いままです。\n");
}

TEST_F(Chapters, RefuseWhatTheyCannotDoAndLeaveAnEarlierFileAsItWas) {
  const std::string kDecoderMissing =
      "ffmpegが見つかりません。WAVE以外のファイルを読むにはffmpegを"
      "インストールしてください。(環境変数HUSHMARK_FFMPEGで指定することも"
      "できます)\n";
  const std::string good =
      WaveBytes().fmt(8000).data({loud(10), quiet(2000), loud(10)}).bytes();
  write_file(dir_ / "in.wav", good);
  write_file(dir_ / "text.wav", "RIFF....TEXTfmt ");
  write_file(dir_ / "mono.wav",
             WaveBytes().fmt(8000, 1).data({loud(9)}).bytes());
  write_file(dir_ / "short.wav", good.substr(0, good.size() - 8));
  write_file(dir_ / "empty.wav", WaveBytes().fmt(8000).bytes());
  fs::create_directory(dir_ / "folder");
  write_file(dir_ / "latin1.txt", "Intro\nCaf\xe9\n");
  const std::string kBadSplit =
      "チャプターを分ける長さ(-x)は目安を1以上の秒数で、最長を目安以上で"
      "指定してください。(例: -x 300,420)\n";
  const std::string earlier = "earlier chapters\n";
  struct Case {
    std::vector<std::string> args;
    std::string message;  // the last line of the output
  };
  const Case cases[] = {
      {{"-o", "out.txt"}, "WAVEファイルを指定してください。\n"},
      {{"-i", "in.wav", "-p", "3"},
       "区切り位置(-p)は0,1,2で指定してください。\n"},
      {{"-i", "in.wav", "-f", "xml"},
       "出力形式(-f)はtxt,ffmetadata,cue,audacity,vtt,json,ogmのどれかで"
       "指定してください。\n"},
      {{"-i", "in.wav", "-n", "abc"},
       "チャプター数(-n)は1以上で指定してください。\n"},
      {{"-i", "in.wav", "-l", "-1"},
       "チャプターの長さ(-l)は0以上の秒数で指定してください。\n"},
      {{"-i", "in.wav", "-t", "%d%"},
       "タイトル(-t)に使える%は%d,%02d,%03d,%f,%%だけです。\n"},
      {{"-i", "in.wav", "-t", "\xff"},
       "タイトル(-t)の文字を読み取れません。\n"},
      {{"in.wav", "-b", "-1"},
       "音の前の間(-b)は0以上のミリ秒数で指定してください。\n"},
      {{"in.wav", "-x", "0"}, kBadSplit},
      {{"in.wav", "-x", "10,9"}, kBadSplit},
      {{"in.wav", "-T", "none.txt"},
       "タイトルファイルを読み込めませんでした: none.txt\n"},
      {{"in.wav", "-w", "3601"},
       "チャプターを動かせる幅(-w)は0～3600の秒数で指定してください。\n"},
      {{"in.wav", "-k", "513"},
       "ビットレート(-k)は8～512のkbit/sで指定してください。\n"},
      {{"in.wav", "-a", "none.txt"},
       "チャプター一覧を開けませんでした: none.txt\n"},
      {{"in.wav", "-T", "latin1.txt"},
       "タイトルファイルにUTF-8で読めない文字があります: latin1.txt 2行目\n"},
      {{"-i", "none.wav"}, "WAVEファイルを開けませんでした。\n"},
      {{"-i", "text.wav"}, kDecoderMissing},
      {{"-i", "mono.wav"}, kDecoderMissing},
      {{"-i", "in.wav", "mono.wav"}, kDecoderMissing},
      {{"-i", "short.wav"}, "データ読み取りに失敗\n"},
      {{"-i", "empty.wav"}, "チャプターにする音声データがありません。\n"},
      {{"-i", "in.wav", "-o", "./in.wav"},
       "入力ファイルと同じファイルにはCHAPTERファイルを書き出せません。\n"},
      {{"-i", "in.wav", "-o", "no/out.txt"},
       "CHAPTERファイルを書き出しできませんでした。\n"},
      {{"-i", "in.wav", "-o", "folder"},
       "CHAPTERファイルを書き出しできませんでした。\n"},
  };
  for (const Case& c : cases) {
    write_file(dir_ / "out.txt", earlier);
    std::set<std::string> before = listing();
    std::vector<std::string> args = c.args;
    if (c.args[0] != "-o" && c.args.size() < 4) {
      args.insert(args.end(), {"-o", "out.txt"});
    }
    // Without ffmpeg, what only ffmpeg reads fails; a WAVE file never needs
    // it.
    testing::ToolRun run = run_chapters(dir_.path(), args, "C.UTF-8", nullptr,
                                        testing::kNoDecoder);
    EXPECT_EQ(run.status, 1) << c.message;
    EXPECT_TRUE(run.out.ends_with(c.message)) << run.out;
    EXPECT_EQ(read_file(dir_ / "out.txt"), earlier) << c.message;
    EXPECT_EQ(read_file(dir_ / "in.wav"), good);
    EXPECT_EQ(listing(), before) << c.message;
  }
}

TEST_F(Chapters, ReplaceAFileWholeAndWriteThroughLinksPipesAndDevices) {
  const std::string wave =
      WaveBytes().fmt(8000).data({loud(10), quiet(2000), loud(2400)}).bytes();
  write_file(dir_ / "in.wav", wave);
  const std::string want = "00:00:00.000 Chapter 1\n00:00:00.001 Chapter 2\n";
  // An earlier file keeps its permissions; a link stays a link.
  write_file(dir_ / "real.txt", "earlier\n");
  fs::permissions(dir_ / "real.txt", fs::perms::owner_read |
                                         fs::perms::owner_write |
                                         fs::perms::group_read);
  fs::create_symlink("real.txt", dir_ / "link.txt");
  fs::create_symlink("sub/new.txt", dir_ / "dangling.txt");
  fs::create_directory(dir_ / "sub");
  for (const char* out : {"link.txt", "dangling.txt"}) {
    EXPECT_EQ(run_chapters(dir_.path(),
                           {"-i", "in.wav", "-s", "0", "-m", "200", "-o", out})
                  .status,
              0);
  }
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.txt"));
  EXPECT_EQ(read_file(dir_ / "real.txt"), want);
  EXPECT_EQ(
      fs::status(dir_ / "real.txt").permissions() & fs::perms::all,
      fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(read_file(dir_ / "sub/new.txt"), want);
  // A FIFO gets the bytes as they are; so does standard output, after the
  // console's lines.
  ASSERT_EQ(mkfifo((dir_ / "fifo").c_str(), 0600), 0);
  // The test holds the reading end open before the run, so that the run
  // finds a reader; the few bytes wait in the pipe until the run has ended.
  const int reader = ::open((dir_ / "fifo").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  EXPECT_EQ(run_chapters(dir_.path(), {"-i", "in.wav", "-s", "0", "-m", "200",
                                       "-o", "fifo", "-f", "ogm"})
                .status,
            0);
  std::string from_fifo;
  char block[4096];
  for (ssize_t n; (n = ::read(reader, block, sizeof block)) > 0;)
    from_fifo.append(block, static_cast<std::size_t>(n));
  ::close(reader);
  EXPECT_EQ(from_fifo,
            "CHAPTER01=00:00:00.000\nCHAPTER01NAME=Chapter 1\n"
            "CHAPTER02=00:00:00.001\nCHAPTER02NAME=Chapter 2\n");
  testing::ToolRun out = run_chapters(
      dir_.path(),
      {"-i", "/dev/stdin", "-s", "0", "-m", "200", "-o", "/dev/stdout"},
      "C.UTF-8", &wave);
  EXPECT_EQ(out.status, 0);
  EXPECT_TRUE(out.out.ends_with("候補の無音1か所から)\n" + want)) << out.out;
  // Each format names its file after the input; nothing else is left behind.
  for (const char* format :
       {"txt", "ffmetadata", "cue", "audacity", "vtt", "json", "ogm"}) {
    EXPECT_EQ(run_chapters(dir_.path(), {"-i", "in.wav", "-f", format}).status,
              0);
  }
  EXPECT_EQ(listing(), (std::set<std::string>{
                           "dangling.txt", "fifo", "in.chapters.json",
                           "in.chapters.txt", "in.cue", "in.ffmetadata",
                           "in.labels.txt", "in.ogm.txt", "in.vtt", "in.wav",
                           "link.txt", "real.txt", "sub", "sub/new.txt"}));
}

// Without -m the long pauses that stand apart part the chapters, but not one
// after which the sound resumes in the last 2 s; -m gives every pause again.
TEST_F(Chapters, ChooseTheChapterPausesButNoneNearTheEnd) {
  // Twelve pauses of 400 to 620 ms among three of 3 s, at 8 frames a ms; the
  // last ends 1 s before the end.
  std::string body = testing::frames_of({loud(800)});
  std::string every = "00:00:00.000 Chapter 1\n", chosen = every;
  std::uint32_t frames = 800;
  for (std::uint32_t k = 0; k < 15; ++k) {
    const std::uint32_t pause = k % 5 == 4 ? 24000 : 3200 + 160 * (k - k / 5);
    char start[32];
    std::snprintf(start, sizeof start, "00:00:%02u.%03u Chapter ",
                  frames / 8000, frames / 8 % 1000);
    every += start + std::to_string(k + 2) + "\n";
    if (pause == 24000 && k < 14) {
      chosen += start + std::to_string(k / 5 + 2) + "\n";
    }
    body += testing::frames_of({quiet(pause), loud(k < 14 ? 4000 : 8000)});
    frames += pause + (k < 14 ? 4000 : 8000);
  }
  write_file(dir_ / "in.wav", WaveBytes().fmt(8000).data(body).bytes());
  const std::string choice =
      " -m 1500 (章の区切りの無音 3.000秒以上、ほかは 0.620秒まで)\n";
  struct Case {
    std::vector<std::string> options;
    std::string chapters;
    std::string closing;  // the last line of the console
  };
  const Case cases[] = {
      {{},
       chosen,
       "自動で選びました: -s 0 (間はデジタル無音、声 -31dBFS)" + choice},
      {{"-s", "0"}, chosen, "自動で選びました:" + choice},
      {{"-s", "0", "-m", "200"}, every, "候補の無音15か所から)\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"-i", "in.wav", "-o", "out.txt"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    testing::ToolRun run = run_chapters(dir_.path(), args);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(read_file(dir_ / "out.txt"), c.chapters) << run.out;
    EXPECT_TRUE(run.out.ends_with(c.closing)) << run.out;
  }
  // A click after the last pause, then the closing silence or the end: that
  // chapter would hold only the closing silence, whatever the options.
  for (const std::uint32_t closing : {0u, 4000u}) {
    write_file(dir_ / "click.wav",
               WaveBytes()
                   .fmt(8000)
                   .data({loud(800), quiet(3200), loud(4000), quiet(24000),
                          loud(8), quiet(closing)})
                   .bytes());
    for (const char* m : {"200", "0"}) {
      run_chapters(dir_.path(),
                   {"-i", "click.wav", "-s", "0", "-m", m, "-o", "out.txt"});
      EXPECT_EQ(read_file(dir_ / "out.txt"),
                "00:00:00.000 Chapter 1\n00:00:00.100 Chapter 2\n")
          << closing << " " << m;
    }
  }
}

// A chapter read aloud at 8 frames a ms: its heading (0.75 s) and the pause
// after it (1 s) unless it has none, then sentences of 2 to 2.7 s parted by
// pauses of 0.3 to 0.5 s, and by `breaks` (a paragraph's 1.2 s, or a scene
// break's 2.3 s) after the second and fifth.
std::string read_chapter(std::uint32_t breaks, bool heading = true) {
  std::string body =
      heading ? testing::frames_of({loud(6000), quiet(8000)}) : std::string();
  for (std::uint32_t j = 0; j < 7; ++j) {
    const std::uint32_t pause =
        j == 1 || j == 4 ? breaks : 2400 + 400 * (j % 3);
    body += testing::frames_of({loud(16000 + 800 * j), quiet(pause)});
  }
  return body + testing::frames_of({loud(18000)});
}

TEST_F(Chapters, TellChapterFilesFromCutsAndChapterPausesFromSceneBreaks) {
  const std::string lead = testing::frames_of({quiet(2400)});
  const std::string chapter_pause = testing::frames_of({quiet(24000)});
  // Three files of a chapter each, joined by pauses of 0.6 s.
  fs::create_directories(dir_ / "files");
  for (int k = 1; k <= 3; ++k) {
    write_file(
        dir_ / "files" / ("Chapter " + std::to_string(k) + ".wav"),
        WaveBytes().fmt(8000).data(lead + read_chapter(9600) + lead).bytes());
  }
  // Three chapters parted by 3 s, cut into two tracks in a sentence pause.
  const std::string book = lead + read_chapter(9600) + chapter_pause +
                           read_chapter(9600) + chapter_pause +
                           read_chapter(9600) + lead;
  const std::size_t cut = (lead.size() + 2 * 4 * 60000) / 4 * 4;
  fs::create_directories(dir_ / "tracks");
  write_file(dir_ / "tracks" / "Track 01.wav",
             WaveBytes().fmt(8000).data(book.substr(0, cut)).bytes());
  write_file(dir_ / "tracks" / "Track 02.wav",
             WaveBytes().fmt(8000).data(book.substr(cut)).bytes());
  // Four chapters whose scene breaks are longer than their paragraphs.
  write_file(
      dir_ / "scenes.wav",
      WaveBytes()
          .fmt(8000)
          .data(lead + read_chapter(18400) + chapter_pause +
                read_chapter(18400) + chapter_pause + read_chapter(18400) +
                chapter_pause + read_chapter(18400) + lead)
          .bytes());
  // Files without headings, each with pauses of 3 s inside, named by a
  // number alone: alike in length they are cuts, one three times as long
  // as another they are chapters.
  for (const char* folder : {"even", "spread"}) {
    fs::create_directories(dir_ / folder);
    for (int k = 1; k <= 3; ++k) {
      std::string body = lead + read_chapter(24000, false);
      if (k == 2 && folder == std::string("spread")) {
        body += read_chapter(24000, false) + read_chapter(24000, false);
      }
      write_file(dir_ / folder / ("Part " + std::to_string(k) + ".wav"),
                 WaveBytes().fmt(8000).data(body + lead).bytes());
    }
  }
  struct Case {
    std::string input;
    std::size_t chapters;
    std::string says;
  };
  const Case cases[] = {
      {"even", 7, "※ ファイルの区切りではなく、章の区切りの無音で分けました: "},
      {"spread", 3,
       "※ ファイルごとに1チャプターにしました: "
       "ファイルの長さが章のようにばらばらです (最長は最短の2倍以上)。\n"},
      {"files", 3, "※ ファイルごとに1チャプターにしました: "},
      {"tracks", 3,
       "※ ファイルの区切りではなく、章の区切りの無音で分けました: "
       "ファイルの中に章の区切りの無音が2か所あり、見出しが続くのは2か所です。"
       "ファイルごとに分けるには -F を使います。\n"},
      {"scenes.wav", 4,
       "※ 長さだけでは決まらないため、見出し (無音のあとの短い声) "
       "が続く無音を章の区切りにしました: "
       "3か所のうち3か所に見出しが続きます。\n"},
  };
  for (const Case& c : cases) {
    testing::ToolRun run =
        run_chapters(dir_.path(), {"-i", c.input, "-o", "out.txt"});
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(testing::lines_of(read_file(dir_ / "out.txt")).size(), c.chapters)
        << run.out;
    EXPECT_NE(run.out.find(c.says), std::string::npos) << run.out;
  }
  // The files start the chapters, titled as the files are.
  EXPECT_EQ(testing::lines_of(read_file(dir_ / "out.txt")).size(), 4u);
  run_chapters(dir_.path(), {"-i", "files", "-o", "out.txt"});
  const std::vector<std::string> got =
      testing::lines_of(read_file(dir_ / "out.txt"));
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[1].substr(13), "Chapter 2");
  // The probe proposes what the run with no option does.
  EXPECT_NE(testing::run_probe(dir_.path(), {"-i", "files"})
                .out.find("章の区切りのおすすめ: -F "),
            std::string::npos);
  EXPECT_NE(testing::run_probe(dir_.path(), {"-i", "tracks"})
                .out.find("章の区切りのおすすめ: -m "),
            std::string::npos);
}

}  // namespace
}  // namespace hushmark
