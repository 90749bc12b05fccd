#ifndef HUSHMARK_EXTRACT_LADDER_H_
#define HUSHMARK_EXTRACT_LADDER_H_

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "extract/fast_scan.h"
#include "extract/scan_state.h"
#include "extract/silences.h"

namespace hushmark {

// The thresholds tried when none is given, about 3 dB apart, from digital
// silence to the loudest sample.
inline constexpr std::array<std::int32_t, 31> kLadder = {
    0,    1,    2,    3,    4,    6,     8,     11,    16,   23,   32,
    45,   64,   91,   128,  181,  256,   362,   512,   724,  1024, 1448,
    2048, 2896, 4096, 5793, 8192, 11585, 16384, 23170, 32767};
inline constexpr std::size_t kRungs = kLadder.size();

// The highest rung a threshold is chosen at: 4096, -18 dBFS. No floor
// between words is louder, and above it quiet speech counts as pauses.
inline constexpr std::size_t kHighestChoice = 24;

// The lowest rung at which a sample of this magnitude is quiet; kRungs when
// it is loud at every rung.
std::size_t rung_of(std::uint32_t magnitude);

// The rung whose threshold this is, or -1 for a threshold off the ladder.
int ladder_rung(std::int32_t threshold);

// Where the scan stands, for every rung at once. A frame quiet at one rung is
// quiet at every higher rung, so the rungs with an open quiet run are always
// those from open_from up.
struct LadderState {
  std::uint32_t index = 0;  // frames scanned so far, less any rebase
  std::size_t open_from = kRungs;
  std::array<std::uint32_t, kRungs> silence_start{};  // 0: no run open
};

// The silences of at least the scan's minimum that loud frames ended, per
// rung, in time order; their frames are counted as the scan counts them.
using LadderFound = std::array<std::vector<Silence>, kRungs>;

// Scans whole frames at every rung, adding to found every silence of
// min_frames or more that a loud frame ends, as scan_frames would find it.
void scan_ladder_frames(std::span<const std::uint8_t> bytes,
                        std::uint32_t min_frames, LadderState& state,
                        LadderFound& found,
                        TileKernel kernel = best_tile_kernel());

// rebase_scan for every rung at once: frame 1 moves no further than the
// earliest open silence. Returns how many frames it moved.
std::uint32_t rebase_ladder(LadderState& state);

// The frames of bytes before its first frame with a sample above level; all
// of them when there is none.
std::size_t frames_before_loud(std::span<const std::uint8_t> bytes,
                               std::int32_t level);

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_LADDER_H_
