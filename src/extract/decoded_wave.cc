#include "extract/decoded_wave.h"

#include <array>
#include <cmath>
#include <cstring>

#include "extract/ffmpeg.h"
#include "extract/wave_reader.h"

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

bool read_chunk(ByteReader& in, std::uint32_t& id, std::uint32_t& size) {
  std::array<std::uint8_t, 8> h;
  if (!read_exact(in, h)) return false;
  id = le32(&h[0]);
  size = le32(&h[4]);
  return true;
}

bool read_format(ByteReader& in, std::uint32_t size, DecodedFormat& format) {
  // An extensible format names its samples' format in the first two bytes of
  // its sub-format, 24 bytes in.
  std::array<std::uint8_t, 26> body{};
  const std::size_t have = size >= body.size() ? body.size() : 16;
  if (size < 16 || !read_exact(in, std::span(body).first(have))) return false;
  in.skip(size - have);
  std::uint16_t tag = le16(&body[0]);
  if (tag == kExtensible) {
    tag = have == body.size() && le16(&body[24]) == kFloat ? kFloat : kPcm;
  }
  format.channels = le16(&body[2]);
  format.sample_rate = le32(&body[4]);
  const std::uint16_t bits = le16(&body[14]);
  format.is_float = tag == kFloat && bits == 32;
  return ((tag == kPcm && bits == 16) || format.is_float) &&
         format.channels >= 1 && format.channels <= kMaxChannels &&
         format.sample_rate != 0;
}

// The title among a LIST INFO chunk's entries, without its closing zeros.
void read_info_title(std::span<const std::uint8_t> list, std::string& title) {
  if (list.size() < 4 || le32(list.data()) != fourcc("INFO")) return;
  std::size_t at = 4;
  while (at + 8 <= list.size()) {
    const std::uint32_t id = le32(&list[at]);
    const std::uint64_t size = le32(&list[at + 4]);
    at += 8;
    if (size > list.size() - at) return;
    if (id == fourcc("INAM")) {
      title.assign(reinterpret_cast<const char*>(&list[at]),
                   static_cast<std::size_t>(size));
      title.erase(title.find_last_not_of('\0') + 1);
    }
    at += static_cast<std::size_t>(size + (size & 1));
  }
}

}  // namespace

HeadInfo classify_head(std::span<const std::uint8_t> head) {
  HeadInfo info;
  if (head.size() < 12 || le32(&head[0]) != fourcc("RIFF") ||
      le32(&head[8]) != fourcc("WAVE")) {
    return info;
  }
  info.kind = HeadKind::kWave;
  std::uint64_t at = 12;
  while (at + 8 <= head.size()) {
    const std::uint32_t id = le32(&head[at]);
    const std::uint32_t size = le32(&head[at + 4]);
    if (id == fourcc("data")) break;
    if (id == fourcc("fmt ")) {
      if (size < 16 || at + 8 + 16 > head.size()) break;
      const std::uint8_t* body = &head[at + 8];
      const std::uint32_t nAvgBytesPerSec = le32(body + 8);
      if (le16(body) == kPcm && le16(body + 2) == 2 && le16(body + 14) == 16 &&
          nAvgBytesPerSec != 0) {
        info.nAvgBytesPerSec = nAvgBytesPerSec;
      } else {
        info.kind = HeadKind::kDecode;
      }
      break;
    }
    at += 8 + std::uint64_t{size} + (size & 1);
  }
  return info;
}

bool read_decoded_header(ByteReader& in, DecodedFormat& format) {
  std::array<std::uint8_t, 12> riff;
  if (!read_exact(in, riff) || le32(&riff[0]) != fourcc("RIFF") ||
      le32(&riff[8]) != fourcc("WAVE")) {
    return false;
  }
  bool have_format = false;
  std::uint32_t id, size;
  while (read_chunk(in, id, size)) {
    if (id == fourcc("data")) return have_format;
    if (id == fourcc("fmt ")) {
      if (!read_format(in, size, format)) return false;
      have_format = true;
    } else if (id == fourcc("LIST") && size <= kMaxListBytes) {
      std::vector<std::uint8_t> list(size);
      if (!read_exact(in, list)) return false;
      read_info_title(list, format.title);
    } else {
      in.skip(size);
    }
    in.skip(size & 1);
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
