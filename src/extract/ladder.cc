#include "extract/ladder.h"

#include <algorithm>
#include <bit>

namespace hushmark {
namespace {

constexpr std::size_t kTileBytes = kTileFrames * kFrameBytes;
constexpr std::size_t kBatchTiles = 128;

// The larger magnitude of one frame's two samples.
std::uint32_t frame_magnitude(const std::uint8_t* p) {
  auto magnitude = [](const std::uint8_t* q) {
    const auto s =
        static_cast<std::int16_t>(static_cast<std::uint16_t>(q[0] | q[1] << 8));
    return static_cast<std::uint32_t>(s < 0 ? -std::int32_t{s} : s);
  };
  return std::max(magnitude(p), magnitude(p + 2));
}

struct TileScan {
  ScanParams walk;  // places each cut at its silence's first frame
  TileMasker masks_of;
  std::vector<ChapterPoint> points;  // scratch
};

// Runs the silence scan of one rung over one tile whose quiet frames at
// that rung are the set bits of quiet.
void walk_rung(std::uint64_t quiet, std::size_t frames, std::size_t rung,
               TileScan& scan, LadderState& state, LadderFound& found) {
  ScanState rung_state{state.index, state.silence_start[rung]};
  scan.points.clear();
  walk_tile(quiet, frames, scan.walk, rung_state, scan.points);
  state.silence_start[rung] = rung_state.silence_start;
  // Few tiles end a run, so this stays out of the tile loop.
  for (const ChapterPoint& point : scan.points)
    found[rung].push_back({point.cut, point.length});
}

// walk_tile for the rungs from `from` to `to` (exclusive) of one tile when
// runs shorter than a tile are too short to count: only the run open on
// entry, which the tile's first loud frame ends (every rung below `to` has
// one), and the run open on exit matter.
void walk_ends(const std::uint64_t* masks, std::size_t from, std::size_t to,
               std::size_t frames, std::uint32_t min_frames, LadderState& state,
               LadderFound& found) {
  const std::uint64_t valid = frames == kTileFrames
                                  ? ~std::uint64_t{0}
                                  : (std::uint64_t{1} << frames) - 1;
  const std::uint32_t base = state.index + 1;
  for (std::size_t rung = from; rung < to; ++rung) {
    const std::uint64_t quiet = masks[rung - from] & valid;
    const std::uint64_t loud = ~quiet & valid;
    std::uint32_t& start = state.silence_start[rung];
    if (start != 0) {
      const std::uint32_t at =
          base + static_cast<std::uint32_t>(std::countr_zero(loud));
      if (at - start >= min_frames) found[rung].push_back({start, at - start});
      start = 0;
    }
    if (quiet >> (frames - 1) & 1) {
      // The run open on exit starts just after the last loud frame.
      start = base + static_cast<std::uint32_t>(std::bit_width(loud));
    }
  }
}

// Advances every rung over one tile of `frames` (1 to 64) frames whose
// loudest sample has magnitude peak.
void ladder_tile(const std::uint8_t* p, std::size_t frames, std::uint32_t peak,
                 TileScan& scan, LadderState& state, LadderFound& found) {
  const std::size_t all_quiet_from = rung_of(peak);
  const std::size_t last =
      rung_of(frame_magnitude(p + (frames - 1) * kFrameBytes));
  // With runs shorter than a tile too short to count, a rung closed on entry
  // and loud on the last frame ends the tile as it began.
  std::size_t from =
      scan.walk.min_frames >= kTileFrames ? std::min(state.open_from, last) : 0;
  if (from < all_quiet_from) {
    // Every rung's mask at once: the tile's magnitudes are found once.
    std::uint64_t masks[kRungs];
    if (frames == kTileFrames) {
      scan.masks_of(p, kLadder.data() + from, all_quiet_from - from, masks);
    } else {
      for (std::size_t rung = from; rung < all_quiet_from; ++rung) {
        masks[rung - from] = quiet_mask(p, frames, kLadder[rung]);
      }
    }
    if (scan.walk.min_frames >= kTileFrames) {
      walk_ends(masks, from, all_quiet_from, frames, scan.walk.min_frames,
                state, found);
    } else {
      for (std::size_t rung = from; rung < all_quiet_from; ++rung) {
        walk_rung(masks[rung - from], frames, rung, scan, state, found);
      }
    }
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
  // Rung 2j is 2^j (j from 1 to 14), with one rung between each two: a
  // magnitude above 2^j and up to 2^(j + 1) falls on rung 2j + 1 or 2j + 2.
  if (magnitude <= 1) return magnitude;
  if (magnitude > 32767) return kRungs;
  const auto j = static_cast<std::size_t>(std::bit_width(magnitude - 1)) - 1;
  const std::size_t odd = 2 * j + 1;
  return odd + (static_cast<std::int32_t>(magnitude) > kLadder[odd] ? 1 : 0);
}

int ladder_rung(std::int32_t threshold) {
  auto at = std::lower_bound(kLadder.begin(), kLadder.end(), threshold);
  if (at == kLadder.end() || *at != threshold) return -1;
  return static_cast<int>(at - kLadder.begin());
}

void scan_ladder_frames(std::span<const std::uint8_t> bytes,
                        std::uint32_t min_frames, LadderState& state,
                        LadderFound& found, TileKernel kernel) {
  TileScan scan{{0, min_frames, CutPosition::kStart}, tile_masker(kernel), {}};
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
