#ifndef HUSHMARK_CHAPTERS_FFMPEG_RUNS_H_
#define HUSHMARK_CHAPTERS_FFMPEG_RUNS_H_

#include <span>
#include <string>
#include <string_view>

#include "platform/console.h"
#include "platform/files.h"
#include "platform/process.h"

namespace hushmark {

// What ffmpeg or ffprobe is run for: the program, and the words in which
// hushmark-chapters tells its failures.
struct FfmpegRun {
  bool ffprobe = false;                  // ffprobe rather than ffmpeg
  const wchar_t* missing = nullptr;      // the program is not found
  const wchar_t* not_started = nullptr;  // it is there but does not start
  // It failed; its last line of errors follows, then "\n".
  const wchar_t* failed = nullptr;
};

// The message, ending in a line feed, for a run that went wrong: one that did
// not start (kNotFound, kFailed), or one that started (kStarted) and then
// failed, told by what it wrote on standard error.
std::wstring ffmpeg_failure(const FfmpegRun& run, platform::StartResult started,
                            std::string_view error_text);

// Starts the run's program with args as ChildProcess::start does; false once
// the message saying why it did not start is out.
bool start_ffmpeg(const FfmpegRun& run, std::span<const std::wstring> args,
                  platform::ChildProcess& child, platform::InputFile& output,
                  platform::ChildInput input, platform::ChildOutput output_to,
                  platform::Console& console);

// Says why a run that has been waited for failed.
void report_ffmpeg_failure(const FfmpegRun& run,
                           const platform::ChildProcess& child,
                           platform::Console& console);

}  // namespace hushmark

#endif  // HUSHMARK_CHAPTERS_FFMPEG_RUNS_H_
