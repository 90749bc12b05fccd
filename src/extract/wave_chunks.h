#ifndef HUSHMARK_EXTRACT_WAVE_CHUNKS_H_
#define HUSHMARK_EXTRACT_WAVE_CHUNKS_H_

#include <cstdint>

#include "extract/byte_reader.h"

namespace hushmark {

// One chunk header: the identifier as four bytes and the declared body size.
struct ChunkHeader {
  std::uint32_t id = 0;  // the four bytes read little-endian
  std::uint32_t size = 0;
};

// The identifier's four bytes as a little-endian number, e.g. fourcc("data").
constexpr std::uint32_t fourcc(const char (&s)[5]) {
  return std::uint32_t{static_cast<std::uint8_t>(s[0])} |
         std::uint32_t{static_cast<std::uint8_t>(s[1])} << 8 |
         std::uint32_t{static_cast<std::uint8_t>(s[2])} << 16 |
         std::uint32_t{static_cast<std::uint8_t>(s[3])} << 24;
}

// How reading a chunk header ended.
enum class ChunkRead {
  kOk,         // a whole header
  kEnd,        // the input ended, or failed, before its first byte
  kTruncated,  // the input ended, or failed, within it
};

// True when the input starts with a RIFF header of kind WAVE.
bool read_riff_header(ByteReader& in);

// Reads the next chunk header, the reader at its first byte.
ChunkRead read_chunk_header(ByteReader& in, ChunkHeader& chunk);

// Skips a chunk's body, the reader at its first byte.
inline void skip_body(ByteReader& in, const ChunkHeader& chunk) {
  in.skip(chunk.size);
}

// Skips the pad byte that follows an odd-sized chunk's body; the size leaves
// it out.
inline void skip_pad(ByteReader& in, const ChunkHeader& chunk) {
  in.skip(chunk.size & 1);
}

// The fields of a "fmt " chunk, all 0 until one has been read.
struct WaveFormat {
  std::uint16_t wFormatTag = 0;
  std::uint16_t nChannels = 0;
  std::uint32_t nSamplesPerSec = 0;
  std::uint32_t nAvgBytesPerSec = 0;
  std::uint16_t wBitsPerSample = 0;
  // An extensible format's sample format (1 PCM, 3 float), from the first
  // two bytes of its sub-format; 0 when the chunk is too short to hold it.
  std::uint16_t sub_format_tag = 0;
};

// Reads a fmt chunk's body, the reader at its first byte, and skips the rest
// of it. False when it declares fewer than 16 bytes or the input ends within
// them.
bool read_fmt(ByteReader& in, const ChunkHeader& chunk, WaveFormat& format);

// What keeps hushmark from scanning the data of a WAVE file itself.
enum class ScanProblem {
  kNone,           // 16-bit stereo PCM: scanned as it is
  kFormatTag,      // not PCM
  kChannels,       // not two channels
  kBitsPerSample,  // not 16-bit samples
  kZeroByteRate,   // no byte rate to turn frames into times
};

// The first thing, in that order, that keeps hushmark from scanning data of
// this format itself.
ScanProblem scan_problem(const WaveFormat& format);

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_WAVE_CHUNKS_H_
