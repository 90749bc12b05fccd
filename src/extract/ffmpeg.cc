#include "extract/ffmpeg.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <system_error>

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

// The microseconds of an out_time_us value; nothing for "N/A". A time before
// the start counts as 0: ffmpeg has given -9223372036854775807 before it has
// written anything, and a little under 0 for an encoder's delay.
std::optional<std::uint64_t> progress_time(std::string_view value) {
  std::int64_t us = 0;
  const char* end = value.data() + value.size();
  auto [at, error] = std::from_chars(value.data(), end, us);
  if (error != std::errc() || at != end) return std::nullopt;
  return us < 0 ? 0 : static_cast<std::uint64_t>(us);
}

// The speed of a value such as "26.1x", "0x" or "1.98e+03x" (ffmpeg writes
// it with %g); 0 for "N/A".
double progress_speed(std::string_view value) {
  double speed = 0;
  const char* end = value.data() + value.size();
  auto [at, error] = std::from_chars(value.data(), end, speed);
  const bool read = error == std::errc() && at != end && *at == 'x';
  return read && std::isfinite(speed) && speed > 0 ? speed : 0;
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
    named_so = platform::ascii_lower(rest[k]) == kFfmpeg[k];
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

CoreError decode_error(platform::StartResult started, std::wstring_view input,
                       std::string_view error_text) {
  switch (started) {
  case platform::StartResult::kNotFound:
    return {Failure::kDecoderMissing};
  case platform::StartResult::kFailed:
    return {Failure::kDecoderNotStarted};
  case platform::StartResult::kStarted:
    break;
  }
  const bool no_audio =
      error_text.find("matches no streams") != std::string_view::npos ||
      error_text.find("does not contain any stream") != std::string_view::npos;
  if (no_audio) return {Failure::kNoAudio, std::wstring(input)};
  return {Failure::kCannotDecode, std::wstring(input), ffmpeg_said(error_text)};
}

std::vector<std::wstring> ffprobe_arguments(
    std::wstring_view path, std::wstring_view format,
    std::initializer_list<std::wstring> asks) {
  std::vector<std::wstring> args = {L"-v", L"error"};
  args.insert(args.end(), asks);
  args.insert(args.end(), {L"-of", std::wstring(format), ffmpeg_file(path)});
  return args;
}

CollectedRun run_collecting(std::wstring_view program,
                            std::span<const std::wstring> args,
                            std::string_view input, std::string* output,
                            std::size_t limit) {
  CollectedRun run;
  platform::InputFile out;
  platform::ChildProcess child;
  run.started = child.start(
      program, args, out,
      input.empty() ? platform::ChildInput::kNothing
                    : platform::ChildInput::kPipe,
      output ? platform::ChildOutput::kPipe : platform::ChildOutput::kDiscard);
  if (run.started != platform::StartResult::kStarted) return run;
  // A child that stops reading has failed, and its status says so.
  child.write_input(
      {reinterpret_cast<const std::uint8_t*>(input.data()), input.size()});
  child.close_input();
  std::uint8_t block[64 * 1024];
  while (output && output->size() < limit) {
    const std::size_t want = std::min(sizeof block, limit - output->size());
    const std::size_t n = out.read(std::span(block, want));
    if (n == 0) break;
    output->append(reinterpret_cast<const char*>(block), n);
  }
  run.said_too_much = output && output->size() >= limit;
  // A child that says too much is not waited on to say the rest; closing
  // the pipe also ends what it started that writes there.
  if (run.said_too_much) {
    out.close();
    child.terminate();
  }
  const bool exited_well = child.wait();
  run.ended_well = exited_well && !run.said_too_much && !out.failed();
  run.error_text = child.error_text();
  return run;
}

bool ffprobe_output(std::span<const std::wstring> args, std::size_t limit,
                    std::string& text) {
  return run_collecting(ffprobe_program(), args, {}, &text, limit).ended_well;
}

std::optional<double> probe_seconds(std::wstring_view path) {
  const std::vector<std::wstring> args = ffprobe_arguments(
      path, L"csv=p=0", {L"-show_entries", L"format=duration"});
  std::string text;
  if (!ffprobe_output(args, 4096, text)) return std::nullopt;
  // from_chars reads "123.456" whatever the locale's decimal separator.
  double seconds = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, seconds);
  if (error != std::errc() || stop == text.data() || !std::isfinite(seconds) ||
      seconds < 0) {
    return std::nullopt;
  }
  return seconds;
}

std::optional<FrameGrid> probe_frame_grid(std::wstring_view path) {
  const std::vector<std::wstring> args = ffprobe_arguments(
      path, L"default=nw=1",
      {L"-select_streams", L"a:0", L"-read_intervals", L"%+#1",
       L"-show_entries",
       L"packet=pts,duration:stream=sample_rate,time_base:format=start_time"});
  std::string text;
  if (!ffprobe_output(args, 4096, text)) return std::nullopt;
  // "pts=0", "duration=368640", "sample_rate=44100", "time_base=1/14112000",
  // "start_time=0.025057", each on a line of its own.
  std::int64_t pts = 0, duration = 0, rate = 0, num = 0, den = 0;
  double start = 0;
  int found = 0;
  std::string_view rest = text;
  for (std::size_t end; (end = rest.find('\n')) != std::string_view::npos;
       rest.remove_prefix(end + 1)) {
    const std::string_view line = rest.substr(0, end);
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, equals);
    const char* at = line.data() + equals + 1;
    const char* stop = line.data() + line.size();
    std::from_chars_result r{};
    if (key == "pts" && !(found & 1)) {
      r = std::from_chars(at, stop, pts), found |= 1;
    } else if (key == "duration" && !(found & 2)) {
      r = std::from_chars(at, stop, duration), found |= 2;
    } else if (key == "sample_rate") {
      r = std::from_chars(at, stop, rate), found |= 4;
    } else if (key == "time_base") {
      r = std::from_chars(at, stop, num);
      if (r.ec == std::errc() && r.ptr < stop && *r.ptr == '/')
        r = std::from_chars(r.ptr + 1, stop, den), found |= 8;
    } else if (key == "start_time") {
      r = std::from_chars(at, stop, start), found |= 16;
    }
    if (r.ec != std::errc()) return std::nullopt;
  }
  if (found != 31 || num <= 0 || den <= 0 || rate <= 0 || rate > 1000000 ||
      duration <= 0 || !std::isfinite(start)) {
    return std::nullopt;
  }
  const double seconds = static_cast<double>(num) / static_cast<double>(den);
  FrameGrid grid;
  grid.sample_rate = static_cast<std::uint32_t>(rate);
  grid.frame = std::llround(static_cast<double>(duration) * seconds *
                            static_cast<double>(rate));
  grid.first = std::llround((static_cast<double>(pts) * seconds - start) *
                            static_cast<double>(rate));
  if (grid.frame <= 0) return std::nullopt;
  return grid;
}

bool take_progress_block(std::string_view& text, FfmpegProgress& block) {
  FfmpegProgress read;
  std::string_view rest = text;
  std::size_t line_end;
  while ((line_end = rest.find('\n')) != std::string_view::npos) {
    std::string_view line = rest.substr(0, line_end);
    rest.remove_prefix(line_end + 1);
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, equals);
    // ffmpeg pads some values on the left ("speed=   0x").
    std::string_view value = line.substr(equals + 1);
    value.remove_prefix(std::min(value.find_first_not_of(' '), value.size()));
    if (value.ends_with('\r')) value.remove_suffix(1);
    if (key == "out_time_us") {
      read.out_time_us = progress_time(value);
    } else if (key == "total_size") {
      read.total_size = progress_time(value);
    } else if (key == "speed") {
      read.speed = progress_speed(value);
    } else if (key == "progress") {
      read.end = value == "end";
      block = read;
      text = rest;
      return true;
    }
  }
  return false;
}

}  // namespace hushmark
