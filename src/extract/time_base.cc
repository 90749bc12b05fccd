#include "extract/time_base.h"

#include <type_traits>

namespace hushmark {

// Carried by value through the scan as cheaply as the number it holds, and
// never made from a bare number by accident.
static_assert(std::is_trivially_copyable_v<TimeBase> &&
              sizeof(TimeBase) == sizeof(std::uint32_t));
static_assert(!std::is_convertible_v<std::uint32_t, TimeBase>);

std::uint32_t compute_min_frames(TimeBase time_base,
                                 std::int32_t min_silence_ms) {
  std::int64_t quotient = std::int64_t{time_base.bytes_per_second()} *
                          min_silence_ms / kFrameByteMs;
  return static_cast<std::uint32_t>(quotient);
}

std::uint64_t frame_time_ms(std::uint64_t n, TimeBase time_base) {
  return n * kFrameByteMs / time_base.bytes_per_second();
}

double frames_seconds(std::uint64_t frames, TimeBase time_base) {
  // 4.0 exactly; the product is rounded before the quotient, as always.
  constexpr double kFrameByteSeconds = kFrameByteMs / 1000.0;
  return static_cast<double>(frames) * kFrameByteSeconds /
         time_base.bytes_per_second();
}

std::uint32_t sample_rate_of(TimeBase time_base) {
  return time_base.bytes_per_second() / kFrameBytes;
}

TimeBase byte_rate_of(std::uint32_t sample_rate) {
  return TimeBase(sample_rate * kFrameBytes);
}

std::uint64_t ms_frames(std::uint64_t ms, TimeBase time_base) {
  return ms * sample_rate_of(time_base) / 1000;
}

std::uint64_t seconds_ms(std::int32_t seconds) {
  return std::uint64_t{1000} * static_cast<std::uint32_t>(seconds);
}

std::uint64_t ms_cue_frames(std::uint64_t ms) {
  return ms * kCueFramesPerSecond / 1000;
}

std::uint64_t cue_frames_ms(std::uint64_t frames) {
  return (frames * 1000 + kCueFramesPerSecond / 2) / kCueFramesPerSecond;
}

}  // namespace hushmark
