#include "extract/ffmpeg.h"

#include <gtest/gtest.h>

namespace hushmark {
namespace {

TEST(Ffmpeg, FindsFfprobeBesideTheFfmpegNamed) {
  EXPECT_EQ(ffprobe_beside(L"/opt/ff/FFmpeg-5.1.exe"),
            L"/opt/ff/ffprobe-5.1.exe");
  EXPECT_EQ(ffprobe_beside(L"avconv"), L"ffprobe");
}

}  // namespace
}  // namespace hushmark
