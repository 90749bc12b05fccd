#ifndef HUSHMARK_EXTRACT_FAST_SCAN_H_
#define HUSHMARK_EXTRACT_FAST_SCAN_H_

#include <cstdint>
#include <span>
#include <vector>

#include "extract/scan_state.h"

namespace hushmark {

// The code that sorts a tile of frames into quiet and loud ones.
enum class TileKernel { kPlain, kSse2, kAvx2 };

// True when this build and this processor can run the kernel.
bool tile_kernel_available(TileKernel kernel);

// The fastest kernel available here, chosen once per run.
TileKernel best_tile_kernel();

// Sorts whole tiles of 64 frames into quiet and loud at one threshold (at
// least 0): bit i of masks[t] is set when frame i of tile t is quiet.
using TileClassifier = void (*)(const std::uint8_t* p, std::size_t tiles,
                                std::int32_t threshold, std::uint64_t* masks);

// The kernel's classifier, or the plain one where the kernel is not
// available.
TileClassifier tile_classifier(TileKernel kernel);

// Sorts one whole tile into quiet and loud at each of `count` thresholds
// (each from 0 to 32767): masks[k] for thresholds[k], bit i set when frame i
// is quiet.
using TileMasker = void (*)(const std::uint8_t* p,
                            const std::int32_t* thresholds, std::size_t count,
                            std::uint64_t* masks);

// The kernel's masker, or the plain one where the kernel is not available.
TileMasker tile_masker(TileKernel kernel);

// The first `frames` (up to 64) frames as a quiet mask, one frame at a time.
std::uint64_t quiet_mask(const std::uint8_t* p, std::size_t frames,
                         std::int32_t threshold);

// The largest sample magnitude (0 to 32768) of each of `tiles` whole tiles.
void tile_peaks(const std::uint8_t* p, std::size_t tiles, std::uint32_t* peaks,
                TileKernel kernel = best_tile_kernel());

// The largest sample magnitude (0 to 32768) of the first `frames` frames.
std::uint32_t peak_magnitude(const std::uint8_t* p, std::size_t frames);

// Advances the scan over one tile of `frames` (1 to 64) frames whose quiet
// frames are the set bits of quiet, appending each point the tile completes.
void walk_tile(std::uint64_t quiet, std::size_t frames,
               const ScanParams& params, ScanState& state,
               std::vector<ChapterPoint>& points);

// Frames per tile.
inline constexpr std::size_t kTileFrames = 64;

// Finds exactly what scan_frames finds, 64 frames at a time: it classifies a
// whole tile at once and only looks closer where a tile changes the state.
// A kernel that is not available falls back to the plain one.
void scan_frames_fast(std::span<const std::uint8_t> bytes,
                      const ScanParams& params, ScanState& state,
                      std::vector<ChapterPoint>& points,
                      TileKernel kernel = best_tile_kernel());

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_FAST_SCAN_H_
