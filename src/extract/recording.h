#ifndef HUSHMARK_EXTRACT_RECORDING_H_
#define HUSHMARK_EXTRACT_RECORDING_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "extract/byte_reader.h"
#include "extract/decoded_wave.h"
#include "extract/errors.h"
#include "extract/time_base.h"
#include "platform/files.h"
#include "platform/process.h"

namespace hushmark {

// The name that stands for standard input.
inline constexpr std::wstring_view kStandardInputName = L"-";

// Where a source's frames go. Each data chunk of a WAVE file read as hushmark
// reads it, and the whole of a decoded file, is one chunk: begin_chunk gives
// its byte rate (four bytes a frame), and frames then gets its whole 16-bit
// stereo frames, a block at a time, in order.
struct FrameSink {
  std::function<void(TimeBase time_base)> begin_chunk;
  std::function<void(std::span<const std::uint8_t> frames)> frames;
  // When set, hears a decoded file's samples at its own channels, as ffmpeg
  // gave them (16-bit, or 32-bit float when they were asked for), before
  // frames gets them as 16-bit stereo.
  std::function<void(std::span<const std::uint8_t> samples)> samples;
};

// One file of a recording, opened and read as far as it takes to know how it
// is read: as a WAVE file of 16-bit stereo PCM, or through ffmpeg. Neither
// copied nor moved.
struct Source {
  Source() = default;
  Source(const Source&) = delete;
  Source& operator=(const Source&) = delete;
  ~Source();

  std::wstring path;  // as the user named it; "-" for standard input
  HeadKind kind = HeadKind::kWave;
  // The byte rate of its frames: a decoded file's, or that of a WAVE file's
  // first fmt chunk when its head shows one; 0 when not known yet.
  TimeBase time_base;
  std::string title;  // its title tag, UTF-8; empty when it has none
  DecodedFormat decoded;
  platform::InputFile file;
  platform::ChildProcess decoder;
  platform::InputFile decoded_output;  // what the decoder writes
  std::thread feeder;                  // copies standard input to the decoder
  std::unique_ptr<ByteReader> reader;
};

// Opens the file at path and reads enough of it to know how it is read; a
// file that needs decoding has its decoder started and its header read.
// With request.sample_rate not 0, a file at another rate is decoded to this
// one. Returns what went wrong, if anything did.
CoreError open_source(std::wstring_view path, const DecodeRequest& request,
                      Source& source);

// Hands every frame of an opened source to sink. A WAVE file read as hushmark
// reads it is walked, each chunk it skips told to notices; a decoded file is
// read to its end and its decoder must end well. Returns what went wrong, if
// anything did: kDataEndedEarly when a WAVE file's data ended before its
// chunk did.
CoreError read_source(Source& source, const FrameSink& sink,
                      const NoticeSink& notices);

// Where each file's frames go, made once it is open: k is its place among
// the files.
using SinkMaker = std::function<FrameSink(std::size_t k, const Source& source)>;

// Hears, on the thread that read it, that file k has been read (no error) or
// has failed.
using SourceEnded = std::function<void(std::size_t k, const CoreError& error)>;

// Opens the first file, then reads every file into the sink made for it, side
// by side on up to processor_count() workers; the others are decoded to the
// first file's rate. Each file's notices are kept and told to notices in
// order, on the calling thread, up to the first file that failed, whose
// failure is returned. A single file is read here, its notices told as they
// come. Files are decoded as request says (its rate but for the first
// file's). With in_order set, one file is read after another, so that a
// sink's samples arrive in the files' order.
CoreError read_sources(std::span<const std::wstring> paths,
                       const SinkMaker& sink_for, const SourceEnded& ended,
                       const NoticeSink& notices,
                       const DecodeRequest& request = {},
                       bool in_order = false);

// The source's name without its folder and extension, UTF-8, for a title.
std::string source_name(std::wstring_view path);

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_RECORDING_H_
