#include "chapters/choose.h"

#include <algorithm>
#include <string_view>

#include "extract/evidence.h"
#include "extract/time_base.h"
#include "platform/utf8.h"

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
    if (s.start == 1 || s.end() + runs.rules.end_guard > runs.frames) continue;
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
      closing - last.end() >=
          ms_frames(kClosingSoundMs, runs.nAvgBytesPerSec)) {
    return;
  }
  if (silence_first_frame(timeline.points.back(), cut) == last.start) {
    timeline.points.pop_back();
  }
}

// A file of a chapter opens with its heading and the pause after it.
constexpr std::uint32_t kFileOpeningMs = 5000;

// A title without its numbers: digits, full-width digits and kanji numerals.
std::wstring without_numbers(const std::string& title) {
  constexpr std::wstring_view kNumerals =
      L"０１２３４５６７８９〇一二三四五六七八九十百千";
  std::wstring text;
  for (wchar_t c : platform::widen_utf8(title)) {
    if ((c >= L'0' && c <= L'9') ||
        kNumerals.find(c) != std::wstring_view::npos) {
      continue;
    }
    text += c;
  }
  return text;
}

bool titles_differ_beyond_numbers(std::span<const TimelineFile> files) {
  for (std::size_t k = 1; k < files.size(); ++k) {
    if (without_numbers(files[k].title) != without_numbers(files[0].title)) {
      return true;
    }
  }
  return false;
}

// Weighs the evidence of a book in many files: its joins, the chapter
// pauses inside its files (min_frames long, none when not found) among the
// silences of the tally, the headings after both, and the files' titles.
FilesChoice choose_files(const RecordingRuns& runs,
                         std::span<const Silence> silences,
                         std::optional<std::uint32_t> min_frames) {
  FilesChoice out;
  out.joins = runs.files.size() - 1;
  const std::vector<PauseMarks> marks =
      mark_pauses(silences, runs.files, runs.nAvgBytesPerSec);
  std::uint64_t joins_headed = 0;
  // The pause after a file's heading lies within this of its start.
  const std::uint64_t opening = ms_frames(kFileOpeningMs, runs.nAvgBytesPerSec);
  std::size_t file = 0;
  for (std::size_t i = 0; i < silences.size(); ++i) {
    while (file + 1 < runs.files.size() &&
           runs.files[file + 1].start < silences[i].start) {
      ++file;
    }
    if (marks[i].join) {
      ++out.in_pause;
      if (marks[i].heading) ++joins_headed;
    } else if (min_frames && silences[i].length >= *min_frames &&
               may_part(silences[i], runs) &&
               silences[i].start > runs.files[file].start + opening) {
      ++out.inner;
      if (marks[i].heading) ++out.inner_headed;
    }
  }
  const auto verdict = [&out](FilesReason reason, bool chapters) {
    out.reason = reason;
    out.chapters = chapters;
    return out;
  };
  if (2 * out.in_pause < out.joins) {
    return verdict(FilesReason::kJoinsInSound, false);
  }
  if (out.inner == 0) return verdict(FilesReason::kNoInnerPauses, true);
  if (out.in_pause > 0 && 4 * joins_headed >= 3 * out.in_pause &&
      2 * out.inner_headed < out.inner) {
    return verdict(FilesReason::kHeadingsAtJoins, true);
  }
  if (out.inner_headed == 0 && titles_differ_beyond_numbers(runs.files)) {
    return verdict(FilesReason::kTitles, true);
  }
  return verdict(FilesReason::kInnerPauses, false);
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
  if (choice.pauses_looked_for && runs.nAvgBytesPerSec != 0) {
    choice.pauses = choose_pauses(runs, tally);
  }
  if (choice.pauses.found) {
    min_frames = compute_min_frames(runs.nAvgBytesPerSec, choice.pauses.min_ms);
    measure_margin(runs, tally, min_frames, choice);
  }
  const std::vector<Silence> silences = unpack_silences(tally.kept);
  if (choice.pauses_looked_for && runs.files.size() > 1 &&
      runs.nAvgBytesPerSec != 0) {
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
