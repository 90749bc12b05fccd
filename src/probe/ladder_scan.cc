#include "probe/ladder_scan.h"

#include <algorithm>

namespace hushmark {
namespace {

constexpr std::size_t kTileBytes = kTileFrames * kFrameBytes;
constexpr std::size_t kBatchTiles = 128;

struct TileScan {
  const ScanParams* params;
  TileClassifier classify;
  std::vector<ChapterPoint> points;
};

// Runs the silence scan of one rung over one tile.
void walk_rung(const std::uint8_t* p, std::size_t frames, std::size_t rung,
               TileScan& scan, LadderState& state, LadderCounts& counts) {
  std::uint64_t quiet;
  if (frames == kTileFrames) {
    scan.classify(p, 1, kLadder[rung], &quiet);
  } else {
    quiet = quiet_mask(p, frames, kLadder[rung]);
  }
  ScanState rung_state{state.index, state.silence_start[rung]};
  scan.points.clear();
  walk_tile(quiet, frames, *scan.params, rung_state, scan.points);
  state.silence_start[rung] = rung_state.silence_start;
  for (const ChapterPoint& point : scan.points) {
    ++counts.points[rung];
    counts.frames[rung] += point.length;
  }
}

// Advances every rung over one tile of `frames` (1 to 64) frames whose
// loudest sample has magnitude peak.
void ladder_tile(const std::uint8_t* p, std::size_t frames, std::uint32_t peak,
                 TileScan& scan, LadderState& state, LadderCounts& counts) {
  const std::size_t all_quiet_from = rung_of(peak);
  const std::size_t last =
      rung_of(peak_magnitude(p + (frames - 1) * kFrameBytes, 1));
  // With runs shorter than a tile too short to count, a rung closed on entry
  // and loud on the last frame ends the tile as it began.
  std::size_t from = scan.params->min_frames >= kTileFrames
                         ? std::min(state.open_from, last)
                         : 0;
  for (std::size_t rung = from; rung < all_quiet_from; ++rung) {
    walk_rung(p, frames, rung, scan, state, counts);
  }
  // Quiet all through the tile: a closed rung opens on its first frame.
  for (std::size_t rung = all_quiet_from; rung < state.open_from; ++rung) {
    state.silence_start[rung] = state.index + 1;
  }
  state.index += static_cast<std::uint32_t>(frames);
  state.open_from = last;
}

}  // namespace

std::size_t rung_of(std::uint32_t magnitude) {
  auto at = std::lower_bound(kLadder.begin(), kLadder.end(),
                             static_cast<std::int32_t>(magnitude));
  return static_cast<std::size_t>(at - kLadder.begin());
}

void scan_ladder_frames(std::span<const std::uint8_t> bytes,
                        std::uint32_t min_frames, LadderState& state,
                        LadderCounts& counts, TileKernel kernel) {
  const ScanParams params{0, min_frames, 0};
  TileScan scan{&params, tile_classifier(kernel), {}};
  const std::uint8_t* p = bytes.data();
  std::size_t frames = bytes.size() / kFrameBytes;
  std::uint32_t peaks[kBatchTiles];
  while (frames >= kTileFrames) {
    std::size_t tiles = std::min(frames / kTileFrames, kBatchTiles);
    tile_peaks(p, tiles, peaks, kernel);
    for (std::size_t t = 0; t < tiles; ++t) {
      ladder_tile(p + t * kTileBytes, kTileFrames, peaks[t], scan, state,
                  counts);
    }
    p += tiles * kTileBytes;
    frames -= tiles * kTileFrames;
  }
  if (frames > 0) {
    ladder_tile(p, frames, peak_magnitude(p, frames), scan, state, counts);
  }
}

bool scan_ladder_chunk(ByteReader& in, std::uint32_t frame_count,
                       bool ends_with_input, std::uint32_t nAvgBytesPerSec,
                       std::int32_t min_silence_ms, LadderTotals& totals) {
  const std::uint32_t min_frames =
      compute_min_frames(nAvgBytesPerSec, min_silence_ms);
  LadderState state;
  LadderCounts counts;
  ChunkFrames end =
      read_chunk_frames(in, frame_count, ends_with_input,
                        [&](std::span<const std::uint8_t> block) {
                          scan_ladder_frames(block, min_frames, state, counts);
                          return true;
                        });
  // Each chunk has its own rate, so lengths become seconds chunk by chunk.
  for (std::size_t rung = 0; rung < kRungs; ++rung) {
    totals.points[rung] += counts.points[rung];
    totals.seconds[rung] +=
        static_cast<double>(counts.frames[rung]) * 4.0 / nAvgBytesPerSec;
  }
  return end == ChunkFrames::kRead;
}

}  // namespace hushmark
