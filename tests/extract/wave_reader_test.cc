#include "extract/wave_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "cli/extraction.h"
#include "extract/byte_reader.h"
#include "platform/files.h"
#include "test_support.h"
#include "wave_bytes.h"

namespace hushmark {
namespace {

namespace fs = std::filesystem;
using testing::CapturedConsole;
using testing::loud;
using testing::quiet;
using testing::TempDir;
using testing::WaveBytes;
using testing::wide;

using Outcome = testing::Extraction;

Settings files(std::wstring infile, std::wstring outfile) {
  Settings s;
  s.infile = std::move(infile);
  s.outfile = std::move(outfile);
  return s;
}

Settings min_silence(std::int32_t ms) {
  Settings s;
  s.min_silence_ms = ms;
  return s;
}

Outcome extract(const std::string& wave, Settings settings = {}) {
  Outcome out = testing::extract(wave, settings);
  bool ok = out.ok;
  // The same bytes read from memory must give the same run.
  CapturedConsole memory_console;
  ByteReader in(std::span(reinterpret_cast<const std::uint8_t*>(wave.data()),
                          wave.size()));
  std::string chapters;
  platform::OutputFile chapter_file;
  chapter_file.open_in_memory(chapters);
  EXPECT_EQ(extract_points(in, scan_request(settings), chapter_file,
                           memory_console.console()),
            ok);
  EXPECT_TRUE(chapter_file.close());
  EXPECT_EQ(memory_console.text(), out.console);
  EXPECT_EQ(chapters, out.chapters);
  return out;
}

// One point a second in: 44,100 loud frames, 0.2 s of silence, one loud frame.
WaveBytes& one_point(WaveBytes& w) {
  return w.data({loud(44100), quiet(8820), loud(1)});
}
constexpr char kPointLine[] = "00:00:01.000  0.200秒\n";
constexpr char kPointChapter[] = "00:00:01.000\r\n";

TEST(WaveReader, ReportsAndSkipsUnsupportedChunks) {
  WaveBytes w;
  w.fmt(44100).chunk("LIST", 26);
  Outcome out = extract(one_point(w).chunk("id3 ", 3).bytes());
  EXPECT_TRUE(out.ok);
  EXPECT_EQ(out.console, std::string("未対応chunkID:LIST size:26\n") +
                             kPointLine + "未対応chunkID:id3  size:3\n");
  EXPECT_EQ(out.chapters, kPointChapter);
}

TEST(WaveReader, AcceptsHeaderOnlyFileAndRefusesOtherHeaders) {
  Outcome empty = extract(WaveBytes().bytes());
  EXPECT_TRUE(empty.ok);
  EXPECT_EQ(empty.console, "");
  EXPECT_TRUE(empty.chapters_exist);

  std::string good = WaveBytes().bytes();
  std::vector<std::string> bad = {"RIFX" + good.substr(4),
                                  good.substr(0, 8) + "WAVX",
                                  good.substr(0, 8) + "wave", ""};
  for (std::size_t n = 0; n < 12; ++n)
    bad.push_back(good.substr(0, n));
  for (const std::string& file : bad) {
    Outcome out = extract(file);
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.console, "WAVEファイルではありません。\n");
    // A run that fails before its first point leaves no chapter file.
    EXPECT_FALSE(out.chapters_exist);
  }
}

TEST(WaveReader, ReadsExtendedAndPaddedFmtChunks) {
  for (std::uint32_t size : {16u, 17u, 18u, 40u}) {
    WaveBytes w;
    w.fmt(44100, 2, 16, 1, size);
    Outcome out = extract(one_point(w).bytes());
    EXPECT_TRUE(out.ok) << size;
    EXPECT_EQ(out.console, kPointLine) << size;
    EXPECT_EQ(out.chapters, kPointChapter) << size;
  }
  WaveBytes short_fmt;
  short_fmt.raw("fmt ").u32(14).u16(1).u16(2).u32(44100).u32(176400).u16(4);
  Outcome out = extract(one_point(short_fmt).bytes());
  EXPECT_FALSE(out.ok);
  EXPECT_EQ(out.console, "WAVEが壊れています？\n");
  EXPECT_EQ(out.chapters, "");
}

TEST(WaveReader, SkipsPadBytesAndPartialFrames) {
  // An odd unsupported chunk, then data chunks of 1, 2 and 3 stray bytes.
  WaveBytes w;
  w.fmt(44100).chunk("junk", 3);
  w.data({loud(1), quiet(8820), loud(1)}, 1);
  w.data({quiet(8820), loud(1)}, 2);
  w.data({quiet(8820), loud(1)}, 3).chunk("LIST", 4);
  Outcome out = extract(w.bytes());
  EXPECT_TRUE(out.ok);
  EXPECT_EQ(out.console,
            "未対応chunkID:junk size:3\n"
            "00:00:00.000  0.200秒\n00:00:00.000  0.200秒\n"
            "00:00:00.000  0.200秒\n未対応chunkID:LIST size:4\n");
  EXPECT_EQ(out.chapters, "00:00:00.000\r\n00:00:00.000\r\n00:00:00.000\r\n");
}

TEST(WaveReader, ChecksTheFormatAtEachDataChunk) {
  struct Case {
    WaveBytes wave;
    const char* message;
  };
  std::vector<Case> cases(7);
  cases[0].wave.fmt(44100, 1, 8, 3);
  cases[0].message = "未対応のWAVEです。(wFormatTag!=1)\n";
  cases[1].wave.fmt(44100, 2, 16, 65534);
  cases[1].message = "未対応のWAVEです。(wFormatTag!=1)\n";
  cases[2].wave.fmt(44100, 1, 8);
  cases[2].message = "未対応のWAVEです。(nChannels!=2)\n";
  cases[3].wave.fmt(44100, 2, 8);
  cases[3].message = "未対応のWAVEです。(wBitsPerSample!=16)\n";
  cases[4].wave.fmt_raw(1, 2, 0, 16);
  cases[4].message = "未対応のWAVEです。(nAvgBytesPerSec==0)\n";
  // Data before any fmt chunk finds every field still 0.
  cases[5].message = "未対応のWAVEです。(wFormatTag!=1)\n";
  // A good format followed by a bad one: the last fmt before the data decides.
  cases[6].wave.fmt(44100).fmt(44100, 1, 16);
  cases[6].message = "未対応のWAVEです。(nChannels!=2)\n";
  for (Case& c : cases) {
    Outcome out = extract(c.wave.data({}).bytes());
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.console, c.message);
    EXPECT_EQ(out.chapters, "");
  }
}

TEST(WaveReader, ScansEachDataChunkOnItsOwnAtAnyByteRate) {
  // 500 Hz: 2,000 bytes a second; frame 2 is at 4 ms.
  WaveBytes slow;
  slow.fmt_raw(1, 2, 2000, 16).data({loud(1), quiet(100), loud(1)});
  Outcome out = extract(slow.bytes());
  EXPECT_TRUE(out.ok);
  EXPECT_EQ(out.console, "00:00:00.004  0.200秒\n");

  // A silence open at the end of one chunk does not continue into the next,
  // and times restart with each chunk.
  WaveBytes two;
  two.fmt(48000).data({loud(48000), quiet(5000)}).data({quiet(5000), loud(1)});
  out = extract(two.bytes());
  EXPECT_TRUE(out.ok);
  EXPECT_EQ(out.chapters, "");
  WaveBytes again;
  again.fmt(48000)
      .data({loud(48000), quiet(9600), loud(1)})
      .data({loud(24000), quiet(9600), loud(1)});
  out = extract(again.bytes());
  EXPECT_EQ(out.chapters, "00:00:01.000\r\n00:00:00.500\r\n");
}

TEST(WaveReader, KeepsPointsFoundBeforeTheDataRunsOut) {
  std::string frames =
      testing::frames_of({loud(1), quiet(8820), loud(1), quiet(8820), loud(1)});
  for (std::uint32_t declared :
       {0xFFFFFFFFu, static_cast<std::uint32_t>(frames.size() + 4)}) {
    for (std::size_t stray : {0u, 1u, 2u, 3u}) {
      WaveBytes w;
      w.fmt(44100).raw("data").u32(declared).raw(frames).raw(
          std::string(stray, '\1'));
      Outcome out = extract(w.bytes());
      EXPECT_FALSE(out.ok);
      EXPECT_EQ(out.console,
                "00:00:00.000  0.200秒\n00:00:00.200  "
                "0.200秒\nデータ読み取りに失敗\n");
      EXPECT_EQ(out.chapters, "00:00:00.000\r\n00:00:00.200\r\n");
    }
  }
}

TEST(WaveReader, SurvivesTruncationAtEveryLength) {
  WaveBytes w;
  w.fmt(44100).chunk("LIST", 5);
  std::string full = w.data({loud(3), quiet(4), loud(1)}).bytes();
  const std::size_t fmt_body = 12 + 8, list_header = fmt_body + 16,
                    data_header = list_header + 14, frames = data_header + 8;
  for (std::size_t n = 12; n <= full.size(); ++n) {
    Outcome out = extract(full.substr(0, n), min_silence(0));
    bool in_fmt_body = n >= fmt_body && n < list_header;
    bool in_frames = n >= frames && n < full.size();
    EXPECT_EQ(out.ok, !in_fmt_body && !in_frames) << n;
    if (in_fmt_body) {
      EXPECT_EQ(out.console, "WAVEが壊れています？\n") << n;
    }
    // The run ends with frame 8; any cut before that loses the point.
    EXPECT_EQ(out.chapters, n == full.size() ? "00:00:00.000\r\n" : "") << n;
  }
}

TEST(WaveReader, TellsAnEndFromACutChunkHeader) {
  const std::string two = WaveBytes().chunk("LIST", 3).chunk("junk", 0).bytes();
  for (std::size_t n = 12; n <= two.size(); ++n) {
    ByteReader in(
        std::span(reinterpret_cast<const std::uint8_t*>(two.data()), n));
    ASSERT_TRUE(read_riff_header(in)) << n;
    ChunkHeader chunk;
    std::vector<ChunkRead> reads;
    ChunkRead r;
    while ((r = read_chunk_header(in, chunk)) == ChunkRead::kOk) {
      reads.push_back(r);
      skip_body(in, chunk);
      skip_pad(in, chunk);
    }
    reads.push_back(r);
    // Headers at 12 and 24, the first body 3 bytes and a pad byte; a body
    // cut short is for its reader to notice.
    const std::size_t whole = (n >= 20) + (n >= 32);
    const bool cut = (n > 12 && n < 20) || (n > 24 && n < 32);
    EXPECT_EQ(reads.size(), whole + 1) << n;
    EXPECT_EQ(reads.back(), cut ? ChunkRead::kTruncated : ChunkRead::kEnd) << n;
  }
}

TEST(WaveReader, ShowsChunkIdentifiersSafely) {
  EXPECT_EQ(printable_chunk_id(fourcc("LIST")), L"LIST");
  EXPECT_EQ(printable_chunk_id(fourcc("\x1b[2J")), L"\\x1b[2J");
  EXPECT_EQ(printable_chunk_id(fourcc("ab\0c")), L"ab");
  EXPECT_EQ(printable_chunk_id(fourcc("\0\0da")), L"");
  EXPECT_EQ(printable_chunk_id(fourcc("\xe3\x81\x82~")), L"\\xe3\\x81\\x82~");
  WaveBytes w;
  w.raw(
       "\x9b"
       "31m")
      .u32(0);
  Outcome out = extract(w.bytes());
  EXPECT_EQ(out.console, "未対応chunkID:\\x9b31m size:0\n");
}

TEST(WaveReader, SkipsAChunkThatRunsPastTheEnd) {
  WaveBytes w;
  w.fmt(44100).raw("LIST").u32(4000000000u).raw("abc");
  Outcome out = extract(w.bytes());
  EXPECT_TRUE(out.ok);
  EXPECT_EQ(out.console, "未対応chunkID:LIST size:4000000000\n");
}

TEST(WaveReader, ReportsFilesItCannotOpenOrWrite) {
  TempDir dir;
  CapturedConsole console;
  Settings missing = files(wide(dir / "none.wav"), wide(dir / "out.txt"));
  EXPECT_FALSE(run_extraction(missing, console.console()));
  Settings directory = files(wide(dir.path()), wide(dir / "out.txt"));
  EXPECT_FALSE(run_extraction(directory, console.console()));
  EXPECT_FALSE(fs::exists(dir / "out.txt"));

  WaveBytes w;
  testing::write_file(dir / "in.wav", one_point(w.fmt(44100)).bytes());
  Settings no_folder =
      files(wide(dir / "in.wav"), wide(dir / "no" / "out.txt"));
  EXPECT_FALSE(run_extraction(no_folder, console.console()));
  Settings full = files(wide(dir / "in.wav"), L"/dev/full");
  EXPECT_FALSE(run_extraction(full, console.console()));
  EXPECT_EQ(console.text(),
            "WAVEファイルを開けませんでした。\n"
            "WAVEファイルを開けませんでした。\n"
            "CHAPTERファイルを書き出しできませんでした。\n" +
                std::string(kPointLine) +
                "CHAPTERファイルを書き出しできませんでした。\n");
}

TEST(WaveReader, NeverWritesChaptersOverTheInput) {
  TempDir dir;
  WaveBytes w;
  std::string wave = one_point(w.fmt(44100)).bytes();
  testing::write_file(dir / "in.wav", wave);
  fs::create_symlink(dir / "in.wav", dir / "link.wav");
  fs::create_hard_link(dir / "in.wav", dir / "hard.wav");
  fs::path dotted = dir.path() / "." / "in.wav";
  for (const fs::path& out :
       {dir / "in.wav", dotted, dir / "link.wav", dir / "hard.wav"}) {
    CapturedConsole console;
    Settings s = files(wide(dir / "in.wav"), wide(out));
    EXPECT_FALSE(run_extraction(s, console.console()));
    EXPECT_EQ(
        console.text(),
        "入力ファイルと同じファイルにはCHAPTERファイルを書き出せません。\n");
    EXPECT_EQ(testing::read_file(dir / "in.wav"), wave);
  }
}

}  // namespace
}  // namespace hushmark
