#include "extract/time_base.h"

namespace hushmark {

std::uint32_t compute_min_frames(std::uint32_t nAvgBytesPerSec,
                                 std::int32_t min_silence_ms) {
  std::int64_t quotient =
      std::int64_t{nAvgBytesPerSec} * min_silence_ms / kFrameByteMs;
  return static_cast<std::uint32_t>(quotient);
}

std::uint64_t frame_time_ms(std::uint64_t n, std::uint32_t nAvgBytesPerSec) {
  return n * kFrameByteMs / nAvgBytesPerSec;
}

double frames_seconds(std::uint64_t frames, std::uint32_t nAvgBytesPerSec) {
  // 4.0 exactly; the product is rounded before the quotient, as always.
  constexpr double kFrameByteSeconds = kFrameByteMs / 1000.0;
  return static_cast<double>(frames) * kFrameByteSeconds / nAvgBytesPerSec;
}

std::uint32_t sample_rate_of(std::uint32_t nAvgBytesPerSec) {
  return nAvgBytesPerSec / kFrameBytes;
}

std::uint32_t byte_rate_of(std::uint32_t sample_rate) {
  return sample_rate * kFrameBytes;
}

std::uint64_t ms_frames(std::uint64_t ms, std::uint32_t nAvgBytesPerSec) {
  return ms * sample_rate_of(nAvgBytesPerSec) / 1000;
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
