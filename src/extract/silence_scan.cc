#include "extract/silence_scan.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "extract/fast_scan.h"
#include "extract/messages.h"
#include "extract/point_format.h"
#include "extract/time_base.h"

namespace hushmark {
namespace {

std::int32_t sample_magnitude(const std::uint8_t* p) {
  auto s =
      static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
  return s < 0 ? -std::int32_t{s} : std::int32_t{s};
}

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

std::string format_time(std::uint64_t ms) {
  char text[kMaxTimeChars];
  return std::string(text, format_time_chars(ms, text));
}

void scan_frames(std::span<const std::uint8_t> bytes, const ScanParams& params,
                 ScanState& state, std::vector<ChapterPoint>& points) {
  for (std::size_t at = 0; at + kFrameBytes <= bytes.size();
       at += kFrameBytes) {
    ++state.index;
    bool quiet = sample_magnitude(&bytes[at]) <= params.threshold &&
                 sample_magnitude(&bytes[at + 2]) <= params.threshold;
    if (quiet) {
      if (state.silence_start == 0) state.silence_start = state.index;
      continue;
    }
    if (state.silence_start == 0) continue;
    std::uint32_t length = state.index - state.silence_start;
    if (length >= params.min_frames) {
      points.push_back({cut_frame(params, state, length), length});
    }
    state.silence_start = 0;
  }
}

bool scan_data_chunk(ByteReader& in, std::uint32_t frame_count,
                     bool ends_with_input, TimeBase time_base,
                     const ScanRequest& request, platform::OutputFile& chapters,
                     platform::Console& console) {
  const ScanParams params{request.threshold,
                          compute_min_frames(time_base, request.min_silence_ms),
                          request.cut};
  ScanState state;
  std::vector<ChapterPoint> points;
  PointLines lines;
  auto scan_block = [&](std::span<const std::uint8_t> block) {
    points.clear();
    scan_frames_fast(block, params, state, points);
    write_points(points, time_base, lines, chapters, console);
    return !chapters.failed();
  };
  switch (read_chunk_frames(in, frame_count, ends_with_input, scan_block)) {
  case ChunkFrames::kRead:
    return true;
  case ChunkFrames::kShortRead:
    // The points of every whole frame present are out; the rest is missing.
    console.write(msg::kReadFailed);
    return false;
  case ChunkFrames::kStopped:
    console.write(msg::kCannotWriteChapters);
    return false;
  }
  return false;
}

}  // namespace hushmark
