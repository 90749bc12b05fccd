#include "extract/wave_chunks.h"

#include <array>
#include <cstddef>
#include <span>

namespace hushmark {
namespace {

constexpr std::size_t kFmtBytes = 16;
// An extensible format names its samples' format in the first two bytes of
// its sub-format, 24 bytes in.
constexpr std::size_t kSubFormatAt = 24;

}  // namespace

bool read_riff_header(ByteReader& in) {
  std::array<std::uint8_t, 12> h;
  return in.read(h) == h.size() && le32(&h[0]) == fourcc("RIFF") &&
         le32(&h[8]) == fourcc("WAVE");
}

ChunkRead read_chunk_header(ByteReader& in, ChunkHeader& chunk) {
  std::array<std::uint8_t, 8> h;
  const std::size_t got = in.read(h);
  if (got == 0) return ChunkRead::kEnd;
  if (got < h.size()) return ChunkRead::kTruncated;
  chunk.id = le32(&h[0]);
  chunk.size = le32(&h[4]);
  return ChunkRead::kOk;
}

bool read_fmt(ByteReader& in, const ChunkHeader& chunk, WaveFormat& format) {
  std::array<std::uint8_t, kSubFormatAt + 2> body{};
  if (chunk.size < kFmtBytes) return false;
  const std::size_t want = chunk.size >= body.size() ? body.size() : kFmtBytes;
  const std::size_t got = in.read(std::span(body).first(want));
  if (got < kFmtBytes) return false;
  format.wFormatTag = le16(&body[0]);
  format.nChannels = le16(&body[2]);
  format.nSamplesPerSec = le32(&body[4]);
  format.nAvgBytesPerSec = le32(&body[8]);
  format.wBitsPerSample = le16(&body[14]);
  format.sub_format_tag = got == body.size() ? le16(&body[kSubFormatAt]) : 0;
  // A fmt chunk may carry an extension (18 or 40 bytes); skip what is unread.
  in.skip(chunk.size - got);
  return true;
}

ScanProblem scan_problem(const WaveFormat& format) {
  if (format.wFormatTag != 1) return ScanProblem::kFormatTag;
  if (format.nChannels != 2) return ScanProblem::kChannels;
  if (format.wBitsPerSample != 16) return ScanProblem::kBitsPerSample;
  if (format.nAvgBytesPerSec == 0) return ScanProblem::kZeroByteRate;
  return ScanProblem::kNone;
}

}  // namespace hushmark
