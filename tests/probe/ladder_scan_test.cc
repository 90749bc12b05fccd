#include "probe/ladder_scan.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "probe/report.h"
#include "wave_bytes.h"

namespace hushmark {
namespace {

std::span<const std::uint8_t> span_of(const std::string& s, std::size_t from,
                                      std::size_t to) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()) + from, to - from};
}

TEST(LadderScan, CountsWhatTheScanFindsAtEveryRung) {
  std::mt19937 rng(20261208);
  const std::uint32_t mins[] = {0, 1, 2, 63, 64, 65, 500, 0xFFFFFFFFu};
  for (int round = 0; round < 150; ++round) {
    std::string bytes =
        testing::ladder_frames(rng, 500 + rng() % 4000, kLadder);
    std::uint32_t min_frames = mins[rng() % std::size(mins)];
    LadderCounts want;
    for (std::size_t rung = 0; rung < kRungs; ++rung) {
      ScanState state;
      std::vector<ChapterPoint> points;
      scan_frames(span_of(bytes, 0, bytes.size()),
                  {kLadder[rung], min_frames, 0}, state, points);
      want.points[rung] = points.size();
      for (const ChapterPoint& p : points)
        want.frames[rung] += p.length;
    }
    // The reader hands over frames in pieces of any whole-frame size.
    std::size_t cut = (rng() % (bytes.size() / kFrameBytes)) * kFrameBytes;
    for (TileKernel kernel :
         {TileKernel::kPlain, TileKernel::kSse2, TileKernel::kAvx2}) {
      LadderState state;
      LadderCounts got;
      scan_ladder_frames(span_of(bytes, 0, cut), min_frames, state, got,
                         kernel);
      scan_ladder_frames(span_of(bytes, cut, bytes.size()), min_frames, state,
                         got, kernel);
      EXPECT_EQ(got.points, want.points)
          << "round " << round << " min " << min_frames;
      EXPECT_EQ(got.frames, want.frames) << "round " << round;
    }
  }
}

// Counts from rung 0 up; rungs not given repeat the last count.
std::array<std::uint64_t, kRungs> profile(std::vector<std::uint64_t> counts) {
  std::array<std::uint64_t, kRungs> out{};
  for (std::size_t k = 0; k < kRungs; ++k)
    out[k] = counts[std::min(k, counts.size() - 1)];
  return out;
}

TEST(SuggestThreshold, TakesTheLowestSettledCountAndNamesNoiseSplitting) {
  struct Case {
    std::vector<std::uint64_t> counts;
    int rung;
    int splitting;
  };
  const Case cases[] = {
      {{10, 10, 11, 14}, 0, -1},           // digital silence
      {{0, 3, 10, 10, 12}, 2, -1},         // still rising at 3
      {{0, 0, 19, 10, 12, 12}, 3, 2},      // split by noise, then settled
      {{0, 0, 4, 19, 10, 11, 30}, 4, 3},   // the largest split is named
      {{0, 2, 1, 5, 9, 9}, 4, -1},         // a dip while rising is no fall
      {{0, 0, 19, 10, 14, 14}, 4, 2},      // 10 then 14 has not settled
      {{0, 5, 9, 14, 20, 27, 0}, -1, -1},  // never settles
      {{0}, -1, -1},                       // no pause at all
  };
  for (const Case& c : cases) {
    Suggestion s = suggest_threshold(profile(c.counts));
    EXPECT_EQ(s.rung, c.rung) << ::testing::PrintToString(c.counts);
    EXPECT_EQ(s.splitting, c.splitting) << ::testing::PrintToString(c.counts);
  }
}

}  // namespace
}  // namespace hushmark
