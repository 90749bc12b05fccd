#include "chapters/tables.h"

#include <cmath>

#include "chapters/chapter_options.h"
#include "chapters/messages.h"
#include "chapters/titles.h"
#include "cli/messages.h"
#include "extract/point_format.h"
#include "extract/silence_scan.h"
#include "platform/utf8.h"

namespace hushmark {
namespace {

std::wstring padded(std::wstring text, std::size_t width) {
  if (text.size() < width) text.insert(0, width - text.size(), L' ');
  return text;
}

std::wstring time_text(std::uint64_t ms) {
  const std::string text = format_time(ms);
  return std::wstring(text.begin(), text.end());
}

// "1.500": a silence's length in seconds, with the locale's separator.
std::wstring seconds_text(std::uint32_t frames, TimeBase time_base,
                          std::wstring_view separator) {
  char length[kMaxLengthChars];
  char* end = format_length_chars(frames, time_base, length);
  std::wstring seconds(static_cast<char*>(length), end);
  seconds.replace(seconds.size() - 4, 1, separator);
  return seconds;
}

// "  1.500秒": the same, padded for a table.
std::wstring length_text(std::uint32_t frames, TimeBase time_base,
                         std::wstring_view separator) {
  return padded(seconds_text(frames, time_base, separator), 7) + msg::kSeconds;
}

// A level bin's middle in whole dBFS, as "-44".
std::wstring level_text(std::size_t bin) {
  // Bin b holds peaks from 2^((b - 1) / 4) to 2^(b / 4) of 32768.
  const double db =
      20 * std::log10(2.0) * ((static_cast<double>(bin) - 0.5) / 4 - 15);
  return std::to_wstring(static_cast<int>(std::lround(db)));
}

// Floors of regions this many level bins (6 dB) apart or more are shown as
// a range.
constexpr std::size_t kFloorRangeBins = 4;

// The regions whose floor no threshold tells from the voice, with their
// times, in one line.
std::wstring unserved_text(const ThresholdChoice& t) {
  std::wstring text = msg::kUnservedRegions;
  for (const FloorRegion& r : t.unserved) {
    text += L" " + time_text(r.first * kLevelBlockMs) + msg::kUnservedTo +
            time_text((r.first + r.blocks) * kLevelBlockMs);
  }
  return text + L"\n";
}

// " -s 362 (間の雑音 -44dBFS、声 -21dBFS)": the threshold chosen and why.
std::wstring threshold_text(const AutoChoice& choice) {
  const ThresholdChoice& t = *choice.threshold;
  if (t.rung < 0) return msg::kChoiceNoThreshold;
  std::wstring text =
      msg::kChoiceThreshold + std::to_wstring(choice.threshold_value);
  if (t.floor_level == 0) {
    text += msg::kChoiceDigitalFloor;
  } else if (t.floor_high >= t.floor_low + kFloorRangeBins) {
    // Floors that differ region by region: the quietest to the loudest.
    text += msg::kChoiceFloor + level_text(t.floor_low) + msg::kChoiceFloorTo +
            level_text(t.floor_high) + msg::kChoiceFloorEnd;
  } else {
    text +=
        msg::kChoiceFloor + level_text(t.floor_level) + msg::kChoiceFloorEnd;
  }
  return text + msg::kChoiceVoice + level_text(t.voice_level) +
         msg::kChoiceVoiceEnd;
}

// " -m 2000 (章の区切りの無音 2.712秒以上、ほかは 1.395秒まで)": the pause
// that parts chapters and the margin, flagged when thin.
std::wstring pauses_text(const AutoChoice& choice, TimeBase time_base) {
  const std::wstring separator = locale_decimal_separator();
  std::wstring text =
      msg::kChoicePauses + std::to_wstring(choice.pauses.min_ms) +
      msg::kChoiceShortest +
      seconds_text(choice.shortest_taken, time_base, separator) +
      msg::kChoiceShortestEnd;
  if (choice.longest_left != 0) {
    text += msg::kChoiceLongestLeft +
            seconds_text(choice.longest_left, time_base, separator) +
            msg::kChoiceLongestLeftEnd;
  }
  text += L")";
  if (std::uint64_t{kThinNumerator} * choice.longest_left >
      std::uint64_t{kThinDenominator} * choice.shortest_taken) {
    text += msg::kChoiceThin;
  }
  return text;
}

// Whether the files were taken as the chapters, and why, in one line.
std::wstring files_text(const FilesChoice& files) {
  switch (files.reason) {
  case FilesReason::kNoInnerPauses:
    return std::wstring(msg::kFilesChapters) + msg::kFilesNoInnerPauses;
  case FilesReason::kHeadingsAtJoins:
    return std::wstring(msg::kFilesChapters) + msg::kFilesHeadingsAtJoins;
  case FilesReason::kTitles:
    return std::wstring(msg::kFilesChapters) + msg::kFilesTitles;
  case FilesReason::kLengths:
    return std::wstring(msg::kFilesChapters) + msg::kFilesLengths;
  case FilesReason::kInnerPauses:
    return msg::kFilesCuts +
           (msg::kFilesInnerPauses + std::to_wstring(files.inner)) +
           msg::kFilesInnerHeaded + std::to_wstring(files.inner_headed) +
           msg::kFilesInnerEnd + msg::kFilesUseF;
  case FilesReason::kJoinsInSound:
    return msg::kFilesCuts +
           (msg::kFilesJoinsInSound + std::to_wstring(files.in_pause)) +
           msg::kFilesJoinsOf + std::to_wstring(files.joins) +
           msg::kFilesJoinsEnd + msg::kFilesUseF;
  case FilesReason::kNotAsked:
    break;
  }
  return {};
}

// "  2  00:00:04.461   1.500秒  Chapter 2": the number, the start, the
// silence that starts the chapter (none for the first) and the title.
std::wstring chapter_line(const Chapter& chapter, std::size_t number,
                          TimeBase time_base, std::wstring_view title,
                          std::wstring_view separator) {
  std::wstring line = padded(std::to_wstring(number), 3) + L"  " +
                      time_text(chapter.start_ms) + L"  ";
  line += chapter.silence_frames == 0
              ? padded(L"", 7) + L"  "
              : length_text(chapter.silence_frames, time_base, separator);
  return line + L"  " + std::wstring(title) + L"\n";
}

// "+1.234" or "-0.050": thousandths, signed, with the locale's separator.
std::wstring signed_thousandths(std::int64_t value,
                                std::wstring_view separator) {
  const std::uint64_t size =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : value;
  std::wstring digits = std::to_wstring(size % 1000);
  digits.insert(0, 3 - digits.size(), L'0');
  return (value < 0 ? L"-" : L"+") + std::to_wstring(size / 1000) +
         std::wstring(separator) + digits;
}

}  // namespace

void note_choice(const AutoChoice& choice, TimeBase time_base,
                 platform::Console& console) {
  const bool by_pauses = choice.pauses.found && !choice.files.chapters;
  std::wstring line;
  if (choice.threshold) line += threshold_text(choice);
  if (by_pauses) line += pauses_text(choice, time_base);
  if (!line.empty()) console.write(msg::kChoiceHead + line + L"\n");
  if (choice.threshold && !choice.threshold->unserved.empty()) {
    console.write(unserved_text(*choice.threshold));
  }
  if (by_pauses && choice.pauses.by_headings) {
    console.write(msg::kChoiceHeadings + std::to_wstring(choice.pauses.count) +
                  msg::kChoiceHeadingsOf +
                  std::to_wstring(choice.pauses.headed) +
                  msg::kChoiceHeadingsEnd);
  }
  if (choice.files.reason != FilesReason::kNotAsked) {
    console.write(files_text(choice.files));
  }
  if (choice.pauses_looked_for && !choice.pauses.found &&
      !choice.files.chapters) {
    console.write(msg::kChoiceNoChapterPauses);
  }
}

void show_chapters(const Timeline& timeline, std::span<const Chapter> chapters,
                   platform::Console& console) {
  const std::wstring separator = locale_decimal_separator();
  std::wstring text;
  for (std::size_t k = 0; k < chapters.size(); ++k) {
    text += chapter_line(chapters[k], k + 1, timeline.time_base,
                         shown_title(platform::widen_utf8(chapters[k].title)),
                         separator);
  }
  text += msg::kChaptersTotal + std::to_wstring(chapters.size()) +
          msg::kChaptersTotalCandidates +
          std::to_wstring(timeline.points.size()) + msg::kChaptersTotalEnd;
  console.write(text);
}

std::wstring alignment_table(const Alignment& alignment,
                             std::span<const ListedChapter> listed,
                             const Timeline& timeline,
                             std::wstring_view separator) {
  std::wstring text;
  std::size_t placed = 0, unplaced = 0;
  for (std::size_t k = 0; k < alignment.chapters.size(); ++k) {
    const AlignedChapter& c = alignment.chapters[k];
    const std::int64_t shift = static_cast<std::int64_t>(c.new_ms) -
                               static_cast<std::int64_t>(c.given_ms);
    text += padded(std::to_wstring(k + 1), 3) + L"  " + time_text(c.given_ms) +
            L" -> " + time_text(c.new_ms) + L"  " +
            padded(signed_thousandths(shift, separator), 9) + msg::kSeconds +
            L"  ";
    if (c.point) {
      ++placed;
      text += length_text(timeline.points[*c.point].length, timeline.time_base,
                          separator);
    } else {
      text += padded(L"", 8);
    }
    if (k < listed.size()) {
      text += L"  " + shown_title(platform::widen_utf8(listed[k].title));
    }
    if (c.no_silence) {
      ++unplaced;
      text += L"  ";
      text += msg::kAlignNoSilence;
    }
    text += L"\n";
  }
  text += msg::kAlignTotal + std::to_wstring(alignment.chapters.size()) +
          msg::kAlignTotalPlaced + std::to_wstring(placed) +
          msg::kAlignTotalPlacedEnd;
  if (unplaced > 0) {
    text += msg::kAlignTotalUnplaced + std::to_wstring(unplaced) +
            msg::kAlignTotalUnplacedEnd;
  }
  text += msg::kAlignDrift +
          signed_thousandths(std::llround(alignment.offset_ms), separator) +
          msg::kAlignDriftScale +
          signed_thousandths(std::llround((alignment.scale - 1) * 100'000),
                             separator) +
          msg::kAlignDriftEnd;
  return text;
}

void note_later_data(const Timeline& timeline, platform::Console& console) {
  if (timeline.data_chunks > 1) {
    console.write(msg::kChaptersLaterData +
                  std::to_wstring(timeline.data_chunks) +
                  msg::kChaptersLaterDataEnd);
  }
}

void note_titles(std::size_t lines, std::size_t chapters,
                 platform::Console& console) {
  if (lines == 0 || lines == chapters) return;
  const bool few = lines < chapters;
  console.write((few ? msg::kTitlesTooFew : msg::kTitlesTooMany) +
                std::to_wstring(lines) +
                (few ? msg::kTitlesTooFewMiddle : msg::kTitlesTooManyMiddle) +
                std::to_wstring(chapters) +
                (few ? msg::kTitlesTooFewEnd : msg::kTitlesTooManyEnd));
}

void note_long(std::span<const Chapter> chapters, std::uint64_t max_ms,
               platform::Console& console) {
  const std::wstring max = shown_seconds(max_ms);
  for (std::size_t k = 0; k < chapters.size(); ++k) {
    if (chapters[k].end_ms - chapters[k].start_ms > max_ms) {
      console.write(msg::kSplitKeptLong + std::to_wstring(k + 1) +
                    msg::kSplitKeptLongMiddle + max + msg::kSplitKeptLongEnd);
    }
  }
}

void note_cue_tracks(ChapterFormat format, std::size_t chapters,
                     platform::Console& console) {
  if (format == ChapterFormat::kCue && chapters > 99) {
    console.write(msg::kChaptersManyTracks);
  }
}

}  // namespace hushmark
