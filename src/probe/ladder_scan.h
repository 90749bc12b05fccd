#ifndef HUSHMARK_PROBE_LADDER_SCAN_H_
#define HUSHMARK_PROBE_LADDER_SCAN_H_

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cli/settings.h"
#include "extract/byte_reader.h"
#include "extract/fast_scan.h"
#include "extract/silence_scan.h"
#include "platform/console.h"

namespace hushmark {

// The thresholds the probe tries, about 3 dB apart, from digital silence to
// the loudest sample.
inline constexpr std::array<std::int32_t, 31> kLadder = {
    0,    1,    2,    3,    4,    6,     8,     11,    16,   23,   32,
    45,   64,   91,   128,  181,  256,   362,   512,   724,  1024, 1448,
    2048, 2896, 4096, 5793, 8192, 11585, 16384, 23170, 32767};
inline constexpr std::size_t kRungs = kLadder.size();

// The minimum silences, in milliseconds, that the probe tries at one
// threshold, from the pauses between sentences to those between chapters.
inline constexpr std::array<std::int32_t, 13> kMinLadder = {
    100, 200, 300, 500, 700, 1000, 1500, 2000, 3000, 4000, 5000, 7000, 10000};
inline constexpr std::size_t kMinRows = kMinLadder.size();

// The min_frames of each minimum of kMinLadder at one byte rate, in order.
using MinEdges = std::array<std::uint32_t, kMinRows>;

// Quiet runs that a loud frame ended, by length: bin j holds those at least
// edges[j] frames long and shorter than edges[j + 1].
struct RunBins {
  std::array<std::uint64_t, kMinRows> runs{};
  std::array<std::uint64_t, kMinRows> frames{};
};

// What the ladder scan counts in one data chunk: the points of at least
// min_frames at every rung, and every run at every rung binned at edges.
struct LadderParams {
  std::uint32_t min_frames = 0;
  MinEdges edges{};
};

// Per rung of the ladder: the chapter points found, the frames of their
// silences, and the runs by length.
struct LadderCounts {
  std::array<std::uint64_t, kRungs> points{};
  std::array<std::uint64_t, kRungs> frames{};
  std::array<RunBins, kRungs> bins{};
};

// Where the scan stands inside one data chunk, for every rung at once. A
// frame quiet at one rung is quiet at every higher rung, so the rungs with an
// open quiet run are always those from open_from up.
struct LadderState {
  std::uint32_t index = 0;  // frames scanned so far
  std::size_t open_from = kRungs;
  std::array<std::uint32_t, kRungs> silence_start{};  // 0: no run open
};

// What hushmark would write at one threshold with each minimum of kMinLadder,
// summed over the data chunks.
struct MinSilenceTotals {
  std::array<std::uint64_t, kMinRows> points{};
  std::array<double, kMinRows> seconds{};  // total length of those silences
};

// What hushmark would write at each rung, summed over the data chunks.
struct LadderTotals {
  std::array<std::uint64_t, kRungs> points{};
  std::array<double, kRungs> seconds{};  // total length of those silences
  std::array<MinSilenceTotals, kRungs> by_min;  // at each rung, for every -m
  MinSilenceTotals given;  // at the threshold -s gave, when it was given
};

// The lowest rung at which a sample of this magnitude is quiet; kRungs when
// it is loud at every rung.
std::size_t rung_of(std::uint32_t magnitude);

// Scans whole frames of one data chunk at every rung, counting the points
// that scan_frames would find with params.min_frames and binning every run
// it would end at params.edges.
void scan_ladder_frames(std::span<const std::uint8_t> bytes,
                        const LadderParams& params, LadderState& state,
                        LadderCounts& counts,
                        TileKernel kernel = best_tile_kernel());

// What the probe gathers over one stretch of frames that one scan runs
// through: a data chunk, or files joined into one recording.
struct LadderRun {
  std::uint32_t nAvgBytesPerSec = 0;
  LadderParams params;
  LadderState state;
  LadderCounts counts;
  int given_rung = -1;    // the rung of -s, or -1
  bool own_scan = false;  // -s lies between the rungs and is scanned alone
  ScanParams own;
  ScanState own_state;
  RunBins own_bins;
  std::vector<ChapterPoint> runs;  // scratch
  std::uint64_t frames = 0;        // frames scanned
  // The rungs from lead_from up have met no loud frame yet; below it, lead
  // holds the quiet frames before each rung's first loud frame.
  std::size_t lead_from = 0;
  std::array<std::uint64_t, kRungs> lead{};
  bool own_in_lead = true;  // the same for the scan of -s alone
  std::uint64_t own_lead = 0;
};

// Starts a run at this byte rate.
void begin_ladder_run(LadderRun& run, std::uint32_t nAvgBytesPerSec,
                      std::int32_t min_silence_ms,
                      std::optional<std::int32_t> given_threshold);

// Scans whole frames; the run may go on for any number of frames.
void scan_ladder_block(LadderRun& run, std::span<const std::uint8_t> bytes);

// The quiet frames before the run's first frame loud at this rung; all of
// its frames when none is.
std::uint64_t ladder_lead(const LadderRun& run, std::size_t rung);

// Adds what the run found to totals, at its own byte rate.
void add_ladder_run(const LadderRun& run,
                    std::optional<std::int32_t> given_threshold,
                    LadderTotals& totals);

// Reads frame_count frames of one data chunk and adds what they give at each
// rung, and at given_threshold when there is one, to totals. False, with
// nothing printed, when the data ends early (unless ends_with_input is set
// and the input simply ended); what was read is counted.
bool scan_ladder_chunk(ByteReader& in, std::uint32_t frame_count,
                       bool ends_with_input, std::uint32_t nAvgBytesPerSec,
                       std::int32_t min_silence_ms,
                       std::optional<std::int32_t> given_threshold,
                       LadderTotals& totals);

// Scans every input in order as one recording into totals, each read as
// hushmark-chapters reads it, several side by side on every processor. False
// after a failure; data_ended_early tells when that was a WAVE file's data
// ending early, whose message waits until the tables are out.
bool probe_recording(std::span<const std::wstring> inputs,
                     const Settings& settings,
                     std::optional<std::int32_t> given_threshold,
                     LadderTotals& totals, bool& data_ended_early,
                     platform::Console& console);

}  // namespace hushmark

#endif  // HUSHMARK_PROBE_LADDER_SCAN_H_
