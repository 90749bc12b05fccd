#ifndef HUSHMARK_EXTRACT_CHAPTER_POINTS_H_
#define HUSHMARK_EXTRACT_CHAPTER_POINTS_H_

#include <cstdint>
#include <span>
#include <vector>

#include "extract/scan_state.h"
#include "extract/timeline.h"

namespace hushmark {

// True when the point's silence starts at the recording's first frame: the
// quiet before the first sound, which never starts a chapter.
bool silence_from_first_frame(const TimelinePoint& point, CutPosition cut);

// The time of timeline.points[i] in whole milliseconds.
std::uint64_t point_ms(const Timeline& timeline, std::uint32_t i);

// The points that may start a chapter, as indices into timeline.points in
// time order: none whose silence starts at the first frame, and none whose
// point lies nearer than spacing ms (at least 1) to the start or to the end,
// so that no chapter is empty. None before a data chunk has given the rate.
std::vector<std::uint32_t> chapter_candidates(const Timeline& timeline,
                                              CutPosition cut,
                                              std::uint64_t spacing = 1);

// Orders points (indices into timeline.points, in time order) by the length
// of their silences (ranked by their marks where the timeline says so),
// longest first; of two as long, the earlier first.
void sort_longest_first(const Timeline& timeline,
                        std::span<std::uint32_t> points);

// Keeps the `count` longest silences of points (indices into
// timeline.points, in time order; of two as long, the earlier), back in time
// order.
void keep_longest(const Timeline& timeline, std::vector<std::uint32_t>& points,
                  std::uint64_t count);

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_CHAPTER_POINTS_H_
