#include "extract/chapter_points.h"

namespace hushmark {

bool silence_from_first_frame(const TimelinePoint& point, CutPosition cut) {
  return silence_first_frame(point, cut) == 1;
}

}  // namespace hushmark
