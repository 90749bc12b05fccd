#include "extract/wave_reader.h"

#include "extract/byte_reader.h"
#include "extract/messages.h"
#include "extract/silence_scan.h"
#include "platform/files.h"
#include "platform/hex_escape.h"

namespace hushmark {
namespace {

// Programs that write WAVE to a pipe cannot know its length and declare a
// data size no real chunk has: ffmpeg 0xFFFFFFFF, espeak-ng 0x7FFFF000.
constexpr std::uint32_t kPlaceholderDataSize = 0x7FFFF000;

// The message for a format the scan cannot take, or nullptr when it can.
const wchar_t* format_problem(const WaveFormat& format) {
  switch (scan_problem(format)) {
  case ScanProblem::kNone:
    return nullptr;
  case ScanProblem::kFormatTag:
    return msg::kBadFormatTag;
  case ScanProblem::kChannels:
    return msg::kBadChannels;
  case ScanProblem::kBitsPerSample:
    return msg::kBadBitsPerSample;
  case ScanProblem::kZeroByteRate:
    return msg::kZeroByteRate;
  }
  return nullptr;
}

bool scan_data(ByteReader& in, const ChunkHeader& chunk,
               const WaveFormat& format, const DataChunkHandler& handle_data,
               platform::Console& console) {
  if (const wchar_t* problem = format_problem(format)) {
    console.write(problem);
    return false;
  }
  // Such a chunk read from a pipe ends where the stream does; a file that ends
  // early has lost data.
  bool ends_with_input = in.is_stream() && chunk.size >= kPlaceholderDataSize;
  if (!handle_data(in, chunk.size / kFrameBytes, ends_with_input,
                   TimeBase(format.nAvgBytesPerSec))) {
    return false;
  }
  // Bytes past the last whole frame belong to no frame.
  in.skip(chunk.size % kFrameBytes);
  return true;
}

void report_unsupported(const ChunkHeader& chunk, platform::Console& console) {
  std::wstring line = msg::kUnsupportedChunk;
  line += printable_chunk_id(chunk.id);
  line += L" size:";
  line += std::to_wstring(chunk.size);
  line += L'\n';
  console.write(line);
}

bool walk_chunks(ByteReader& in, const DataChunkHandler& handle_data,
                 platform::Console& console) {
  WaveFormat format;
  ChunkHeader chunk;
  // A file cut within a chunk header ends as one that ends before it.
  while (read_chunk_header(in, chunk) == ChunkRead::kOk) {
    switch (chunk.id) {
    case fourcc("fmt "):
      if (!read_fmt(in, chunk, format)) {
        console.write(msg::kBrokenFmt);
        return false;
      }
      break;
    case fourcc("data"):
      if (!scan_data(in, chunk, format, handle_data, console)) return false;
      break;
    default:
      report_unsupported(chunk, console);
      skip_body(in, chunk);
    }
    skip_pad(in, chunk);
  }
  if (in.failed()) {
    console.write(msg::kReadFailed);
    return false;
  }
  return true;
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

bool walk_wave(ByteReader& in, const DataChunkHandler& handle_data,
               platform::Console& console) {
  if (!read_riff_header(in)) {
    // A header that could not be read says nothing about the file's kind.
    console.write(in.failed() ? msg::kReadFailed : msg::kNotWave);
    return false;
  }
  return walk_chunks(in, handle_data, console);
}

bool extract_points(ByteReader& in, const ScanRequest& request,
                    platform::OutputFile& chapters,
                    platform::Console& console) {
  auto scan = [&](ByteReader& data, std::uint32_t frame_count,
                  bool ends_with_input, TimeBase time_base) {
    return scan_data_chunk(data, frame_count, ends_with_input, time_base,
                           request, chapters, console);
  };
  return walk_wave(in, scan, console);
}

}  // namespace hushmark
