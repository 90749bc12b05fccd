#ifndef HUSHMARK_PROBE_REPORT_H_
#define HUSHMARK_PROBE_REPORT_H_

#include <array>
#include <cstdint>
#include <optional>
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

// The -m the probe proposes for chapter breaks, as a row of kMinLadder; -1
// for none. It is the middle row (the upper one of two) of the highest run of
// rows with the same count that starts just above a row with more points,
// holds at least one point, and spans -m values that at least double; a run
// of a single point yields to a lower one.
int suggest_min_silence(const std::array<std::uint64_t, kMinRows>& points);

// At the threshold -s gave, or else the proposed one: one row per minimum
// of kMinLadder with its points, the total length of their silences and a
// bar, then the -m proposed for chapter breaks. One line instead when there
// is neither.
std::wstring format_min_report(const LadderTotals& totals,
                               const Suggestion& suggestion,
                               std::optional<std::int32_t> given_threshold);

}  // namespace hushmark

#endif  // HUSHMARK_PROBE_REPORT_H_
