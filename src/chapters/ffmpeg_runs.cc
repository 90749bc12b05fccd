#include "chapters/ffmpeg_runs.h"

#include "extract/ffmpeg.h"

namespace hushmark {

std::wstring ffmpeg_failure(const FfmpegRun& run, platform::StartResult started,
                            std::string_view error_text) {
  switch (started) {
  case platform::StartResult::kNotFound:
    return run.missing;
  case platform::StartResult::kFailed:
    return run.not_started;
  case platform::StartResult::kStarted:
    break;
  }
  return run.failed + ffmpeg_said(error_text) + L"\n";
}

bool start_ffmpeg(const FfmpegRun& run, std::span<const std::wstring> args,
                  platform::ChildProcess& child, platform::InputFile& output,
                  platform::ChildInput input, platform::ChildOutput output_to,
                  platform::Console& console) {
  const std::wstring program =
      run.ffprobe ? ffprobe_program() : ffmpeg_program();
  const platform::StartResult started =
      child.start(program, args, output, input, output_to);
  if (started == platform::StartResult::kStarted) return true;
  console.write(ffmpeg_failure(run, started, {}));
  return false;
}

void report_ffmpeg_failure(const FfmpegRun& run,
                           const platform::ChildProcess& child,
                           platform::Console& console) {
  console.write(
      ffmpeg_failure(run, platform::StartResult::kStarted, child.error_text()));
}

}  // namespace hushmark
