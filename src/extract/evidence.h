#ifndef HUSHMARK_EXTRACT_EVIDENCE_H_
#define HUSHMARK_EXTRACT_EVIDENCE_H_

#include <cstdint>
#include <span>
#include <vector>

#include "extract/recording_scan.h"
#include "extract/silences.h"
#include "extract/time_base.h"

namespace hushmark {

// A spoken heading after a chapter pause ("Chapter four", 「第四章」) is a
// burst of sound this long between two pauses, and no longer than this
// share of the recording's middle stretch of sound between pauses: a short
// sentence after a scene break is as long as a sentence...
inline constexpr std::uint32_t kHeadingShortestMs = 400;
inline constexpr std::uint32_t kHeadingLongestMs = 2500;
inline constexpr std::uint64_t kHeadingSharePercent = 60;
// ...the second of them at least this long (a comma inside a sentence
// leaves a shorter one), but shorter than the first.
inline constexpr std::uint32_t kHeadingPauseMs = 500;

// What else marks a pause besides its length.
struct PauseMarks {
  bool heading = false;  // a heading follows it
  bool join = false;     // it spans the join between two files
};

// The marks of each silence, in time order: a heading follows silence i
// when the sound after it lasts from kHeadingShortestMs to kHeadingLongestMs
// (and the share of the middle stretch of sound) and silence i + 1, at least
// kHeadingPauseMs long and shorter than silence i unless i spans a join,
// ends it. A silence spans a join when the join's frame
// lies in it or at either of its edges.
std::vector<PauseMarks> mark_pauses(std::span<const Silence> silences,
                                    std::span<const TimelineFile> files,
                                    TimeBase time_base);

// Whether a silence may part chapters: not from the first frame, and sound
// resumes after it before the end guard.
bool may_part(const Silence& silence, const RecordingRuns& runs);

// A pause that may part chapters, with its length and marks.
struct MarkedPause {
  std::uint32_t length;
  PauseMarks marks;
};

// The pauses of tally.kept that may part chapters and last kShortestPauseMs
// or more, with their marks, longest first (the earlier of two as long).
std::vector<MarkedPause> marked_pauses(const RecordingRuns& runs,
                                       const RunTally& tally);

// What a point ranks by when the longest are taken as breaks: its length,
// half as long again after a heading, and four times that at a join, where
// chapter files part even when their lead and tail are short.
std::uint64_t ranked_length(std::uint32_t length, const PauseMarks& marks);

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_EVIDENCE_H_
