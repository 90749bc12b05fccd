#include "chapters/breaks.h"

#include <algorithm>
#include <limits>
#include <set>

#include "chapters/chapter_options.h"
#include "chapters/choose.h"
#include "chapters/titles.h"
#include "extract/chapter_points.h"
#include "extract/fast_scan.h"
#include "extract/silence_scan.h"
#include "extract/time_base.h"
#include "platform/utf8.h"

namespace hushmark {
namespace {

// Of points that fall in the same millisecond, keeps the longest silence (the
// earliest of several as long).
void one_per_millisecond(const Timeline& timeline,
                         std::vector<std::uint32_t>& points) {
  std::size_t kept = 0;
  for (std::uint32_t i : points) {
    if (kept > 0 &&
        point_ms(timeline, points[kept - 1]) == point_ms(timeline, i)) {
      if (timeline.points[i].length >
          timeline.points[points[kept - 1]].length) {
        points[kept - 1] = i;
      }
    } else {
      points[kept++] = i;
    }
  }
  points.resize(kept);
}

// Longest first, each at least spacing from every break taken before it.
std::vector<std::uint32_t> take_spaced(const Timeline& timeline,
                                       std::vector<std::uint32_t> order,
                                       std::uint64_t spacing,
                                       std::uint64_t limit) {
  sort_longest_first(timeline, order);
  std::vector<std::uint32_t> breaks;
  std::set<std::uint64_t> taken;
  for (std::uint32_t i : order) {
    if (breaks.size() >= limit) break;
    std::uint64_t ms = point_ms(timeline, i);
    auto next = taken.lower_bound(ms);
    if (next != taken.end() && *next - ms < spacing) continue;
    if (next != taken.begin() && ms - *std::prev(next) < spacing) continue;
    taken.insert(ms);
    breaks.push_back(i);
  }
  std::sort(breaks.begin(), breaks.end());
  return breaks;
}

// The point, among those from `from` to `to` ms that a chapter may start at,
// with the longest silence (the earliest of several as long).
std::optional<std::uint32_t> longest_between(const Timeline& timeline,
                                             CutPosition cut,
                                             std::uint64_t from,
                                             std::uint64_t to) {
  auto first =
      std::lower_bound(timeline.points.begin(), timeline.points.end(), from,
                       [&](const TimelinePoint& p, std::uint64_t ms) {
                         return frame_time_ms(p.cut, timeline.time_base) < ms;
                       });
  std::optional<std::uint32_t> best;
  for (auto i = static_cast<std::uint32_t>(first - timeline.points.begin());
       i < timeline.points.size() && point_ms(timeline, i) <= to; ++i) {
    if (silence_from_first_frame(timeline.points[i], cut)) continue;
    if (!best || timeline.points[i].length > timeline.points[*best].length) {
      best = i;
    }
  }
  return best;
}

// Where to cut a piece from start_ms to end_ms: the longest pause from
// desired to max after its start, else from half of desired on, leaving half
// of desired after it either way.
std::optional<std::uint32_t> best_cut(const Timeline& timeline,
                                      std::uint64_t start_ms,
                                      std::uint64_t end_ms,
                                      const SplitRules& rules) {
  const std::uint64_t half = (rules.desired_ms + 1) / 2;
  if (end_ms - start_ms < 2 * half) return std::nullopt;
  const std::uint64_t last = std::min(start_ms + rules.max_ms, end_ms - half);
  const std::uint64_t desired = start_ms + rules.desired_ms;
  std::optional<std::uint32_t> at;
  if (desired <= last) {
    at = longest_between(timeline, rules.cut, desired, last);
  }
  if (!at && start_ms + half <= last) {
    at = longest_between(timeline, rules.cut, start_ms + half,
                         std::min(last, desired - 1));
  }
  return at;
}

// Where the points stand when the breaks are chosen: at their silences'
// starts once -b has placed them before the sound, else where -p put them.
CutPosition placed_cut(const ChapterSettings& settings) {
  return settings.lead_in_ms ? CutPosition::kStart
                             : cut_position_of(settings.scan.cut_position);
}

}  // namespace

BreakRules break_rules(const ChapterSettings& settings,
                       std::span<const std::string> titles,
                       bool chapter_pauses_found) {
  BreakRules rules{placed_cut(settings), settings.max_chapters,
                   settings.min_seconds.value_or(0)};
  if (chooses_chapter_pauses(settings)) {
    rules.source =
        chapter_pauses_found ? BreakSource::kChapterPauses : BreakSource::kNone;
    return rules;
  }
  if (settings.file_chapters && !settings.max_chapters &&
      !settings.min_seconds && !settings.scan.min_silence_given &&
      !settings.titles_file && !settings.split_seconds) {
    // -F alone: a chapter at every file and no other.
    rules.source = BreakSource::kNone;
    return rules;
  }
  if (!rules.max_chapters && !titles.empty()) {
    // The titles file's lines set the count as -n would.
    rules.max_chapters = static_cast<std::int32_t>(std::min<std::size_t>(
        titles.size(), std::numeric_limits<std::int32_t>::max()));
  }
  if (!rules.max_chapters && rules.min_seconds == 0 && settings.split_seconds) {
    rules.max_chapters = 1;
  }
  return rules;
}

SplitRules split_rules(const ChapterSettings& settings) {
  return {placed_cut(settings), seconds_ms(settings.split_seconds.value_or(0)),
          split_max_ms(settings)};
}

std::vector<std::uint32_t> choose_breaks(const Timeline& timeline,
                                         const BreakRules& rules) {
  if (rules.source == BreakSource::kNone) return {};
  if (rules.source == BreakSource::kChapterPauses) {
    return chapter_candidates(timeline, rules.cut);
  }
  // No chapter may be empty, nor shorter than asked.
  const std::uint64_t spacing =
      std::max<std::uint64_t>(1, seconds_ms(std::max(0, rules.min_seconds)));
  const std::uint64_t limit =
      rules.max_chapters
          ? static_cast<std::uint64_t>(std::max(1, *rules.max_chapters)) - 1
          : std::numeric_limits<std::uint64_t>::max();
  std::vector<std::uint32_t> breaks =
      chapter_candidates(timeline, rules.cut, spacing);
  if (spacing > 1) {
    return take_spaced(timeline, std::move(breaks), spacing, limit);
  }
  // Points a millisecond apart or more never crowd each other: once those
  // within one millisecond count once, the longest are simply the ones taken.
  one_per_millisecond(timeline, breaks);
  keep_longest(timeline, breaks, limit);
  return breaks;
}

std::vector<Chapter> list_chapters(const Timeline& timeline,
                                   std::span<const std::uint32_t> breaks,
                                   std::wstring_view title_template,
                                   bool file_starts) {
  // The chapter starts in time order: (ms, silence frames, file or -1).
  struct Start {
    std::uint64_t ms;
    std::uint32_t silence_frames;
    std::ptrdiff_t file;
  };
  std::vector<Start> starts;
  for (std::uint32_t i : breaks) {
    starts.push_back({point_ms(timeline, i), timeline.points[i].length, -1});
  }
  const std::uint64_t end = timeline_end_ms(timeline);
  if (file_starts) {
    for (std::size_t k = 1; k < timeline.files.size(); ++k) {
      const std::uint64_t ms =
          frame_time_ms(timeline.files[k].start, timeline.time_base);
      if (ms > 0 && ms < end) {
        starts.push_back({ms, 0, static_cast<std::ptrdiff_t>(k)});
      }
    }
    // A file's start comes before a break in the same millisecond, which
    // then goes.
    std::stable_sort(starts.begin(), starts.end(), [](auto& a, auto& b) {
      return a.ms < b.ms || (a.ms == b.ms && a.file > b.file);
    });
    starts.erase(std::unique(starts.begin(), starts.end(),
                             [](auto& a, auto& b) { return a.ms == b.ms; }),
                 starts.end());
  }
  const auto file_title = [&](const Start& start) {
    return start.file >= 0
               ? timeline.files[static_cast<std::size_t>(start.file)].title
               : std::string();
  };
  std::vector<Chapter> chapters;
  chapters.reserve(starts.size() + 1);
  const bool first_own = file_starts && !timeline.files.empty();
  chapters.push_back(
      {0, 0, 0, first_own ? timeline.files[0].title : "", first_own});
  for (const Start& start : starts) {
    chapters.back().end_ms = start.ms;
    chapters.push_back({start.ms, 0, start.silence_frames, file_title(start),
                        start.file >= 0});
  }
  chapters.back().end_ms = end;
  number_titles(timeline, chapters, title_template);
  return chapters;
}

void place_lead_in(Timeline& timeline, CutPosition cut,
                   std::uint32_t lead_in_ms) {
  const std::uint64_t lead = ms_frames(lead_in_ms, timeline.time_base);
  for (TimelinePoint& point : timeline.points) {
    const std::uint64_t first = silence_first_frame(point, cut);
    const std::uint64_t sound = first + point.length;
    point.cut = silence_from_first_frame(point, cut) || sound - first <= lead
                    ? first
                    : sound - lead;
  }
}

void apply_titles(std::vector<Chapter>& chapters,
                  std::span<const std::string> titles) {
  for (std::size_t k = 0; k < chapters.size() && k < titles.size(); ++k) {
    if (titles[k].empty()) continue;
    chapters[k].title = titles[k];
    chapters[k].own_title = true;
  }
}

void number_titles(const Timeline& timeline, std::vector<Chapter>& chapters,
                   std::wstring_view title_template) {
  std::size_t file = 0;  // the file the chapter starts in, for %f
  for (std::size_t k = 0; k < chapters.size(); ++k) {
    while (file + 1 < timeline.files.size() &&
           frame_time_ms(timeline.files[file + 1].start, timeline.time_base) <=
               chapters[k].start_ms) {
      ++file;
    }
    if (chapters[k].own_title) continue;
    const std::string file_title =
        timeline.files.empty() ? std::string() : timeline.files[file].title;
    // The template has been checked, so every title has a UTF-8 form.
    chapters[k].title =
        platform::utf8_of(chapter_title(title_template, k + 1,
                                        platform::widen_utf8(file_title)))
            .value_or(std::string());
  }
}

std::vector<Chapter> split_long_chapters(const Timeline& timeline,
                                         std::span<const Chapter> chapters,
                                         const SplitRules& rules) {
  std::vector<Chapter> pieces;
  for (const Chapter& chapter : chapters) {
    Chapter piece = chapter;
    for (std::uint64_t n = 2; piece.end_ms - piece.start_ms > rules.max_ms;
         ++n) {
      const std::optional<std::uint32_t> at =
          best_cut(timeline, piece.start_ms, piece.end_ms, rules);
      if (!at) break;
      const std::uint64_t ms = point_ms(timeline, *at);
      pieces.push_back(piece);
      pieces.back().end_ms = ms;
      piece.start_ms = ms;
      piece.silence_frames = timeline.points[*at].length;
      piece.title = chapter.own_title
                        ? chapter.title + " (" + std::to_string(n) + ")"
                        : std::string();
    }
    pieces.push_back(std::move(piece));
  }
  return pieces;
}

}  // namespace hushmark
