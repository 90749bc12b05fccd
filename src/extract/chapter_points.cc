#include "extract/chapter_points.h"

#include <algorithm>

#include "extract/time_base.h"

namespace hushmark {

bool silence_from_first_frame(const TimelinePoint& point, CutPosition cut) {
  return is_first_frame(silence_first_frame(point, cut));
}

std::uint64_t point_ms(const Timeline& timeline, std::uint32_t i) {
  return frame_time_ms(timeline.points[i].cut, timeline.time_base);
}

std::vector<std::uint32_t> chapter_candidates(const Timeline& timeline,
                                              CutPosition cut,
                                              std::uint64_t spacing) {
  std::vector<std::uint32_t> points;
  if (!timeline.time_base.known()) return points;
  const std::uint64_t end = timeline_end_ms(timeline);
  for (std::uint32_t i = 0; i < timeline.points.size(); ++i) {
    const std::uint64_t ms = point_ms(timeline, i);
    if (!silence_from_first_frame(timeline.points[i], cut) && ms >= spacing &&
        ms < end && end - ms >= spacing) {
      points.push_back(i);
    }
  }
  return points;
}

void sort_longest_first(const Timeline& timeline,
                        std::span<std::uint32_t> points) {
  const auto rank = [&](std::uint32_t i) {
    const TimelinePoint& p = timeline.points[i];
    return timeline.rank_by_marks ? ranked_length(p.length, p.marks)
                                  : std::uint64_t{p.length};
  };
  std::stable_sort(
      points.begin(), points.end(),
      [&](std::uint32_t a, std::uint32_t b) { return rank(a) > rank(b); });
}

void keep_longest(const Timeline& timeline, std::vector<std::uint32_t>& points,
                  std::uint64_t count) {
  if (points.size() <= count) return;
  sort_longest_first(timeline, points);
  points.resize(static_cast<std::size_t>(count));
  std::sort(points.begin(), points.end());
}

}  // namespace hushmark
