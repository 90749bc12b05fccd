// The console's tables of hushmark-chapters.
#include "chapters/tables.h"

#include <gtest/gtest.h>

#include <vector>

namespace hushmark {
namespace {

TEST(ChapterAlignment, ShowsEveryMoveAndTheDrift) {
  Timeline t{TimeBase(4000), 600'000, {{223'420, 2750}}, {}, 1};
  Alignment a{7500.4,
              1.002,
              {{0, 0, {}, 0, false},
               {216'000, 223'420, 0, 223'420, false},
               {432'000, 425'600, {}, 425'600, true}}};
  std::vector<ListedChapter> list{
      {0, "Intro"}, {216'000, "One"}, {432'000, "Two"}};
  EXPECT_EQ(
      alignment_table(a, list, t, L","),
      L"  1  00:00:00.000 -> 00:00:00.000     +0,000秒            Intro\n"
      L"  2  00:03:36.000 -> 00:03:43.420     +7,420秒    2,750秒  One\n"
      L"  3  00:07:12.000 -> 00:07:05.600     -6,400秒            Two  "
      L"※無音なし\n"
      L"リストのチャプター3個のうち1個を無音に置きました。※無音なしの1個は"
      L"リストの時間を補正した位置のままです。(補正 "
      L"開始+7,500秒、長さ+0,200%)\n");
}

}  // namespace
}  // namespace hushmark
