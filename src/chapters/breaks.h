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

struct ChapterSettings;

// What chooses the breaks among the candidate points.
enum class BreakSource {
  kRules,          // -n, -l, -m and the like: the rules below
  kChapterPauses,  // every candidate: the timeline holds the chapter pauses
  kNone,           // no pause: -F alone, or no chapter pauses were found
};

// How candidate points become chapter breaks.
struct BreakRules {
  CutPosition cut = CutPosition::kStart;
  std::optional<std::int32_t> max_chapters;  // none: no limit
  std::int32_t min_seconds = 0;              // no chapter shorter than this
  BreakSource source = BreakSource::kRules;
};

// The break rules of a run: the chapter pauses chosen from the recording
// when nothing else chooses (none when they were not found, and none for -F
// alone); else -n's count, else the titles file's line count, else one
// chapter for -x alone (without -l); -l's length; and the points placed at
// their silences' starts when -b moves them, else where -p says.
BreakRules break_rules(const ChapterSettings& settings,
                       std::span<const std::string> titles,
                       bool chapter_pauses_found);

// The points that start chapters, as indices into timeline.points in time
// order. With the chapter pauses chosen, every point that may start a
// chapter; with none, none. By the rules, the longest silences are taken first
// (the earlier of two as long), each only where its point lies at least
// min_seconds, and at least 1 ms, from the start, from the end and from every
// break already taken, until max_chapters - 1 are taken. A silence that starts
// at the first frame is never a break.
std::vector<std::uint32_t> choose_breaks(const Timeline& timeline,
                                         const BreakRules& rules);

// Moves every point to lead_in_ms before its silence ends (where the sound
// resumes), but never before the silence starts; `cut` says where the scan
// put them. A silence from the first frame, which never starts a chapter,
// moves to that frame. The points then read as placed at their silences'
// starts (CutPosition::kStart) for every rule that follows.
void place_lead_in(Timeline& timeline, CutPosition cut,
                   std::uint32_t lead_in_ms);

// One chapter: where it starts and ends in whole milliseconds, the length of
// the silence that starts it (0 for the first) and its title in UTF-8.
struct Chapter {
  std::uint64_t start_ms;
  std::uint64_t end_ms;
  std::uint32_t silence_frames;
  std::string title;
  // The title is the chapter's own (a file's or a titles file's line) rather
  // than the template's, which numbers chapters by their place.
  bool own_title = false;
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

// Gives the chapters the titles in order, as their own; a blank title leaves
// a chapter the one it has. Titles beyond the chapters are not used.
void apply_titles(std::vector<Chapter>& chapters,
                  std::span<const std::string> titles);

// Titles every chapter without one of its own from the template, by its
// place in the list (%f is the title of the file it starts in).
void number_titles(const Timeline& timeline, std::vector<Chapter>& chapters,
                   std::wstring_view title_template);

// How long chapters are split: none longer than max_ms where a pause allows.
struct SplitRules {
  CutPosition cut = CutPosition::kStart;  // where the points are placed
  std::uint64_t desired_ms = 0;
  std::uint64_t max_ms = 0;
};

// The split rules of -x, with the points placed as break_rules says.
SplitRules split_rules(const ChapterSettings& settings);

// Splits every chapter longer than max_ms at the points of pauses, from its
// start: each cut at the longest pause whose point lies from desired_ms to
// max_ms after the piece's start (else from desired_ms / 2 on), leaving at
// least desired_ms / 2 after it. Where no pause allows a cut, the rest stays
// whole. The pieces of a chapter with its own title are titled
// "Title (2)", "Title (3)"; the others keep no title (see number_titles).
std::vector<Chapter> split_long_chapters(const Timeline& timeline,
                                         std::span<const Chapter> chapters,
                                         const SplitRules& rules);

}  // namespace hushmark

#endif  // HUSHMARK_CHAPTERS_BREAKS_H_
