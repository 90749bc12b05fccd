#ifndef HUSHMARK_EXTRACT_FAST_SCAN_H_
#define HUSHMARK_EXTRACT_FAST_SCAN_H_

#include <cstdint>
#include <span>
#include <vector>

#include "extract/silence_scan.h"

namespace hushmark {

// The code that sorts a tile of frames into quiet and loud ones.
enum class TileKernel { kPlain, kSse2, kAvx2 };

// True when this build and this processor can run the kernel.
bool tile_kernel_available(TileKernel kernel);

// The fastest kernel available here, chosen once per run.
TileKernel best_tile_kernel();

// Finds exactly what scan_frames finds, 64 frames at a time: it classifies a
// whole tile at once and only looks closer where a tile changes the state.
// A kernel that is not available falls back to the plain one.
void scan_frames_fast(std::span<const std::uint8_t> bytes,
                      const ScanParams& params, ScanState& state,
                      std::vector<ChapterPoint>& points,
                      TileKernel kernel = best_tile_kernel());

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_FAST_SCAN_H_
