#include "extract/levels.h"

#include <algorithm>
#include <bit>

#include "extract/fast_scan.h"
#include "extract/scan_state.h"
#include "extract/time_base.h"

namespace hushmark {

std::size_t level_bin(std::uint32_t magnitude) {
  // The bin is 4 log2(magnitude) rounded down, plus one, taken exactly from
  // the magnitude's fourth power.
  const std::uint64_t m = magnitude;
  return static_cast<std::size_t>(std::bit_width(m * m * m * m));
}

void start_levels(BlockLevels& levels, TimeBase time_base) {
  levels.block_frames =
      std::max<std::uint32_t>(1, compute_min_frames(time_base, kLevelBlockMs));
  levels.peak = 0;
  levels.filled = 0;
}

void tally_levels(std::span<const std::uint8_t> bytes, BlockLevels& levels) {
  const std::uint8_t* p = bytes.data();
  std::size_t frames = bytes.size() / kFrameBytes;
  while (frames > 0) {
    const std::size_t n =
        std::min<std::size_t>(frames, levels.block_frames - levels.filled);
    std::uint32_t peak = 0;
    std::size_t at = 0;
    for (std::uint32_t tiles[16]; n - at >= kTileFrames;) {
      const std::size_t count =
          std::min<std::size_t>((n - at) / kTileFrames, std::size(tiles));
      tile_peaks(p + at * kFrameBytes, count, tiles);
      peak = std::max(peak, *std::max_element(tiles, tiles + count));
      at += count * kTileFrames;
    }
    if (at < n)
      peak = std::max(peak, peak_magnitude(p + at * kFrameBytes, n - at));
    levels.peak = std::max(levels.peak, peak);
    levels.filled += static_cast<std::uint32_t>(n);
    if (levels.filled == levels.block_frames) finish_levels(levels);
    p += n * kFrameBytes;
    frames -= n;
  }
}

void finish_levels(BlockLevels& levels) {
  if (levels.filled == 0) return;
  const std::size_t bin = level_bin(levels.peak);
  ++levels.blocks[bin];
  levels.sequence.push_back(static_cast<std::uint8_t>(bin));
  levels.peak = 0;
  levels.filled = 0;
}

void add_levels(const BlockLevels& file, BlockLevels& recording) {
  for (std::size_t b = 0; b < kLevelBins; ++b)
    recording.blocks[b] += file.blocks[b];
  recording.sequence.insert(recording.sequence.end(), file.sequence.begin(),
                            file.sequence.end());
}

std::vector<FloorRegion> floor_regions(const BlockLevels& levels) {
  std::vector<FloorRegion> regions;
  const std::size_t total = levels.sequence.size();
  for (std::size_t first = 0; first < total; first += kRegionBlocks) {
    std::size_t blocks = std::min(kRegionBlocks, total - first);
    if (total - first - blocks < kRegionBlocks / 3) blocks = total - first;
    std::array<std::size_t, kLevelBins> counts{};
    for (std::size_t k = first; k < first + blocks; ++k)
      ++counts[levels.sequence[k]];
    std::size_t seen = 0, bin = 0;
    while (bin + 1 < kLevelBins && 20 * (seen + counts[bin]) < blocks) {
      seen += counts[bin++];
    }
    regions.push_back({first, blocks, bin});
    if (first + blocks == total) break;
  }
  return regions;
}

}  // namespace hushmark
