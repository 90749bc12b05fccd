#include "chapters/choose.h"

#include <algorithm>

#include "extract/evidence.h"
#include "extract/time_base.h"

namespace hushmark {
namespace {

// The shortest of the chapter pauses, at least min_frames long, and the
// longest pause left out, among those that may part chapters: not from the
// first frame, and not ending within the end guard.
void measure_margin(const RecordingRuns& runs, const RunTally& tally,
                    std::uint32_t min_frames, AutoChoice& choice) {
  choice.shortest_taken = 0;
  choice.longest_left = 0;
  for (const Silence& s : unpack_silences(tally.kept)) {
    if (!may_part(s, runs)) continue;
    if (s.length < min_frames) {
      choice.longest_left = std::max(choice.longest_left, s.length);
    } else if (choice.shortest_taken == 0 || s.length < choice.shortest_taken) {
      choice.shortest_taken = s.length;
    }
  }
}

// A pause after which the sound resumes within the end guard leaves a
// closing line, not a chapter.
void drop_end_guarded(const RecordingRuns& runs, CutPosition cut,
                      Timeline& timeline) {
  std::erase_if(timeline.points, [&](const TimelinePoint& p) {
    return silence_first_frame(p, cut) + p.length + runs.rules.end_guard >
           runs.frames;
  });
}

// A chapter holds only the closing silence when less sound than this (a
// click, a breath, a codec's last frame) lies between its pause and the
// silence that runs to the end, or the end itself.
constexpr std::uint32_t kClosingSoundMs = 250;

// Drops the point of the last silence when its chapter would hold only the
// closing silence.
void drop_closing_only(const RecordingRuns& runs, const RunTally& tally,
                       std::span<const Silence> silences, CutPosition cut,
                       Timeline& timeline) {
  if (silences.empty() || timeline.points.empty()) return;
  const Silence& last = silences.back();
  const std::uint64_t closing =
      tally.closing_start != 0 ? tally.closing_start : runs.frames + 1;
  if (closing < last.end() ||
      closing - last.end() >= ms_frames(kClosingSoundMs, runs.time_base)) {
    return;
  }
  if (silence_first_frame(timeline.points.back(), cut) == last.start) {
    timeline.points.pop_back();
  }
}

}  // namespace

bool chooses_chapter_pauses(const ChapterSettings& settings) {
  return !settings.max_chapters && !settings.min_seconds &&
         !settings.scan.min_silence_given && !settings.titles_file &&
         !settings.align_file && !settings.split_seconds &&
         !settings.file_chapters;
}

ScanPlan scan_plan(const ChapterSettings& settings) {
  ScanPlan plan;
  plan.ladder = !settings.scan.threshold_given;
  if (settings.scan.threshold_given) plan.threshold = settings.scan.threshold;
  plan.min_silence_ms = settings.scan.min_silence_ms;
  plan.keep = true;
  // A joined copy holds every packet of every file, each file's encoder
  // delay and padding among them, and players play them all.
  plan.every_sample = settings.embed && settings.inputs.size() > 1;
  return plan;
}

Timeline choose_timeline(const ChapterSettings& settings,
                         const RecordingRuns& runs, AutoChoice& choice) {
  choice.threshold_value = settings.scan.threshold;
  if (!settings.scan.threshold_given) {
    choice.threshold = choose_threshold(runs);
    choice.threshold_value =
        choice.threshold->rung >= 0
            ? kLadder[static_cast<std::size_t>(choice.threshold->rung)]
            : 0;
  }
  const RunTally& tally = *tally_at(runs, choice.threshold_value);
  std::uint32_t min_frames = runs.rules.min_frames;
  choice.pauses_looked_for = chooses_chapter_pauses(settings);
  if (choice.pauses_looked_for && runs.time_base.known()) {
    choice.pauses = choose_pauses(runs, tally);
  }
  if (choice.pauses.found) {
    min_frames = compute_min_frames(runs.time_base, choice.pauses.min_ms);
    measure_margin(runs, tally, min_frames, choice);
  }
  const std::vector<Silence> silences = unpack_silences(tally.kept);
  if (choice.pauses_looked_for && runs.files.size() > 1 &&
      runs.time_base.known()) {
    choice.files = choose_files(
        runs, silences,
        choice.pauses.found ? std::optional(min_frames) : std::nullopt);
  }
  const CutPosition cut = cut_position_of(settings.scan.cut_position);
  Timeline timeline = timeline_of(runs, tally, cut, min_frames);
  timeline.rank_by_marks = !settings.scan.threshold_given;
  if (choice.pauses.found) drop_end_guarded(runs, cut, timeline);
  drop_closing_only(runs, tally, silences, cut, timeline);
  return timeline;
}

}  // namespace hushmark
