#ifndef HUSHMARK_PROBE_REPORT_H_
#define HUSHMARK_PROBE_REPORT_H_

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "extract/choice.h"
#include "extract/recording_scan.h"
#include "extract/time_base.h"

namespace hushmark {

// What hushmark would write at one threshold with each minimum of kMinLadder.
struct MinSilenceTotals {
  std::array<std::uint64_t, kMinRows> points{};
  std::array<double, kMinRows> seconds{};  // total length of those silences
};

// The totals of a tally for every minimum: a silence counts for its own
// bin's minimum and every shorter one.
MinSilenceTotals min_totals(const RunTally& tally, TimeBase time_base);

// The points hushmark would write at each rung of a ladder scan.
std::array<std::uint64_t, kRungs> rung_points(const RecordingRuns& runs);

// One row per rung: the threshold, its level in dBFS, the chapter points, the
// total length of their silences and a bar of the points.
std::wstring format_table(const RecordingRuns& runs);

// The line proposing a threshold, and a note on noise splitting pauses.
std::wstring format_suggestion(const RecordingRuns& runs,
                               const ThresholdChoice& suggestion);

// At the threshold -s gave, or else the proposed one: one row per minimum
// of kMinLadder with its points, the total length of their silences and a
// bar, then the -m proposed for chapter breaks, as hushmark-chapters would
// choose it. One line instead when there is neither.
std::wstring format_min_report(const RecordingRuns& runs,
                               const ThresholdChoice& suggestion,
                               std::optional<std::int32_t> given_threshold);

}  // namespace hushmark

#endif  // HUSHMARK_PROBE_REPORT_H_
