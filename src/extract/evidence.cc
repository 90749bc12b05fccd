#include "extract/evidence.h"

#include <algorithm>

#include "extract/time_base.h"

namespace hushmark {
namespace {

// The middle length of the stretches of sound between silences: a sentence's
// or a phrase's.
std::uint64_t median_sound(std::span<const Silence> silences) {
  std::vector<std::uint64_t> sounds;
  for (std::size_t i = 0; i + 1 < silences.size(); ++i) {
    if (silences[i + 1].start > silences[i].end()) {
      sounds.push_back(silences[i + 1].start - silences[i].end());
    }
  }
  if (sounds.empty()) return 0;
  auto middle = sounds.begin() + static_cast<std::ptrdiff_t>(sounds.size() / 2);
  std::nth_element(sounds.begin(), middle, sounds.end());
  return *middle;
}

}  // namespace

std::vector<PauseMarks> mark_pauses(std::span<const Silence> silences,
                                    std::span<const TimelineFile> files,
                                    TimeBase time_base) {
  std::vector<PauseMarks> marks(silences.size());
  if (!time_base.known()) return marks;
  const std::uint64_t shortest = ms_frames(kHeadingShortestMs, time_base);
  const std::uint64_t longest =
      std::min(ms_frames(kHeadingLongestMs, time_base),
               median_sound(silences) * kHeadingSharePercent / 100);
  const std::uint64_t pause = ms_frames(kHeadingPauseMs, time_base);
  // Both lists are in time order: walk them side by side.
  std::size_t i = 0;
  for (std::size_t k = 1; k < files.size(); ++k) {
    const std::uint64_t first = files[k].start + 1;  // its first frame
    while (i < silences.size() && silences[i].end() < first)
      ++i;
    if (i < silences.size() && silences[i].start <= first) {
      marks[i].join = true;
    }
  }
  for (i = 0; i + 1 < silences.size(); ++i) {
    const Silence& next = silences[i + 1];
    const std::uint64_t sound = next.start - silences[i].end();
    // A file of a chapter starts with its heading after a short lead.
    marks[i].heading = next.start > silences[i].end() && sound >= shortest &&
                       sound <= longest && next.length >= pause &&
                       (next.length < silences[i].length || marks[i].join);
  }
  return marks;
}

bool may_part(const Silence& silence, const RecordingRuns& runs) {
  return !is_first_frame(silence.start) &&
         silence.end() + runs.rules.end_guard <= runs.frames;
}

std::vector<MarkedPause> marked_pauses(const RecordingRuns& runs,
                                       const RunTally& tally) {
  const std::vector<Silence> silences = unpack_silences(tally.kept);
  const std::vector<PauseMarks> marks =
      mark_pauses(silences, runs.files, runs.time_base);
  const std::uint32_t shortest =
      compute_min_frames(runs.time_base, kShortestPauseMs);
  std::vector<MarkedPause> pauses;
  for (std::size_t i = 0; i < silences.size(); ++i) {
    if (silences[i].length >= shortest && may_part(silences[i], runs)) {
      pauses.push_back({silences[i].length, marks[i]});
    }
  }
  std::stable_sort(pauses.begin(), pauses.end(),
                   [](const MarkedPause& a, const MarkedPause& b) {
                     return a.length > b.length;
                   });
  return pauses;
}

std::uint64_t ranked_length(std::uint32_t length, const PauseMarks& marks) {
  // In halves of a frame, so that a heading's weight is whole.
  std::uint64_t ranked = std::uint64_t{length} * (marks.heading ? 3 : 2);
  if (marks.join) ranked *= 4;
  return ranked;
}

}  // namespace hushmark
