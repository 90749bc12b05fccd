#include "extract/ffmpeg.h"

#include <gtest/gtest.h>

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
  using enum FfmpegRun;
  using platform::StartResult;
  const struct {
    FfmpegRun run;
    StartResult started;
    std::string_view error_text;
    std::wstring_view message;
  } cases[] = {
      {kDecode, StartResult::kFailed, "", L"ffmpegを起動できませんでした。\n"},
      {kEmbed, StartResult::kFailed, "", L"ffmpegを起動できませんでした。\n"},
      {kProbe, StartResult::kFailed, "", L"ffprobeを起動できませんでした。\n"},
      {kDecode, StartResult::kStarted, "",
       L"ffmpegで読み取れませんでした: a\n"},
      {kDecode, StartResult::kStarted, "x\r\nfile:a: Invalid data\n\n",
       L"ffmpegで読み取れませんでした: a\nffmpeg: a: Invalid data\n"},
      {kProbe, StartResult::kStarted, "Stream map '0:a' matches no streams.\n",
       L"ffprobeが失敗しました: Stream map '0:a' matches no streams.\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ffmpeg_failure(c.run, c.started, L"a", c.error_text), c.message)
        << c.error_text;
  }
}

}  // namespace
}  // namespace hushmark
