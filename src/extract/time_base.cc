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

}  // namespace hushmark
