#ifndef HUSHMARK_EXTRACT_CHOICE_H_
#define HUSHMARK_EXTRACT_CHOICE_H_

#include <array>
#include <cstdint>

#include "extract/ladder.h"
#include "extract/silences.h"

namespace hushmark {

// The threshold proposed, as rungs of the ladder; -1 for none.
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

// The -m proposed for chapter breaks, as a row of kMinLadder; -1 for none.
// It is the middle row (the upper one of two) of the highest run of rows with
// the same count that starts just above a row with more points, holds at
// least one point, and spans -m values that at least double; a run of a
// single point yields to a lower one.
int suggest_min_silence(const std::array<std::uint64_t, kMinRows>& points);

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_CHOICE_H_
