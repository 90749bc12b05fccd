#include "extract/progress.h"

#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

#include "extract/byte_reader.h"
#include "extract/decoded_wave.h"
#include "extract/ffmpeg.h"
#include "extract/messages.h"
#include "extract/point_format.h"
#include "extract/recording.h"
#include "extract/time_base.h"
#include "extract/wave_chunks.h"
#include "platform/files.h"
#include "platform/process.h"

namespace hushmark {
namespace {

using Clock = std::chrono::steady_clock;

// A run that ends sooner shows no line at all.
constexpr auto kQuietStart = std::chrono::milliseconds(1500);
// The least time between two drawings of the line.
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
// How often the wait to look for the length sees whether the run has ended.
constexpr auto kMeasureWait = std::chrono::milliseconds(20);

// "1:23" or, from an hour on, "1:02:03".
std::wstring clock_text(double seconds) {
  const auto whole = static_cast<std::uint64_t>(std::max(0.0, seconds));
  const std::uint64_t hours = whole / 3600;
  const std::uint64_t minutes = whole / 60 % 60;
  auto two = [](std::uint64_t n) {
    return (n < 10 ? L"0" : L"") + std::to_wstring(n);
  };
  std::wstring text = hours > 0 ? std::to_wstring(hours) + L":" + two(minutes)
                                : std::to_wstring(minutes);
  return text + L":" + two(whole % 60);
}

// "35" from ten times real time up, "2.5" below.
std::wstring speed_text(double speed, const std::wstring& decimal) {
  const auto tenths = static_cast<std::uint64_t>(std::llround(speed * 10));
  if (tenths >= 100) return std::to_wstring((tenths + 5) / 10);
  return std::to_wstring(tenths / 10) + decimal + std::to_wstring(tenths % 10);
}

void draw(Progress& progress, Clock::time_point now) {
  ProgressFigures figures;
  figures.done_seconds = static_cast<double>(progress.done_us) / 1e6;
  figures.elapsed_seconds =
      std::chrono::duration<double>(now - progress.start).count();
  figures.total_seconds = progress.total_seconds;
  figures.decimal = progress.decimal;
  progress.console->redraw(progress_line(figures));
  progress.drawn = now;
  progress.shown = true;
}

// The size of the first data chunk among the chunks that head holds whole
// headers of; nothing when none is there.
std::optional<std::uint32_t> first_data_size(
    std::span<const std::uint8_t> head) {
  ByteReader in(head);
  if (!read_riff_header(in)) return std::nullopt;
  ChunkHeader chunk;
  while (read_chunk_header(in, chunk) == ChunkRead::kOk) {
    if (chunk.id == fourcc("data")) return chunk.size;
    skip_body(in, chunk);
    skip_pad(in, chunk);
  }
  return std::nullopt;
}

// The length of one file; nothing for a stream, which only its reading may
// open: a FIFO opened and closed here would end its writer's output.
std::optional<double> file_seconds(const std::wstring& path) {
  platform::InputFile file;
  if (path == kStandardInputName || !platform::is_regular_file(path) ||
      !file.open(path)) {
    return std::nullopt;
  }
  const std::vector<std::uint8_t> head = platform::read_head(file, kHeadBytes);
  const HeadInfo info = classify_head(head);
  if (info.kind == HeadKind::kWave && info.time_base.known()) {
    if (std::optional<std::uint32_t> size = first_data_size(head)) {
      return bytes_seconds(*size, info.time_base);
    }
  }
  file.close();
  return probe_seconds(path);
}

}  // namespace

std::wstring progress_line(const ProgressFigures& figures) {
  const double done = std::max(0.0, figures.done_seconds);
  const std::optional<double> total = figures.total_seconds;
  const bool known = total && *total > 0;
  std::wstring line = L"  ";
  if (known) {
    const double percent = std::clamp(done / *total * 100, 0.0, 100.0);
    line += std::to_wstring(static_cast<int>(percent)) + L"%";
  } else {
    line += clock_text(done);
  }
  if (done <= 0 || figures.elapsed_seconds <= 0) return line;
  const double speed = done / figures.elapsed_seconds;
  line += L" " + speed_text(speed, figures.decimal) + msg::kProgressSpeed;
  if (known) {
    line += msg::kProgressTimeLeft +
            clock_text(std::max(0.0, *total - done) / speed);
  }
  return line;
}

void progress_start(Progress& progress, platform::Console& console,
                    std::optional<double> total_seconds) {
  std::lock_guard<std::mutex> lock(progress.drawing);
  progress.console = console.is_terminal() ? &console : nullptr;
  progress.total_seconds = total_seconds;
  progress.start = Clock::now();
  progress.drawn = progress.start;
  progress.done_us = 0;
  progress.shown = false;
  progress.decimal = locale_decimal_separator();
}

void progress_add(Progress& progress, double seconds) {
  if (!(seconds > 0 && seconds < 1e9)) return;  // NaN and infinity too
  progress.done_us += static_cast<std::uint64_t>(seconds * 1e6);
  std::unique_lock<std::mutex> lock(progress.drawing, std::try_to_lock);
  if (!lock.owns_lock() || progress.console == nullptr) return;
  const Clock::time_point now = Clock::now();
  if (now - progress.start >= kQuietStart &&
      now - progress.drawn >= kRedrawEvery) {
    draw(progress, now);
  }
}

void progress_start(Progress& progress, platform::Console& console,
                    std::span<const std::wstring> paths) {
  if (!console.is_terminal()) return;
  progress_start(progress, console, std::nullopt);
  progress.stop_measuring = false;
  progress.measuring = std::thread([&progress, paths] {
    // A run that ends before its line would show pays for no ffprobe.
    const Clock::time_point due = progress.start + kQuietStart;
    while (!progress.stop_measuring && Clock::now() < due)
      std::this_thread::sleep_for(kMeasureWait);
    const std::optional<double> total =
        recording_seconds(paths, &progress.stop_measuring);
    std::lock_guard<std::mutex> lock(progress.drawing);
    progress.total_seconds = total;
  });
}

Progress::~Progress() {
  stop_measuring = true;
  if (measuring.joinable()) measuring.join();
}

void progress_end(Progress& progress) {
  progress.stop_measuring = true;
  if (progress.measuring.joinable()) progress.measuring.join();
  std::lock_guard<std::mutex> lock(progress.drawing);
  if (progress.console != nullptr && progress.shown) {
    progress.console->redraw(L"");
  }
  progress.console = nullptr;
}

std::optional<double> recording_seconds(std::span<const std::wstring> paths,
                                        const std::atomic<bool>* stop) {
  std::vector<std::optional<double>> lengths(paths.size());
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t k; (!stop || !*stop) && (k = next++) < paths.size();)
      lengths[k] = file_seconds(paths[k]);
  };
  std::vector<std::thread> helpers;
  const std::size_t workers =
      std::min<std::size_t>(platform::processor_count(), paths.size());
  for (std::size_t w = 1; w < workers; ++w)
    helpers.emplace_back(work);
  work();
  for (std::thread& t : helpers)
    t.join();
  if (stop && *stop) return std::nullopt;
  double total = 0;
  for (const std::optional<double>& length : lengths) {
    if (!length) return std::nullopt;
    total += *length;
  }
  return total;
}

}  // namespace hushmark
