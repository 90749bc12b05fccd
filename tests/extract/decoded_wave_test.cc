#include "extract/decoded_wave.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "test_support.h"
#include "wave_bytes.h"

namespace hushmark {
namespace {

using testing::WaveBytes;

std::span<const std::uint8_t> bytes_of(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TEST(DecodedWave, ReadsNativelyOnlyWhatHushmarkReads) {
  const std::string data = testing::frames_of({testing::loud(4)});
  struct Case {
    std::string head;
    HeadKind kind;
    std::uint32_t rate;
  };
  const Case cases[] = {
      {WaveBytes().chunk("bext", 602).fmt(44100).data(data).bytes(),
       HeadKind::kWave, 176400},
      {WaveBytes().fmt(8000, 1).data(data).bytes(), HeadKind::kDecode, 0},
      {WaveBytes().fmt(8000, 2, 24).data(data).bytes(), HeadKind::kDecode, 0},
      {WaveBytes().fmt(8000, 2, 16, 0xFFFE, 40).data(data).bytes(),
       HeadKind::kDecode, 0},
      {WaveBytes().fmt_raw(1, 2, 0, 16).data(data).bytes(), HeadKind::kDecode,
       0},
      // hushmark's walk says what is wrong with these.
      {WaveBytes().data(data).fmt(8000, 1).bytes(), HeadKind::kWave, 0},
      {WaveBytes().chunk("LIST", 70000).fmt(8000, 1).bytes().substr(0, 65536),
       HeadKind::kWave, 0},
      {WaveBytes().fmt(8000, 1).bytes().substr(0, 30), HeadKind::kWave, 0},
      // An odd size of 0xFFFFFFFF and its pad byte overflow 32 bits: the fmt
      // chunk lies in its body, out of reach.
      {WaveBytes().raw("JUNK").u32(0xFFFFFFFF).fmt(8000, 1).bytes(),
       HeadKind::kWave, 0},
      {"RF64\xff\xff\xff\xffWAVEds64", HeadKind::kDecode, 0},
      {"fLaC\0\0\0\x22", HeadKind::kDecode, 0},
      {"", HeadKind::kDecode, 0},
  };
  for (const Case& c : cases) {
    const HeadInfo info = classify_head(bytes_of(c.head));
    EXPECT_EQ(info.kind, c.kind) << c.head.substr(0, 16);
    EXPECT_EQ(info.time_base.bytes_per_second(), c.rate)
        << c.head.substr(0, 16);
  }
}

TEST(DecodedWave, ReadsFfmpegsHeaderAndFoldsEveryChannel) {
  // As ffmpeg writes six channels to a pipe: the extensible format, a title.
  const std::string info =
      std::string("INFOINAM\x07\0\0\0T\xc3\xaftle\0\0", 20);
  std::string stream = WaveBytes()
                           .fmt_raw(0xFFFE, 6, 48000 * 12, 16, 40)
                           .raw("LIST")
                           .u32(static_cast<std::uint32_t>(info.size()))
                           .raw(info)
                           .raw("data")
                           .u32(0xFFFFFFFF)
                           .bytes();
  ByteReader in(bytes_of(stream), true);
  DecodedFormat format;
  ASSERT_TRUE(read_decoded_header(in, format));
  EXPECT_EQ(format.channels, 6);
  EXPECT_EQ(format.title, "T\xc3\xaftle");
  // Neither 24-bit samples nor a stream that ends before its data.
  const std::string deep = WaveBytes().fmt(8000, 2, 24).data("").bytes();
  ByteReader deep_in(bytes_of(deep), true);
  EXPECT_FALSE(read_decoded_header(deep_in, format));
  const std::string cut = WaveBytes().fmt(8000).bytes();
  ByteReader cut_in(bytes_of(cut), true);
  EXPECT_FALSE(read_decoded_header(cut_in, format));

  // The loudest sample of a frame stands for it, -32768 included.
  const std::string three = testing::frames_of({{1, 3, -7}, {1, 5, 0}}) +
                            testing::frames_of({{1, -32768, 32767}});
  std::uint8_t out[8];
  fold_to_stereo(bytes_of(three).first(12), 3, out);
  EXPECT_EQ(testing::frames_of({{1, -7, -7}, {1, -32768, -32768}}),
            std::string(reinterpret_cast<char*>(out), 8));
  fold_to_stereo(bytes_of(three).first(4), 1, out);
  EXPECT_EQ(testing::frames_of({{1, 3, 3}, {1, -7, -7}}),
            std::string(reinterpret_cast<char*>(out), 8));
}

std::string floats(std::initializer_list<float> values) {
  std::string out;
  for (float x : values) {
    char b[4];
    std::memcpy(b, &x, 4);
    out.append(b, 4);
  }
  return out;
}

TEST(DecodedWave, TurnsFloatsIntoTheSamplesFfmpegWrites) {
  // An encoded copy's float header, then the edges of the rounding.
  const std::string stream =
      WaveBytes().fmt_raw(3, 2, 48000 * 8, 32, 16).data("").bytes();
  ByteReader in(bytes_of(stream), true);
  DecodedFormat format;
  ASSERT_TRUE(read_decoded_header(in, format));
  EXPECT_TRUE(format.is_float);
  const std::string edges = floats(
      {0.0f, 1.0f, -1.0f, 2.0f, -2.0f, 0.5f / 32768, 1.5f / 32768,
       -0.5f / 32768, 32766.5f / 32768, std::numeric_limits<float>::infinity(),
       std::numeric_limits<float>::quiet_NaN()});
  std::vector<std::uint8_t> out(edges.size() / 2);
  float_to_s16(bytes_of(edges), out.data());
  EXPECT_EQ(testing::frames_of({{1, 0, 32767},
                                {1, -32768, 32767},
                                {1, -32768, 0},
                                {1, 2, 0},
                                {1, 32766, 32767}}) +
                std::string("\0\0", 2),
            std::string(out.begin(), out.end()));

  // ffmpeg's own 16-bit samples of a decoded mp3, against its floats turned.
  if (std::system("command -v ffmpeg > /dev/null 2>&1") != 0)
    GTEST_SKIP() << "ffmpeg is not installed";
  testing::TempDir dir;
  const std::string cd = "cd '" + dir.path().string() + "' && ffmpeg -v error ";
  ASSERT_EQ(std::system((cd +
                         "-f lavfi -i 'sine=f=440:d=3,volume=8' -ac 2 "
                         "x.mp3 && " +
                         cd + "-i x.mp3 -f s16le s16 && " + cd +
                         "-i x.mp3 -f f32le f32")
                            .c_str()),
            0);
  const std::string s16 = testing::read_file(dir.path() / "s16");
  const std::string f32 = testing::read_file(dir.path() / "f32");
  ASSERT_EQ(f32.size(), 2 * s16.size());
  std::vector<std::uint8_t> turned(s16.size());
  float_to_s16(bytes_of(f32), turned.data());
  EXPECT_TRUE(std::equal(turned.begin(), turned.end(), s16.begin(),
                         [](std::uint8_t a, char b) {
                           return a == static_cast<std::uint8_t>(b);
                         }));
}

}  // namespace
}  // namespace hushmark
