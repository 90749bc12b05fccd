#include "extract/decoded_wave.h"

#include <array>
#include <cmath>
#include <cstring>

#include "extract/ffmpeg.h"
#include "extract/wave_chunks.h"

namespace hushmark {
namespace {

constexpr std::uint16_t kPcm = 1;
constexpr std::uint16_t kFloat = 3;
constexpr std::uint16_t kExtensible = 0xFFFE;
// A LIST chunk longer than this holds more than titles; it is skipped.
constexpr std::uint32_t kMaxListBytes = 64 * 1024;

bool read_exact(ByteReader& in, std::span<std::uint8_t> out) {
  return in.read(out) == out.size();
}

bool read_format(ByteReader& in, const ChunkHeader& chunk,
                 DecodedFormat& format) {
  WaveFormat wave;
  if (!read_fmt(in, chunk, wave)) return false;
  std::uint16_t tag = wave.wFormatTag;
  if (tag == kExtensible) tag = wave.sub_format_tag == kFloat ? kFloat : kPcm;
  format.channels = wave.nChannels;
  format.sample_rate = wave.nSamplesPerSec;
  format.is_float = tag == kFloat && wave.wBitsPerSample == 32;
  return ((tag == kPcm && wave.wBitsPerSample == 16) || format.is_float) &&
         format.channels >= 1 && format.channels <= kMaxChannels &&
         format.sample_rate != 0;
}

// The title among a LIST INFO chunk's entries, without its closing zeros.
void read_info_title(std::span<const std::uint8_t> list, std::string& title) {
  ByteReader in(list);
  std::array<std::uint8_t, 4> kind;
  if (!read_exact(in, kind) || le32(kind.data()) != fourcc("INFO")) return;
  ChunkHeader entry;
  while (read_chunk_header(in, entry) == ChunkRead::kOk) {
    if (entry.id == fourcc("INAM")) {
      // An entry that runs past the list's end is no title.
      if (entry.size > list.size()) return;
      std::vector<std::uint8_t> name(entry.size);
      if (!read_exact(in, name)) return;
      title.assign(name.begin(), name.end());
      title.erase(title.find_last_not_of('\0') + 1);
    } else {
      skip_body(in, entry);
    }
    skip_pad(in, entry);
  }
}

}  // namespace

HeadInfo classify_head(std::span<const std::uint8_t> head) {
  HeadInfo info;
  ByteReader in(head);
  if (!read_riff_header(in)) return info;
  info.kind = HeadKind::kWave;
  // Only the first fmt chunk before any data chunk tells; a head that ends
  // before one leaves the file to hushmark's walk.
  ChunkHeader chunk;
  while (read_chunk_header(in, chunk) == ChunkRead::kOk &&
         chunk.id != fourcc("data")) {
    if (chunk.id == fourcc("fmt ")) {
      WaveFormat format;
      if (!read_fmt(in, chunk, format)) break;
      if (scan_problem(format) == ScanProblem::kNone) {
        info.time_base = TimeBase(format.nAvgBytesPerSec);
      } else {
        info.kind = HeadKind::kDecode;
      }
      break;
    }
    skip_body(in, chunk);
    skip_pad(in, chunk);
  }
  return info;
}

bool read_decoded_header(ByteReader& in, DecodedFormat& format) {
  if (!read_riff_header(in)) return false;
  bool have_format = false;
  ChunkHeader chunk;
  while (read_chunk_header(in, chunk) == ChunkRead::kOk) {
    if (chunk.id == fourcc("data")) return have_format;
    if (chunk.id == fourcc("fmt ")) {
      if (!read_format(in, chunk, format)) return false;
      have_format = true;
    } else if (chunk.id == fourcc("LIST") && chunk.size <= kMaxListBytes) {
      std::vector<std::uint8_t> list(chunk.size);
      if (!read_exact(in, list)) return false;
      read_info_title(list, format.title);
    } else {
      skip_body(in, chunk);
    }
    skip_pad(in, chunk);
  }
  return false;
}

void fold_to_stereo(std::span<const std::uint8_t> in, std::uint16_t channels,
                    std::uint8_t* out) {
  const std::size_t frame_bytes = std::size_t{channels} * 2;
  const std::size_t frames = in.size() / frame_bytes;
  const std::uint8_t* p = in.data();
  for (std::size_t f = 0; f < frames; ++f, p += frame_bytes, out += 4) {
    std::size_t loudest = 0;
    std::int32_t peak = -1;
    for (std::size_t c = 0; c < frame_bytes; c += 2) {
      const auto s = static_cast<std::int16_t>(le16(p + c));
      const std::int32_t magnitude = s < 0 ? -std::int32_t{s} : s;
      if (magnitude > peak) {
        peak = magnitude;
        loudest = c;
      }
    }
    std::memcpy(out, p + loudest, 2);
    std::memcpy(out + 2, p + loudest, 2);
  }
}

void float_to_s16(std::span<const std::uint8_t> in, std::uint8_t* out) {
  for (std::size_t at = 0; at + 4 <= in.size(); at += 4, out += 2) {
    float x;
    std::memcpy(&x, &in[at], 4);
    // Clipped before the conversion, which a huge value would overflow; a
    // NaN, which no decoder writes, gives 0.
    const float scaled = x * 32768.0f;
    long v = 0;
    if (scaled >= 32767.0f) {
      v = 32767;
    } else if (scaled <= -32768.0f) {
      v = -32768;
    } else if (scaled == scaled) {
      v = std::lrintf(scaled);
    }
    const auto u = static_cast<std::uint16_t>(v);
    out[0] = static_cast<std::uint8_t>(u & 0xFF);
    out[1] = static_cast<std::uint8_t>(u >> 8);
  }
}

std::vector<std::wstring> decoder_arguments(std::wstring_view input,
                                            const DecodeRequest& request) {
  std::vector<std::wstring> args = ffmpeg_arguments();
  // The decoder hands over the samples it would skip at either end.
  if (request.every_sample) {
    args.insert(args.end(), {L"-flags2", L"+skip_manual"});
  }
  args.insert(
      args.end(),
      {L"-i", input.empty() ? L"pipe:0" : ffmpeg_file(input), L"-map", L"0:a:0",
       L"-c:a", request.float_samples ? L"pcm_f32le" : L"pcm_s16le"});
  if (request.sample_rate != 0) {
    args.insert(args.end(), {L"-ar", std::to_wstring(request.sample_rate)});
  }
  if (request.channels != 0) {
    args.insert(args.end(), {L"-ac", std::to_wstring(request.channels)});
  }
  // Larger writes cost fewer system calls on both sides of the pipe: ffmpeg
  // would otherwise write each decoded packet (4,608 bytes of an mp3) alone.
  args.insert(args.end(), {L"-f", L"wav", L"-flush_packets", L"0",
                           L"-blocksize", L"1048576", L"pipe:1"});
  return args;
}

}  // namespace hushmark
