#include "chapters/lame_tag.h"

namespace hushmark {
namespace {

// From the Xing tag: its flags say which of the frame count (1), byte count
// (2), table of contents (4, 100 bytes) and quality (8) follow.
constexpr std::size_t kXingFlagsAt = 4;

// In the LAME part: the delay and padding, and the CRC of the frame's bytes
// before it.
constexpr std::size_t kDelayAt = 21;
constexpr std::size_t kCrcAt = 34;

// The CRC-16 that LAME writes (polynomial 0x8005, bits reversed).
std::uint16_t lame_crc(std::span<const std::uint8_t> bytes) {
  std::uint16_t crc = 0;
  for (std::uint8_t b : bytes) {
    crc ^= b;
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  return crc;
}

// Where the LAME part of frame's Xing or Info tag starts; 0 when it has
// none.
std::size_t lame_part_at(std::span<const std::uint8_t> frame) {
  if (frame.size() < 4 || frame[0] != 0xFF || (frame[1] & 0xE0) != 0xE0 ||
      (frame[1] & 0x06) != 0x02) {
    return 0;  // not a Layer III frame header
  }
  const bool mpeg1 = (frame[1] & 0x18) == 0x18;
  const bool mono = (frame[3] & 0xC0) == 0xC0;
  const std::size_t side = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
  const std::size_t tag = 4 + side;
  if (frame.size() < tag + 8) return 0;
  const std::span<const std::uint8_t> id = frame.subspan(tag, 4);
  const bool xing =
      id[0] == 'X' && id[1] == 'i' && id[2] == 'n' && id[3] == 'g';
  const bool info =
      id[0] == 'I' && id[1] == 'n' && id[2] == 'f' && id[3] == 'o';
  if (!xing && !info) return 0;
  const std::uint8_t flags = frame[tag + kXingFlagsAt + 3];
  const std::size_t part =
      tag + 8 + ((flags & 1) != 0 ? 4 : 0) + ((flags & 2) != 0 ? 4 : 0) +
      ((flags & 4) != 0 ? 100 : 0) + ((flags & 8) != 0 ? 4 : 0);
  return frame.size() >= part + kCrcAt + 2 ? part : 0;
}

}  // namespace

std::uint64_t id3v2_length(std::span<const std::uint8_t> head) {
  if (head.size() < 10 || head[0] != 'I' || head[1] != 'D' || head[2] != '3')
    return 0;
  std::uint64_t size = 0;
  for (std::size_t i = 6; i < 10; ++i) {
    if ((head[i] & 0x80) != 0) return 0;  // not a synchsafe size
    size = size << 7 | head[i];
  }
  const bool footer = (head[5] & 0x10) != 0;
  return 10 + size + (footer ? 10 : 0);
}

std::optional<LameDelay> lame_delay(std::span<const std::uint8_t> frame) {
  const std::size_t part = lame_part_at(frame);
  if (part == 0) return std::nullopt;
  const std::uint32_t field = std::uint32_t{frame[part + kDelayAt]} << 16 |
                              std::uint32_t{frame[part + kDelayAt + 1]} << 8 |
                              frame[part + kDelayAt + 2];
  return LameDelay{field >> 12, field & 0xFFF};
}

bool set_lame_delay(std::span<std::uint8_t> frame, LameDelay value) {
  const std::size_t part = lame_part_at(frame);
  if (part == 0 || value.delay > 4095 || value.padding > 4095) return false;
  const std::uint32_t field = value.delay << 12 | value.padding;
  frame[part + kDelayAt] = static_cast<std::uint8_t>(field >> 16);
  frame[part + kDelayAt + 1] = static_cast<std::uint8_t>(field >> 8);
  frame[part + kDelayAt + 2] = static_cast<std::uint8_t>(field);
  const std::uint16_t crc = lame_crc(frame.first(part + kCrcAt));
  frame[part + kCrcAt] = static_cast<std::uint8_t>(crc >> 8);
  frame[part + kCrcAt + 1] = static_cast<std::uint8_t>(crc);
  return true;
}

}  // namespace hushmark
