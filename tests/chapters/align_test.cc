// Aligning a given chapter list to the silences: the drift fit and the
// order-preserving choice of silences.
#include "chapters/align.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <random>

#include "extract/time_base.h"

namespace hushmark {
namespace {

constexpr TimeBase kRate(176'400);  // 44.1 kHz
constexpr std::uint64_t kFramesPerSecond = 44'100;

// A book with a chapter pause (2 to 4 s) every book/chapters seconds, give
// or take 30 s, among sentence pauses (0.3 to 1.2 s, and one in 33 a break
// within a chapter of 1.5 to 3 s), `silences` in all.
struct Book {
  Timeline timeline;
  std::vector<std::uint64_t> speech_ms;  // where each chapter's speech starts
};

Book make_book(double hours, std::size_t chapters, std::size_t silences,
               CutPosition cut) {
  std::mt19937 rng(23);
  auto uniform = [&](std::uint64_t lo, std::uint64_t hi) {
    return lo + rng() % (hi - lo + 1);
  };
  const std::uint64_t frames =
      static_cast<std::uint64_t>(hours * 3600) * kFramesPerSecond;
  struct Silence {
    std::uint64_t start;
    std::uint32_t length;
    bool chapter;
  };
  std::vector<Silence> all;
  const std::uint64_t spacing = frames / chapters;
  for (std::size_t k = 1; k < chapters; ++k) {
    all.push_back({k * spacing + uniform(0, 60 * kFramesPerSecond) -
                       30 * kFramesPerSecond,
                   static_cast<std::uint32_t>(uniform(88'200, 176'400)), true});
  }
  const std::uint64_t step = frames / (silences - chapters);
  for (std::size_t k = 1; k < silences - chapters; ++k) {
    all.push_back(
        {k * step + uniform(0, step / 2),
         static_cast<std::uint32_t>(rng() % 33 == 0 ? uniform(66'150, 132'300)
                                                    : uniform(13'230, 52'920)),
         false});
  }
  std::sort(all.begin(), all.end(),
            [](auto& a, auto& b) { return a.start < b.start; });
  Book book{{kRate, frames, {}, {}, 1}, {}};
  std::uint64_t free_from = 1;
  for (const Silence& s : all) {
    // Sentence pauses keep two seconds from one another and from chapters.
    if (s.start < free_from) {
      if (!s.chapter) continue;
      book.timeline.points.pop_back();
    }
    std::uint64_t point = s.start;
    if (cut == CutPosition::kMiddle) point += s.length / 2;
    if (s.chapter) {
      book.speech_ms.push_back(frame_time_ms(s.start + s.length, kRate));
    }
    book.timeline.points.push_back({point, s.length});
    free_from = s.start + s.length + 2 * kFramesPerSecond;
  }
  return book;
}

TEST(ChapterAlignment, LandsEveryChapterOnItsPauseThroughDrift) {
  struct Drift {
    double offset_ms;
    double scale;
  };
  double slowest = 0;
  for (CutPosition cut : {CutPosition::kStart, CutPosition::kMiddle}) {
    for (Drift drift : {Drift{7'500, 1.002}, Drift{-23'000, 0.998}}) {
      Book book = make_book(30, 500, 30'000, cut);
      ASSERT_EQ(book.speech_ms.size(), 499u);
      // One chapter loses every silence within 20 s of its pause.
      const std::size_t lonely = 100;
      std::erase_if(book.timeline.points, [&](const TimelinePoint& p) {
        const std::uint64_t ms = frame_time_ms(p.cut, kRate);
        return ms + 20'000 > book.speech_ms[lonely] &&
               ms < book.speech_ms[lonely] + 20'000;
      });
      std::mt19937 rng(5);
      std::vector<ListedChapter> list{{0, "Opening"}};
      for (std::uint64_t ms : book.speech_ms) {
        const double jitter = static_cast<double>(rng() % 1001) - 500;
        list.push_back({static_cast<std::uint64_t>(ms * drift.scale +
                                                   drift.offset_ms + jitter),
                        "Chapter"});
      }
      // Two wrong entries, far from any chapter pause.
      list[40].start_ms += 45'000;
      list[300].start_ms -= 70'000;
      // Processor time, not the clock's: a machine busy with other work
      // must not fail the test.
      const std::clock_t began = std::clock();
      const Alignment a =
          align_chapters(list, book.timeline, cut, kDefaultAlignWindowSeconds);
      slowest = std::max(
          slowest, static_cast<double>(std::clock() - began) / CLOCKS_PER_SEC);
      ASSERT_EQ(a.chapters.size(), list.size());
      EXPECT_EQ(a.chapters[0].new_ms, 0u);
      EXPECT_FALSE(a.chapters[0].no_silence);
      for (std::size_t k = 1; k < list.size(); ++k) {
        const AlignedChapter& c = a.chapters[k];
        EXPECT_LT(a.chapters[k - 1].new_ms, c.new_ms) << k;
        if (k == 40 || k == 300) continue;
        if (k == lonely + 1) {
          EXPECT_TRUE(c.no_silence);
          EXPECT_EQ(c.new_ms, c.fitted_ms);
          EXPECT_NEAR(double(c.fitted_ms), double(book.speech_ms[lonely]),
                      3000);
          continue;
        }
        ASSERT_TRUE(c.point) << k;
        const TimelinePoint& p = book.timeline.points[*c.point];
        // The chapter's own pause: it ends where the chapter's speech starts.
        EXPECT_EQ(frame_time_ms(silence_first_frame(p, cut) + p.length, kRate),
                  book.speech_ms[k - 1])
            << k;
        EXPECT_EQ(c.new_ms, frame_time_ms(p.cut, kRate)) << k;
      }
    }
  }
  // 500 chapters over 30,000 silences; a loose bound that only a runaway
  // complexity breaks, even under the sanitizers.
  std::printf("Aligning 500 chapters on 30 hours: %.3f s of processor time\n",
              slowest);
  EXPECT_LT(slowest, 5.0);
}

TEST(ChapterAlignment, KeepsTheOrderAndTheStart) {
  // 1,000 frames a second: a point's frame is its millisecond.
  Timeline t{TimeBase(4000), 100'000, {{20'000, 2000}, {23'000, 300}}, {}, 1};
  std::vector<ListedChapter> list{
      {0, ""}, {20'500, ""}, {21'000, ""}, {60'000, ""}};
  Alignment a = align_chapters(list, t, CutPosition::kStart, 10);
  ASSERT_EQ(a.chapters.size(), 4u);
  // Both want the long silence; the first takes it, the next the short one.
  EXPECT_EQ(a.chapters[0].new_ms, 0u);
  EXPECT_EQ(a.chapters[1].point, 0u);
  EXPECT_EQ(a.chapters[2].point, 1u);
  EXPECT_EQ(a.chapters[2].new_ms, 23'000u);
  EXPECT_TRUE(a.chapters[3].no_silence);
  EXPECT_EQ(a.chapters[3].new_ms, a.chapters[3].fitted_ms);
  // A long silence 3 s away wins over a short one right on the time.
  Timeline near{
      TimeBase(4000), 100'000, {{50'000, 400}, {53'000, 2500}}, {}, 1};
  a = align_chapters(std::vector<ListedChapter>{{0, ""}, {50'100, ""}}, near,
                     CutPosition::kStart, 10);
  EXPECT_EQ(a.chapters[1].point, 1u);
  // A list out of order, or with one time twice, still gets rising times.
  for (auto& times : {std::vector<std::uint64_t>{0, 30'000, 25'000, 25'000},
                      std::vector<std::uint64_t>{500, 500, 99'999, 200'000}}) {
    list.clear();
    for (std::uint64_t ms : times)
      list.push_back({ms, ""});
    a = align_chapters(list, t, CutPosition::kEnd, 0);
    for (std::size_t k = 1; k < a.chapters.size(); ++k) {
      EXPECT_LT(a.chapters[k - 1].new_ms, a.chapters[k].new_ms) << k;
    }
  }
  // No silences at all: the list stays as given, every chapter flagged.
  a = align_chapters(list, Timeline{TimeBase(4000), 300'000, {}, {}, 1},
                     CutPosition::kStart, 10);
  EXPECT_EQ(a.chapters[2].new_ms, 99'999u);
  EXPECT_TRUE(a.chapters[0].no_silence && a.chapters[3].no_silence);
  EXPECT_TRUE(align_chapters({}, t, CutPosition::kStart, 10).chapters.empty());
}

}  // namespace
}  // namespace hushmark
