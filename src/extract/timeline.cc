#include "extract/timeline.h"

#include "extract/time_base.h"

namespace hushmark {
namespace {

// The point of a silence, placed by cut.
TimelinePoint point_of(const Silence& silence, CutPosition cut) {
  return {place_cut(cut, silence.start, silence.length), silence.length};
}

}  // namespace

std::uint64_t silence_first_frame(const TimelinePoint& point, CutPosition cut) {
  switch (cut) {
  case CutPosition::kStart:
    return point.cut;
  case CutPosition::kMiddle:
    return point.cut - point.length / 2;
  case CutPosition::kEnd:
    break;
  }
  return point.cut - point.length;
}

Timeline timeline_of(const RecordingRuns& runs, const RunTally& tally,
                     CutPosition cut, std::uint32_t min_frames) {
  Timeline timeline;
  timeline.time_base = runs.time_base;
  timeline.frames = runs.frames;
  timeline.files = runs.files;
  timeline.data_chunks = runs.data_chunks;
  const std::vector<Silence> silences = unpack_silences(tally.kept);
  const std::vector<PauseMarks> marks =
      mark_pauses(silences, runs.files, runs.time_base);
  for (std::size_t i = 0; i < silences.size(); ++i) {
    if (silences[i].length >= min_frames) {
      timeline.points.push_back(point_of(silences[i], cut));
      timeline.points.back().marks = marks[i];
    }
  }
  return timeline;
}

std::uint64_t timeline_end_ms(const Timeline& timeline) {
  if (!timeline.time_base.known()) return 0;
  return frame_time_ms(timeline.frames, timeline.time_base);
}

}  // namespace hushmark
