#ifndef HUSHMARK_EXTRACT_SILENCE_SCAN_H_
#define HUSHMARK_EXTRACT_SILENCE_SCAN_H_

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "cli/settings.h"
#include "extract/byte_reader.h"
#include "extract/scan_state.h"
#include "platform/console.h"
#include "platform/files.h"

namespace hushmark {

// The shortest silence, in frames, for min_silence_ms at this byte rate: the
// exact 64-bit quotient, truncated toward zero, kept to its low 32 bits.
std::uint32_t compute_min_frames(std::uint32_t nAvgBytesPerSec,
                                 std::int32_t min_silence_ms);

// The time of frame index n in whole milliseconds (byte rate must not be 0).
std::uint64_t frame_time_ms(std::uint32_t n, std::uint32_t nAvgBytesPerSec);

// HH:MM:SS.mmm; hours keep counting past 24 and take more digits past 99.
std::string format_time(std::uint64_t ms);

// Scans whole frames, one at a time, appending each chapter point found. The
// fast scan is tested against this plain one.
void scan_frames(std::span<const std::uint8_t> bytes, const ScanParams& params,
                 ScanState& state, std::vector<ChapterPoint>& points);

// Reads frame_count frames of one data chunk, writing a console line and a
// chapter line for every silence long enough. False after a short read or a
// failed chapter write, once its message is out; when ends_with_input is set,
// an input that ends early ends the chunk instead.
bool scan_data_chunk(ByteReader& in, std::uint32_t frame_count,
                     bool ends_with_input, std::uint32_t nAvgBytesPerSec,
                     const Settings& settings, platform::OutputFile& chapters,
                     platform::Console& console);

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_SILENCE_SCAN_H_
