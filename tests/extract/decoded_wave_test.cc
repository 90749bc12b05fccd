#include "extract/decoded_wave.h"

#include <gtest/gtest.h>

#include <string>

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
      {"RF64\xff\xff\xff\xffWAVEds64", HeadKind::kDecode, 0},
      {"fLaC\0\0\0\x22", HeadKind::kDecode, 0},
      {"", HeadKind::kDecode, 0},
  };
  for (const Case& c : cases) {
    const HeadInfo info = classify_head(bytes_of(c.head));
    EXPECT_EQ(info.kind, c.kind) << c.head.substr(0, 16);
    EXPECT_EQ(info.nAvgBytesPerSec, c.rate) << c.head.substr(0, 16);
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

}  // namespace
}  // namespace hushmark
