#include "extract/timeline.h"

#include "extract/time_base.h"

namespace hushmark {
namespace {

// The point of a silence, placed by cut.
TimelinePoint point_of(const Silence& silence, CutPosition cut) {
  switch (cut) {
  case CutPosition::kStart:
    return {silence.start, silence.length};
  case CutPosition::kMiddle:
    return {silence.start + silence.length / 2, silence.length};
  case CutPosition::kEnd:
    break;
  }
  return {silence.end(), silence.length};
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
                     CutPosition cut) {
  Timeline timeline;
  timeline.nAvgBytesPerSec = runs.nAvgBytesPerSec;
  timeline.frames = runs.frames;
  timeline.files = runs.files;
  timeline.data_chunks = runs.data_chunks;
  timeline.points.reserve(tally.kept.size());
  for (const Silence& silence : tally.kept) {
    timeline.points.push_back(point_of(silence, cut));
  }
  return timeline;
}

bool read_timeline(std::span<const std::wstring> paths,
                   const Settings& settings, Timeline& timeline,
                   platform::Console& console, bool every_sample) {
  ScanPlan plan;
  plan.threshold = settings.threshold;
  plan.min_silence_ms = settings.min_silence_ms;
  plan.keep = true;
  plan.every_sample = every_sample;
  RecordingRuns runs;
  if (!scan_recording(paths, plan, runs, console)) return false;
  timeline = timeline_of(runs, runs.tallies.front(),
                         cut_position_of(settings.cut_position));
  return true;
}

std::uint64_t timeline_end_ms(const Timeline& timeline) {
  if (timeline.nAvgBytesPerSec == 0) return 0;
  return frame_time_ms(timeline.frames, timeline.nAvgBytesPerSec);
}

}  // namespace hushmark
