#include "extract/choice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "extract/time_base.h"

namespace hushmark {
namespace {

constexpr TimeBase kRate(44100 * 4);

PauseHistogram histogram_of(const std::vector<double>& seconds) {
  const TallyRules rules = tally_rules(kRate, 200);
  PauseHistogram h;
  for (double s : seconds) {
    const auto frames = static_cast<std::uint32_t>(s * 44100);
    const std::size_t bin = pause_bin(rules.pause_edges, frames);
    if (bin < kPauseBins) ++h.counts[bin];
  }
  return h;
}

// count pauses spread evenly from `from` to `to` seconds.
std::vector<double> spread(int count, double from, double to) {
  std::vector<double> out;
  for (int k = 0; k < count; ++k)
    out.push_back(from + (to - from) * k / std::max(1, count - 1));
  return out;
}

std::vector<double> joined(std::initializer_list<std::vector<double>> parts) {
  std::vector<double> out;
  for (const auto& p : parts)
    out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(ChooseChapterPauses, TakesTheGroupThatStandsApartAndNothingFromALecture) {
  std::mt19937 rng(26);
  std::lognormal_distribution<double> lecture(std::log(0.5), 0.5);
  std::vector<double> talk;
  for (int k = 0; k < 300; ++k)
    talk.push_back(std::min(2.2, lecture(rng)));
  struct Case {
    const char* what;
    std::vector<double> pauses;
    std::uint64_t count;  // 0: none stands apart
    std::int32_t min_ms;
  };
  const Case cases[] = {
      {"sentences, headings and chapters",
       joined(
           {spread(80, 0.25, 1.0), spread(6, 0.8, 1.2), spread(5, 3.0, 4.5)}),
       5, 2000},
      {"chapter pauses of 2.7 to 3.2 s",
       joined({spread(90, 0.3, 0.9), spread(12, 1.0, 1.5), spread(6, 1.0, 1.4),
               spread(5, 2.7, 3.2)}),
       5, 2000},
      {"a tight book",
       joined({spread(60, 0.2, 0.8), spread(4, 0.7, 1.0), spread(3, 2.0, 2.5)}),
       3, 1500},
      {"a short book: twice as long stands apart alone",
       joined({spread(12, 0.3, 1.4), spread(3, 3.0, 3.4)}), 3, 2000},
      {"a short book: a narrower gap among few pauses could be chance",
       joined({spread(12, 0.3, 1.5), spread(3, 2.7, 3.0)}), 0, 0},
      {"parts and chapters: the wider gap",
       joined({spread(200, 0.2, 0.8), spread(40, 2.0, 2.4), spread(3, 8, 9)}),
       3, 4000},
      {"a lecture", talk, 0, 0},
      {"one long pause alone", joined({spread(60, 0.2, 0.8), {5.0}}), 0, 0},
      {"too many to be chapters",
       joined({spread(20, 0.2, 0.4), spread(20, 2.0, 2.2)}), 0, 0},
      {"a gap too narrow", joined({spread(60, 0.2, 1.0), spread(4, 1.4, 1.6)}),
       0, 0},
      {"no pause at all", {}, 0, 0},
  };
  const TallyRules rules = tally_rules(kRate, 200);
  for (const Case& c : cases) {
    const PauseChoice got =
        choose_chapter_pauses(histogram_of(c.pauses), rules, kRate);
    EXPECT_EQ(got.found, c.count > 0) << c.what;
    EXPECT_EQ(got.count, c.count) << c.what;
    EXPECT_EQ(got.min_ms, c.min_ms) << c.what;
  }
}

TEST(RoundMinMs, TakesTheRoundestValueThatSeparatesTheGroups) {
  struct Case {
    double from, to;  // seconds
    std::int32_t ms;
  };
  const Case cases[] = {{1.45, 2.7, 2000}, {1.05, 1.9, 1500}, {2.2, 2.4, 2300},
                        {0.81, 0.84, 820}, {3.0, 9.0, 5000},  {1.0, 1.0, 1000}};
  for (const Case& c : cases) {
    const auto from = static_cast<std::uint32_t>(c.from * 44100);
    const auto to = static_cast<std::uint32_t>(c.to * 44100);
    const std::int32_t ms = round_min_ms(from, to, kRate);
    EXPECT_EQ(ms, c.ms) << c.from << " to " << c.to;
    const std::uint32_t frames = compute_min_frames(kRate, ms);
    EXPECT_GE(frames, from);
    EXPECT_LE(frames, to);
  }
}

// A ladder scan whose rungs have these pauses of 200 ms or more: each rung's
// count and the lengths of its longest, in seconds.
RecordingRuns ladder_of(
    const std::vector<std::pair<std::int64_t, double>>& rungs) {
  RecordingRuns runs;
  runs.time_base = kRate;
  runs.thresholds.assign(kLadder.begin(), kLadder.end());
  runs.tallies.resize(kRungs);
  for (std::size_t k = 0; k < kRungs; ++k) {
    const auto& [count, longest] = rungs[std::min(k, rungs.size() - 1)];
    runs.tallies[k].bins.runs[1] = static_cast<std::uint64_t>(count);
    runs.tallies[k].points = static_cast<std::uint64_t>(count);
    runs.tallies[k].longest[0] =
        static_cast<std::uint32_t>(std::min(longest * 44100, 4e9));
  }
  return runs;
}

TEST(ChooseThreshold, TakesTheLowestRungWhereTheLongestPausesAreWhole) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::int64_t, double>> rungs;  // from rung 0 up
    int rung;
    int splitting;
  };
  const Case cases[] = {
      {"digital silence", {{70, 20.0}, {70, 20.1}, {75, 21}}, 0, -1},
      {"the floor split the longest",
       {{0, 0}, {0, 0}, {140, 8}, {90, 14}, {100, 15.2}, {130, 15.3}},
       4,
       2},
      {"a count still falling",
       {{0, 0}, {80, 15}, {60, 15.1}, {61, 15.2}},
       2,
       1},
      {"syllables counted at once above",
       {{50, 10}, {80, 10.1}, {80, 10.2}},
       1,
       -1},
      {"never settles", {{0, 0}, {10, 1}, {20, 2}, {40, 4}, {80, 8}}, -1, -1},
      {"no pause at all", {{0, 0}}, -1, -1},
  };
  for (const Case& c : cases) {
    std::vector<std::pair<std::int64_t, double>> rungs = c.rungs;
    // Above the given rungs the pauses grow on: no rung there settles.
    for (std::size_t k = rungs.size(); k < kRungs && c.rung != 0; ++k)
      rungs.push_back({rungs.back().first * 2, rungs.back().second * 1.5});
    const ThresholdChoice got = choose_threshold(ladder_of(rungs));
    EXPECT_EQ(got.rung, c.rung) << c.what;
    EXPECT_EQ(got.splitting, c.splitting) << c.what;
  }
}

// Regions of 30 s of 10 ms blocks: a twentieth or more of each at its
// floor's bin, the rest at the voice's.
void add_region(BlockLevels& levels, std::size_t floor, std::size_t voice) {
  for (std::size_t k = 0; k < kRegionBlocks; ++k) {
    const std::size_t bin = k % 5 == 0 ? floor : voice;
    ++levels.blocks[bin];
    levels.sequence.push_back(static_cast<std::uint8_t>(bin));
  }
}

TEST(ChooseThreshold, StaysAboveTheLoudestFloorThatLiesWellBelowTheVoice) {
  struct Case {
    const char* what;
    std::vector<std::size_t> floors;  // a region each, under a voice at 50
    int rung;                         // the pauses settle at every rung
    std::size_t low, high, unserved;
  };
  const Case cases[] = {
      {"one room", {25, 25, 25}, 13, 25, 25, 0},
      {"hum, then hiss", {29, 29, 25, 25}, 15, 25, 29, 0},
      {"digital silence, then hiss", {0, 25}, 13, 0, 25, 0},
      {"dither of one step", {1, 1}, 1, 1, 1, 0},
      // A floor near the voice cannot be served: named, and not followed.
      {"a loud region", {25, 45, 25}, 13, 25, 25, 1},
  };
  for (const Case& c : cases) {
    RecordingRuns runs = ladder_of({{70, 20.0}});
    for (std::size_t floor : c.floors)
      add_region(runs.levels, floor, 50);
    const ThresholdChoice got = choose_threshold(runs);
    EXPECT_EQ(got.rung, c.rung) << c.what;
    EXPECT_EQ(got.floor_low, c.low) << c.what;
    EXPECT_EQ(got.floor_high, c.high) << c.what;
    EXPECT_EQ(got.unserved.size(), c.unserved) << c.what;
  }
}

}  // namespace
}  // namespace hushmark
