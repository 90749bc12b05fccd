#ifndef HUSHMARK_CHAPTERS_TABLES_H_
#define HUSHMARK_CHAPTERS_TABLES_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "chapters/align.h"
#include "chapters/breaks.h"
#include "chapters/chapter_list.h"
#include "chapters/choose.h"
#include "chapters/formats.h"
#include "extract/time_base.h"
#include "extract/timeline.h"
#include "platform/console.h"

namespace hushmark {

// Shows one line per chapter (its number, its start, the length of the
// silence that starts it, blank for the first, and its title), then the
// count of chapters and of the candidate silences.
void show_chapters(const Timeline& timeline, std::span<const Chapter> chapters,
                   platform::Console& console);

// The console's table of an alignment: per chapter its number, the given and
// the new time, the shift, the silence's length (blank without one), the
// title and a flag where no silence fitted; then a closing line with the
// counts and the drift. separator is the locale's decimal separator.
std::wstring alignment_table(const Alignment& alignment,
                             std::span<const ListedChapter> listed,
                             const Timeline& timeline,
                             std::wstring_view separator);

// A margin is thin when the shortest chapter pause is less than 7 / 4 times
// the longest pause left out.
inline constexpr std::uint32_t kThinNumerator = 7;
inline constexpr std::uint32_t kThinDenominator = 4;

// One line with what was chosen from the recording: the threshold and why
// (the levels of the floor between words and of the voice), the pause that
// parts chapters and the margin (the shortest chapter pause against the
// longest pause left out), flagged when thin. With no chapter pauses found,
// a line that says so and how to split the recording instead.
void note_choice(const AutoChoice& choice, TimeBase time_base,
                 platform::Console& console);

// Says that only the first data chunk made chapters, when a file had more.
void note_later_data(const Timeline& timeline, platform::Console& console);

// Says when the titles file's lines and the chapters they title differ in
// number.
void note_titles(std::size_t lines, std::size_t chapters,
                 platform::Console& console);

// Names each chapter that -x could not bring down to its longest.
void note_long(std::span<const Chapter> chapters, std::uint64_t max_ms,
               platform::Console& console);

// Warns of a CUE sheet past 99 tracks, which it numbers in two digits.
void note_cue_tracks(ChapterFormat format, std::size_t chapters,
                     platform::Console& console);

}  // namespace hushmark

#endif  // HUSHMARK_CHAPTERS_TABLES_H_
