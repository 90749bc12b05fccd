#ifndef HUSHMARK_EXTRACT_SILENCE_SCAN_H_
#define HUSHMARK_EXTRACT_SILENCE_SCAN_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "extract/byte_reader.h"
#include "extract/errors.h"
#include "extract/scan_state.h"
#include "extract/time_base.h"

namespace hushmark {

// HH:MM:SS.mmm; hours keep counting past 24 and take more digits past 99.
std::string format_time(std::uint64_t ms);

// Scans whole frames, one at a time, appending each chapter point found. The
// fast scan is tested against this plain one.
void scan_frames(std::span<const std::uint8_t> bytes, const ScanParams& params,
                 ScanState& state, std::vector<ChapterPoint>& points);

// How handing a data chunk's frames over ended.
enum class ChunkFrames {
  kRead,       // every frame, or every frame a stream had before it ended
  kShortRead,  // the input ended, or failed, before the chunk did
  kStopped,    // the block handler asked to stop
};

// Hands the frame_count frames of one data chunk to handle_block, as many
// whole frames at a time as the reader holds; handle_block returns false to
// stop. At a short read every whole frame present has been handed over. When
// ends_with_input is set, a stream that ends inside the chunk ends it.
template <class BlockHandler>
ChunkFrames read_chunk_frames(ByteReader& in, std::uint32_t frame_count,
                              bool ends_with_input,
                              BlockHandler&& handle_block) {
  std::uint32_t remaining = frame_count;
  while (remaining > 0) {
    std::span<const std::uint8_t> have = in.fill(kFrameBytes);
    if (have.size() < kFrameBytes) {
      in.consume(have.size());
      return ends_with_input && !in.failed() ? ChunkFrames::kRead
                                             : ChunkFrames::kShortRead;
    }
    std::uint32_t frames = static_cast<std::uint32_t>(
        std::min<std::size_t>(have.size() / kFrameBytes, remaining));
    std::span<const std::uint8_t> block =
        have.first(std::size_t{frames} * kFrameBytes);
    // The bytes stay in place until the next fill().
    in.consume(block.size());
    remaining -= frames;
    if (!handle_block(block)) return ChunkFrames::kStopped;
  }
  return ChunkFrames::kRead;
}

// Hears the points found in a block of frames, in order, with the byte rate
// that times them; false when they could not be kept, which stops the scan.
using PointSink = std::function<bool(std::span<const ChapterPoint> points,
                                     TimeBase time_base)>;

// Reads frame_count frames of one data chunk, handing the points of every
// silence long enough to sink. kDataEndedEarly after a short read, once the
// points of every whole frame present are out; when ends_with_input is set,
// an input that ends early ends the chunk instead. kPointsRefused when
// sink refused its points.
CoreError scan_data_chunk(ByteReader& in, std::uint32_t frame_count,
                          bool ends_with_input, TimeBase time_base,
                          const ScanRequest& request, const PointSink& sink);

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_SILENCE_SCAN_H_
