#include "extract/ladder.h"

#include <algorithm>

namespace hushmark {
namespace {

constexpr std::size_t kTileBytes = kTileFrames * kFrameBytes;
constexpr std::size_t kBatchTiles = 128;

struct TileScan {
  ScanParams walk;
  TileClassifier classify;
  std::vector<ChapterPoint> points;  // scratch
};

// Runs the silence scan of one rung over one tile.
void walk_rung(const std::uint8_t* p, std::size_t frames, std::size_t rung,
               TileScan& scan, LadderState& state, LadderFound& found) {
  std::uint64_t quiet;
  if (frames == kTileFrames) {
    scan.classify(p, 1, kLadder[rung], &quiet);
  } else {
    quiet = quiet_mask(p, frames, kLadder[rung]);
  }
  ScanState rung_state{state.index, state.silence_start[rung]};
  scan.points.clear();
  walk_tile(quiet, frames, scan.walk, rung_state, scan.points);
  state.silence_start[rung] = rung_state.silence_start;
  // Few tiles end a run, so this stays out of the tile loop.
  if (!scan.points.empty()) {
    found[rung].insert(found[rung].end(), scan.points.begin(),
                       scan.points.end());
  }
}

// Advances every rung over one tile of `frames` (1 to 64) frames whose
// loudest sample has magnitude peak.
void ladder_tile(const std::uint8_t* p, std::size_t frames, std::uint32_t peak,
                 TileScan& scan, LadderState& state, LadderFound& found) {
  const std::size_t all_quiet_from = rung_of(peak);
  const std::size_t last =
      rung_of(peak_magnitude(p + (frames - 1) * kFrameBytes, 1));
  // With runs shorter than a tile too short to count, a rung closed on entry
  // and loud on the last frame ends the tile as it began.
  std::size_t from =
      scan.walk.min_frames >= kTileFrames ? std::min(state.open_from, last) : 0;
  for (std::size_t rung = from; rung < all_quiet_from; ++rung) {
    walk_rung(p, frames, rung, scan, state, found);
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

int ladder_rung(std::int32_t threshold) {
  auto at = std::lower_bound(kLadder.begin(), kLadder.end(), threshold);
  if (at == kLadder.end() || *at != threshold) return -1;
  return static_cast<int>(at - kLadder.begin());
}

void scan_ladder_frames(std::span<const std::uint8_t> bytes,
                        std::uint32_t min_frames, LadderState& state,
                        LadderFound& found, TileKernel kernel) {
  TileScan scan{
      {0, min_frames, CutPosition::kStart}, tile_classifier(kernel), {}};
  const std::uint8_t* p = bytes.data();
  std::size_t frames = bytes.size() / kFrameBytes;
  std::uint32_t peaks[kBatchTiles];
  while (frames >= kTileFrames) {
    std::size_t tiles = std::min(frames / kTileFrames, kBatchTiles);
    tile_peaks(p, tiles, peaks, kernel);
    for (std::size_t t = 0; t < tiles; ++t) {
      ladder_tile(p + t * kTileBytes, kTileFrames, peaks[t], scan, state,
                  found);
    }
    p += tiles * kTileBytes;
    frames -= tiles * kTileFrames;
  }
  if (frames > 0) {
    ladder_tile(p, frames, peak_magnitude(p, frames), scan, state, found);
  }
}

std::uint32_t rebase_ladder(LadderState& state) {
  if (state.index < kRebaseAt) return 0;
  std::uint32_t shift = state.index;
  for (std::uint32_t start : state.silence_start) {
    if (start != 0) shift = std::min(shift, start - 1);
  }
  state.index -= shift;
  for (std::uint32_t& start : state.silence_start) {
    if (start != 0) start -= shift;
  }
  return shift;
}

std::size_t frames_before_loud(std::span<const std::uint8_t> bytes,
                               std::int32_t level) {
  const std::uint8_t* p = bytes.data();
  const std::size_t frames = bytes.size() / kFrameBytes;
  auto loud = [&](std::size_t at, std::size_t n) {
    return std::int64_t{peak_magnitude(p + at * kFrameBytes, n)} > level;
  };
  std::size_t at = 0;
  while (at < frames && !loud(at, std::min(kTileFrames, frames - at))) {
    at += kTileFrames;
  }
  while (at < frames && !loud(at, 1))
    ++at;
  return std::min(at, frames);
}

}  // namespace hushmark
