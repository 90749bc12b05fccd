#include "extract/silence_scan.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "extract/point_format.h"
#include "extract/time_base.h"
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
  EXPECT_EQ(compute_min_frames(TimeBase(176400), 200), 8820u);
  // A double-precision product gives 6,959 here.
  EXPECT_EQ(compute_min_frames(TimeBase(192000), 145), 6960u);
  EXPECT_EQ(compute_min_frames(TimeBase(176400), 0), 0u);
  EXPECT_EQ(compute_min_frames(TimeBase(3999), 1), 0u);
  // Negative minimum silences wrap to their low 32 bits.
  EXPECT_EQ(compute_min_frames(TimeBase(176400), -1), 4294967252u);
  EXPECT_EQ(compute_min_frames(TimeBase(176400), -97391546), 118u);
  EXPECT_EQ(compute_min_frames(TimeBase(4294967295u), 2147483647), 3915399561u);
}

TEST(FrameTime, IsExactAtEveryRate) {
  // 44.1 kHz: the worked example lands on whole tenths, an hour on the hour.
  EXPECT_EQ(frame_time_ms(44101, TimeBase(176400)), 1000u);
  EXPECT_EQ(frame_time_ms(48511, TimeBase(176400)), 1100u);
  EXPECT_EQ(frame_time_ms(52921, TimeBase(176400)), 1200u);
  EXPECT_EQ(frame_time_ms(158760001, TimeBase(176400)), 3600000u);
  EXPECT_EQ(frame_time_ms(48000, TimeBase(192000)), 1000u);
  EXPECT_EQ(frame_time_ms(1, TimeBase(4000)), 1u);
  EXPECT_EQ(frame_time_ms(4294967295u, TimeBase(1)), 17179869180000u);
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

TEST(FormatTime, MatchesPrintfUpToThousandsOfHours) {
  for (std::uint64_t ms = 0; ms < 17179869180000u; ms += ms / 64 + 7919) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "%02llu:%02u:%02u.%03u",
                  static_cast<unsigned long long>(ms / 3'600'000),
                  static_cast<unsigned>(ms / 60'000 % 60),
                  static_cast<unsigned>(ms / 1'000 % 60),
                  static_cast<unsigned>(ms % 1'000));
    EXPECT_EQ(format_time(ms), expected);
  }
}

TEST(FormatLength, MatchesPrintfAtEveryRate) {
  // Byte rates with exact halfway lengths (16,000 and 64,000: 1,250 frames at
  // 16,000 is 0.3125 s), with halfway quotients that no double holds exactly
  // (2 frames at 16,000), with none (44.1 kHz), and the extremes.
  const std::uint32_t kRates[] = {1,      3,      4000,    7999,       16000,
                                  64000,  88200,  176400,  192000,     352800,
                                  384000, 123457, 4000000, 4294967295u};
  const std::uint32_t kLongRuns[] = {1'000'000, 158'760'001, 4294967295u};
  auto length_text = [](std::uint32_t length, std::uint32_t rate) {
    char text[kMaxLengthChars];
    return std::string(text, format_length_chars(length, TimeBase(rate), text));
  };
  int halfway = 0;
  for (std::uint32_t rate : kRates) {
    std::vector<std::uint32_t> lengths;
    for (std::uint32_t n = 0; n < 20'000; ++n)
      lengths.push_back(n);
    for (std::uint32_t top : kLongRuns) {
      for (std::uint32_t n = 0; n < 2'000; ++n)
        lengths.push_back(top - n);
    }
    for (std::uint32_t length : lengths) {
      double seconds = static_cast<double>(length) * 4.0 / rate;
      char expected[64];
      std::snprintf(expected, sizeof expected, "%.3f", seconds);
      ASSERT_EQ(length_text(length, rate), expected)
          << length << " frames at " << rate;
      halfway += std::uint64_t{length} * 4000 % rate * 2 == rate;
    }
  }
  EXPECT_GT(halfway, 1000);
  // Exactly halfway goes to the even thousandth; a halfway quotient that no
  // double holds goes the way its double lies.
  EXPECT_EQ(length_text(1250, 16000), "0.312");
  EXPECT_EQ(length_text(1750, 16000), "0.438");
  EXPECT_EQ(length_text(2, 16000), "0.001");   // 0.0005000000000000000104
  EXPECT_EQ(length_text(18, 16000), "0.004");  // 0.0044999999999999996599
}

TEST(ScanFrames, PlacesThePointAtStartMiddleOrEnd) {
  std::string bytes = frames_of({loud(44100), quiet(8820), loud(1)});
  ScanParams params{0, 8820, CutPosition::kStart};
  std::vector<ChapterPoint> start = scan(bytes, params);
  ASSERT_EQ(start.size(), 1u);
  EXPECT_EQ(start[0].cut, 44101u);
  EXPECT_EQ(start[0].length, 8820u);
  params.cut = CutPosition::kMiddle;
  EXPECT_EQ(scan(bytes, params)[0].cut, 48511u);
  params.cut = CutPosition::kEnd;
  EXPECT_EQ(scan(bytes, params)[0].cut, 52921u);
  // An odd length rounds the half down.
  params = {0, 1, CutPosition::kMiddle};
  EXPECT_EQ(scan(frames_of({loud(1), quiet(5), loud(1)}), params)[0].cut, 4u);
}

TEST(ScanFrames, IgnoresShortSilencesAndSilenceAtTheEnd) {
  ScanParams params{0, 8820, CutPosition::kStart};
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
    return scan(frames_of(runs), {threshold, min_frames, CutPosition::kStart})
        .size();
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
  ScanParams params{0, 7, CutPosition::kEnd};
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
