#ifndef HUSHMARK_EXTRACT_LEVELS_H_
#define HUSHMARK_EXTRACT_LEVELS_H_

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "extract/time_base.h"

namespace hushmark {

// Peak levels of short blocks, on a scale of quarter octaves of magnitude
// (about 1.5 dB): bin 0 holds digital silence, bin b >= 1 a peak from
// 2^((b - 1) / 4) up to 2^(b / 4), so that bin 61 holds 32768.
inline constexpr std::size_t kLevelBins = 62;

// The length of a block, in milliseconds: long enough to hold a few periods
// of mains hum, short enough to fit between words.
inline constexpr std::uint32_t kLevelBlockMs = 10;

// The level bin of a peak magnitude (0 to 32768).
std::size_t level_bin(std::uint32_t magnitude);

// The peaks of a recording's blocks, counted by level; blocks are counted
// from each file's first frame.
struct BlockLevels {
  std::array<std::uint64_t, kLevelBins> blocks{};
  std::uint32_t block_frames = 0;  // 0 until a byte rate is known
  std::uint32_t peak = 0;          // of the block in progress
  std::uint32_t filled = 0;        // its frames so far
  // Each block's bin in time order, so that the floor can be told region
  // by region: a byte for 10 ms, 360 KB an hour.
  std::vector<std::uint8_t> sequence;
};

// A stretch of the recording whose floor is measured as one: its first
// block and its number of blocks, and the level bin below which a few of
// its blocks lie (those between words).
struct FloorRegion {
  std::size_t first = 0;
  std::size_t blocks = 0;
  std::size_t floor = 0;
};

// The regions are this many blocks long (30 s); a last one shorter than a
// third of that joins the one before.
inline constexpr std::size_t kRegionBlocks = 3000;

// The floor of each region: the bin of its quietest twentieth of blocks.
std::vector<FloorRegion> floor_regions(const BlockLevels& levels);

// Starts counting blocks of kLevelBlockMs at this byte rate.
void start_levels(BlockLevels& levels, TimeBase time_base);

// Counts the blocks of whole frames; a block may run on into the next call.
void tally_levels(std::span<const std::uint8_t> bytes, BlockLevels& levels);

// Counts the block in progress, if any: a file's last block may be short.
void finish_levels(BlockLevels& levels);

// Adds one file's counts to the recording's.
void add_levels(const BlockLevels& file, BlockLevels& recording);

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_LEVELS_H_
