#include "extract/silence_scan.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "cli/messages.h"
#include "extract/fast_scan.h"

namespace hushmark {
namespace {

std::int32_t sample_magnitude(const std::uint8_t* p) {
  auto s =
      static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
  return s < 0 ? -std::int32_t{s} : std::int32_t{s};
}

// Prints the console line and appends the chapter line for one point.
void write_point(const ChapterPoint& point, std::uint32_t nAvgBytesPerSec,
                 platform::OutputFile& chapters, platform::Console& console) {
  std::string time = format_time(frame_time_ms(point.cut, nAvgBytesPerSec));
  double seconds = static_cast<double>(point.length) * 4.0 / nAvgBytesPerSec;
  wchar_t length[64];
  // The length is shown with the locale's decimal separator.
  std::swprintf(length, std::size(length), L"%.3f", seconds);
  std::wstring line(time.begin(), time.end());
  line += L"  ";
  line += length;
  line += msg::kSeconds;
  line += L'\n';
  console.write(line);
  // Chapter files end their lines in CR LF wherever they are made.
  chapters.write(time);
  chapters.write("\r\n");
}

}  // namespace

std::uint32_t cut_frame(const ScanParams& params, const ScanState& state,
                        std::uint32_t length) {
  switch (params.cut_position) {
  case 0:
    return state.silence_start;
  case 1:
    return state.silence_start + length / 2;
  default:
    return state.index;
  }
}

std::uint32_t compute_min_frames(std::uint32_t nAvgBytesPerSec,
                                 std::int32_t min_silence_ms) {
  std::int64_t quotient = std::int64_t{nAvgBytesPerSec} * min_silence_ms / 4000;
  return static_cast<std::uint32_t>(quotient);
}

std::uint64_t frame_time_ms(std::uint32_t n, std::uint32_t nAvgBytesPerSec) {
  return std::uint64_t{n} * 4000 / nAvgBytesPerSec;
}

std::string format_time(std::uint64_t ms) {
  char text[48];
  std::snprintf(text, sizeof text, "%02llu:%02u:%02u.%03u",
                static_cast<unsigned long long>(ms / 3'600'000),
                static_cast<unsigned>(ms / 60'000 % 60),
                static_cast<unsigned>(ms / 1'000 % 60),
                static_cast<unsigned>(ms % 1'000));
  return text;
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
                     bool ends_with_input, std::uint32_t nAvgBytesPerSec,
                     const Settings& settings, platform::OutputFile& chapters,
                     platform::Console& console) {
  const ScanParams params{
      settings.threshold,
      compute_min_frames(nAvgBytesPerSec, settings.min_silence_ms),
      settings.cut_position};
  ScanState state;
  std::vector<ChapterPoint> points;
  std::uint32_t remaining = frame_count;
  while (remaining > 0) {
    std::span<const std::uint8_t> have = in.fill(kFrameBytes);
    if (have.size() < kFrameBytes) {
      // Every whole frame present has been scanned; the rest is missing.
      in.consume(have.size());
      if (ends_with_input && !in.failed()) return true;
      console.write(msg::kReadFailed);
      return false;
    }
    std::uint32_t frames = static_cast<std::uint32_t>(
        std::min<std::size_t>(have.size() / kFrameBytes, remaining));
    points.clear();
    scan_frames_fast(have.first(std::size_t{frames} * kFrameBytes), params,
                     state, points);
    in.consume(std::size_t{frames} * kFrameBytes);
    remaining -= frames;
    for (const ChapterPoint& point : points) {
      write_point(point, nAvgBytesPerSec, chapters, console);
    }
    if (chapters.failed()) {
      console.write(msg::kCannotWriteChapters);
      return false;
    }
  }
  return true;
}

}  // namespace hushmark
