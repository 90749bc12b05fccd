#include "chapters/align.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "extract/chapter_points.h"
#include "extract/time_base.h"

namespace hushmark {
namespace {

// A silence within this of a chapter's predicted time supports a drift.
constexpr double kFitToleranceMs = 1500;
// Two chapters closer than this tell nothing of the scale.
constexpr double kMinScaleSpanMs = 60'000;
// The chapters that propose drifts, and those that judge them.
constexpr std::size_t kProposers = 8;
constexpr std::size_t kJudges = 64;

// A silence that may start a chapter: its point and its span.
struct Candidate {
  std::uint32_t point;  // index into timeline.points
  std::int64_t ms;      // the point's time
  std::int64_t start_ms;
  std::int64_t end_ms;
  std::uint32_t length;
  double middle() const { return (start_ms + end_ms) / 2.0; }
};

struct Drift {
  double offset_ms;
  double scale;
  double at(double list_ms) const { return offset_ms + scale * list_ms; }
};

// How well a drift fits: the chapters that have a silence near where it puts
// them, and how far those silences are in all.
struct Support {
  std::size_t count = 0;
  double distance = 0;
  bool beats(const Support& other) const {
    return count > other.count ||
           (count == other.count && distance < other.distance);
  }
};

// The silences of these points (indices into timeline.points, in time
// order) as candidates.
std::vector<Candidate> candidates_of(const Timeline& timeline, CutPosition cut,
                                     std::span<const std::uint32_t> points) {
  std::vector<Candidate> candidates;
  const TimeBase time_base = timeline.time_base;
  for (std::uint32_t i : points) {
    const TimelinePoint& p = timeline.points[i];
    const std::uint64_t first = silence_first_frame(p, cut);
    candidates.push_back(
        {i, static_cast<std::int64_t>(point_ms(timeline, i)),
         static_cast<std::int64_t>(frame_time_ms(first, time_base)),
         static_cast<std::int64_t>(frame_time_ms(first + p.length, time_base)),
         p.length});
  }
  return candidates;
}

// The first silence, of those in time order, that ends at or after t.
std::size_t first_ending_from(std::span<const Candidate> c, double t) {
  return std::partition_point(
             c.begin(), c.end(),
             [t](const Candidate& x) { return x.end_ms < t; }) -
         c.begin();
}

double distance_to(const Candidate& c, double t) {
  return std::max({0.0, c.start_ms - t, t - c.end_ms});
}

// The silence nearest to t, or c.size() when there is none.
std::size_t nearest(std::span<const Candidate> c, double t) {
  const std::size_t i = first_ending_from(c, t);
  if (i == c.size()) return i == 0 ? c.size() : i - 1;
  if (i > 0 && distance_to(c[i - 1], t) < distance_to(c[i], t)) return i - 1;
  return i;
}

Support support_of(const Drift& drift, std::span<const double> list_ms,
                   std::span<const Candidate> anchors) {
  Support s;
  for (double ms : list_ms) {
    const double t = drift.at(ms);
    const std::size_t i = nearest(anchors, t);
    if (i == anchors.size()) continue;
    const double d = distance_to(anchors[i], t);
    if (d <= kFitToleranceMs) {
      ++s.count;
      s.distance += d;
    }
  }
  return s;
}

bool within_bounds(const Drift& d) {
  return std::abs(d.offset_ms) <= kMaxAlignOffsetMs &&
         std::abs(d.scale - 1) <= kMaxAlignScale;
}

// The anchors, as [first, last) in time order, whose middles lie in [lo, hi].
std::pair<std::size_t, std::size_t> middles_within(
    std::span<const Candidate> anchors, double lo, double hi) {
  auto below = [](const Candidate& c, double t) { return c.middle() < t; };
  auto first = std::lower_bound(anchors.begin(), anchors.end(), lo, below);
  auto last = std::partition_point(
      first, anchors.end(),
      [hi](const Candidate& c) { return c.middle() <= hi; });
  return {first - anchors.begin(), last - anchors.begin()};
}

std::pair<std::size_t, std::size_t> reach_of(std::span<const Candidate> anchors,
                                             double list_ms) {
  const double reach = kMaxAlignOffsetMs + kMaxAlignScale * list_ms;
  return middles_within(anchors, list_ms - reach, list_ms + reach);
}

// Up to `count` of the indices 0 .. n-1, evenly spread and keeping both ends.
std::vector<std::size_t> spread(std::size_t n, std::size_t count) {
  std::vector<std::size_t> picked;
  if (n <= count) {
    for (std::size_t i = 0; i < n; ++i)
      picked.push_back(i);
    return picked;
  }
  for (std::size_t k = 0; k < count; ++k) {
    picked.push_back(k * (n - 1) / (count - 1));
  }
  return picked;
}

// The least-squares line through the chapters and the middles of the
// silences near where the drift puts them; the drift itself when too few
// chapters are near one.
Drift refine(const Drift& drift, std::span<const double> list_ms,
             std::span<const Candidate> anchors) {
  std::vector<std::pair<double, double>> pairs;
  for (double ms : list_ms) {
    const std::size_t i = nearest(anchors, drift.at(ms));
    if (i < anchors.size() &&
        distance_to(anchors[i], drift.at(ms)) <= kFitToleranceMs) {
      pairs.push_back({ms, anchors[i].middle()});
    }
  }
  if (pairs.size() < 2) return drift;
  double mx = 0, my = 0;
  for (auto [x, y] : pairs) {
    mx += x;
    my += y;
  }
  mx /= pairs.size();
  my /= pairs.size();
  double sxx = 0, sxy = 0;
  for (auto [x, y] : pairs) {
    sxx += (x - mx) * (x - mx);
    sxy += (x - mx) * (y - my);
  }
  Drift fitted{my - mx, 1};
  const double span = pairs.back().first - pairs.front().first;
  if (span >= kMinScaleSpanMs && sxx > 0) {
    fitted = {my - sxy / sxx * mx, sxy / sxx};
  }
  // A scale out of bounds means the pairs disagree; keep the offset alone.
  if (!within_bounds(fitted)) fitted = {my - mx, 1};
  return within_bounds(fitted) ? fitted : drift;
}

// The drift that most chapters agree on: each proposed by one chapter and one
// long silence (an offset) or by two of each (an offset and a scale), judged
// by how many chapters find a long silence where it puts them. The list as
// given is judged first and wins ties, so that a list without drift, or one
// that no silences confirm, stays as it is.
Drift fit_drift(std::span<const double> list_ms,
                std::span<const Candidate> anchors) {
  Drift best{0, 1};
  if (list_ms.empty() || anchors.empty()) return best;
  std::vector<double> judges;
  for (std::size_t i : spread(list_ms.size(), kJudges))
    judges.push_back(list_ms[i]);
  Support best_support = support_of(best, judges, anchors);
  auto consider = [&](const Drift& d) {
    if (!within_bounds(d)) return;
    const Support s = support_of(d, judges, anchors);
    if (s.beats(best_support)) {
      best = d;
      best_support = s;
    }
  };
  const std::vector<std::size_t> proposers = spread(list_ms.size(), kProposers);
  for (std::size_t a = 0; a < proposers.size(); ++a) {
    const double xi = list_ms[proposers[a]];
    const auto [i0, i1] = reach_of(anchors, xi);
    for (std::size_t p = i0; p < i1; ++p)
      consider({anchors[p].middle() - xi, 1});
    for (std::size_t b = a + 1; b < proposers.size(); ++b) {
      const double xj = list_ms[proposers[b]];
      const double span = xj - xi;
      if (span < kMinScaleSpanMs) continue;
      const auto [j0, j1] = reach_of(anchors, xj);
      for (std::size_t p = i0; p < i1; ++p) {
        const double yi = anchors[p].middle();
        // Only the silences that a scale within bounds can reach.
        auto [q0, q1] =
            middles_within(anchors, yi + span * (1 - kMaxAlignScale),
                           yi + span * (1 + kMaxAlignScale));
        for (std::size_t q = std::max(q0, j0); q < std::min(q1, j1); ++q) {
          const double scale = (anchors[q].middle() - yi) / span;
          consider({yi - scale * xi, scale});
        }
      }
    }
  }
  // Every chapter, not only the judges, refines the winner.
  for (int round = 0; round < 2; ++round) {
    const Drift refined = refine(best, list_ms, anchors);
    if (support_of(best, list_ms, anchors)
            .beats(support_of(refined, list_ms, anchors))) {
      break;
    }
    best = refined;
  }
  return best;
}

// One way to place a chapter: on a silence, or (candidate -1) at its fitted
// time; with the best total of the places before it that this one can follow.
struct Option {
  std::int64_t ms;
  double score;
  std::int64_t candidate;
  double total = 0;
  std::size_t from = 0;  // the option of the chapter before
};

// The chapter's options in time order: every silence in its window, scored
// by its length, counting a quarter at the window's edge, and its fitted
// time.
std::vector<Option> options_of(std::int64_t fitted, double window_ms,
                               std::span<const Candidate> candidates) {
  std::vector<Option> options;
  for (std::size_t i = first_ending_from(candidates, fitted - window_ms);
       i < candidates.size() && candidates[i].start_ms <= fitted + window_ms;
       ++i) {
    const double d = distance_to(candidates[i], fitted);
    const double nearness = window_ms > 0 ? 1 - 0.75 * d / window_ms : 1;
    options.push_back({candidates[i].ms, candidates[i].length * nearness,
                       static_cast<std::int64_t>(i)});
  }
  auto at =
      std::partition_point(options.begin(), options.end(),
                           [&](const Option& o) { return o.ms < fitted; });
  options.insert(at, Option{fitted, 0, -1});
  return options;
}

// Gives each option the best total it can have after the previous chapter's
// options (in time order), whose times must be earlier.
void follow(std::span<const Option> before, std::vector<Option>& options) {
  constexpr double kNone = -std::numeric_limits<double>::infinity();
  std::size_t seen = 0, best = 0;
  for (Option& o : options) {
    while (seen < before.size() && before[seen].ms < o.ms) {
      if (before[seen].total > before[best].total) best = seen;
      ++seen;
    }
    if (seen == 0) {
      o.total = kNone;
    } else {
      o.total = before[best].total + o.score;
      o.from = best;
    }
  }
}

// The order-preserving choice with the greatest total score: options[k] holds
// chapter k's options, the chapters after `start_ms`.
std::vector<std::int64_t> choose_places(
    std::vector<std::vector<Option>>& options, std::int64_t start_ms) {
  std::vector<Option> before{{start_ms, 0, -1}};
  for (std::vector<Option>& o : options) {
    follow(before, o);
    before = o;
  }
  std::vector<std::int64_t> chosen(options.size(), -1);
  if (options.empty()) return chosen;
  std::size_t at = 0;
  for (std::size_t i = 1; i < options.back().size(); ++i) {
    if (options.back()[i].total > options.back()[at].total) at = i;
  }
  for (std::size_t k = options.size(); k-- > 0;) {
    chosen[k] = options[k][at].candidate;
    at = options[k][at].from;
  }
  return chosen;
}

}  // namespace

Alignment align_chapters(std::span<const ListedChapter> listed,
                         const Timeline& timeline, CutPosition cut,
                         std::int32_t window_seconds) {
  Alignment alignment;
  std::vector<std::uint32_t> points = chapter_candidates(timeline, cut);
  const std::vector<Candidate> candidates =
      candidates_of(timeline, cut, points);
  const bool has_start = !listed.empty() && listed[0].start_ms == 0;
  const std::size_t first = has_start ? 1 : 0;
  std::vector<double> list_ms;
  for (std::size_t k = first; k < listed.size(); ++k)
    list_ms.push_back(static_cast<double>(listed[k].start_ms));
  // The longest silences: the chapter pauses among them.
  keep_longest(timeline, points, std::max<std::size_t>(32, 3 * list_ms.size()));
  const Drift drift = fit_drift(list_ms, candidates_of(timeline, cut, points));
  alignment.offset_ms = drift.offset_ms;
  alignment.scale = drift.scale;
  // Fitted times strictly increase from the start, so that every chapter
  // left at its fitted time still keeps the order.
  const std::int64_t end = static_cast<std::int64_t>(timeline_end_ms(timeline));
  const std::int64_t start_ms = has_start ? 0 : -1;
  std::int64_t previous = start_ms;
  const double window_ms =
      static_cast<double>(seconds_ms(std::max(0, window_seconds)));
  std::vector<std::vector<Option>> options;
  if (has_start) alignment.chapters.push_back({0, 0, {}, 0, false});
  for (std::size_t k = first; k < listed.size(); ++k) {
    const double at = std::clamp(std::round(drift.at(listed[k].start_ms)), 0.0,
                                 static_cast<double>(end));
    const std::int64_t fitted =
        std::max(static_cast<std::int64_t>(at), previous + 1);
    previous = fitted;
    alignment.chapters.push_back({listed[k].start_ms,
                                  static_cast<std::uint64_t>(fitted),
                                  {},
                                  static_cast<std::uint64_t>(fitted),
                                  true});
    options.push_back(options_of(fitted, window_ms, candidates));
  }
  const std::vector<std::int64_t> chosen = choose_places(options, start_ms);
  for (std::size_t k = 0; k < chosen.size(); ++k) {
    if (chosen[k] < 0) continue;
    const Candidate& c = candidates[static_cast<std::size_t>(chosen[k])];
    AlignedChapter& chapter = alignment.chapters[first + k];
    chapter.point = c.point;
    chapter.new_ms = static_cast<std::uint64_t>(c.ms);
    chapter.no_silence = false;
  }
  return alignment;
}

std::vector<Chapter> aligned_chapters(const Alignment& alignment,
                                      std::span<const ListedChapter> listed,
                                      const Timeline& timeline) {
  const std::uint64_t end = timeline_end_ms(timeline);
  std::vector<Chapter> chapters;
  for (std::size_t k = 0; k < alignment.chapters.size(); ++k) {
    const AlignedChapter& a = alignment.chapters[k];
    const std::uint64_t start = chapters.empty() ? 0 : a.new_ms;
    if (start >= end ||
        (!chapters.empty() && start <= chapters.back().start_ms)) {
      continue;
    }
    if (!chapters.empty()) chapters.back().end_ms = start;
    const std::uint32_t silence =
        a.point && !chapters.empty() ? timeline.points[*a.point].length : 0;
    chapters.push_back(
        {start, end, silence, listed[k].title, !listed[k].title.empty()});
  }
  return chapters;
}

}  // namespace hushmark
