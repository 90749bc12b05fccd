#ifndef HUSHMARK_CHAPTERS_ALIGN_H_
#define HUSHMARK_CHAPTERS_ALIGN_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "chapters/breaks.h"
#include "chapters/chapter_list.h"
#include "extract/scan_state.h"
#include "extract/timeline.h"

namespace hushmark {

// How far, in seconds, a chapter may move from its fitted time by default.
inline constexpr std::int32_t kDefaultAlignWindowSeconds = 10;
// The most seconds -w may give.
inline constexpr std::int32_t kMaxAlignWindow = 3600;

// The largest drift looked for: an offset of two minutes, and a scale one
// percent away from 1 (editions and playback speeds differ by less).
inline constexpr double kMaxAlignOffsetMs = 120'000;
inline constexpr double kMaxAlignScale = 0.01;

// Where one listed chapter went.
struct AlignedChapter {
  std::uint64_t given_ms;   // the list's time
  std::uint64_t fitted_ms;  // the list's time with the drift taken out
  // The silence it moved to, as an index into timeline.points.
  std::optional<std::uint32_t> point;
  std::uint64_t new_ms;  // that point's time, or the fitted time without one
  bool no_silence;       // no silence fitted it (never the start at 0)
};

// The list's drift, and every listed chapter in the list's order.
struct Alignment {
  double offset_ms = 0;  // recording time = offset_ms + scale * list time
  double scale = 1;
  std::vector<AlignedChapter> chapters;
};

// Fits the list's drift to the long silences that most chapters agree on,
// then moves each chapter to the silence that fits it best of those that
// reach within window_seconds of its fitted time (the longer and the nearer
// the better: one at the window's edge counts a quarter of its length), keeping
// the order: no silence takes two chapters, and the new times strictly
// increase. A first chapter at 0 stays at 0. The list should be in time
// order; a list that is not still gets strictly increasing times. A chapter
// that the fit puts at or past the recording's end may stay there, flagged:
// the caller drops any such chapter.
Alignment align_chapters(std::span<const ListedChapter> listed,
                         const Timeline& timeline, CutPosition cut,
                         std::int32_t window_seconds);

// The chapters that an aligned list makes: each at its new time, titled by
// the list. A chapter that would start at or past the end, or not after the
// one before, goes; the first starts at 0.
std::vector<Chapter> aligned_chapters(const Alignment& alignment,
                                      std::span<const ListedChapter> listed,
                                      const Timeline& timeline);

}  // namespace hushmark

#endif  // HUSHMARK_CHAPTERS_ALIGN_H_
