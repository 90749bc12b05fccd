#include "extract/ffmpeg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "chapters/ffmpeg_runs.h"
#include "chapters/messages.h"
#include "cli/core_words.h"

namespace hushmark {
namespace {

TEST(Ffmpeg, FindsFfprobeBesideTheFfmpegNamed) {
  EXPECT_EQ(ffprobe_beside(L"/opt/ff/FFmpeg-5.1.exe"),
            L"/opt/ff/ffprobe-5.1.exe");
  EXPECT_EQ(ffprobe_beside(L"avconv"), L"ffprobe");
}

// The end-to-end tests see the rest; a program that is there but does not
// start, and ffmpeg's closing blank lines, are hard to bring about there.
TEST(Ffmpeg, SaysWhyARunWentWrongInItsCallersWords) {
  using platform::StartResult;
  const struct {
    const FfmpegRun& run;
    StartResult started;
    std::string_view error_text;
    std::wstring_view message;
  } cases[] = {
      {kEmbedRun, StartResult::kFailed, "",
       L"ffmpegを起動できませんでした。\n"},
      {kProbeRun, StartResult::kFailed, "",
       L"ffprobeを起動できませんでした。\n"},
      {kProbeRun, StartResult::kStarted,
       "Stream map '0:a' matches no streams.\n",
       L"ffprobeが失敗しました: Stream map '0:a' matches no streams.\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ffmpeg_failure(c.run, c.started, c.error_text), c.message)
        << c.error_text;
  }
}

// A decode's failure names its input, and tells one without audio.
TEST(Ffmpeg, TellsWhatWentWrongWithADecode) {
  using platform::StartResult;
  const struct {
    StartResult started;
    std::string_view error_text;
    std::wstring_view message;
  } cases[] = {
      {StartResult::kFailed, "", L"ffmpegを起動できませんでした。\n"},
      {StartResult::kStarted, "", L"ffmpegで読み取れませんでした: a\n"},
      {StartResult::kStarted, "x\r\nfile:a: Invalid data\n\n",
       L"ffmpegで読み取れませんでした: a\nffmpeg: a: Invalid data\n"},
      {StartResult::kStarted, "Stream map '0:a' matches no streams.\n",
       L"音声がありません: a\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(word_error(decode_error(c.started, L"a", c.error_text)),
              c.message)
        << c.error_text;
  }
}

// A child that says too much, one that would never end, one that fails and
// one that echoes its input, standing in for ffmpeg and ffprobe.
TEST(Ffmpeg, CollectsOutputUpToItsLimitAndTellsHowTheRunEnded) {
  const struct {
    std::wstring_view script;
    std::string_view input;
    std::size_t limit;
    bool ended_well;
    bool said_too_much;
    std::string_view output;
  } cases[] = {
      {L"printf abc", "", 4, true, false, "abc"},
      {L"printf abcd", "", 4, false, true, "abcd"},
      {L"yes", "", 6, false, true, "y\ny\ny\n"},
      {L"printf abc; echo oops >&2; exit 3", "", 100, false, false, "abc"},
      {L"cat", "fed\n", 100, true, false, "fed\n"},
  };
  for (const auto& c : cases) {
    const std::vector<std::wstring> args = {L"-c", std::wstring(c.script)};
    std::string output;
    const CollectedRun run =
        run_collecting(L"sh", args, c.input, &output, c.limit);
    EXPECT_EQ(run.started, platform::StartResult::kStarted);
    EXPECT_EQ(run.ended_well, c.ended_well) << output;
    EXPECT_EQ(run.said_too_much, c.said_too_much) << output;
    EXPECT_EQ(output, c.output);
  }
  std::string output;
  const std::vector<std::wstring> failing = {L"-c", L"echo oops >&2; exit 3"};
  EXPECT_EQ(run_collecting(L"sh", failing, "", nullptr).error_text, "oops\n");
  EXPECT_EQ(
      run_collecting(L"hushmark-no-such-program", failing, "", &output).started,
      platform::StartResult::kNotFound);
}

// Blocks as ffmpeg 5.1 wrote them with -progress pipe:1: the first of an
// encode with cover art, one from the middle of an encode, and the last of a
// fast copy.
constexpr std::string_view kProgress =
    "frame=0\nfps=0.00\nstream_0_1_q=-1.0\nbitrate=N/A\ntotal_size=44\n"
    "out_time_us=0\nout_time_ms=0\nout_time=00:00:00.000000\ndup_frames=0\n"
    "drop_frames=0\nspeed=   0x\nprogress=continue\n"
    "bitrate=   0.0kbits/s\ntotal_size=44\nout_time_us=13072834\n"
    "out_time_ms=13072834\nout_time=00:00:13.072834\ndup_frames=0\n"
    "drop_frames=0\nspeed=26.1x\nprogress=continue\n"
    "bitrate= 708.1kbits/s\ntotal_size=318633858\nout_time_us=3600000000\n"
    "out_time_ms=3600000000\nout_time=01:00:00.000000\ndup_frames=0\n"
    "drop_frames=0\nspeed=3.19e+03x\nprogress=end\n";

TEST(FfmpegProgress, TakesWholeBlocksOnlyWhereverThePipeCutsThem) {
  const FfmpegProgress expected[] = {{0, 0, false, 44},
                                     {13072834, 26.1, false, 44},
                                     {3600000000, 3190, true, 318633858}};
  std::vector<std::size_t> block_ends;
  for (std::size_t at = 0;
       (at = kProgress.find("progress=", at)) != std::string_view::npos;) {
    at = kProgress.find('\n', at) + 1;
    block_ends.push_back(at);
  }
  for (std::size_t cut = 0; cut <= kProgress.size(); ++cut) {
    std::string_view text = kProgress.substr(0, cut);
    std::size_t k = 0;
    FfmpegProgress block;
    while (take_progress_block(text, block)) {
      ASSERT_LT(k, block_ends.size());
      EXPECT_EQ(block.out_time_us, expected[k].out_time_us) << cut;
      EXPECT_DOUBLE_EQ(block.speed, expected[k].speed) << cut;
      EXPECT_EQ(block.end, expected[k].end) << cut;
      EXPECT_EQ(block.total_size, expected[k].total_size) << cut;
      EXPECT_EQ(text.size(), cut - block_ends[k]) << cut;
      ++k;
    }
    EXPECT_EQ(k, std::count_if(block_ends.begin(), block_ends.end(),
                               [&](std::size_t end) { return end <= cut; }));
  }
}

TEST(FfmpegProgress, ReadsTimesFfmpegCannotTellYetAsUnknownOrZero) {
  std::string_view text =
      "out_time_us=N/A\nspeed=N/A\nprogress=continue\n"
      "out_time_us=-9223372036854775807\r\nspeed=0.461x\r\n"
      "progress=end\r\n";
  FfmpegProgress block;
  ASSERT_TRUE(take_progress_block(text, block));
  EXPECT_EQ(block.out_time_us, std::nullopt);
  EXPECT_EQ(block.speed, 0);
  ASSERT_TRUE(take_progress_block(text, block));
  EXPECT_EQ(block.out_time_us, 0u);
  EXPECT_DOUBLE_EQ(block.speed, 0.461);
  EXPECT_TRUE(block.end);
  EXPECT_TRUE(text.empty());
}

}  // namespace
}  // namespace hushmark
