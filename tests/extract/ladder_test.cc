#include "extract/ladder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "extract/recording_scan.h"
#include "extract/silence_scan.h"
#include "extract/wave_reader.h"
#include "platform/files.h"
#include "probe/report.h"
#include "test_support.h"
#include "wave_bytes.h"

namespace hushmark {
namespace {

std::span<const std::uint8_t> span_of(const std::string& s, std::size_t from,
                                      std::size_t to) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()) + from, to - from};
}

TEST(LadderScan, PutsEveryMagnitudeOnTheLowestRungWhereItIsQuiet) {
  for (std::uint32_t m = 0; m <= 32768; ++m) {
    const auto at = std::lower_bound(kLadder.begin(), kLadder.end(),
                                     static_cast<std::int32_t>(m));
    ASSERT_EQ(rung_of(m), static_cast<std::size_t>(at - kLadder.begin())) << m;
  }
}

TEST(LadderScan, FindsWhatTheScanFindsAtEveryRung) {
  std::mt19937 rng(20261208);
  const std::uint32_t mins[] = {0, 1, 2, 63, 64, 65, 500, 0xFFFFFFFFu};
  for (int round = 0; round < 150; ++round) {
    std::string bytes =
        testing::ladder_frames(rng, 500 + rng() % 4000, kLadder);
    const std::uint32_t min_frames = mins[rng() % std::size(mins)];
    std::array<std::vector<ChapterPoint>, kRungs> want;
    for (std::size_t rung = 0; rung < kRungs; ++rung) {
      ScanState state;
      scan_frames(span_of(bytes, 0, bytes.size()),
                  {kLadder[rung], min_frames, CutPosition::kStart}, state,
                  want[rung]);
    }
    // The reader hands over frames in pieces of any whole-frame size.
    std::size_t cut = (rng() % (bytes.size() / kFrameBytes)) * kFrameBytes;
    for (TileKernel kernel :
         {TileKernel::kPlain, TileKernel::kSse2, TileKernel::kAvx2}) {
      LadderState state;
      LadderFound got;
      scan_ladder_frames(span_of(bytes, 0, cut), min_frames, state, got,
                         kernel);
      scan_ladder_frames(span_of(bytes, cut, bytes.size()), min_frames, state,
                         got, kernel);
      for (std::size_t rung = 0; rung < kRungs; ++rung) {
        ASSERT_EQ(got[rung].size(), want[rung].size())
            << "round " << round << " rung " << rung;
        for (std::size_t k = 0; k < got[rung].size(); ++k) {
          EXPECT_EQ(got[rung][k].start, want[rung][k].cut) << "round " << round;
          EXPECT_EQ(got[rung][k].length, want[rung][k].length);
        }
      }
    }
  }
}

// The points that hushmark's chunk walk and scan find in wave.
std::size_t chapter_lines(const std::string& wave, std::int32_t threshold,
                          std::int32_t min_silence_ms) {
  ScanRequest request;
  request.threshold = threshold;
  request.min_silence_ms = min_silence_ms;
  ByteReader in(span_of(wave, 0, wave.size()));
  std::size_t points = 0;
  auto count = [&points](std::span<const ChapterPoint> found, TimeBase) {
    points += found.size();
    return true;
  };
  scan_wave(in, request, count, [](const Notice&) {});
  return points;
}

TEST(ScanRecording, CountsWhatHushmarkWritesWithEveryMinimumAtEveryRung) {
  using testing::WaveBytes;
  std::mt19937 rng(19);
  // Long quiet stretches among the levels reach the longer minima.
  auto frames = [&rng](int pieces) {
    std::string out;
    for (int i = 0; i < pieces; ++i) {
      out += testing::ladder_frames(rng, 200 + rng() % 800, kLadder);
      out += testing::frames_of({testing::quiet(rng() % 9000)});
    }
    return out;
  };
  // Byte rates from 4, where the shorter minima are 0 frames, to 44,100 Hz;
  // the last data ends early.
  std::string cut = WaveBytes().fmt(44100).data(frames(4)).bytes();
  cut.resize(cut.size() - 3001);
  struct Case {
    std::string wave;
    std::int32_t min_ms;
    std::int32_t given;  // the threshold -s gives
  };
  const Case cases[] = {
      {WaveBytes().fmt(1).data(frames(4)).bytes(), 0, 40},
      {WaveBytes().fmt(600).data(frames(4)).bytes(), 200, 64},
      {WaveBytes().fmt(11025).data(frames(4)).bytes(), 10, -1},
      {cut, 200, 5},
  };
  testing::TempDir dir;
  for (const Case& c : cases) {
    testing::write_file(dir / "in.wav", c.wave);
    ScanPlan plan;
    plan.ladder = true;
    plan.threshold = c.given;
    plan.min_silence_ms = c.min_ms;
    RecordingRuns runs;
    scan_recording({{testing::wide(dir / "in.wav")}}, plan, runs,
                   [](const Notice&) {});
    for (std::int32_t threshold : runs.thresholds) {
      const RunTally& tally = *tally_at(runs, threshold);
      const MinSilenceTotals totals = min_totals(tally, runs.time_base);
      for (std::size_t row = 0; row < kMinRows; ++row) {
        EXPECT_EQ(totals.points[row],
                  chapter_lines(c.wave, threshold, kMinLadder[row]))
            << "-s " << threshold << " -m " << kMinLadder[row];
      }
      EXPECT_EQ(tally.points, chapter_lines(c.wave, threshold, c.min_ms));
    }
  }
}

// Everything a scan counts at every threshold, the kept silences included.
std::vector<std::uint64_t> flat_tallies(const std::vector<std::wstring>& paths,
                                        const ScanPlan& plan, bool ends_early) {
  RecordingRuns runs;
  const CoreError error =
      scan_recording(paths, plan, runs, [](const Notice&) {});
  EXPECT_EQ(error.failure,
            ends_early ? Failure::kDataEndedEarly : Failure::kNone);
  EXPECT_EQ(runs.data_ended_early, ends_early);
  std::vector<std::uint64_t> flat = {runs.frames};
  for (const RunTally& t : runs.tallies) {
    flat.push_back(t.points);
    flat.push_back(t.point_frames);
    flat.insert(flat.end(), t.bins.runs.begin(), t.bins.runs.end());
    flat.insert(flat.end(), t.bins.frames.begin(), t.bins.frames.end());
    flat.insert(flat.end(), t.pauses.counts.begin(), t.pauses.counts.end());
    flat.insert(flat.end(), t.longest.begin(), t.longest.end());
    std::vector<std::uint32_t> apart = t.set_apart;
    std::sort(apart.begin(), apart.end());
    flat.insert(flat.end(), apart.begin(), apart.end());
    for (const Silence& s : unpack_silences(t.kept)) {
      flat.push_back(s.start);
      flat.push_back(s.length);
    }
  }
  return flat;
}

// Files cut from one recording anywhere (inside silences, at tile edges, into
// empty and all-quiet files) give the whole recording's silences at every
// threshold. Only a file's first data chunk is read; one whose data ends
// early gives what was read.
TEST(ScanRecording, FilesCutAnywhereGiveTheWholeRecordingsSilences) {
  std::mt19937 rng(23);
  testing::TempDir dir;
  auto write = [&dir](const std::string& name, const std::string& bytes) {
    testing::write_file(dir / name, bytes);
    return testing::wide(dir / name);
  };
  std::uint32_t rate = 0;
  auto wave = [&rate](const std::string& frames) {
    return testing::WaveBytes().fmt(rate).data(frames).bytes();
  };
  for (int trial = 0; trial < 10; ++trial) {
    // At 2 Hz the shortest minima are 0 frames long.
    rate = trial % 2 ? 2 : 1000;
    std::string frames;
    std::vector<std::size_t> cuts;
    while (frames.size() < 40000 * kFrameBytes) {
      frames += testing::ladder_frames(rng, 100 + rng() % 900, kLadder);
      const std::size_t quiet_from = frames.size() / kFrameBytes;
      const std::uint32_t quiet = rng() % 12000;
      frames += testing::frames_of({testing::quiet(quiet)});
      // A second cut inside the silence makes an empty file, an all-quiet
      // one, or one whose first loud frame opens a tile (the very first).
      const std::size_t quiet_to = quiet_from + quiet;
      const std::size_t cut = quiet_from + rng() % (quiet + 1);
      const std::size_t to_edge =
          std::min<std::size_t>(quiet, 64 * (rng() % 3));
      cuts.push_back(cut);
      const std::size_t second_cut[] = {cut, quiet_from + rng() % (quiet + 1),
                                        quiet_to - to_edge};
      cuts.push_back(second_cut[rng() % 3]);
    }
    const std::size_t count = frames.size() / kFrameBytes;
    cuts.push_back(rng() % (count / kTileFrames) * kTileFrames);
    cuts.push_back(0);
    cuts.push_back(count);
    std::sort(cuts.begin(), cuts.end());
    auto piece = [&](std::size_t from, std::size_t to) {
      return frames.substr(from * kFrameBytes, (to - from) * kFrameBytes);
    };
    std::vector<std::wstring> parts;
    for (std::size_t k = 0; k + 1 < cuts.size(); ++k) {
      parts.push_back(write("part" + std::to_string(k) + ".wav",
                            wave(piece(cuts[k], cuts[k + 1]))));
    }
    const std::vector<std::wstring> whole = {write("whole.wav", wave(frames))};
    // Parts k and k + 1 as the two data chunks of one file: as part k alone.
    std::size_t k = 0;
    while (k == 0 || cuts[k] == cuts[k + 1])
      k = 1 + rng() % (cuts.size() - 3);
    std::vector<std::wstring> chunked = parts;
    chunked[k] = write("chunked.wav", testing::WaveBytes()
                                          .fmt(rate)
                                          .data(piece(cuts[k], cuts[k + 1]))
                                          .data(piece(cuts[k + 1], cuts[k + 2]))
                                          .bytes());
    chunked.erase(chunked.begin() + static_cast<std::ptrdiff_t>(k) + 1);
    std::vector<std::wstring> without = parts;
    without.erase(without.begin() + static_cast<std::ptrdiff_t>(k) + 1);
    // Part k loses the end of its data; the parts after it are not read.
    std::string cut_short = wave(piece(cuts[k], cuts[k + 1]));
    const std::size_t lost = 1 + rng() % (cut_short.size() - 44);
    cut_short.resize(cut_short.size() - lost);
    std::vector<std::wstring> short_parts = parts;
    short_parts[k] = write("short.wav", cut_short);
    const std::vector<std::wstring> read = {
        write("read.wav",
              wave(piece(0, cuts[k] + (cut_short.size() - 44) / kFrameBytes)))};
    for (std::optional<std::int32_t> given :
         {std::optional<std::int32_t>(), std::optional<std::int32_t>(64),
          std::optional<std::int32_t>(40)}) {
      for (std::int32_t ms : {0, 40, 700, 3000}) {
        const std::string where = "trial " + std::to_string(trial) + " -s " +
                                  std::to_string(given.value_or(-1)) + " -m " +
                                  std::to_string(ms);
        ScanPlan plan;
        plan.ladder = !given || ms == 40;
        plan.threshold = given;
        plan.min_silence_ms = ms;
        plan.keep = true;
        const auto want = flat_tallies(whole, plan, false);
        EXPECT_EQ(flat_tallies(parts, plan, false), want) << where;
        EXPECT_EQ(flat_tallies(chunked, plan, false),
                  flat_tallies(without, plan, false))
            << where << " chunked";
        EXPECT_EQ(flat_tallies(short_parts, plan, true),
                  flat_tallies(read, plan, false))
            << where << " short";
      }
    }
  }
}

// Files read side by side keep their notices for their turn: each file's are
// told in order, up to the first file that failed, whose failure is returned.
TEST(ScanRecording, TellsEachFilesNoticesInOrderUpToTheFirstFailure) {
  using testing::WaveBytes;
  testing::TempDir dir;
  std::vector<std::wstring> paths;
  auto add = [&](const char* id, WaveBytes wave) {
    const std::string name = std::string(id) + ".wav";
    testing::write_file(dir / name, wave.bytes());
    paths.push_back(testing::wide(dir / name));
  };
  add("aaaa", WaveBytes().fmt(8000).chunk("aaaa", 3).data({testing::loud(9)}));
  add("bbbb", WaveBytes().fmt(8000).data({testing::loud(9)}).chunk("bbbb", 2));
  // A fmt chunk too short for a format, after a chunk that is told.
  WaveBytes broken;
  broken.chunk("cccc", 1).raw("fmt ").u32(14).u16(1).u16(2).u32(8000);
  add("cccc", broken.u32(32000).u16(4));
  add("dddd", WaveBytes().fmt(8000).chunk("dddd", 2).data({testing::loud(9)}));
  ScanPlan plan;
  plan.threshold = 0;
  for (int round = 0; round < 20; ++round) {
    std::vector<std::uint32_t> told;
    RecordingRuns runs;
    const CoreError error = scan_recording(
        paths, plan, runs,
        [&told](const Notice& notice) { told.push_back(notice.chunk_id); });
    EXPECT_EQ(error.failure, Failure::kBrokenFmt);
    EXPECT_EQ(told, (std::vector<std::uint32_t>{fourcc("aaaa"), fourcc("bbbb"),
                                                fourcc("cccc")}));
  }
}

}  // namespace
}  // namespace hushmark
