#include "extract/choice.h"

#include <algorithm>
#include <numeric>
#include <string_view>
#include <vector>

#include "extract/levels.h"
#include "extract/time_base.h"
#include "platform/utf8.h"

namespace hushmark {
namespace {

// The group of chapter pauses holds at least this many, and no more than
// this share of all pauses.
constexpr std::uint64_t kLeastGroup = 2;
constexpr std::uint64_t kShareDivisor = 3;
// The gap below the group, as a ratio of lengths: at least 3 / 2.
constexpr std::uint64_t kGapNumerator = 3;
constexpr std::uint64_t kGapDenominator = 2;
// A gap of at least 2 / 1 needs nothing more.
constexpr std::uint64_t kWideNumerator = 2;
constexpr std::uint64_t kWideDenominator = 1;
// The lengths just below the group that tell how wide a gap is expected.
constexpr std::size_t kGapsBelow = 8;
// How many times the expected gap the gap below the group must be.
constexpr std::uint64_t kApart = 3;

// The pauses of kShortestPauseMs or more at a rung: the count and the total
// length of the longest ones.
struct RungPauses {
  std::uint64_t count = 0;
  std::uint64_t longest = 0;
};

RungPauses rung_pauses(const RunTally& tally) {
  RungPauses p;
  // Row 1 of the bins starts at kShortestPauseMs, as the longest do.
  for (std::size_t row = 1; row < kMinRows; ++row)
    p.count += tally.bins.runs[row];
  for (std::uint32_t length : tally.longest)
    p.longest += length;
  return p;
}

bool settled(const RungPauses& at, const RungPauses& above) {
  return at.count > 0 && 100 * above.longest <= 103 * at.longest &&
         100 * above.count >= 95 * at.count &&
         2 * above.count <= 3 * at.count + 2;
}

// The level bin that holds the middle one of the blocks counted from bin
// `from` to bin `to` (exclusive); `from` when there are none.
std::size_t middle_level(const BlockLevels& levels, std::size_t from,
                         std::size_t to) {
  const std::uint64_t total =
      std::accumulate(levels.blocks.begin() + static_cast<std::ptrdiff_t>(from),
                      levels.blocks.begin() + static_cast<std::ptrdiff_t>(to),
                      std::uint64_t{0});
  std::uint64_t seen = 0;
  for (std::size_t b = from; b < to; ++b) {
    seen += levels.blocks[b];
    if (2 * seen >= total && total > 0) return b;
  }
  return from;
}

// Where a pause bin ends: the next one's first frame.
std::uint64_t bin_end(const PauseEdges& edges, std::size_t bin) {
  if (bin + 1 < kPauseBins) return edges[bin + 1];
  return std::uint64_t{edges[bin]} +
         std::max<std::uint32_t>(1, edges[bin] / 16);
}

// The pauses' bins from the longest down, each once per pause.
std::vector<std::size_t> bins_from_the_top(const PauseHistogram& pauses) {
  std::vector<std::size_t> bins;
  for (std::size_t b = kPauseBins; b-- > 0;) {
    bins.insert(bins.end(), static_cast<std::size_t>(pauses.counts[b]), b);
  }
  return bins;
}

// Whether the gap below the top `group` pauses stands out against the gaps
// among the next pauses down, each gap weighed by its rank from the top.
bool stands_apart(std::span<const std::size_t> bins, std::size_t group) {
  const std::size_t gap = bins[group - 1] - bins[group];
  const std::size_t below = std::min(kGapsBelow, bins.size() - group - 1);
  if (below < 2) return false;
  std::uint64_t weighed = 0;
  for (std::size_t k = 0; k < below; ++k) {
    weighed += (group + 1 + k) * (bins[group + k] - bins[group + k + 1]);
  }
  // The expected gap is weighed / below / group, but never less than a bin
  // at the middle rank below, as lengths fall into bins: compared here with
  // both sides multiplied by 2 * below * group.
  const std::uint64_t expected =
      std::max<std::uint64_t>(2 * weighed, 2 * group + below);
  return 2 * std::uint64_t{group} * gap * below >= kApart * expected;
}

// The least x whose power-th power is at least n.
std::uint64_t root_at_least(std::uint64_t n, int power) {
  auto reaches = [&](std::uint64_t x) {
    std::uint64_t p = 1;
    for (int k = 0; k < power; ++k)
      p *= x;
    return p >= n;
  };
  std::uint64_t lo = 0, hi = 1;
  while (!reaches(hi))
    hi *= 2;
  while (lo < hi) {
    const std::uint64_t mid = lo + (hi - lo) / 2;
    if (reaches(mid)) {
      hi = mid;
    } else {
      lo = mid + 1;
    }
  }
  return lo;
}

std::uint64_t distance(std::uint64_t a, std::uint64_t b) {
  return a > b ? a - b : b - a;
}

// The bin under which the loudest fifth of the blocks lie: the voice.
std::size_t voice_bin(const BlockLevels& levels) {
  const std::uint64_t total = std::accumulate(
      levels.blocks.begin(), levels.blocks.end(), std::uint64_t{0});
  std::uint64_t seen = 0;
  for (std::size_t b = 0; b < kLevelBins; ++b) {
    seen += levels.blocks[b];
    if (5 * seen >= 4 * total) return b;
  }
  return kLevelBins - 1;
}

// Measures the floor region by region into out and returns the lowest rung
// above the loudest floor that lies well below the voice (0 for none).
std::size_t weigh_floors(const BlockLevels& levels, ThresholdChoice& out) {
  const std::size_t voice = voice_bin(levels);
  std::size_t lowest = 0;
  bool any = false;
  for (const FloorRegion& r : floor_regions(levels)) {
    // Digital silence lies below any voice, however little there is.
    if (r.floor != 0 && r.floor + kWellBelowBins > voice) {
      out.unserved.push_back(r);
      continue;
    }
    out.floor_low = any ? std::min(out.floor_low, r.floor) : r.floor;
    out.floor_high = std::max(out.floor_high, r.floor);
    any = true;
  }
  if (!any || out.floor_high == 0) return 0;
  // At or above every peak of the loudest floor's bin.
  while (lowest < kRungs &&
         level_bin(static_cast<std::uint32_t>(kLadder[lowest]) + 1) <=
             out.floor_high) {
    ++lowest;
  }
  return lowest;
}

// The longest -m there is.
constexpr std::uint64_t kMaxMs = 0x7FFFFFFF;

// How many of the first `count` pauses a heading follows.
std::uint64_t headed_among(std::span<const MarkedPause> pauses,
                           std::size_t from, std::size_t count) {
  std::uint64_t headed = 0;
  for (std::size_t k = from; k < from + count && k < pauses.size(); ++k) {
    if (pauses[k].marks.heading) ++headed;
  }
  return headed;
}

// How sure a group told by headings must be: the least share of it that
// headings follow, the most of as many pauses below it (at least 4), in
// percent, and the least number of headed pauses in it.
struct HeadedRule {
  std::uint64_t top_percent;
  std::uint64_t below_percent;
  std::uint64_t least;
};
constexpr HeadedRule kBesideLengths = {80, 25, 2};
constexpr HeadedRule kAlone = {90, 20, 2};

// The number of the longest pauses that headings set apart from those
// below, the one with the most headed pauses over plain ones; 0 for none.
std::size_t headed_group(std::span<const MarkedPause> pauses,
                         const HeadedRule& rule) {
  std::size_t best = 0;
  std::int64_t best_score = 0;
  for (std::size_t k = kLeastGroup; k <= pauses.size() / kShareDivisor; ++k) {
    // A step in length between the group and the rest, of 15% or more.
    if (100 * std::uint64_t{pauses[k - 1].length} <
        115 * std::uint64_t{pauses[k].length}) {
      continue;
    }
    const std::uint64_t top = headed_among(pauses, 0, k);
    const std::size_t window =
        std::min(pauses.size() - k, std::max<std::size_t>(k, 4));
    const std::uint64_t below = headed_among(pauses, k, window);
    if (top < rule.least || 100 * top < rule.top_percent * k ||
        100 * below > rule.below_percent * window) {
      continue;
    }
    const std::int64_t score =
        static_cast<std::int64_t>(2 * top) - static_cast<std::int64_t>(k);
    if (best == 0 || score > best_score) {
      best = k;
      best_score = score;
    }
  }
  return best;
}

// A file of a chapter opens with its heading and the pause after it.
constexpr std::uint32_t kFileOpeningMs = 5000;

// A title without its numbers: digits, full-width digits and kanji numerals.
std::wstring without_numbers(const std::string& title) {
  constexpr std::wstring_view kNumerals =
      L"０１２３４５６７８９〇一二三四五六七八九十百千";
  std::wstring text;
  for (wchar_t c : platform::widen_utf8(title)) {
    if ((c >= L'0' && c <= L'9') ||
        kNumerals.find(c) != std::wstring_view::npos) {
      continue;
    }
    text += c;
  }
  return text;
}

// Whether the files' lengths spread as chapters' do: the longest at least
// twice the shortest, the last left out (a book's last track is often
// short). CD tracks are cut to about the same length.
bool lengths_spread(const RecordingRuns& runs) {
  if (runs.files.size() < 3) return false;
  std::uint64_t shortest = UINT64_MAX, longest = 0;
  for (std::size_t k = 0; k + 1 < runs.files.size(); ++k) {
    const std::uint64_t length = runs.files[k + 1].start - runs.files[k].start;
    shortest = std::min(shortest, length);
    longest = std::max(longest, length);
  }
  return longest >= 2 * shortest;
}

bool titles_differ_beyond_numbers(std::span<const TimelineFile> files) {
  for (std::size_t k = 1; k < files.size(); ++k) {
    if (without_numbers(files[k].title) != without_numbers(files[0].title)) {
      return true;
    }
  }
  return false;
}

}  // namespace

ThresholdChoice choose_threshold(const RecordingRuns& runs) {
  ThresholdChoice out;
  if (runs.tallies.size() < kRungs) return out;
  const std::size_t lowest = weigh_floors(runs.levels, out);
  for (std::size_t k = lowest; k <= kHighestChoice; ++k) {
    if (settled(rung_pauses(runs.tallies[k]),
                rung_pauses(runs.tallies[k + 1]))) {
      out.rung = static_cast<int>(k);
      break;
    }
  }
  // Pauses that settle only under a region's floor leave it unserved; the
  // lowest rung over it serves it best.
  if (out.rung < 0 && lowest > 0 && lowest <= kHighestChoice) {
    out.rung = static_cast<int>(lowest);
  }
  if (out.rung < 0) return out;
  const std::size_t at = level_bin(
      static_cast<std::uint32_t>(kLadder[static_cast<std::size_t>(out.rung)]));
  std::erase_if(out.unserved,
                [at](const FloorRegion& r) { return r.floor < at; });
  const auto rung = static_cast<std::size_t>(out.rung);
  std::uint64_t most = runs.tallies[rung].points;
  for (std::size_t k = 0; k < rung; ++k) {
    if (runs.tallies[k].points > most) {
      most = runs.tallies[k].points;
      out.splitting = static_cast<int>(k);
    }
  }
  // A block is quiet at the threshold when its peak is at most kLadder[rung].
  const std::size_t split =
      level_bin(static_cast<std::uint32_t>(kLadder[rung])) + 1;
  out.floor_level = middle_level(runs.levels, 0, std::min(split, kLevelBins));
  out.voice_level =
      middle_level(runs.levels, std::min(split, kLevelBins), kLevelBins);
  return out;
}

PauseChoice choose_chapter_pauses(const PauseHistogram& pauses,
                                  const TallyRules& rules, TimeBase time_base) {
  PauseChoice out;
  const std::vector<std::size_t> bins = bins_from_the_top(pauses);
  const PauseEdges& edges = rules.pause_edges;
  std::size_t widest = 0;
  for (std::size_t group = kLeastGroup;
       group <= bins.size() / kShareDivisor && group < bins.size(); ++group) {
    const std::size_t top = bins[group - 1], below = bins[group];
    if (top == below) continue;
    // The middles of the two bins, on a log scale, stand for the lengths.
    auto apart_by = [&](std::uint64_t numerator, std::uint64_t denominator) {
      return denominator * denominator * edges[top] * bin_end(edges, top) >=
             numerator * numerator * edges[below] * bin_end(edges, below);
    };
    if (!apart_by(kGapNumerator, kGapDenominator)) continue;
    // A gap of twice the length stands apart on its own, as in a short book
    // whose few other pauses spread widely; a narrower one must be wide
    // against the gaps just below it.
    if (!apart_by(kWideNumerator, kWideDenominator) &&
        !stands_apart(bins, group)) {
      continue;
    }
    if (top - below < widest) continue;
    widest = top - below;
    out.found = true;
    out.first_bin = top;
    out.count = group;
    out.min_ms = round_min_ms(edges[below + 1], edges[top], time_base);
  }
  return out;
}

PauseChoice choose_pauses(const RecordingRuns& runs, const RunTally& tally) {
  PauseChoice out =
      choose_chapter_pauses(tally.pauses, runs.rules, runs.time_base);
  const std::vector<MarkedPause> pauses = marked_pauses(runs, tally);
  if (out.found) {
    // The group by lengths is the longest out.count pauses.
    out.headed = headed_among(pauses, 0, static_cast<std::size_t>(out.count));
    if (4 * out.headed >= 3 * out.count) return out;
  }
  const std::size_t group =
      headed_group(pauses, out.found ? kBesideLengths : kAlone);
  if (group == 0 || (out.found && group == out.count)) return out;
  out.found = true;
  out.by_headings = true;
  out.count = group;
  out.headed = headed_among(pauses, 0, group);
  out.first_bin = pause_bin(runs.rules.pause_edges, pauses[group - 1].length);
  out.min_ms = round_min_ms(pauses[group].length + 1, pauses[group - 1].length,
                            runs.time_base);
  return out;
}

std::int32_t round_min_ms(std::uint32_t from, std::uint32_t to,
                          TimeBase time_base) {
  // min_frames is rate * ms / 4000, rounded down: from <= it <= to.
  const std::uint64_t rate = time_base.bytes_per_second();
  const std::uint64_t lo =
      (kFrameByteMs * std::uint64_t{from} + rate - 1) / rate;
  const std::uint64_t hi = (kFrameByteMs * (std::uint64_t{to} + 1) - 1) / rate;
  if (lo >= hi) return static_cast<std::int32_t>(std::min(lo, kMaxMs));
  // The middle third of the span on a log scale, where a value stays clear
  // of both groups, then all of it.
  const std::uint64_t middle = root_at_least(lo * hi, 2);
  const std::uint64_t spans[2][2] = {
      {root_at_least(lo * lo * hi, 3), root_at_least(lo * hi * hi + 1, 3) - 1},
      {lo, hi}};
  for (const auto& [first, last] : spans) {
    for (std::uint64_t step : {1000, 500, 100, 50, 10, 5, 1}) {
      const std::uint64_t start = (first + step - 1) / step * step;
      std::uint64_t best = start;
      for (std::uint64_t ms = start; ms <= last; ms += step) {
        if (distance(ms, middle) < distance(best, middle)) best = ms;
      }
      if (start <= last)
        return static_cast<std::int32_t>(std::min(best, kMaxMs));
    }
  }
  return static_cast<std::int32_t>(std::min(lo, kMaxMs));
}

std::uint64_t points_from(const RunTally& tally, const PauseChoice& choice,
                          std::uint32_t min_frames) {
  std::uint64_t points = choice.count;
  for (std::uint32_t length : tally.set_apart) {
    if (length >= min_frames) ++points;
  }
  return points;
}

FilesChoice choose_files(const RecordingRuns& runs,
                         std::span<const Silence> silences,
                         std::optional<std::uint32_t> min_frames) {
  FilesChoice out;
  out.joins = runs.files.size() - 1;
  const std::vector<PauseMarks> marks =
      mark_pauses(silences, runs.files, runs.time_base);
  std::uint64_t joins_headed = 0;
  // The pause after a file's heading lies within this of its start.
  const std::uint64_t opening = ms_frames(kFileOpeningMs, runs.time_base);
  std::size_t file = 0;
  for (std::size_t i = 0; i < silences.size(); ++i) {
    while (file + 1 < runs.files.size() &&
           runs.files[file + 1].start < silences[i].start) {
      ++file;
    }
    if (marks[i].join) {
      ++out.in_pause;
      if (marks[i].heading) ++joins_headed;
    } else if (min_frames && silences[i].length >= *min_frames &&
               may_part(silences[i], runs) &&
               silences[i].start > runs.files[file].start + opening) {
      ++out.inner;
      if (marks[i].heading) ++out.inner_headed;
    }
  }
  const auto verdict = [&out](FilesReason reason, bool chapters) {
    out.reason = reason;
    out.chapters = chapters;
    return out;
  };
  if (2 * out.in_pause < out.joins) {
    return verdict(FilesReason::kJoinsInSound, false);
  }
  if (out.inner == 0) return verdict(FilesReason::kNoInnerPauses, true);
  if (out.in_pause > 0 && 4 * joins_headed >= 3 * out.in_pause &&
      2 * out.inner_headed < out.inner) {
    return verdict(FilesReason::kHeadingsAtJoins, true);
  }
  if (out.inner_headed == 0 && titles_differ_beyond_numbers(runs.files)) {
    return verdict(FilesReason::kTitles, true);
  }
  if (out.inner_headed == 0 && lengths_spread(runs)) {
    return verdict(FilesReason::kLengths, true);
  }
  return verdict(FilesReason::kInnerPauses, false);
}

}  // namespace hushmark
