#include "chapters/mp4_length.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace hushmark {
namespace {

std::string be32(std::uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16),
          static_cast<char>(v >> 8), static_cast<char>(v)};
}

std::string box(const std::string& type, const std::string& body) {
  return be32(static_cast<std::uint32_t>(8 + body.size())) + type + body;
}

// A moov as ffmpeg writes it for one AAC track: a 1000 per second movie of
// 1359 ms, a track and an edit as long, the edit skipping 12769 samples.
std::vector<std::uint8_t> one_track_moov(const std::string& handler) {
  const std::string mvhd =
      box("mvhd", be32(0) + be32(0) + be32(0) + be32(1000) + be32(1359) +
                      std::string(80, '\0'));
  const std::string tkhd =
      box("tkhd", be32(3) + be32(0) + be32(0) + be32(1) + be32(0) + be32(1359) +
                      std::string(60, '\0'));
  const std::string edts =
      box("edts", box("elst", be32(0) + be32(1) + be32(1359) + be32(12769) +
                                  be32(0x10000)));
  const std::string mdia = box(
      "mdia", box("hdlr", be32(0) + be32(0) + handler + std::string(12, '\0')));
  const std::string moov = box("moov", mvhd + box("trak", tkhd + edts + mdia));
  return {moov.begin(), moov.end()};
}

TEST(Mp4Length, ShortensTheSoundTracksEditAndTheLengthsAboveIt) {
  std::vector<std::uint8_t> moov = one_track_moov("soun");
  std::vector<std::uint8_t> expected = moov;
  // mvhd's length, tkhd's and the edit's: 1339 = 0x053B.
  for (std::size_t at : {32, 152, 240}) {
    expected[at + 2] = 0x05;
    expected[at + 3] = 0x3B;
  }
  ASSERT_TRUE(shorten_mp4(moov, 1339));
  EXPECT_EQ(moov, expected);
  // Never longer; a track of pictures is no sound track.
  EXPECT_TRUE(shorten_mp4(moov, 2000));
  EXPECT_EQ(moov, expected);
  std::vector<std::uint8_t> pictures = one_track_moov("vide");
  const std::vector<std::uint8_t> before = pictures;
  EXPECT_FALSE(shorten_mp4(pictures, 1339));
  EXPECT_EQ(pictures, before);
}

TEST(Mp4Length, LeavesAMoovCutShortAsItIs) {
  const std::vector<std::uint8_t> whole = one_track_moov("soun");
  for (std::size_t n = 0; n < whole.size(); ++n) {
    std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + n);
    EXPECT_FALSE(shorten_mp4(cut, 1339)) << n;
    EXPECT_EQ(cut, std::vector<std::uint8_t>(whole.begin(), whole.begin() + n));
  }
}

}  // namespace
}  // namespace hushmark
