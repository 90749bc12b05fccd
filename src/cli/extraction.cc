#include "cli/extraction.h"

#include <cstring>
#include <memory>

#include "cli/core_words.h"
#include "cli/messages.h"
#include "extract/byte_reader.h"
#include "extract/point_format.h"
#include "extract/time_base.h"
#include "extract/wave_reader.h"
#include "platform/files.h"

namespace hushmark {
namespace {

// Lines go out in blocks of up to this many bytes.
constexpr std::size_t kBlockBytes = 64 * 1024;

// The console and chapter lines of the points found so far, in blocks that go
// out with one write each. The fixed text of a console line is encoded once.
struct PointLines {
  std::string separator;  // the decimal separator, in the console's encoding
  std::string line_end;   // "秒\n", in the console's encoding
  std::unique_ptr<char[]> console;
  std::size_t console_used = 0;
  std::unique_ptr<char[]> chapter;
  std::size_t chapter_used = 0;
};

void start_lines(PointLines& lines, platform::Console& console) {
  lines.separator = console.encode(locale_decimal_separator());
  lines.line_end = console.encode(std::wstring(msg::kSeconds) + L'\n');
  // A block is written once it is full, so each has room for one more line;
  // a chapter line is shorter than its console line.
  std::size_t bytes = kBlockBytes + kMaxTimeChars + 2 + kMaxLengthChars +
                      lines.separator.size() + lines.line_end.size();
  lines.console = std::make_unique_for_overwrite<char[]>(bytes);
  lines.chapter = std::make_unique_for_overwrite<char[]>(bytes);
}

void write_lines(PointLines& lines, platform::OutputFile& chapters,
                 platform::Console& console) {
  console.write_encoded({lines.console.get(), lines.console_used});
  chapters.write({lines.chapter.get(), lines.chapter_used});
  lines.console_used = 0;
  lines.chapter_used = 0;
}

char* put(char* out, std::string_view bytes) {
  std::memcpy(out, bytes.data(), bytes.size());
  return out + bytes.size();
}

// Adds the console line "HH:MM:SS.mmm  L.LLL秒" and the chapter line
// "HH:MM:SS.mmm" for one point.
void add_point(const ChapterPoint& point, TimeBase time_base,
               PointLines& lines) {
  char* line = lines.console.get() + lines.console_used;
  char* time_end = format_time_chars(frame_time_ms(point.cut, time_base), line);
  char* chapter = put(lines.chapter.get() + lines.chapter_used,
                      {line, static_cast<std::size_t>(time_end - line)});
  // Chapter files end their lines in CR LF wherever they are made.
  lines.chapter_used =
      static_cast<std::size_t>(put(chapter, "\r\n") - lines.chapter.get());
  char length[kMaxLengthChars];
  char* length_end = format_length_chars(point.length, time_base, length);
  char* out = put(time_end, "  ");
  out = put(out, {length, static_cast<std::size_t>(length_end - 4 - length)});
  out = put(out, lines.separator);
  out = put(out, {length_end - 3, 3});
  out = put(out, lines.line_end);
  lines.console_used = static_cast<std::size_t>(out - lines.console.get());
}

// Writes the lines of a batch of points, a block at a time.
void write_points(std::span<const ChapterPoint> points, TimeBase time_base,
                  PointLines& lines, platform::OutputFile& chapters,
                  platform::Console& console) {
  if (points.empty()) return;
  if (!lines.console) start_lines(lines, console);
  for (const ChapterPoint& point : points) {
    add_point(point, time_base, lines);
    if (lines.console_used >= kBlockBytes) {
      write_lines(lines, chapters, console);
    }
  }
  write_lines(lines, chapters, console);
}

}  // namespace

ScanRequest scan_request(const Settings& settings) {
  return {settings.threshold, settings.min_silence_ms,
          cut_position_of(settings.cut_position)};
}

bool extract_points(ByteReader& in, const ScanRequest& request,
                    platform::OutputFile& chapters,
                    platform::Console& console) {
  PointLines lines;
  auto write = [&](std::span<const ChapterPoint> points, TimeBase time_base) {
    write_points(points, time_base, lines, chapters, console);
    return !chapters.failed();
  };
  return succeeded(scan_wave(in, request, write, notices_to(console)), console);
}

bool run_extraction(const Settings& settings, platform::Console& console) {
  platform::InputFile input;
  if (!input.open(settings.infile)) {
    console.write(msg::kCannotOpenInput);
    return false;
  }
  // Writing the chapter file would overwrite the input before it is read.
  if (input.is_same_file(settings.outfile)) {
    console.write(msg::kChaptersSameAsInput);
    return false;
  }
  // Opening keeps an earlier chapter file's bytes: they go only when the first
  // point is written or the walk succeeds, and a failure before then leaves
  // the file as it was (or removes it, when this run created it).
  platform::OutputFile chapters;
  if (!chapters.open(settings.outfile)) {
    console.write(msg::kCannotWriteChapters);
    return false;
  }
  ByteReader in(input);
  if (!extract_points(in, scan_request(settings), chapters, console)) {
    return false;
  }
  if (!chapters.close()) {
    console.write(msg::kCannotWriteChapters);
    return false;
  }
  return true;
}

}  // namespace hushmark
