#ifndef HUSHMARK_CHAPTERS_BREAKS_H_
#define HUSHMARK_CHAPTERS_BREAKS_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/settings.h"
#include "extract/byte_reader.h"
#include "extract/scan_state.h"
#include "extract/timeline.h"
#include "platform/console.h"

namespace hushmark {

// How candidate points become chapter breaks.
struct BreakRules {
  CutPosition cut = CutPosition::kStart;
  std::optional<std::int32_t> max_chapters;  // none: no limit
  std::int32_t min_seconds = 0;              // no chapter shorter than this
};

// The points that start chapters, as indices into timeline.points in time
// order. The longest silences are taken first (the earlier of two as long),
// each only where its point lies at least min_seconds, and at least 1 ms,
// from the start, from the end and from every break already taken, until
// max_chapters - 1 are taken. A silence that starts at the first frame is
// never a break.
std::vector<std::uint32_t> choose_breaks(const Timeline& timeline,
                                         const BreakRules& rules);

// One chapter: where it starts and ends in whole milliseconds, the length of
// the silence that starts it (0 for the first) and its title in UTF-8.
struct Chapter {
  std::uint64_t start_ms;
  std::uint64_t end_ms;
  std::uint32_t silence_frames;
  std::string title;
};

// The chapters that the breaks make: the first starts at 0 and the last ends
// at the end of the recording. Titles come from the template, where %f is the
// title of the file the chapter starts in. With file_starts set, every file
// starts a chapter too, titled as the file is (a break in the same
// millisecond gives way to it).
std::vector<Chapter> list_chapters(const Timeline& timeline,
                                   std::span<const std::uint32_t> breaks,
                                   std::wstring_view title_template,
                                   bool file_starts = false);

}  // namespace hushmark

#endif  // HUSHMARK_CHAPTERS_BREAKS_H_
