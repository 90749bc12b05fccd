// The parts of hushmark-chapters that decide what a chapter file holds: which
// silences become breaks, the titles, and each format read back.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "chapters/breaks.h"
#include "chapters/chapter_parsers.h"
#include "chapters/formats.h"
#include "chapters/titles.h"
#include "test_support.h"

namespace hushmark {
namespace {

using Indices = std::vector<std::uint32_t>;

TEST(ChapterBreaks, TakeTheLongestSilencesKeptApart) {
  // 1,000 frames a second: a point's frame is its millisecond.
  Timeline t{4000, 100'000, {}, {}, 1};
  t.points = {{1, 500},        // 0: starts at the first frame
              {10'000, 300},   // 1
              {20'000, 800},   // 2
              {25'000, 800},   // 3: as long as 2, and later
              {60'000, 1200},  // 4
              {99'500, 400}};  // 5: half a second before the end
  struct Case {
    std::optional<std::int32_t> count;
    std::int32_t seconds;
    Indices breaks;
  };
  const Case cases[] = {
      {{}, 0, {1, 2, 3, 4, 5}},
      {3, 0, {2, 4}},       // the two longest; of two as long, the earlier
      {{}, 10, {1, 2, 4}},  // 3 is too near 2, 5 too near the end
      {3, 10, {2, 4}},
      {1, 0, {}},
      {100, 0, {1, 2, 3, 4, 5}},
      {{}, 60, {}},  // 4 is 60 s from the start but only 40 s from the end
      {{}, 40, {4}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(choose_breaks(t, {CutPosition::kStart, c.count, c.seconds}),
              c.breaks)
        << c.count.value_or(0) << " " << c.seconds;
  }
}

TEST(ChapterBreaks, NeverLeaveAnEmptyChapter) {
  // At 44.1 kHz, frames 44,101 to 44,144 all fall in millisecond 1,000.
  Timeline t{176'400, 441'000, {{44'101, 5}, {44'120, 9}, {44'140, 9}}, {}, 1};
  EXPECT_EQ(choose_breaks(t, {CutPosition::kStart, {}, 0}), (Indices{1}));
  // A silence from the first frame, whatever the cut position says.
  Timeline first{4000, 10'000, {{251, 500}, {2000, 10}}, {}, 1};
  EXPECT_EQ(choose_breaks(first, {CutPosition::kMiddle, {}, 0}), (Indices{1}));
  EXPECT_EQ(choose_breaks(first, {CutPosition::kStart, {}, 0}),
            (Indices{0, 1}));
  // A point on the last frame would end the recording with an empty chapter.
  Timeline last{4000, 10'000, {{5000, 10}, {10'000, 20}}, {}, 1};
  EXPECT_EQ(choose_breaks(last, {CutPosition::kEnd, {}, 0}), (Indices{0}));
  std::vector<Chapter> chapters = list_chapters(last, Indices{0}, L"%%%02d");
  ASSERT_EQ(chapters.size(), 2u);
  EXPECT_EQ(chapters[0].end_ms, 5000u);
  EXPECT_EQ(chapters[1].end_ms, 10'000u);
  EXPECT_EQ(chapters[1].silence_frames, 10u);
  EXPECT_EQ(chapters[1].title, "%02");
}

TEST(ChapterTitles, TakeOnlyTheNumberSequences) {
  testing::CapturedConsole console;
  for (const wchar_t* good :
       {L"Chapter %d", L"%02d-%03d %%", L"%%d", L"", L"講義 %d 🎙"}) {
    EXPECT_TRUE(check_title_template(good, console.console())) << good;
  }
  EXPECT_EQ(console.text(), "");
  for (const wchar_t* bad : {L"%", L"%s", L"%2d", L"100%", L"%04d", L"%-d"}) {
    EXPECT_FALSE(check_title_template(bad, console.console())) << bad;
  }
  std::wstring undecoded = L"a\xDCFF";  // a byte the locale could not read
  EXPECT_FALSE(check_title_template(undecoded, console.console()));
  EXPECT_EQ(chapter_title(L"%d|%02d|%03d|%%|%%d", 7), L"7|07|007|%|%d");
  EXPECT_EQ(chapter_title(L"%02d %03d", 1234), L"1234 1234");
}

std::vector<Chapter> two_chapters(const std::string& title) {
  return {{0, 4461, 0, title}, {4461, 6'000'013, 100, title}};
}

TEST(ChapterFormats, WriteTheLineFormatsByteForByte) {
  auto chapters = two_chapters("Chapter\t1\n");
  EXPECT_EQ(format_chapters(ChapterFormat::kTxt, chapters, "a.wav"),
            "00:00:00.000 Chapter\t1 \n00:00:04.461 Chapter\t1 \n");
  EXPECT_EQ(format_chapters(ChapterFormat::kAudacity, chapters, "a.wav"),
            "0.000000\t0.000000\tChapter 1 \n4.461000\t4.461000\tChapter 1 \n");
  // Frames of 1/75 s, rounded down; minutes past 99.
  chapters[1].start_ms = 6'000'013;
  EXPECT_EQ(format_chapters(ChapterFormat::kCue, chapters, "my \"a\".wav"),
            "FILE \"my 'a'.wav\" WAVE\n"
            "  TRACK 01 AUDIO\n    TITLE \"Chapter\t1 \"\n"
            "    INDEX 01 00:00:00\n"
            "  TRACK 02 AUDIO\n    TITLE \"Chapter\t1 \"\n"
            "    INDEX 01 100:00:00\n");
}

TEST(ChapterFormats, FollowTheOutputsNameEnding) {
  const std::pair<const wchar_t*, std::string_view> cases[] = {
      {L"a.ffmetadata", "ffmetadata"},
      {L"dir.d/A.CUE", "cue"},
      {L"a.Labels.TXT", "audacity"},
      {L"a.vtt", "vtt"},
      {L"a.chapters.json", "json"},
      {L"a.ogm.txt", "ogm"},
      {L"a.txt", ""},
      {L"a.cue.txt", ""},
      {L"a.cue/", ""},
      {L"a_cue", ""},
      {L"", ""},
  };
  for (const auto& [name, format] : cases) {
    const FormatRow* row = format_for_output(name);
    EXPECT_EQ(row ? row->name : "", format) << name;
  }
}

TEST(ChapterFormats, CarryEveryTitleTheirReadersCanHold) {
  const std::string titles[] = {"Chapter 1",
                                "A=B;C#D\\E\\",
                                "\"q\" 's'",
                                "<b>&amp;</b> --> x",
                                "講義 🎙 ～",
                                "tab\there",
                                "line\nbreak\r\n",
                                "",
                                " lead; #trail ",
                                "\x01\x1f\x7f",
                                "=",
                                "\\n"};
  for (const FormatRow& f : chapter_formats()) {
    for (const std::string& title : titles) {
      std::string text =
          format_chapters(f.format, two_chapters(title), "a.wav");
      auto parsed = testing::parse_chapters(f.format, text);
      ASSERT_EQ(parsed.size(), 2u) << f.name << " " << title << "\n" << text;
      // A CUE sheet counts in frames of 1/75 s.
      std::uint64_t second = f.format == ChapterFormat::kCue ? 334 : 4461;
      EXPECT_EQ(parsed[1].start_ms, second) << f.name;
      EXPECT_EQ(parsed[1].title, carried_title(f.format, title))
          << f.name << " " << title << "\n"
          << text;
    }
  }
  // Only the characters that a format has no way to hold are replaced.
  EXPECT_EQ(carried_title(ChapterFormat::kFfmetadata, "a\nb=\"c\""),
            "a\nb=\"c\"");
  EXPECT_EQ(carried_title(ChapterFormat::kJson, "a\nb\t\"c\""), "a\nb\t\"c\"");
  EXPECT_EQ(carried_title(ChapterFormat::kCue, "a\nb\t\"c\""), "a b\t'c'");
  EXPECT_EQ(carried_title(ChapterFormat::kAudacity, "a\nb\t\"c\""),
            "a b \"c\"");
  EXPECT_EQ(carried_title(ChapterFormat::kVtt, "a\r\nb<c>"), "a  b<c>");
}

}  // namespace
}  // namespace hushmark
