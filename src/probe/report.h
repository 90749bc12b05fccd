#ifndef HUSHMARK_PROBE_REPORT_H_
#define HUSHMARK_PROBE_REPORT_H_

#include <array>
#include <cstdint>
#include <string>

#include "platform/console.h"
#include "probe/ladder_scan.h"

namespace hushmark {

// The threshold the probe proposes, as rungs of the ladder; -1 for none.
struct Suggestion {
  int rung = -1;
  // A lower rung where noise splits pauses into more points than at rung,
  // the one with the most such points; -1 when there is none.
  int splitting = -1;
};

// The lowest rung at which the count has settled: the count there is above 0
// and the next rung up gives the same count, or the count has just fallen
// (noise no longer splits pauses) and the next rung up adds at most a quarter
// of it, and at least one.
Suggestion suggest_threshold(const std::array<std::uint64_t, kRungs>& points);

// One row per rung: the threshold, its level in dBFS, the chapter points, the
// total length of their silences and a bar of the points.
std::wstring format_table(const LadderTotals& totals);

// The line proposing a threshold, and a note on noise splitting pauses.
std::wstring format_suggestion(const LadderTotals& totals,
                               const Suggestion& suggestion);

}  // namespace hushmark

#endif  // HUSHMARK_PROBE_REPORT_H_
