#include "extract/ffmpeg.h"

#include <optional>

#include "extract/messages.h"
#include "platform/paths.h"
#include "platform/utf8.h"

namespace hushmark {
namespace {

// How ffmpeg is told that a name is a file: see ffmpeg_file.
constexpr std::wstring_view kFilePrefix = L"file:";

// The value of an environment variable that is set and not empty.
std::optional<std::wstring> named_in(std::wstring_view variable) {
  std::optional<std::wstring> value = platform::environment_value(variable);
  if (value && value->empty()) return std::nullopt;
  return value;
}

// What a decode that failed says: that the input has no audio, or that
// ffmpeg could not read it and ffmpeg's own last line.
std::wstring decode_failure(std::wstring_view input,
                            std::string_view error_text) {
  const bool no_audio =
      error_text.find("matches no streams") != std::string_view::npos ||
      error_text.find("does not contain any stream") != std::string_view::npos;
  if (no_audio) return msg::kNoAudio + std::wstring(input) + L"\n";
  std::wstring text = msg::kCannotDecode + std::wstring(input) + L"\n";
  const std::wstring said = ffmpeg_said(error_text);
  if (!said.empty()) text += msg::kDecoderSaid + said + L"\n";
  return text;
}

}  // namespace

std::wstring ffmpeg_program() {
  return named_in(L"HUSHMARK_FFMPEG").value_or(L"ffmpeg");
}

std::wstring ffprobe_program() {
  if (std::optional<std::wstring> named = named_in(L"HUSHMARK_FFPROBE")) {
    return *named;
  }
  std::optional<std::wstring> ffmpeg = named_in(L"HUSHMARK_FFMPEG");
  return ffmpeg ? ffprobe_beside(*ffmpeg) : L"ffprobe";
}

std::wstring ffprobe_beside(std::wstring_view ffmpeg) {
  std::size_t name = ffmpeg.size();
  while (name > 0 && !platform::is_path_separator(ffmpeg[name - 1]))
    --name;
  std::wstring_view rest = ffmpeg.substr(name);
  constexpr std::wstring_view kFfmpeg = L"ffmpeg";
  bool named_so = rest.size() >= kFfmpeg.size();
  for (std::size_t k = 0; named_so && k < kFfmpeg.size(); ++k) {
    named_so = (rest[k] | 0x20) == kFfmpeg[k];
  }
  return std::wstring(ffmpeg.substr(0, name)) + L"ffprobe" +
         std::wstring(named_so ? rest.substr(kFfmpeg.size()) : L"");
}

std::vector<std::wstring> ffmpeg_arguments(
    std::initializer_list<std::wstring> rest) {
  std::vector<std::wstring> args = {L"-hide_banner", L"-nostdin", L"-loglevel",
                                    L"error"};
  args.insert(args.end(), rest);
  return args;
}

std::wstring ffmpeg_file(std::wstring_view path) {
  // Without a prefix, ffmpeg reads "concat:a.m4b" or "http:x" as a protocol
  // and "-x.m4b" as an option; "file:" makes each the file of that name.
  return std::wstring(kFilePrefix) + std::wstring(path);
}

std::wstring ffmpeg_said(std::string_view text) {
  // ffmpeg's own errors end in a blank line.
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.remove_suffix(1);
  }
  std::size_t start = text.find_last_of("\r\n");
  if (start != std::string_view::npos) text.remove_prefix(start + 1);
  std::wstring said = platform::widen_utf8(text);
  // ffmpeg names a file as it was given, by ffmpeg_file.
  if (said.starts_with(kFilePrefix)) said.erase(0, kFilePrefix.size());
  return said;
}

std::wstring ffmpeg_failure(FfmpegRun run, platform::StartResult started,
                            std::wstring_view input,
                            std::string_view error_text) {
  const bool probe = run == FfmpegRun::kProbe;
  switch (started) {
  case platform::StartResult::kNotFound:
    if (run == FfmpegRun::kDecode) return msg::kDecoderMissing;
    return probe ? msg::kFfprobeMissing : msg::kFfmpegMissing;
  case platform::StartResult::kFailed:
    return probe ? msg::kFfprobeNotStarted : msg::kFfmpegNotStarted;
  case platform::StartResult::kStarted:
    break;
  }
  if (run == FfmpegRun::kDecode) return decode_failure(input, error_text);
  return (probe ? msg::kFfprobeFailed : msg::kFfmpegFailed) +
         ffmpeg_said(error_text) + L"\n";
}

bool start_ffmpeg(FfmpegRun run, std::span<const std::wstring> args,
                  platform::ChildProcess& child, platform::InputFile& output,
                  platform::ChildInput input, platform::ChildOutput output_to,
                  platform::Console& console) {
  const std::wstring program =
      run == FfmpegRun::kProbe ? ffprobe_program() : ffmpeg_program();
  const platform::StartResult started =
      child.start(program, args, output, input, output_to);
  if (started == platform::StartResult::kStarted) return true;
  console.write(ffmpeg_failure(run, started, {}, {}));
  return false;
}

void report_ffmpeg_failure(FfmpegRun run, std::wstring_view input,
                           const platform::ChildProcess& child,
                           platform::Console& console) {
  console.write(ffmpeg_failure(run, platform::StartResult::kStarted, input,
                               child.error_text()));
}

}  // namespace hushmark
