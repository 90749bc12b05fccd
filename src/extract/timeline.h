#ifndef HUSHMARK_EXTRACT_TIMELINE_H_
#define HUSHMARK_EXTRACT_TIMELINE_H_

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "extract/evidence.h"
#include "extract/recording_scan.h"
#include "extract/scan_state.h"
#include "extract/silences.h"
#include "extract/time_base.h"

namespace hushmark {

// A chapter point on a recording's timeline: the frame it falls on, counted
// from 1 through every file in turn, and the length of its silence.
struct TimelinePoint {
  std::uint64_t cut;
  std::uint32_t length;
  PauseMarks marks{};  // what else marks its silence
};

// What a recording gives: the points hushmark writes in the first data chunk
// of each file, the files joined into one timeline, and how long it is.
struct Timeline {
  TimeBase time_base;        // 0 until a data chunk is read
  std::uint64_t frames = 0;  // whole frames read
  std::vector<TimelinePoint> points;
  std::vector<TimelineFile> files;
  // The most data chunks that any one WAVE file read as hushmark reads it
  // holds; only the first of each makes chapters.
  std::uint32_t data_chunks = 0;
  // The longest points are taken as breaks by their ranked_length, which
  // weighs a heading after them and a join; else by their length alone.
  bool rank_by_marks = false;
};

// The timeline of a scan's silences at one threshold: its kept silences of
// min_frames or more as points placed by cut.
Timeline timeline_of(const RecordingRuns& runs, const RunTally& tally,
                     CutPosition cut, std::uint32_t min_frames = 0);

// The length of the recording: where its last chapter ends.
std::uint64_t timeline_end_ms(const Timeline& timeline);

// The first frame of a point's silence.
std::uint64_t silence_first_frame(const TimelinePoint& point, CutPosition cut);

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_TIMELINE_H_
