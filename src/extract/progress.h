#ifndef HUSHMARK_EXTRACT_PROGRESS_H_
#define HUSHMARK_EXTRACT_PROGRESS_H_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>

#include "platform/console.h"

namespace hushmark {

// Where long work has got to, as its line shows it.
struct ProgressFigures {
  double done_seconds = 0;              // of the recording, read so far
  double elapsed_seconds = 0;           // of work so far
  std::optional<double> total_seconds;  // of the whole recording, if known
  std::wstring decimal = L".";          // the locale's decimal separator
};

// The progress line: "  42% 35倍速 残り 1:23" with the whole length known,
// "  12:34 35倍速" (the time read) without it; the speed and time left only
// once something has been read.
std::wstring progress_line(const ProgressFigures& figures);

// A progress line on a terminal for the reading of a recording, counted from
// any thread and drawn by whichever thread counts when a redraw is due.
// Neither copied nor moved.
struct Progress {
  Progress() = default;
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  ~Progress();  // stops looking for the length, as progress_end does

  platform::Console* console = nullptr;  // nullptr: nothing is shown
  std::optional<double> total_seconds;   // set under `drawing`
  std::chrono::steady_clock::time_point start;
  std::atomic<std::uint64_t> done_us{0};        // microseconds of the recording
  std::mutex drawing;                           // held while the line is drawn
  std::chrono::steady_clock::time_point drawn;  // when it last was
  bool shown = false;                           // drawn at least once
  std::wstring decimal;   // the locale's decimal separator
  std::thread measuring;  // looks for the recording's length
  std::atomic<bool> stop_measuring{false};
};

// Starts the count with the work's length when known. On a terminal, the line
// shows once the work has taken 1.5 s, then is redrawn at most ten times a
// second; elsewhere nothing is ever shown.
void progress_start(Progress& progress, platform::Console& console,
                    std::optional<double> total_seconds);

// Starts the count for reading these files as one recording. On a terminal
// their length is looked for from 1.5 s on, on a thread of its own
// (recording_seconds), so that the reading waits for no ffprobe and a short
// run runs none; until it is known, the line shows the time read. Elsewhere
// nothing is done.
void progress_start(Progress& progress, platform::Console& console,
                    std::span<const std::wstring> paths);

// Counts seconds of the recording as read, and redraws the line when that
// is due and no other thread is drawing it.
void progress_add(Progress& progress, double seconds);

// Stops looking for the length, and clears the line if it shows; nothing is
// shown after.
void progress_end(Progress& progress);

// The length of the recording these files make, in seconds: a WAVE file read
// as hushmark reads it tells it by its first data chunk, any other is asked
// of ffprobe, the files side by side. Nothing when a file's length cannot be
// told (standard input among them), or once stop is set.
std::optional<double> recording_seconds(
    std::span<const std::wstring> paths,
    const std::atomic<bool>* stop = nullptr);

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_PROGRESS_H_
