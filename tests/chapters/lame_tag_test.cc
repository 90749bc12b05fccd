#include "chapters/lame_tag.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace hushmark {
namespace {

// The first frame that ffmpeg writes for a 128 kbit/s stereo mp3 at 44.1
// kHz: a header, 32 bytes of side information, an Info tag with all four
// fields, and its LAME part.
std::vector<std::uint8_t> info_frame() {
  std::vector<std::uint8_t> frame(417, 0);
  const std::uint8_t header[] = {0xFF, 0xFB, 0x90, 0x00};
  std::copy(std::begin(header), std::end(header), frame.begin());
  for (std::size_t i = 0; i < 4; ++i)
    frame[36 + i] = static_cast<std::uint8_t>(std::string_view("Info")[i]);
  frame[43] = 0x0F;
  for (std::size_t i = 0; i < 4; ++i)
    frame[156 + i] = static_cast<std::uint8_t>(std::string_view("Lavf")[i]);
  return frame;
}

TEST(LameTag, SetsDelayAndPaddingWithTheCrcPlayersCheck) {
  std::vector<std::uint8_t> frame = info_frame();
  ASSERT_TRUE(set_lame_delay(frame, {576, 1234}));
  EXPECT_EQ(std::vector<std::uint8_t>(frame.begin() + 177, frame.begin() + 180),
            (std::vector<std::uint8_t>{0x24, 0x04, 0xD2}));
  EXPECT_EQ(frame[190], 0x52);
  EXPECT_EQ(frame[191], 0x00);
  const std::optional<LameDelay> read = lame_delay(frame);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->delay, 576u);
  EXPECT_EQ(read->padding, 1234u);
  EXPECT_FALSE(set_lame_delay(frame, {4096, 0}));
}

TEST(LameTag, LeavesAFrameWithoutAWholeLamePartAsItIs) {
  const std::vector<std::uint8_t> whole = info_frame();
  for (std::size_t n = 0; n < 192; ++n) {
    std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + n);
    EXPECT_FALSE(set_lame_delay(cut, {1, 1})) << n;
    EXPECT_EQ(cut, std::vector<std::uint8_t>(whole.begin(), whole.begin() + n));
  }
  std::vector<std::uint8_t> layer2 = whole;
  layer2[1] = 0xFD;
  EXPECT_FALSE(lame_delay(layer2));
  std::vector<std::uint8_t> mono = whole;
  mono[3] = 0xC0;  // its tag would come after 17 bytes of side information
  EXPECT_FALSE(lame_delay(mono));
}

TEST(LameTag, MeasuresTheId3TagBeforeTheFirstFrame) {
  const std::uint8_t tag[] = {'I', 'D', '3', 4, 0, 0, 0, 0, 2, 0x2B};
  EXPECT_EQ(id3v2_length(tag), 309u);
  const std::uint8_t footer[] = {'I', 'D', '3', 4, 0, 0x10, 0, 0, 2, 0x2B};
  EXPECT_EQ(id3v2_length(footer), 319u);
  const std::uint8_t not_synchsafe[] = {'I', 'D', '3', 4, 0, 0, 0, 0, 2, 0xAB};
  EXPECT_EQ(id3v2_length(not_synchsafe), 0u);
  EXPECT_EQ(id3v2_length(std::span(tag, 9)), 0u);
}

}  // namespace
}  // namespace hushmark
