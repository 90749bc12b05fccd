// The parts of hushmark-chapters that decide what a chapter file holds: which
// silences become breaks, the titles, each format read back, and how a
// chaptered copy of the recording is made.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "chapters/breaks.h"
#include "chapters/chapter_list.h"
#include "chapters/embed_plan.h"
#include "chapters/formats.h"
#include "chapters/split.h"
#include "chapters/titles.h"
#include "test_support.h"

namespace hushmark {
namespace {

using Indices = std::vector<std::uint32_t>;

TEST(ChapterBreaks, TakeTheLongestSilencesKeptApart) {
  // 1,000 frames a second: a point's frame is its millisecond.
  Timeline t{TimeBase(4000), 100'000, {}, {}, 1};
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
  Timeline t{TimeBase(176'400),
             441'000,
             {{44'101, 5}, {44'120, 9}, {44'140, 9}},
             {},
             1};
  EXPECT_EQ(choose_breaks(t, {CutPosition::kStart, {}, 0}), (Indices{1}));
  // A silence from the first frame, whatever the cut position says.
  Timeline first{TimeBase(4000), 10'000, {{251, 500}, {2000, 10}}, {}, 1};
  EXPECT_EQ(choose_breaks(first, {CutPosition::kMiddle, {}, 0}), (Indices{1}));
  EXPECT_EQ(choose_breaks(first, {CutPosition::kStart, {}, 0}),
            (Indices{0, 1}));
  // A point on the last frame would end the recording with an empty chapter.
  Timeline last{TimeBase(4000), 10'000, {{5000, 10}, {10'000, 20}}, {}, 1};
  EXPECT_EQ(choose_breaks(last, {CutPosition::kEnd, {}, 0}), (Indices{0}));
  std::vector<Chapter> chapters = list_chapters(last, Indices{0}, L"%%%02d");
  ASSERT_EQ(chapters.size(), 2u);
  EXPECT_EQ(chapters[0].end_ms, 5000u);
  EXPECT_EQ(chapters[1].end_ms, 10'000u);
  EXPECT_EQ(chapters[1].silence_frames, 10u);
  EXPECT_EQ(chapters[1].title, "%02");
}

TEST(ChapterBreaks, LeadInStopsAtTheSilencesStart) {
  // Silences from frame 1 (3 frames), 100 (50 frames) and 500 (400 frames).
  const std::pair<CutPosition, std::vector<TimelinePoint>> scans[] = {
      {CutPosition::kStart, {{1, 3}, {100, 50}, {500, 400}}},
      {CutPosition::kMiddle, {{2, 3}, {125, 50}, {700, 400}}},
      {CutPosition::kEnd, {{4, 3}, {150, 50}, {900, 400}}},
  };
  for (const auto& [cut, points] : scans) {
    // 1,000 frames a second: 250 ms is 250 frames.
    Timeline t{TimeBase(4000), 2000, points, {}, 1};
    place_lead_in(t, cut, 250);
    EXPECT_EQ(t.points[0].cut, 1u);
    EXPECT_EQ(t.points[1].cut, 100u);  // shorter than the lead-in
    EXPECT_EQ(t.points[2].cut, 650u);
    EXPECT_EQ(t.points[2].length, 400u);
    EXPECT_EQ(choose_breaks(t, {CutPosition::kStart, {}, 0}), (Indices{1, 2}));
  }
}

// A lecture of about an hour: a sentence every 4 to 20 s, its pause 200 ms
// to 1.2 s; no pause stands out.
Timeline lecture(std::mt19937& rng) {
  Timeline t{TimeBase(4000), 0, {}, {}, 1};  // 1,000 frames a second
  for (std::uint64_t at = 4000 + rng() % 16'000; at < 3'600'000;
       at += 4000 + rng() % 16'000) {
    t.points.push_back({at, static_cast<std::uint32_t>(200 + rng() % 1000)});
  }
  t.frames = 3'600'000;
  return t;
}

TEST(ChapterSplits, CutEveryLongChapterAtALongerPause) {
  std::mt19937 rng(23);
  for (int round = 0; round < 8; ++round) {
    Timeline t = lecture(rng);
    std::vector<std::uint32_t> lengths;
    for (const TimelinePoint& p : t.points)
      lengths.push_back(p.length);
    std::sort(lengths.begin(), lengths.end());
    const std::uint64_t desired = 120'000 + rng() % 240'000;
    const std::uint64_t max = desired * 3 / 2 + rng() % 60'000;
    // Breaks already there stay, and so does a chapter that was short.
    std::vector<Chapter> given = list_chapters(t, Indices{7, 8}, L"%d");
    std::vector<Chapter> pieces =
        split_long_chapters(t, given, {CutPosition::kStart, desired, max});
    ASSERT_GT(pieces.size(), 6u);
    std::uint64_t cut_lengths = 0;
    for (std::size_t k = 0; k < pieces.size(); ++k) {
      const std::uint64_t length = pieces[k].end_ms - pieces[k].start_ms;
      EXPECT_LE(length, max) << round << " " << k;
      const bool whole = k < 2 && pieces[k].end_ms == given[k].end_ms;
      EXPECT_TRUE(whole || length >= desired / 2) << round << " " << k;
      if (k == 0) continue;
      EXPECT_EQ(pieces[k - 1].end_ms, pieces[k].start_ms);
      auto at = std::find_if(t.points.begin(), t.points.end(), [&](auto& p) {
        return p.cut == pieces[k].start_ms;
      });
      ASSERT_NE(at, t.points.end()) << "not at a pause";
      EXPECT_EQ(pieces[k].silence_frames, at->length);
      cut_lengths += at->length;
    }
    EXPECT_EQ(pieces[1].start_ms, given[1].start_ms);
    EXPECT_EQ(pieces[2].start_ms, given[2].start_ms);
    EXPECT_EQ(pieces.back().end_ms, 3'600'000u);
    // The cuts take the longer pauses: on average, the longest quarter's.
    EXPECT_GE(cut_lengths / (pieces.size() - 1),
              lengths[lengths.size() * 3 / 4])
        << round;
  }
}

std::vector<std::pair<std::uint64_t, std::string>> starts_and_titles(
    const std::vector<Chapter>& chapters) {
  std::vector<std::pair<std::uint64_t, std::string>> got;
  for (const Chapter& c : chapters)
    got.push_back({c.start_ms, c.title});
  return got;
}

TEST(ChapterSplits, TitleThePiecesAndKeepWhatNoPauseCanSplit) {
  // Desired 30 s, at most 45 s: a cut leaves at least 15 s on either side.
  const SplitRules rules{CutPosition::kStart, 30'000, 45'000};
  Timeline t{TimeBase(4000), 100'000, {}, {{0, "a"}, {50'000, "File B"}}, 1};
  t.points = {{30'000, 300},   // a shorter pause in the window
              {35'000, 500},   // the longest that leaves 15 s
              {40'000, 900},   // leaves only 10 s of file a
              {60'000, 400},   // 10 s into file B: too short a piece
              {75'000, 200}};  // none from 30 s on: the one from 15 s on
  std::vector<Chapter> chapters = list_chapters(t, Indices{}, L"%d", true);
  const std::string titles[] = {"Intro"};
  apply_titles(chapters, titles);
  chapters = split_long_chapters(t, chapters, rules);
  number_titles(t, chapters, L"%d");
  EXPECT_EQ(starts_and_titles(chapters),
            (std::vector<std::pair<std::uint64_t, std::string>>{
                {0, "Intro"},
                {35'000, "Intro (2)"},
                {50'000, "File B"},
                {75'000, "File B (2)"}}));
  // The template's numbers run on; where no pause allows, the rest stays.
  Timeline bare{TimeBase(4000),
                100'000,
                {{10'000, 900}, {40'000, 5}, {90'000, 900}},
                {},
                1};
  chapters = list_chapters(bare, Indices{}, L"%d");
  chapters = split_long_chapters(bare, chapters, rules);
  number_titles(bare, chapters, L"%d");
  EXPECT_EQ(starts_and_titles(chapters),
            (std::vector<std::pair<std::uint64_t, std::string>>{
                {0, "1"}, {40'000, "2"}}));
  EXPECT_EQ(chapters[1].end_ms, 100'000u);
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

TEST(ChapterTitles, ReadOneTitleALineOrSayWhichLineIsNotText) {
  testing::TempDir dir;
  struct Case {
    std::string bytes;
    std::vector<std::string> titles = {};
    std::string message = "";  // before the file's name
    std::string line = "";     // after it
  };
  const std::string not_text =
      "タイトルファイルにUTF-8で読めない文字があります: ";
  const Case cases[] = {
      {"\xEF\xBB\xBFOne\r\n  第二章\t\r\n\nFour",
       {"One", "第二章", "", "Four"}},
      {"a\nb\n\n \r\n", {"a", "b"}},  // blank lines at the end: none
      {"\xEF\xBB\xBF\r\n\n", {}, "タイトルファイルにタイトルがありません: "},
      {"a\nb\xC3\n", {}, not_text, " 2行目"},
      {"a\n\xED\xA0\x80", {}, not_text, " 2行目"},  // a surrogate
      {std::string("x\0y", 3), {}, not_text, " 1行目"},
  };
  for (const Case& c : cases) {
    testing::write_file(dir / "titles.txt", c.bytes);
    testing::CapturedConsole console;
    std::vector<std::string> titles;
    EXPECT_EQ(read_titles(testing::wide(dir / "titles.txt"), titles,
                          console.console()),
              c.message.empty())
        << c.bytes;
    if (c.message.empty()) {
      EXPECT_EQ(titles, c.titles) << c.bytes;
    }
    const std::string want =
        c.message.empty()
            ? ""
            : c.message + (dir / "titles.txt").string() + c.line + "\n";
    EXPECT_EQ(console.text(), want);
  }
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
      // A list given to align is told to be in this format and reads back
      // the same: a CUE sheet's frame 334 of 1/75 s in the nearest
      // millisecond.
      EXPECT_EQ(format_of_list(text), &f) << f.name << " " << title;
      std::vector<ListedChapter> listed;
      ListError error;
      ASSERT_TRUE(parse_chapter_list(text, listed, error))
          << f.name << " " << title << " " << error.line;
      ASSERT_EQ(listed.size(), 2u) << f.name << " " << title << "\n" << text;
      EXPECT_EQ(listed[0].start_ms, 0u) << f.name;
      EXPECT_EQ(listed[1].start_ms,
                f.format == ChapterFormat::kCue ? 4453u : 4461u)
          << f.name;
      for (const ListedChapter& chapter : listed) {
        EXPECT_EQ(chapter.title, carried_title(f.format, title))
            << f.name << " " << title << "\n"
            << text;
      }
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

TEST(ChapterLists, ReadListsFromElsewhereByTheirContent) {
  using List = std::vector<ListedChapter>;
  const std::pair<std::string_view, List> cases[] = {
      // hushmark's own chapter file
      {"00:00:01.250\r\n01:02:03.004\r\n", {{1250, ""}, {3'723'004, ""}}},
      {"\xEF\xBB\xBF"
       "00:00:00.000 Intro\r\n\r\n100:00:00.5 Late\r\n",
       {{0, "Intro"}, {360'000'500, "Late"}}},
      // as an audiobook's chapter service gives them, flat and nested
      {R"({"asin":"B0","brandIntroDurationMs":2043,"chapters":[
           {"lengthMs":1000,"startOffsetMs":0,"startOffsetSec":0,
            "title":"Opening Credits"},
           {"lengthMs":5,"startOffsetMs":1000,"startOffsetSec":1,
            "title":"\"1\" \u00e9\ud83c\udf99\/"}],"isAccurate":true})",
       {{0, "Opening Credits"}, {1000, "\"1\" \xC3\xA9\xF0\x9F\x8E\x99/"}}},
      {R"({"response_groups":["x"],"content_metadata":{"chapter_info":{
           "brandIntroDurationMs":1,"chapters":[
           {"length_ms":20,"start_offset_ms":0,"title":"Part 1",
            "chapters":[{"start_offset_ms":20,"title":"One"}]},
           {"start_offset_ms":30,"start_offset_sec":0,"title":"Two"}]}}})",
       {{0, "Part 1"}, {20, "One"}, {30, "Two"}}},
      // ffprobe's chapters of a media file
      {R"({"chapters":[{"id":0,"time_base":"1/1000","start":0,
           "start_time":"0.000000","tags":{"title":"a"}},
           {"id":1,"start_time":"1.234567","end_time":"2.000000"}]})",
       {{0, "a"}, {1235, ""}}},
      {"WEBVTT - chapters\n\nNOTE a --\n\nintro\n00:01.000 --> 00:02.000 "
       "align:start\nOne&nbsp;&amp;\nTwo\n\n01:00:00.000 --> 01:00:01.000\n\n",
       {{1000, "One\xC2\xA0&\nTwo"}, {3'600'000, ""}}},
      {";FFMETADATA1\r\ntitle=Book\r\n[STREAM]\ntitle=s\n[CHAPTER]\n"
       "TIMEBASE=1/44100\nSTART=44100\n# END=1\ntitle=a\\\nb\\\\\r\n",
       {{1000, "a\nb\\"}}},
      {"REM GENRE x\nTITLE \"Book\"\nFILE \"a.wav\" WAVE\n  TRACK 01 AUDIO\n"
       "    TITLE Bare words\n    INDEX 00 00:00:00\n    INDEX 01 00:01:74\n",
       {{1987, "Bare words"}}},
      {"1.5\t2\tOne\n\\\t100\t200\n2\t2\n", {{1500, "One"}, {2000, ""}}},
  };
  for (const auto& [bytes, expected] : cases) {
    List listed;
    ListError error;
    EXPECT_TRUE(parse_chapter_list(bytes, listed, error)) << bytes;
    EXPECT_EQ(listed, expected) << bytes;
  }
}

TEST(ChapterLists, RefuseWhatCannotBeUsedNamingTheLine) {
  using enum ListProblem;
  const struct {
    std::string bytes;
    ListProblem problem;
    std::size_t line;
  } cases[] = {
      {"", kEmpty, 0},
      {"\xEF\xBB\xBF \r\n\n", kEmpty, 0},
      {"Chapter 1\n", kUnknownFormat, 0},
      {R"({"list":[{"startOffsetMs":1}]})", kUnknownFormat, 0},
      {R"({"chapters":[]})", kEmpty, 0},
      {"00:00:00.000 a\n00:60:00.000 b\n", kBadTime, 2},
      {"00:00:00.000 a\n00:00:00,5 b\n", kBadTime, 2},
      {"00:00:05.000 a\n\n00:00:04.999 b\n", kBackwards, 3},
      {"300000000:00:00.000 a\n", kBadTime, 1},  // 34,000 years
      {"00:00:00.000 caf\xE9\n", kBadTitle, 1},
      {"00:00:00.000 \xED\xA0\x80\n", kBadTitle, 1},              // a surrogate
      {"00:00:00.000 a\n00:00:01.000 \xC0\xAF\n", kBadTitle, 2},  // overlong
      {R"({"chapters":[{"startTime":0,"title":"\ud800x"}]})", kBadTitle, 1},
      {"{\"chapters\":[\n{\"startTime\":-1}]}", kBadTime, 2},
      {"{\"chapters\":[\n\n{\"startTime\":1e3}]}", kBadTime, 3},
      {"{\"chapters\":[\n{\"startTime\":1,}]}", kBadJson, 2},
      {"{\"chapters\":[{\"title\":\"a\tb\"}]}", kBadJson, 1},
      {R"({"chapters":[1]} x)", kBadJson, 1},
      {std::string(100'000, '['), kBadJson, 1},
      {";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/0\nSTART=1\n", kBadTime, 2},
      {";FFMETADATA1\n[CHAPTER]\nSTART=0\ntitle=a\\\nb\n[CHAPTER]\nSTART=x\n",
       kBadTime, 6},
      {";FFMETADATA1\n[CHAPTER]\nSTART=5\n[CHAPTER]\nSTART=4\n", kBackwards, 4},
      {"FILE \"a\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:75\n", kBadTime, 3},
      {"FILE \"a\" WAVE\n TRACK 01 AUDIO\n  TITLE \"x\"\n", kBadTime, 3},
      {"CHAPTER01=00:00:00.000\nCHAPTER02NAME=x\n", kBadTime, 2},
      {"CHAPTER01=00:00:00.000\nCHAPTER01NAME=x\nchapter\n", kUnknownFormat, 3},
      {"WEBVTT\n\n00:00.000 --> 00:01.000\na\n\nx --> y\nb\n", kBadTime, 6},
      {"0.5\t0.5\ta\nx\t1\tb\n", kBadTime, 2},
  };
  for (const auto& c : cases) {
    std::vector<ListedChapter> listed;
    ListError error;
    EXPECT_FALSE(parse_chapter_list(c.bytes, listed, error)) << c.bytes;
    EXPECT_EQ(error.problem, c.problem) << c.bytes;
    EXPECT_EQ(error.line, c.line) << c.bytes;
  }
  // The message names the file and the line.
  testing::TempDir dir;
  testing::CapturedConsole console;
  testing::write_file(dir / "list.txt", "00:00:01.000 a\r\n00:00:00.000 b\r\n");
  std::vector<ListedChapter> listed;
  EXPECT_FALSE(read_chapter_list(testing::wide(dir / "list.txt"), listed,
                                 console.console()));
  EXPECT_FALSE(read_chapter_list(testing::wide(dir / "none.txt"), listed,
                                 console.console()));
  EXPECT_EQ(console.text(), "チャプター一覧の時間が順に並んでいません: " +
                                (dir / "list.txt").string() +
                                " 2行目\nチャプター一覧を開けませんでした: " +
                                (dir / "none.txt").string() + "\n");
}

TEST(EmbedPlans, EncodeWhereTheContainerCannotHoldTheCodecOrThePartsDiffer) {
  const PartInfo aac{"aac", 44100, 2, 96000, {}, -1, ""};
  // To ffprobe the same, but set up otherwise (another profile).
  const PartInfo aac_ltp{"aac", 44100, 2, 96000, {}, -1, "ltp"};
  const PartInfo aac48{"aac", 48000, 2, 96000, {}, -1, ""};
  const PartInfo mp3{"mp3", 44100, 1, 32000, {}, -1, ""};
  const PartInfo mp3_48{"mp3", 48000, 1, 32000, {}, -1, ""};
  const PartInfo flac{"flac", 44100, 2, 700000, {}, -1, ""};
  const PartInfo opus{"opus", 48000, 1, 0, {}, -1, ""};
  const PartInfo alac{"alac", 44100, 2, 700000, {}, -1, ""};
  const struct {
    std::vector<PartInfo> parts;
    const wchar_t* out;
    const wchar_t* encoder;  // empty: copied
    std::uint32_t kbit_rate;
  } cases[] = {{{aac, aac}, L"b.m4b", L"", 0},
               {{alac}, L"b.M4A", L"", 0},
               {{mp3, mp3}, L"b.m4b", L"aac", 32},
               {{aac, aac48}, L"b.mp4", L"aac", 96},
               {{aac, aac_ltp}, L"b.m4b", L"aac", 96},
               {{mp3}, L"b.mp3", L"", 0},
               {{flac}, L"b.mp3", L"libmp3lame", 128},
               {{flac, flac}, L"b.mka", L"", 0},
               {{mp3_48, opus}, L"b.mkv", L"libopus", 32},
               {{mp3, opus}, L"b.mka", L"libvorbis", 32},
               {{mp3}, L"b.webm", L"libvorbis", 32},
               {{opus}, L"b.webm", L"", 0}};
  for (const auto& c : cases) {
    const std::vector<std::wstring> inputs(c.parts.size(), L"part");
    const EmbedPlan plan = plan_embedding(inputs, c.parts, c.out, std::nullopt);
    EXPECT_EQ(plan.encoder, c.encoder) << c.out;
    EXPECT_EQ(plan.route == EmbedRoute::kEncode, *c.encoder != 0) << c.out;
    EXPECT_EQ(plan.kbit_rate, c.kbit_rate) << c.out;
  }
  // -k wins; parts that ffprobe could not read are left to the copy.
  const std::wstring one[] = {L"part"};
  EXPECT_EQ(plan_embedding(one, std::vector{flac}, L"b.m4b", 48).kbit_rate,
            48u);
  EXPECT_EQ(plan_embedding(one, {}, L"b.m4b", 48).route, EmbedRoute::kCopy);
  // A file per chapter carries no chapters: Ogg and Opus files take them,
  // and an Opus file holds Opus alone, at a rate its encoder takes.
  const EmbedPlan opus_files =
      plan_embedding(one, std::vector{opus}, L"%d.opus", std::nullopt, true);
  EXPECT_EQ(opus_files.route, EmbedRoute::kCopy);
  EXPECT_EQ(opus_files.muxer, L"opus");
  const EmbedPlan flac_files =
      plan_embedding(one, std::vector{flac}, L"%d.opus", std::nullopt, true);
  EXPECT_EQ(flac_files.encoder, L"libopus");
  EXPECT_EQ(flac_files.encoded_rate, 48000u);
  EXPECT_EQ(plan_embedding(one, std::vector{mp3}, L"%d.ogg", 64, true).encoder,
            L"libvorbis");
}

TEST(ChapterFiles, TakeNamesThatLinuxAndWindowsBothAccept) {
  EXPECT_TRUE(names_chapter_files(L"Book/%02d %t.mp3"));
  EXPECT_TRUE(names_chapter_files(L"%d.m4a"));
  for (const wchar_t* one : {L"%%d.mp3", L"%t.mp3", L"%2d.mp3", L"%d/a.mp3"})
    EXPECT_FALSE(names_chapter_files(one)) << one;
  testing::CapturedConsole console;
  EXPECT_TRUE(check_chapter_files(L"%%/%03d %t %%.mp3", console.console()));
  EXPECT_FALSE(check_chapter_files(L"%d %f.mp3", console.console()));
  EXPECT_FALSE(check_chapter_files(L"%t.mp3", console.console()));
  EXPECT_EQ(console.text(),
            "チャプターごとのファイル名(-o)に使える%は%d,%02d,%03d,%t,%%だけで"
            "す。\n%tを使うときは、チャプター番号(%d,%02d,%03d)もファイル名(-o)"
            "に入れてください。\n");
  const struct {
    const wchar_t* pattern;
    std::uint64_t number;
    const char* title;
    const wchar_t* path;
  } cases[] = {
      {L"Book/%02d %t.mp3", 3, "Part: 1/2?", L"Book/03 Part_ 1_2_.mp3"},
      {L"%03d%%.m4a", 7, "", L"007%.m4a"},
      {L"%d %t.mp3", 12, "a\\b*c\"d<e>f|g\th\x7F", L"12 a_b_c_d_e_f_g_h_.mp3"},
      {L"%t%d", 1, "The end. . ", L"The end1"},
      {L"%t %d.", 2, "x", L"x 2"},
      {L"%t.%d.mp3", 1, "con", L"_con.1.mp3"},
      {L"%t.%d.txt", 1, "LPT1 ", L"_LPT1.1.txt"},
      {L"%d%t.mp3", 1, "COM1.x", L"1COM1.x.mp3"},
      {L"%d %t.opus", 5, "第五章 Émile", L"5 第五章 Émile.opus"}};
  for (const auto& c : cases) {
    EXPECT_EQ(chapter_file_path(c.pattern, c.number, c.title), c.path)
        << c.title;
  }
  // A long title is cut at a character, keeping the ending: 255 bytes.
  std::string long_title;
  for (int i = 0; i < 100; ++i)
    long_title += "章";
  const std::wstring cut = chapter_file_path(L"d/%02d %t.m4b", 1, long_title);
  EXPECT_EQ(cut, L"d/01 " + std::wstring(82, L'章') + L".m4b");
}

TEST(EmbedPlans, TakeEachTagFromTheFirstPartThatHasItAndTheAlbumAsTitle) {
  const std::string json = R"({"streams": [
      {"index": 0, "codec_type": "video", "disposition": {"attached_pic": 0}},
      {"index": 1, "codec_type": "audio", "codec_name": "opus",
       "sample_rate": "48000", "channels": 1, "tags": {"ARTIST": "Ogg"}},
      {"index": 2, "codec_type": "video", "disposition": {"attached_pic": 1}}],
    "format": {"bit_rate": "24000", "tags": {"Album": "Book", "title": "One"}}})";
  PartInfo first;
  ASSERT_TRUE(read_part_info(json, first));
  EXPECT_EQ(first.codec, "opus");
  EXPECT_EQ(first.sample_rate, 48000u);
  EXPECT_EQ(first.channels, 1u);
  EXPECT_EQ(first.bit_rate, 24000u);
  EXPECT_EQ(first.picture_stream, 2);
  const PartInfo second{
      "mp3", 44100, 2, 0, {{"artist", "Later"}, {"genre", "Talk"}}, -1, ""};
  const std::wstring inputs[] = {L"a.opus", L"b.mp3"};
  const EmbedPlan plan = plan_embedding(inputs, std::vector{first, second},
                                        L"b.m4b", std::nullopt);
  EXPECT_EQ(plan.tags, (std::vector<Tag>{{"album", "Book"},
                                         {"artist", "Ogg"},
                                         {"genre", "Talk"},
                                         {"title", "Book"}}));
  EXPECT_EQ(plan.cover, L"a.opus");
  EXPECT_EQ(plan.cover_stream, 2);
  PartInfo none;
  EXPECT_FALSE(read_part_info(R"({"streams": []})", none));
}

}  // namespace
}  // namespace hushmark
