#ifndef HUSHMARK_EXTRACT_CHAPTER_POINTS_H_
#define HUSHMARK_EXTRACT_CHAPTER_POINTS_H_

#include "extract/scan_state.h"
#include "extract/timeline.h"

namespace hushmark {

// True when the point's silence starts at the recording's first frame: the
// quiet before the first sound, which never starts a chapter.
bool silence_from_first_frame(const TimelinePoint& point, CutPosition cut);

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_CHAPTER_POINTS_H_
