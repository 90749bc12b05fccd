#ifndef HUSHMARK_CHAPTERS_LAME_TAG_H_
#define HUSHMARK_CHAPTERS_LAME_TAG_H_

#include <cstdint>
#include <optional>
#include <span>

namespace hushmark {

// The bytes of an ID3v2 tag that head (a file's first 10 bytes or more)
// starts with, its header and footer included; 0 when it starts with none.
std::uint64_t id3v2_length(std::span<const std::uint8_t> head);

// What the LAME part of an mp3 file's Xing or Info tag tells players: the
// samples to skip at the start beyond the decoder's own 529, and those to
// drop at the end; each 12 bits.
struct LameDelay {
  std::uint32_t delay = 0;
  std::uint32_t padding = 0;
};

// The delay and padding in frame (an mp3 file's first frame, from its header
// on), or nothing when its tag has no LAME part.
std::optional<LameDelay> lame_delay(std::span<const std::uint8_t> frame);

// Sets the delay and padding of frame's LAME part, each no more than 4095,
// and the part's CRC; false, with frame as it was, when it has none.
bool set_lame_delay(std::span<std::uint8_t> frame, LameDelay value);

}  // namespace hushmark

#endif  // HUSHMARK_CHAPTERS_LAME_TAG_H_
