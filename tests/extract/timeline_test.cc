#include "extract/timeline.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"
#include "wave_bytes.h"

namespace hushmark {
namespace {

using testing::TempDir;
using testing::WaveBytes;

// Random quiet and loud runs, in lengths that straddle tiles and minimums.
std::string random_frames(std::mt19937& rng, std::size_t runs) {
  const std::uint32_t lengths[] = {1, 39, 40, 63, 64, 65, 199, 200, 1000};
  std::string frames;
  for (std::size_t k = 0; k < runs; ++k) {
    const std::uint32_t n = lengths[rng() % std::size(lengths)];
    frames += testing::frames_of(
        {k % 2 ? testing::loud(n)
               : testing::Run{n, static_cast<std::int16_t>(rng() % 3), 0}});
  }
  return frames;
}

std::vector<std::pair<std::uint64_t, std::uint32_t>> points_of(
    const std::vector<std::wstring>& paths, const Settings& settings) {
  Timeline timeline;
  platform::Console console;
  EXPECT_TRUE(read_timeline(paths, settings, timeline, console));
  std::vector<std::pair<std::uint64_t, std::uint32_t>> points;
  for (const TimelinePoint& p : timeline.points) {
    points.emplace_back(p.cut, p.length);
  }
  return points;
}

// Files cut from one recording anywhere (inside silences, at tile edges, at
// its ends, into empty and all-quiet files) give exactly its points.
TEST(Timeline, FilesCutAnywhereGiveTheWholeRecordingsPoints) {
  std::mt19937 rng(22);
  TempDir dir;
  for (int trial = 0; trial < 12; ++trial) {
    const std::string frames = random_frames(rng, 40);
    const std::size_t count = frames.size() / 4;
    const std::wstring whole = testing::wide(dir / "whole.wav");
    testing::write_file(dir / "whole.wav",
                        WaveBytes().fmt(8000).data(frames).bytes());
    std::vector<std::size_t> cuts = {0, count};
    for (int k = 0; k < 4; ++k)
      cuts.push_back(rng() % (count + 1));
    std::sort(cuts.begin(), cuts.end());
    std::vector<std::wstring> parts;
    for (std::size_t k = 0; k + 1 < cuts.size(); ++k) {
      const auto name = dir / ("part" + std::to_string(k) + ".wav");
      testing::write_file(
          name,
          WaveBytes()
              .fmt(8000)
              .data(frames.substr(cuts[k] * 4, (cuts[k + 1] - cuts[k]) * 4))
              .bytes());
      parts.push_back(testing::wide(name));
    }
    for (std::int32_t cut : {0, 1, 2}) {
      for (std::int32_t ms : {0, 5, 25}) {
        const Settings settings{{}, {}, 1, ms, cut};
        EXPECT_EQ(points_of(parts, settings), points_of({whole}, settings))
            << "trial " << trial << " -p " << cut << " -m " << ms;
      }
    }
  }
}

}  // namespace
}  // namespace hushmark
