#include "extract/silence_scan.h"

#include <gtest/gtest.h>

#include <vector>

#include "wave_bytes.h"

namespace hushmark {
namespace {

using testing::frames_of;
using testing::loud;
using testing::quiet;
using WaveRun = testing::Run;

std::vector<ChapterPoint> scan(const std::string& bytes, ScanParams params) {
  ScanState state;
  std::vector<ChapterPoint> points;
  scan_frames(
      {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()},
      params, state, points);
  return points;
}

TEST(MinFrames, UsesExactIntegerArithmetic) {
  EXPECT_EQ(compute_min_frames(176400, 200), 8820u);
  // A double-precision product gives 6,959 here.
  EXPECT_EQ(compute_min_frames(192000, 145), 6960u);
  EXPECT_EQ(compute_min_frames(176400, 0), 0u);
  EXPECT_EQ(compute_min_frames(3999, 1), 0u);
  // Negative minimum silences wrap to their low 32 bits.
  EXPECT_EQ(compute_min_frames(176400, -1), 4294967252u);
  EXPECT_EQ(compute_min_frames(176400, -97391546), 118u);
  EXPECT_EQ(compute_min_frames(4294967295u, 2147483647), 3915399561u);
}

TEST(FrameTime, IsExactAtEveryRate) {
  // 44.1 kHz: the worked example lands on whole tenths, an hour on the hour.
  EXPECT_EQ(frame_time_ms(44101, 176400), 1000u);
  EXPECT_EQ(frame_time_ms(48511, 176400), 1100u);
  EXPECT_EQ(frame_time_ms(52921, 176400), 1200u);
  EXPECT_EQ(frame_time_ms(158760001, 176400), 3600000u);
  EXPECT_EQ(frame_time_ms(48000, 192000), 1000u);
  EXPECT_EQ(frame_time_ms(1, 4000), 1u);
  EXPECT_EQ(frame_time_ms(4294967295u, 1), 17179869180000u);
}

TEST(FormatTime, PadsFieldsAndLetsHoursGrow) {
  EXPECT_EQ(format_time(0), "00:00:00.000");
  EXPECT_EQ(format_time(1002), "00:00:01.002");
  EXPECT_EQ(format_time(3600000), "01:00:00.000");
  EXPECT_EQ(format_time(3599999), "00:59:59.999");
  EXPECT_EQ(format_time(25ull * 3600000 + 61001), "25:01:01.001");
  EXPECT_EQ(format_time(123ull * 3600000), "123:00:00.000");
  EXPECT_EQ(format_time(17179869180000u), "4772185:53:00.000");
}

TEST(ScanFrames, PlacesThePointAtStartMiddleOrEnd) {
  std::string bytes = frames_of({loud(44100), quiet(8820), loud(1)});
  ScanParams params{0, 8820, 0};
  std::vector<ChapterPoint> start = scan(bytes, params);
  ASSERT_EQ(start.size(), 1u);
  EXPECT_EQ(start[0].cut, 44101u);
  EXPECT_EQ(start[0].length, 8820u);
  params.cut_position = 1;
  EXPECT_EQ(scan(bytes, params)[0].cut, 48511u);
  params.cut_position = 2;
  EXPECT_EQ(scan(bytes, params)[0].cut, 52921u);
  // An odd length rounds the half down.
  params = {0, 1, 1};
  EXPECT_EQ(scan(frames_of({loud(1), quiet(5), loud(1)}), params)[0].cut, 4u);
}

TEST(ScanFrames, IgnoresShortSilencesAndSilenceAtTheEnd) {
  ScanParams params{0, 8820, 0};
  EXPECT_TRUE(
      scan(frames_of({loud(10), quiet(8819), loud(1)}), params).empty());
  EXPECT_TRUE(scan(frames_of({loud(10), quiet(20000)}), params).empty());
  // A short run is forgotten: the next quiet frame starts a new run.
  auto points =
      scan(frames_of({quiet(8819), loud(1), quiet(8820), loud(1)}), params);
  ASSERT_EQ(points.size(), 1u);
  EXPECT_EQ(points[0].cut, 8821u);
  // A run from the very first frame.
  EXPECT_EQ(scan(frames_of({quiet(8820), loud(1)}), params)[0].cut, 1u);
}

TEST(ScanFrames, ComparesMagnitudesWithTheThreshold) {
  auto count = [](std::initializer_list<WaveRun> runs, std::int32_t threshold,
                  std::uint32_t min_frames = 1) {
    return scan(frames_of(runs), {threshold, min_frames, 0}).size();
  };
  // Threshold 0: only exact zeros in both channels are quiet.
  EXPECT_EQ(count({{3, 0, 1}, loud(1)}, 0), 0u);
  EXPECT_EQ(count({{3, 0, 0}, loud(1)}, 0), 1u);
  // -32,768 has magnitude 32,768.
  EXPECT_EQ(count({{3, -32768, 0}, loud(1)}, 32767), 0u);
  EXPECT_EQ(count({{3, 5, -5}, loud(1)}, 5), 1u);
  EXPECT_EQ(count({{3, 5, -6}, loud(1)}, 5), 0u);
  // A negative threshold makes every frame loud; 32,768 makes every frame
  // quiet.
  EXPECT_EQ(count({quiet(10), loud(1)}, -1), 0u);
  EXPECT_EQ(count({quiet(10), {1, -32768, 32767}}, 32768), 0u);
  // A minimum of 0 frames turns every ended quiet run into a point.
  EXPECT_EQ(count({quiet(1), loud(1), quiet(1), loud(1)}, 0, 0), 2u);
}

TEST(ScanFrames, CarriesARunAcrossCalls) {
  std::string first = frames_of({loud(5), quiet(3)});
  std::string second = frames_of({quiet(4), loud(1)});
  ScanState state;
  std::vector<ChapterPoint> points;
  ScanParams params{0, 7, 2};
  auto span_of = [](const std::string& s) {
    return std::span(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
  };
  scan_frames(span_of(first), params, state, points);
  EXPECT_TRUE(points.empty());
  scan_frames(span_of(second), params, state, points);
  ASSERT_EQ(points.size(), 1u);
  EXPECT_EQ(points[0].cut, 13u);
  EXPECT_EQ(points[0].length, 7u);
}

}  // namespace
}  // namespace hushmark
