#ifndef HUSHMARK_CHAPTERS_CHOOSE_H_
#define HUSHMARK_CHAPTERS_CHOOSE_H_

#include <cstdint>
#include <optional>

#include "chapters/chapter_options.h"
#include "extract/choice.h"
#include "extract/recording_scan.h"
#include "extract/timeline.h"

namespace hushmark {

// What hushmark-chapters chose from the recording itself.
struct AutoChoice {
  std::optional<ThresholdChoice> threshold;  // when -s was not given
  std::int32_t threshold_value = 0;          // the threshold the points are at
  bool pauses_looked_for = false;            // nothing else chose the breaks
  PauseChoice pauses;
  // With the chapter pauses found: the shortest of them and the longest
  // pause left out (0 for none), in frames.
  std::uint32_t shortest_taken = 0;
  std::uint32_t longest_left = 0;
  FilesChoice files;
};

// True when nothing else chooses the breaks, so that the chapter pauses are
// chosen from the recording: no -n, -l, -m, -T, -a, -x or -F.
bool chooses_chapter_pauses(const ChapterSettings& settings);

// How the recording is scanned: at -s's threshold, or at every rung of the
// ladder to choose one; the silences are kept.
ScanPlan scan_plan(const ChapterSettings& settings);

// The timeline at -s's threshold or at the one chosen (threshold 0 when the
// pauses settle at no rung). With the chapter pauses found, only they and
// the pauses as long are its points, as -m would leave them, but none after
// which sound resumes within the end guard. Whatever the options, no point
// starts a chapter that would hold only the closing silence: less than
// 250 ms of sound before the end or the silence that runs to it. Without
// -s, the points rank by their marks. With many files and nothing else
// choosing, choose_files says whether the files are the chapters.
Timeline choose_timeline(const ChapterSettings& settings,
                         const RecordingRuns& runs, AutoChoice& choice);

}  // namespace hushmark

#endif  // HUSHMARK_CHAPTERS_CHOOSE_H_
