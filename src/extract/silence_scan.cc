#include "extract/silence_scan.h"

#include <algorithm>

#include "extract/fast_scan.h"
#include "extract/point_format.h"
#include "extract/time_base.h"

namespace hushmark {
namespace {

std::int32_t sample_magnitude(const std::uint8_t* p) {
  auto s =
      static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
  return s < 0 ? -std::int32_t{s} : std::int32_t{s};
}

}  // namespace

std::string format_time(std::uint64_t ms) {
  char text[kMaxTimeChars];
  return std::string(text, format_time_chars(ms, text));
}

void scan_frames(std::span<const std::uint8_t> bytes, const ScanParams& params,
                 ScanState& state, std::vector<ChapterPoint>& points) {
  for (std::size_t at = 0; at + kFrameBytes <= bytes.size();
       at += kFrameBytes) {
    ++state.index;
    bool quiet = sample_magnitude(&bytes[at]) <= params.threshold &&
                 sample_magnitude(&bytes[at + 2]) <= params.threshold;
    if (quiet) {
      if (state.silence_start == 0) state.silence_start = state.index;
      continue;
    }
    if (state.silence_start == 0) continue;
    std::uint32_t length = state.index - state.silence_start;
    if (length >= params.min_frames) {
      points.push_back({cut_frame(params, state, length), length});
    }
    state.silence_start = 0;
  }
}

CoreError scan_data_chunk(ByteReader& in, std::uint32_t frame_count,
                          bool ends_with_input, TimeBase time_base,
                          const ScanRequest& request, const PointSink& sink) {
  const ScanParams params{request.threshold,
                          compute_min_frames(time_base, request.min_silence_ms),
                          request.cut};
  ScanState state;
  std::vector<ChapterPoint> points;
  auto scan_block = [&](std::span<const std::uint8_t> block) {
    points.clear();
    scan_frames_fast(block, params, state, points);
    return points.empty() || sink(points, time_base);
  };
  switch (read_chunk_frames(in, frame_count, ends_with_input, scan_block)) {
  case ChunkFrames::kRead:
    return {};
  case ChunkFrames::kShortRead:
    // The points of every whole frame present are out; the rest is missing.
    return {Failure::kDataEndedEarly};
  case ChunkFrames::kStopped:
    return {Failure::kPointsRefused};
  }
  return {};
}

}  // namespace hushmark
