#ifndef HUSHMARK_EXTRACT_TIME_BASE_H_
#define HUSHMARK_EXTRACT_TIME_BASE_H_

#include <cstdint>

#include "extract/scan_state.h"

namespace hushmark {

// Times come from the byte rate as hushmark has always taken them: a frame is
// 4 bytes, so n frames last n * 4,000 / nAvgBytesPerSec milliseconds, whatever
// the sample rate says.
inline constexpr std::uint32_t kFrameByteMs = kFrameBytes * 1000;

// A recording's time base: the bytes a second of its fmt chunk
// (nAvgBytesPerSec), or of the stereo frames a decoder gives. 0 until one is
// known. Made only by name, so that a sample rate or a frame count cannot
// stand in for it.
class TimeBase {
 public:
  constexpr TimeBase() = default;
  constexpr explicit TimeBase(std::uint32_t bytes_per_second)
      : bytes_per_second_(bytes_per_second) {}

  constexpr std::uint32_t bytes_per_second() const { return bytes_per_second_; }
  constexpr bool known() const { return bytes_per_second_ != 0; }

  friend constexpr bool operator==(TimeBase, TimeBase) = default;

 private:
  std::uint32_t bytes_per_second_ = 0;
};

// The shortest silence, in frames, for min_silence_ms at this byte rate: the
// exact 64-bit quotient, truncated toward zero, kept to its low 32 bits.
std::uint32_t compute_min_frames(TimeBase time_base,
                                 std::int32_t min_silence_ms);

// The time of frame index n in whole milliseconds (time base must be known).
std::uint64_t frame_time_ms(std::uint64_t n, TimeBase time_base);

// The seconds that `frames` frames last at this byte rate (not 0), as the
// double frames * 4.0 / nAvgBytesPerSec.
double frames_seconds(std::uint64_t frames, TimeBase time_base);

// The seconds that `bytes` bytes of frames last at this byte rate (not 0), as
// the double bytes / nAvgBytesPerSec.
inline double bytes_seconds(std::uint64_t bytes, TimeBase time_base) {
  return static_cast<double>(bytes) / time_base.bytes_per_second();
}

// The frames a second at this byte rate: nAvgBytesPerSec / 4, truncated.
std::uint32_t sample_rate_of(TimeBase time_base);

// The time base of frames at this sample rate (at most 2^30 - 1 Hz).
TimeBase byte_rate_of(std::uint32_t sample_rate);

// The whole frames that ms milliseconds last at this byte rate, counted at
// its whole frames a second: ms * (nAvgBytesPerSec / 4) / 1000, truncated.
std::uint64_t ms_frames(std::uint64_t ms, TimeBase time_base);

// Whole seconds (not negative) in milliseconds.
std::uint64_t seconds_ms(std::int32_t seconds);

// A CUE sheet counts time in CD frames, 75 to a second.
inline constexpr std::uint64_t kCueFramesPerSecond = 75;

// The whole CD frames before ms milliseconds (truncated).
std::uint64_t ms_cue_frames(std::uint64_t ms);

// CD frames in milliseconds, to the nearest one.
std::uint64_t cue_frames_ms(std::uint64_t frames);

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_TIME_BASE_H_
