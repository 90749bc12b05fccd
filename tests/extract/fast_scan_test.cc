#include "extract/fast_scan.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <string>
#include <vector>

#include "extract/point_format.h"
#include "extract/silence_scan.h"
#include "extract/time_base.h"
#include "extract/wave_reader.h"
#include "test_support.h"
#include "wave_bytes.h"

namespace hushmark {
namespace {

using testing::frames_of;
using testing::loud;
using testing::quiet;

constexpr TileKernel kKernels[] = {TileKernel::kPlain, TileKernel::kSse2,
                                   TileKernel::kAvx2};

struct Outcome {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> points;
  std::uint32_t index;
  std::uint32_t silence_start;
  bool operator==(const Outcome&) const = default;
};

std::span<const std::uint8_t> span_of(const std::string& s, std::size_t from,
                                      std::size_t to) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()) + from, to - from};
}

Outcome outcome_of(const std::vector<ChapterPoint>& points,
                   const ScanState& state) {
  Outcome out{{}, state.index, state.silence_start};
  for (const ChapterPoint& p : points)
    out.points.emplace_back(p.cut, p.length);
  return out;
}

Outcome reference(const std::string& bytes, const ScanParams& params) {
  ScanState state;
  std::vector<ChapterPoint> points;
  scan_frames(span_of(bytes, 0, bytes.size()), params, state, points);
  return outcome_of(points, state);
}

// The fast scan over the bytes cut at the given byte offsets (in order).
Outcome fast(const std::string& bytes, const ScanParams& params,
             TileKernel kernel, const std::vector<std::size_t>& cuts = {}) {
  ScanState state;
  std::vector<ChapterPoint> points;
  std::size_t from = 0;
  for (std::size_t to : cuts) {
    scan_frames_fast(span_of(bytes, from, to), params, state, points, kernel);
    from = to;
  }
  scan_frames_fast(span_of(bytes, from, bytes.size()), params, state, points,
                   kernel);
  return outcome_of(points, state);
}

// Every kernel this machine runs finds what the reference finds.
void expect_like_reference(const std::string& bytes, const ScanParams& params,
                           const std::vector<std::size_t>& cuts = {}) {
  Outcome want = reference(bytes, params);
  for (TileKernel kernel : kKernels) {
    if (!tile_kernel_available(kernel)) continue;
    EXPECT_TRUE(fast(bytes, params, kernel, cuts) == want)
        << "kernel " << static_cast<int>(kernel) << " threshold "
        << params.threshold << " min " << params.min_frames << " cut "
        << static_cast<int>(params.cut);
  }
}

void put_frame(std::string& out, std::int16_t left, std::int16_t right) {
  out += frames_of({{1, left, right}});
}

// Runs of quiet and loud frames of lengths that straddle tile edges, built
// from samples at the level, one above it, 0 and the extremes.
std::string random_frames(std::mt19937& rng, std::int32_t level,
                          std::size_t frames) {
  const std::int16_t calm[] = {0, static_cast<std::int16_t>(level),
                               static_cast<std::int16_t>(-level),
                               static_cast<std::int16_t>(level / 2)};
  const std::int16_t noisy[] = {static_cast<std::int16_t>(level + 1),
                                static_cast<std::int16_t>(-level - 1), -32768,
                                32767};
  const std::size_t lengths[] = {1, 2, 3, 63, 64, 65, 127, 128, 129, 200, 700};
  std::string out;
  bool is_quiet = rng() % 2;
  while (out.size() < frames * kFrameBytes) {
    std::size_t n = lengths[rng() % std::size(lengths)];
    for (std::size_t i = 0; i < n; ++i) {
      std::int16_t a = calm[rng() % 4];
      std::int16_t b = is_quiet ? calm[rng() % 4] : noisy[rng() % 4];
      if (rng() % 2) std::swap(a, b);
      put_frame(out, a, b);
    }
    is_quiet = !is_quiet;
  }
  return out;
}

TEST(FastScan, MatchesTheReferenceOnRandomRuns) {
  std::mt19937 rng(20240611);
  const std::int32_t levels[] = {0, 1, 300, 32767};
  const std::uint32_t mins[] = {0, 1, 2, 63, 64, 65, 500, 0xFFFFFFFFu};
  for (int round = 0; round < 400; ++round) {
    std::int32_t level = levels[rng() % std::size(levels)];
    const std::int32_t thresholds[] = {
        level,
        level - 1,
        32768,
        -1,
        std::numeric_limits<std::int32_t>::max(),
        std::numeric_limits<std::int32_t>::min()};
    ScanParams params{thresholds[rng() % 4 == 0 ? rng() % 6 : rng() % 2],
                      mins[rng() % std::size(mins)],
                      cut_position_of(static_cast<std::int32_t>(rng() % 3))};
    std::string bytes = random_frames(rng, level, 1 + rng() % 3000);
    // The state carries across calls split at arbitrary frames.
    std::vector<std::size_t> cuts;
    std::size_t frames = bytes.size() / kFrameBytes;
    for (std::size_t at = 0; at < frames; at += rng() % 400)
      cuts.push_back(at * kFrameBytes);
    expect_like_reference(bytes, params);
    expect_like_reference(bytes, params, cuts);
  }
}

TEST(FastScan, FollowsATransitionOnEveryFrame) {
  for (std::size_t frames : {1000u, 1001u, 64u * 40 + 63}) {
    for (bool quiet_first : {true, false}) {
      std::string bytes;
      for (std::size_t i = 0; i < frames; ++i) {
        bool q = (i % 2 == 0) == quiet_first;
        put_frame(bytes, q ? 0 : 5, q ? 0 : -5);
      }
      for (std::uint32_t min : {0u, 1u, 2u, 63u, 64u, 8820u}) {
        for (CutPosition cut :
             {CutPosition::kStart, CutPosition::kMiddle, CutPosition::kEnd}) {
          expect_like_reference(bytes, {0, min, cut});
          expect_like_reference(bytes, {4, min, cut});
        }
      }
    }
  }
}

TEST(FastScan, EndsRunsOnTileAndCallEdges) {
  for (std::uint32_t lead : {0u, 1u, 62u, 63u, 64u, 65u, 127u}) {
    for (std::uint32_t length :
         {1u, 62u, 63u, 64u, 65u, 127u, 128u, 129u, 191u}) {
      std::string bytes =
          frames_of({loud(lead), quiet(length), loud(2), quiet(length)});
      std::size_t frames = bytes.size() / kFrameBytes;
      for (std::uint32_t min : {length - 1, length, length + 1, 64u}) {
        expect_like_reference(bytes, {0, min, CutPosition::kMiddle});
        // One cut at every frame, so every run crosses a call edge somewhere.
        for (std::size_t at = 0; at <= frames; at += 7) {
          expect_like_reference(bytes, {0, min, CutPosition::kEnd},
                                {at * kFrameBytes});
        }
      }
    }
  }
}

TEST(FastScan, TakesEveryThresholdOverWholeTiles) {
  // 130 frames so that the tiles go through the vector kernels, not the tail;
  // the run is still open at the end when every frame was quiet.
  auto quiet_all = [](std::int16_t left, std::int16_t right,
                      std::int32_t threshold) {
    std::string bytes = frames_of({{130, left, right}});
    ScanParams params{threshold, 1, CutPosition::kStart};
    expect_like_reference(bytes, params);
    return reference(bytes, params).silence_start == 1;
  };
  const std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  EXPECT_FALSE(quiet_all(-32768, 0, 32767));
  EXPECT_TRUE(quiet_all(-32768, -32768, 32768));
  EXPECT_TRUE(quiet_all(-32768, 32767, kMax));
  EXPECT_FALSE(quiet_all(0, 0, -1));
  EXPECT_FALSE(quiet_all(0, 0, std::numeric_limits<std::int32_t>::min()));
  EXPECT_TRUE(quiet_all(-7, 7, 7));
  EXPECT_FALSE(quiet_all(-7, 7, 6));
  EXPECT_FALSE(quiet_all(0, 32767, 32766));
  EXPECT_TRUE(quiet_all(0, 32767, 32767));
}

// The console and chapter text the reference scan gives for one data chunk.
void expect_lines(const std::string& frames, TimeBase rate,
                  std::string& console, std::string& chapters) {
  ScanState state;
  std::vector<ChapterPoint> points;
  scan_frames(span_of(frames, 0, frames.size()),
              {0, compute_min_frames(rate, 200), CutPosition::kStart}, state,
              points);
  for (const ChapterPoint& p : points) {
    std::string time = format_time(frame_time_ms(p.cut, rate));
    char seconds[kMaxLengthChars];
    console += time + "  ";
    console.append(seconds, format_length_chars(p.length, rate, seconds));
    console += "秒\n";
    chapters += time + "\r\n";
  }
}

// Enough random frames at 4 kHz (1,000 frames a second, 200 ms = 200 frames)
// to fill the reader's buffer a few times over.
std::string long_frames(std::mt19937& rng) {
  std::string out;
  while (out.size() < 3 * ByteReader::kBufferBytes / 2) {
    out += frames_of({loud(1 + rng() % 700), quiet(150 + rng() % 100)});
  }
  return out;
}

TEST(FastScan, ReadsChunksAcrossBufferEdgesLikeTheReference) {
  std::mt19937 rng(7);
  std::string first = long_frames(rng), second = long_frames(rng);
  std::string console, chapters;
  expect_lines(first, TimeBase(4000), console, chapters);
  console += "未対応chunkID:LIST size:5\n";
  expect_lines(second, TimeBase(4000), console, chapters);
  testing::WaveBytes w;
  // Three stray bytes make the first chunk odd, so a pad byte follows.
  w.fmt_raw(1, 2, 4000, 16)
      .raw("data")
      .u32(static_cast<std::uint32_t>(first.size() + 3));
  w.raw(first).raw("xyz").raw(std::string(1, '\0')).chunk("LIST", 5);
  w.raw("data").u32(static_cast<std::uint32_t>(second.size())).raw(second);
  testing::Extraction out = testing::extract(w.bytes());
  EXPECT_TRUE(out.ok);
  EXPECT_EQ(out.console, console);
  EXPECT_EQ(out.chapters, chapters);
}

TEST(FastScan, WritesEveryPointBeforeAShortRead) {
  std::mt19937 rng(11);
  std::string frames = long_frames(rng);
  for (std::size_t keep = frames.size() - 2 * kFrameBytes;
       keep <= frames.size(); ++keep) {
    std::string console, chapters;
    expect_lines(frames.substr(0, keep - keep % kFrameBytes), TimeBase(4000),
                 console, chapters);
    console += "データ読み取りに失敗\n";
    testing::WaveBytes w;
    w.fmt_raw(1, 2, 4000, 16)
        .raw("data")
        .u32(static_cast<std::uint32_t>(frames.size() + 8));
    testing::Extraction out =
        testing::extract(w.raw(frames.substr(0, keep)).bytes());
    EXPECT_FALSE(out.ok) << keep;
    EXPECT_EQ(out.console, console) << keep;
    EXPECT_EQ(out.chapters, chapters) << keep;
  }
}

}  // namespace
}  // namespace hushmark
