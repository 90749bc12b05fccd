// Writes a 44.1 kHz 16-bit stereo WAVE file for the benchmarks:
//   make_wave talk SECONDS FILE  speech-like sound, 0.6 s of digital silence
//                                every 10 s
//   make_wave hiss SECONDS FILE  the same with low-level hiss in the pauses
//   make_wave flip SECONDS FILE  quiet and loud frames in turn
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr std::uint32_t kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

void put16(std::vector<std::uint8_t>& out, int v) {
  auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
  out.push_back(static_cast<std::uint8_t>(u & 0xFF));
  out.push_back(static_cast<std::uint8_t>(u >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  put16(out, static_cast<int>(v & 0xFFFF));
  put16(out, static_cast<int>(v >> 16));
}

std::vector<std::uint8_t> header(std::uint32_t data_bytes) {
  std::vector<std::uint8_t> h;
  auto tag = [&h](const char* s) { h.insert(h.end(), s, s + 4); };
  tag("RIFF");
  put32(h, 36 + data_bytes);
  tag("WAVE");
  tag("fmt ");
  put32(h, 16);
  put16(h, 1);
  put16(h, 2);
  put32(h, kRate);
  put32(h, kRate * 4);
  put16(h, 4);
  put16(h, 16);
  tag("data");
  put32(h, data_bytes);
  return h;
}

// One minute of sound; the file repeats it.
std::vector<std::uint8_t> minute(bool hiss, bool flip) {
  std::vector<std::uint8_t> out;
  std::uint32_t noise = 12345;
  for (std::uint32_t i = 0; i < 60 * kRate; ++i) {
    noise = noise * 1664525u + 1013904223u;
    int jitter = static_cast<int>(noise >> 24) - 128;  // -128 to 127
    if (flip) {
      put16(out, i % 2 ? 1000 : 0);
      put16(out, i % 2 ? -1000 : 0);
      continue;
    }
    double t = static_cast<double>(i) / kRate;
    if (std::fmod(t, 10.0) >= 9.4) {
      // A pause: digital silence, or hiss of at most 32.
      put16(out, hiss ? jitter / 4 : 0);
      put16(out, hiss ? -jitter / 4 : 0);
      continue;
    }
    // Syllables at about 4 Hz over a voiced tone with some breath noise.
    double envelope = std::fabs(std::sin(kPi * 4.3 * t + std::sin(t)));
    double voice = std::sin(2 * kPi * 140 * t) +
                   0.5 * std::sin(2 * kPi * 280 * t) +
                   0.25 * std::sin(2 * kPi * 420 * t);
    double left = envelope * (6000 * voice + 8 * jitter);
    put16(out, static_cast<int>(left));
    put16(out, static_cast<int>(left * 0.8) + jitter / 16);
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_wave talk|hiss|flip SECONDS FILE\n");
    return 2;
  }
  bool hiss = std::strcmp(argv[1], "hiss") == 0;
  bool flip = std::strcmp(argv[1], "flip") == 0;
  long seconds = std::atol(argv[2]);
  std::vector<std::uint8_t> block = minute(hiss, flip);
  std::uint64_t data = static_cast<std::uint64_t>(seconds) * kRate * 4;
  if (seconds <= 0 || data > 0xFFFFFFF0u) return 2;
  std::FILE* f = std::fopen(argv[3], "wb");
  if (!f) return 1;
  std::vector<std::uint8_t> h = header(static_cast<std::uint32_t>(data));
  std::fwrite(h.data(), 1, h.size(), f);
  for (std::uint64_t left = data; left > 0;) {
    std::size_t n =
        left < block.size() ? static_cast<std::size_t>(left) : block.size();
    std::fwrite(block.data(), 1, n, f);
    left -= n;
  }
  return std::fclose(f) == 0 ? 0 : 1;
}
