#ifndef HUSHMARK_TESTS_WAVE_BYTES_H_
#define HUSHMARK_TESTS_WAVE_BYTES_H_

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <span>
#include <string>
#include <string_view>

namespace hushmark::testing {

// A stretch of identical frames.
struct Run {
  std::uint32_t frames;
  std::int16_t left;
  std::int16_t right;
};

inline Run loud(std::uint32_t frames) {
  return {frames, 1000, -1000};
}
inline Run quiet(std::uint32_t frames) {
  return {frames, 0, 0};
}

// The sample bytes of runs of frames.
inline std::string frames_of(std::initializer_list<Run> runs) {
  std::string out;
  for (const Run& r : runs) {
    for (std::uint32_t i = 0; i < r.frames; ++i) {
      for (std::int16_t s : {r.left, r.right}) {
        auto u = static_cast<std::uint16_t>(s);
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
      }
    }
  }
  return out;
}

// Random runs of frames whose samples sit on, just above and below the levels
// (thresholds to be tried), in lengths that straddle 64-frame tiles.
inline std::string ladder_frames(std::mt19937& rng, std::size_t frames,
                                 std::span<const std::int32_t> levels) {
  const std::uint32_t lengths[] = {1, 2, 63, 64, 65, 128, 129, 300};
  auto sample = [](std::int32_t v) {
    return static_cast<std::int16_t>(std::clamp(v, -32768, 32767));
  };
  std::string out;
  while (out.size() < frames * 4) {
    std::int32_t level =
        levels[rng() % levels.size()] + static_cast<std::int32_t>(rng() % 2);
    std::uint32_t n = lengths[rng() % std::size(lengths)];
    for (std::uint32_t i = 0; i < n; ++i) {
      std::int32_t a = rng() % 2 ? level : -level - 1;
      std::int32_t b = static_cast<std::int32_t>(rng() % (level + 1));
      if (rng() % 2) std::swap(a, b);
      out += frames_of({{1, sample(a), sample(b)}});
    }
  }
  return out;
}

// Builds a WAVE file in memory: WaveBytes().fmt(44100).chunk("LIST",
// 26).data({...}).
class WaveBytes {
 public:
  WaveBytes() { raw("RIFF").u32(0).raw("WAVE"); }

  WaveBytes& raw(std::string_view bytes) {
    bytes_.append(bytes);
    return *this;
  }
  WaveBytes& u16(std::uint16_t v) {
    bytes_.push_back(static_cast<char>(v & 0xFF));
    bytes_.push_back(static_cast<char>(v >> 8));
    return *this;
  }
  WaveBytes& u32(std::uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }

  // A "fmt " chunk; a size above 16 adds zero bytes of extension.
  WaveBytes& fmt(std::uint32_t sample_rate, std::uint16_t channels = 2,
                 std::uint16_t bits = 16, std::uint16_t tag = 1,
                 std::uint32_t size = 16) {
    std::uint16_t block = static_cast<std::uint16_t>(channels * bits / 8);
    return fmt_raw(tag, channels, sample_rate * block, bits, size);
  }
  WaveBytes& fmt_raw(std::uint16_t tag, std::uint16_t channels,
                     std::uint32_t byte_rate, std::uint16_t bits,
                     std::uint32_t size = 16) {
    raw("fmt ").u32(size).u16(tag).u16(channels);
    u32(byte_rate / 4).u32(byte_rate);  // the sample rate field is never read
    u16(static_cast<std::uint16_t>(channels * bits / 8)).u16(bits);
    if (size > 16) bytes_.append(size - 16, '\0');
    if (size > 16 && size % 2) bytes_.push_back('\0');
    return *this;
  }

  // A chunk of the given identifier whose body is size zero bytes, plus its pad
  // byte.
  WaveBytes& chunk(std::string_view id, std::uint32_t size) {
    raw(id).u32(size);
    bytes_.append(size + (size & 1), '\0');
    return *this;
  }

  // A data chunk holding the runs, plus extra trailing bytes and its pad byte.
  WaveBytes& data(std::initializer_list<Run> runs, std::uint32_t extra = 0) {
    return data(frames_of(runs), extra);
  }
  WaveBytes& data(std::string body, std::uint32_t extra = 0) {
    body.append(extra, '\x7f');
    raw("data").u32(static_cast<std::uint32_t>(body.size())).raw(body);
    if (body.size() & 1) bytes_.push_back('\0');
    return *this;
  }

  // The file, with the RIFF size filled in.
  std::string bytes() const {
    std::string out = bytes_;
    std::uint32_t size = static_cast<std::uint32_t>(out.size() - 8);
    for (int i = 0; i < 4; ++i)
      out[4 + i] = static_cast<char>(size >> (8 * i));
    return out;
  }

 private:
  std::string bytes_;
};

}  // namespace hushmark::testing

#endif  // HUSHMARK_TESTS_WAVE_BYTES_H_
