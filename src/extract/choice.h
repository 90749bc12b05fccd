#ifndef HUSHMARK_EXTRACT_CHOICE_H_
#define HUSHMARK_EXTRACT_CHOICE_H_

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "extract/evidence.h"
#include "extract/ladder.h"
#include "extract/recording_scan.h"
#include "extract/silences.h"
#include "extract/time_base.h"

namespace hushmark {

// The threshold chosen from a scan of the ladder.
struct ThresholdChoice {
  int rung = -1;  // -1: the pauses settle at no rung
  // A lower rung where noise splits pauses into more points than at rung,
  // the one with the most such points; -1 when there is none.
  int splitting = -1;
  // The typical peak level of the blocks at or below the threshold (the
  // floor between words) and above it (the voice), as level bins; the floor
  // is bin 0 where it is digital silence.
  std::size_t floor_level = 0;
  std::size_t voice_level = 0;
  // The quietest and the loudest floor of the regions that lie well below
  // the voice, as level bins; the threshold lies above the loudest.
  std::size_t floor_low = 0;
  std::size_t floor_high = 0;
  // Regions whose floor comes so near the voice that no threshold tells
  // their pauses, where the threshold lies under their floor.
  std::vector<FloorRegion> unserved;
};

// The floor of a region lies well below the voice when it is at least this
// many level bins (24 dB) under the loudest fifth of the recording's
// blocks.
inline constexpr std::size_t kWellBelowBins = 16;

// The lowest rung, no higher than kHighestChoice, above the loudest floor
// of the regions that lie well below the voice (a room that changes, a new
// session), at which the pauses have settled: from there to the next
// rung up, the kLongest longest silences of kShortestPauseMs or more grow by
// no more than 3% in all (none of them is still being split by the floor's
// peaks), and their number neither falls by more than 5% (pieces no longer
// merge) nor grows by more than half (quiet syllables do not yet count).
ThresholdChoice choose_threshold(const RecordingRuns& runs);

// The chapter pauses: the group of the longest pauses that stands apart
// from all the others.
struct PauseChoice {
  bool found = false;
  std::size_t first_bin = 0;  // the group's pauses are in this bin and above
  std::uint64_t count = 0;    // how many pauses it holds
  std::int32_t min_ms = 0;    // a round -m that takes exactly the group
  std::uint64_t headed = 0;   // how many of the group a heading follows
  // The lengths alone left the choice open, and the headings after the
  // pauses chose the group.
  bool by_headings = false;
};

// Looks for the widest gap in the pause lengths (on a log scale) that sets
// apart a group of two pauses or more, no more than a third of them all,
// where the shortest of the group is at least 1.5 times the longest below
// it (as the middles of their bins tell). A gap of 2 times or more stands
// apart as it is; a narrower one must also be at least three times as wide
// as the gaps between the lengths just below it would lead one to expect
// (each gap weighed by its rank from the top, as the gaps among the longest
// of a smooth spread of lengths shrink with their rank). Ties go to the
// larger group. Nothing is found when no group stands apart, as in a
// lecture.
PauseChoice choose_chapter_pauses(const PauseHistogram& pauses,
                                  const TallyRules& rules, TimeBase time_base);

// The chapter pauses at one threshold: the group that the lengths choose,
// unless headings follow too few of its pauses (under three in four) and
// they follow a group of the longest pauses instead: at least four in five
// of that group, and no more than one in four of as many pauses below it,
// with a step in length between the two of at least 15%. With no group by
// the lengths, the headings choose only where they follow nine in ten of
// the group, and no more than one in five below. The
// tally's kept silences give the headings; without them, only the lengths
// choose.
PauseChoice choose_pauses(const RecordingRuns& runs, const RunTally& tally);

// Whether a book's files are its chapters, and why.
enum class FilesReason {
  kNotAsked,         // one file, or an option chooses the breaks
  kNoInnerPauses,    // chapters: no chapter pause lies inside a file
  kHeadingsAtJoins,  // chapters: headings follow the joins, and not the
                     // long pauses inside the files
  kTitles,           // chapters: the titles differ beyond a number
  kLengths,          // chapters: their lengths spread as chapters' do
  kInnerPauses,      // not: the files hold chapter pauses of their own
  kJoinsInSound,     // not: most joins fall in sound, not in a pause
};

struct FilesChoice {
  FilesReason reason = FilesReason::kNotAsked;
  bool chapters = false;       // a chapter starts at every file, and nowhere
                               // else
  std::uint64_t joins = 0;     // between the files
  std::uint64_t in_pause = 0;  // joins that fall in a pause
  std::uint64_t inner = 0;     // chapter pauses inside the files
  std::uint64_t inner_headed = 0;  // of those, the ones a heading follows
};

// Weighs the evidence of a book in many files: its joins, the chapter
// pauses inside its files (min_frames long, none when not found) among the
// silences of one threshold, the headings after both, and the files'
// titles. The files are the chapters unless they are cuts of the book: most
// joins fall in sound, or chapter pauses lie inside the files (not in a
// file's first 5 s, where its heading's pause lies), headings follow them
// (or none follow the joins), the titles differ by a number alone and the
// lengths do not spread (the longest part but the last under twice the
// shortest).
// Titles differ beyond a number when they differ once their digits (and
// kanji numerals) are left out.
FilesChoice choose_files(const RecordingRuns& runs,
                         std::span<const Silence> silences,
                         std::optional<std::uint32_t> min_frames);

// The roundest -m, in milliseconds, whose min_frames lies from `from` to
// `to` frames, nearest to the middle of that span on a log scale.
std::int32_t round_min_ms(std::uint32_t from, std::uint32_t to,
                          TimeBase time_base);

// The points hushmark writes with the chosen -m, whose min_frames this is,
// at the tally's threshold: the group's pauses and any set apart as long.
std::uint64_t points_from(const RunTally& tally, const PauseChoice& choice,
                          std::uint32_t min_frames);

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_CHOICE_H_
