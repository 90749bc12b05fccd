#ifndef HUSHMARK_EXTRACT_FFMPEG_H_
#define HUSHMARK_EXTRACT_FFMPEG_H_

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "extract/errors.h"
#include "platform/files.h"
#include "platform/process.h"

namespace hushmark {

// The ffmpeg to run: HUSHMARK_FFMPEG when it is set and not empty, else
// "ffmpeg", which the platform looks up as it looks up any program.
std::wstring ffmpeg_program();

// The ffprobe to run: HUSHMARK_FFPROBE when it is set and not empty, else the
// one beside HUSHMARK_FFMPEG when that is set and not empty, else "ffprobe".
std::wstring ffprobe_program();

// The ffprobe to run beside an ffmpeg program: the same folder, and what
// follows "ffmpeg" in its name ("ffmpeg.exe" gives "ffprobe.exe").
std::wstring ffprobe_beside(std::wstring_view ffmpeg);

// ffmpeg's arguments that every run begins with, so that it shows nothing but
// its errors and never reads the console, followed by rest.
std::vector<std::wstring> ffmpeg_arguments(
    std::initializer_list<std::wstring> rest = {});

// A path as ffmpeg and ffprobe are given it: always the file of that name,
// even one that begins with "-" or looks like "concat:" or "http:".
std::wstring ffmpeg_file(std::wstring_view path);

// The last line of what ffmpeg or ffprobe wrote on its standard error that
// says something, which is where it says what failed; a file named to it by
// ffmpeg_file is shown by its path alone.
std::wstring ffmpeg_said(std::string_view error_text);

// What went wrong with a decode of input: ffmpeg did not start (kNotFound,
// kFailed), or it started (kStarted) and failed, told by what it wrote on
// standard error: an input without audio, or ffmpeg's last line.
CoreError decode_error(platform::StartResult started, std::wstring_view input,
                       std::string_view error_text);

// ffprobe's arguments to tell what asks for (its -show_ options, and those
// that choose what it reads) about the file at path, written as format says
// (its -of).
std::vector<std::wstring> ffprobe_arguments(
    std::wstring_view path, std::wstring_view format,
    std::initializer_list<std::wstring> asks);

// How a run of a program whose output was collected went, once it ended.
struct CollectedRun {
  platform::StartResult started = platform::StartResult::kNotFound;
  bool ended_well = false;     // exited with status 0, its output read whole
  bool said_too_much = false;  // wrote limit bytes or more, and was ended
  std::string error_text;      // the end of what it wrote on standard error
};

// Runs program with args, input as its standard input, and keeps what it
// writes on standard output in *output, up to limit bytes, or drops it when
// output is null; prints nothing.
CollectedRun run_collecting(std::wstring_view program,
                            std::span<const std::wstring> args,
                            std::string_view input, std::string* output,
                            std::size_t limit = SIZE_MAX);

// Runs ffprobe with args and keeps what it writes on standard output in text;
// false when it did not start, did not end well, or said limit bytes or more.
bool ffprobe_output(std::span<const std::wstring> args, std::size_t limit,
                    std::string& text);

// The length of a media file in seconds as ffprobe tells it, or nothing when
// it cannot tell or cannot be run; nothing is said on the console.
std::optional<double> probe_seconds(std::wstring_view path);

// Where the frames of a file's first audio stream lie on ffmpeg's timeline,
// which starts at the file's start time: the first frame's first sample, and
// the samples each frame holds.
struct FrameGrid {
  std::int64_t first = 0;
  std::int64_t frame = 0;
  std::uint32_t sample_rate = 0;
};

// The frame grid of a file whose frames all hold alike (mp3, AAC) as
// ffprobe tells it from its first packet, or nothing when it cannot tell or
// cannot be run; nothing is said on the console.
std::optional<FrameGrid> probe_frame_grid(std::wstring_view path);

// Where ffmpeg's work has got to, as one block of what it writes with
// -progress tells it.
struct FfmpegProgress {
  // How much of the output is written, in microseconds; nothing while ffmpeg
  // does not know.
  std::optional<std::uint64_t> out_time_us;
  double speed = 0;  // times real time; 0 while ffmpeg does not know
  bool end = false;  // the last block: ffmpeg has finished
  // The bytes written to every output so far; nothing while ffmpeg does not
  // know.
  std::optional<std::uint64_t> total_size;
};

// Takes the first whole block of ffmpeg's -progress output (its key=value
// lines up to and including "progress=continue" or "progress=end") off the
// front of text into block. False, with text and block as they were, when
// text holds no whole block yet: a reader of the pipe keeps the rest for when
// more arrives.
bool take_progress_block(std::string_view& text, FfmpegProgress& block);

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_FFMPEG_H_
