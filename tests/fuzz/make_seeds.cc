// Writes the starting corpus of the fuzz targets into three folders: small
// WAVE files with every kind of chunk the reader meets, which serve both
// extraction targets; command lines; and chapter titles.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "wave_bytes.h"

namespace hushmark::fuzz {
namespace {

using testing::loud;
using testing::quiet;
using testing::WaveBytes;

std::string options(std::int32_t threshold, std::int32_t min_ms,
                    std::uint8_t cut) {
  std::string out;
  for (std::int32_t v : {threshold, min_ms}) {
    for (int i = 0; i < 4; ++i)
      out.push_back(
          static_cast<char>(static_cast<std::uint32_t>(v) >> (8 * i)));
  }
  out.push_back(static_cast<char>(cut));
  return out;
}

// Short silences at 4,000 frames a second keep every file under a kilobyte.
WaveBytes& points(WaveBytes& w) {
  return w.data({loud(2), quiet(40), loud(1), quiet(3), loud(1)});
}

std::vector<std::string> wave_seeds() {
  std::vector<std::string> out;
  WaveBytes plain;
  plain.fmt_raw(1, 2, 16000, 16);
  out.push_back(points(plain).bytes());
  for (std::uint32_t size : {17u, 18u, 40u}) {
    WaveBytes w;
    w.fmt_raw(1, 2, 16000, 16, size);
    out.push_back(points(w).bytes());
  }
  WaveBytes chunks;
  chunks.chunk("LIST", 26)
      .fmt_raw(1, 2, 16000, 16)
      .chunk("fact", 4)
      .chunk("junk", 3);
  out.push_back(points(chunks).chunk("id3 ", 7).bytes());
  WaveBytes several;
  several.fmt_raw(1, 2, 16000, 16)
      .data({quiet(5), loud(1)}, 1)
      .data({quiet(5), loud(1)}, 2);
  out.push_back(several.data({quiet(5), loud(1)}, 3).bytes());
  WaveBytes formats;
  formats.fmt_raw(1, 2, 16000, 16)
      .data({quiet(5), loud(1)})
      .fmt_raw(3, 1, 8000, 8);
  out.push_back(formats.data({quiet(5), loud(1)}).bytes());
  out.push_back(WaveBytes().data({quiet(2)}).bytes());
  WaveBytes zero_rate;
  out.push_back(zero_rate.fmt_raw(1, 2, 0, 16).data({quiet(2)}).bytes());
  WaveBytes overlong;
  overlong.fmt_raw(1, 2, 16000, 16).raw("data").u32(0xFFFFFFFF);
  out.push_back(
      overlong.raw(testing::frames_of({quiet(9), loud(1), quiet(2)})).bytes());
  WaveBytes huge_skip;
  out.push_back(huge_skip.fmt_raw(1, 2, 16000, 16)
                    .raw("LIST")
                    .u32(4000000000u)
                    .raw("ab")
                    .bytes());
  WaveBytes short_fmt;
  out.push_back(short_fmt.raw("fmt ")
                    .u32(14)
                    .u16(1)
                    .u16(2)
                    .u32(4000)
                    .u32(16000)
                    .u16(4)
                    .bytes());
  std::string full = out[0];
  for (std::size_t n : {0u, 5u, 11u, 12u, 19u, 30u, 47u, 51u})
    out.push_back(full.substr(0, n));
  out.push_back("RIFX" + full.substr(4));
  out.push_back(WaveBytes().bytes());
  return out;
}

std::vector<std::string> extract_seeds() {
  std::vector<std::string> out;
  std::vector<std::string> waves = wave_seeds();
  for (std::size_t i = 0; i < waves.size(); ++i) {
    // The first file a few times over, with each cut position and other limits.
    out.push_back(options(0, i == 0 ? 0 : 1, static_cast<std::uint8_t>(i % 3)) +
                  waves[i]);
  }
  out.push_back(options(1000, 1, 1) + waves[0]);
  out.push_back(options(-1, -200, 2) + waves[0]);
  out.push_back(options(2147483647, 2147483647, 0) + waves[0]);
  // The chapter path naming the input by name, spelling, symlink and hard link.
  for (std::uint8_t pick = 1; pick <= 4; ++pick) {
    out.push_back(options(0, 1, static_cast<std::uint8_t>(pick * 3)) +
                  waves[0]);
  }
  // An earlier chapter file, and runs that succeed, fail after their points
  // (a later format, data cut short) and fail before any (a short fmt chunk,
  // a header cut short).
  for (std::size_t i : {0, 6, 9, 11, 14})
    out.push_back(options(0, 1, 24) + waves[i]);
  return out;
}

// The first byte picks the locale: 0 C.UTF-8, 1 C, 2 ja_JP.EUC-JP.
std::string command_line(char locale, std::vector<std::string> args) {
  std::string out(1, locale);
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (i > 0) out.push_back('\0');
    out += args[i];
  }
  return out;
}

std::vector<std::string> options_seeds() {
  return {
      command_line(0, {"-i", "talk.wav"}),
      command_line(0,
                   {"-i", "rec.d/take1", "-s", "0x10", "-m", "010", "-p", "1"}),
      command_line(1, {"-ia.wav", "-o", "-h", "-x", "-m"}),
      command_line(0, {"-i", "caf\xc3\xa9\xff.wav", "-p", "2"}),
      command_line(1, {"-i", "caf\xc3\xa9\xff.wav"}),
      command_line(0, {"-i", std::string(1023, 'a')}),
      command_line(0, {"-i", std::string(1015, 'x') + ".wav"}),
      command_line(0, {"-o", std::string(1024, 'b'), "-i", "a"}),
      command_line(0, {"stray", "-i", "a.wav", "--", "-p", "9"}),
      command_line(
          0, {"-p", "-5000000000", "-s", "99999999999999999999", "-i", "x"}),
      command_line(0, {"-h"}),
      command_line(
          2, {"-i", "\xb2\xbb\xc0\xbc.wav", "-o", "\x8f\xb0\xa1\x8e\xb1"}),
      // hushmark-chapters: a first byte of 3 to 5.
      command_line(3, {"-i", "talk.wav", "-f", "cue", "-n", "24", "-l", "300",
                       "-t", "Part %02d %% %03d"}),
      command_line(3, {"-f", "xml", "-n", "0", "-l", "-1", "-i", "a.wav"}),
      command_line(4, {"-i", "a", "-t", "%s\xff", "-f"}),
      command_line(5, {"-i", "\xb2\xbb.wav", "-t", "\xb2\xbb %d", "-f", "vtt",
                       "-p", "2"}),
      command_line(3, {"-i", std::string(1012, 'x') + ".wav", "-f", "json"})};
}

std::vector<std::string> chapter_title_seeds() {
  return {"Chapter 1",
          "A=B;C#D\\E\\",
          "\"q\" 's' <b>&amp;</b> --> x",
          "\xe8\xac\x9b\xe7\xbe\xa9 \xf0\x9f\x8e\x99",
          std::string("tab\there\nline\rcr\0nul", 23),
          " lead; #trail TRACK 01 INDEX 01 CHAPTER01NAME=x",
          "\x01\x1f\x7f\xff\xfe",
          ""};
}

void write_all(const std::filesystem::path& dir,
               const std::vector<std::string>& seeds) {
  std::filesystem::create_directories(dir);
  for (std::size_t i = 0; i < seeds.size(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "seed-%02zu", i);
    std::ofstream(dir / name, std::ios::binary) << seeds[i];
  }
}

}  // namespace
}  // namespace hushmark::fuzz

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s EXTRACT_DIR OPTIONS_DIR TITLES_DIR\n",
                 argv[0]);
    return 2;
  }
  hushmark::fuzz::write_all(argv[1], hushmark::fuzz::extract_seeds());
  hushmark::fuzz::write_all(argv[2], hushmark::fuzz::options_seeds());
  hushmark::fuzz::write_all(argv[3], hushmark::fuzz::chapter_title_seeds());
  return 0;
}
