#ifndef HUSHMARK_EXTRACT_TIME_BASE_H_
#define HUSHMARK_EXTRACT_TIME_BASE_H_

#include <cstdint>

#include "extract/scan_state.h"

namespace hushmark {

// Times come from the byte rate as hushmark has always taken them: a frame is
// 4 bytes, so n frames last n * 4,000 / nAvgBytesPerSec milliseconds, whatever
// the sample rate says.
inline constexpr std::uint32_t kFrameByteMs = kFrameBytes * 1000;

// The shortest silence, in frames, for min_silence_ms at this byte rate: the
// exact 64-bit quotient, truncated toward zero, kept to its low 32 bits.
std::uint32_t compute_min_frames(std::uint32_t nAvgBytesPerSec,
                                 std::int32_t min_silence_ms);

// The time of frame index n in whole milliseconds (byte rate must not be 0).
std::uint64_t frame_time_ms(std::uint64_t n, std::uint32_t nAvgBytesPerSec);

// The seconds that `frames` frames last at this byte rate (not 0), as the
// double frames * 4.0 / nAvgBytesPerSec.
double frames_seconds(std::uint64_t frames, std::uint32_t nAvgBytesPerSec);

// The frames a second at this byte rate: nAvgBytesPerSec / 4, truncated.
std::uint32_t sample_rate_of(std::uint32_t nAvgBytesPerSec);

// The byte rate of frames at this sample rate (at most 2^30 - 1 Hz).
std::uint32_t byte_rate_of(std::uint32_t sample_rate);

// The whole frames that ms milliseconds last at this byte rate, counted at
// its whole frames a second: ms * (nAvgBytesPerSec / 4) / 1000, truncated.
std::uint64_t ms_frames(std::uint64_t ms, std::uint32_t nAvgBytesPerSec);

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
