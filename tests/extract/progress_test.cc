#include "extract/progress.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "test_support.h"
#include "wave_bytes.h"

namespace hushmark {
namespace {

TEST(Progress, ShowsTheShareTheSpeedAndTheTimeLeft) {
  struct Row {
    ProgressFigures figures;
    std::wstring line;
  };
  const Row rows[] = {
      {{420, 12, 1000, L"."}, L"  42% 35倍速 残り 0:16"},
      {{10, 4, 3600 * 10, L","}, L"  0% 2,5倍速 残り 3:59:56"},
      {{3599, 1, 7200, L"."}, L"  49% 3599倍速 残り 0:01"},
      {{0, 2, 60, L"."}, L"  0%"},
      {{61, 0, 60, L"."}, L"  100%"},  // ffprobe's length was short
      {{754, 20, std::nullopt, L"."}, L"  12:34 38倍速"},
      {{3725, 100, 0.0, L"."}, L"  1:02:05 37倍速"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(progress_line(row.figures), row.line) << row.line;
  }
}

TEST(Progress, TellsTheLengthOfWaveFilesByTheirDataAndNotOfStreams) {
  testing::TempDir dir;
  testing::write_file(dir / "a.wav", testing::WaveBytes()
                                         .fmt(8000)
                                         .chunk("LIST", 27)
                                         .data({testing::loud(12000)})
                                         .bytes());
  testing::write_file(dir / "b.wav",
                      testing::WaveBytes().fmt(8000).data({}).bytes());
  const std::vector<std::wstring> files = {testing::wide(dir / "a.wav"),
                                           testing::wide(dir / "b.wav")};
  EXPECT_EQ(recording_seconds(files), 1.5);
  const std::vector<std::wstring> with_stdin = {files[0], L"-"};
  EXPECT_EQ(recording_seconds(with_stdin), std::nullopt);
  // A FIFO is left for its reading alone: opened here, its writer would be
  // let go and then find no reader.
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  const std::vector<std::wstring> fifo = {testing::wide(dir / "fifo")};
  EXPECT_EQ(recording_seconds(fifo), std::nullopt);
}

}  // namespace
}  // namespace hushmark
