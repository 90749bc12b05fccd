#include "extract/wave_reader.h"

#include "extract/byte_reader.h"
#include "extract/silence_scan.h"
#include "platform/files.h"
#include "platform/hex_escape.h"

namespace hushmark {
namespace {

// Programs that write WAVE to a pipe cannot know its length and declare a
// data size no real chunk has: ffmpeg 0xFFFFFFFF, espeak-ng 0x7FFFF000.
constexpr std::uint32_t kPlaceholderDataSize = 0x7FFFF000;

// The failure of a format the scan cannot take, or kNone when it can.
Failure format_problem(const WaveFormat& format) {
  switch (scan_problem(format)) {
  case ScanProblem::kNone:
    return Failure::kNone;
  case ScanProblem::kFormatTag:
    return Failure::kBadFormatTag;
  case ScanProblem::kChannels:
    return Failure::kBadChannels;
  case ScanProblem::kBitsPerSample:
    return Failure::kBadBitsPerSample;
  case ScanProblem::kZeroByteRate:
    return Failure::kZeroByteRate;
  }
  return Failure::kNone;
}

CoreError scan_data(ByteReader& in, const ChunkHeader& chunk,
                    const WaveFormat& format,
                    const DataChunkHandler& handle_data) {
  if (const Failure problem = format_problem(format);
      problem != Failure::kNone) {
    return {problem};
  }
  // Such a chunk read from a pipe ends where the stream does; a file that ends
  // early has lost data.
  bool ends_with_input = in.is_stream() && chunk.size >= kPlaceholderDataSize;
  if (CoreError e = handle_data(in, chunk.size / kFrameBytes, ends_with_input,
                                TimeBase(format.nAvgBytesPerSec))) {
    return e;
  }
  // Bytes past the last whole frame belong to no frame.
  in.skip(chunk.size % kFrameBytes);
  return {};
}

CoreError walk_chunks(ByteReader& in, const DataChunkHandler& handle_data,
                      const NoticeSink& notices) {
  WaveFormat format;
  ChunkHeader chunk;
  // A file cut within a chunk header ends as one that ends before it.
  while (read_chunk_header(in, chunk) == ChunkRead::kOk) {
    switch (chunk.id) {
    case fourcc("fmt "):
      if (!read_fmt(in, chunk, format)) return {Failure::kBrokenFmt};
      break;
    case fourcc("data"):
      if (CoreError e = scan_data(in, chunk, format, handle_data)) return e;
      break;
    default:
      notices({NoticeKind::kUnsupportedChunk, chunk.id, chunk.size, {}});
      skip_body(in, chunk);
    }
    skip_pad(in, chunk);
  }
  if (in.failed()) return {Failure::kReadFailed};
  return {};
}

}  // namespace

std::wstring printable_chunk_id(std::uint32_t id) {
  std::wstring text;
  for (int shift = 0; shift < 32; shift += 8) {
    unsigned byte = (id >> shift) & 0xFF;
    if (byte == 0) break;
    if (byte >= 0x20 && byte <= 0x7E) {
      text += static_cast<wchar_t>(byte);
    } else {
      platform::append_hex_escape(text, byte);
    }
  }
  return text;
}

CoreError walk_wave(ByteReader& in, const DataChunkHandler& handle_data,
                    const NoticeSink& notices) {
  if (!read_riff_header(in)) {
    // A header that could not be read says nothing about the file's kind.
    return {in.failed() ? Failure::kReadFailed : Failure::kNotWave};
  }
  return walk_chunks(in, handle_data, notices);
}

CoreError scan_wave(ByteReader& in, const ScanRequest& request,
                    const PointSink& points, const NoticeSink& notices) {
  auto scan = [&](ByteReader& data, std::uint32_t frame_count,
                  bool ends_with_input, TimeBase time_base) {
    return scan_data_chunk(data, frame_count, ends_with_input, time_base,
                           request, points);
  };
  return walk_wave(in, scan, notices);
}

}  // namespace hushmark
