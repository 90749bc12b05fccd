// The silence scan alone over frames in memory: the fast scan with each
// kernel against the plain reference, in frames per second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "extract/fast_scan.h"
#include "extract/silence_scan.h"

namespace hushmark {
namespace {

constexpr std::size_t kFrames = 1 << 20;  // 4 MiB, about 24 s at 44.1 kHz
constexpr std::size_t kBlockBytes = 512 * 1024;  // as the reader hands them

void put_frame(std::vector<std::uint8_t>& out, int left, int right) {
  for (int v : {left, right}) {
    auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
    out.push_back(static_cast<std::uint8_t>(u & 0xFF));
    out.push_back(static_cast<std::uint8_t>(u >> 8));
  }
}

// Speech-like tone with 0.6 s of digital silence every 10 s, or (flip) a
// quiet and a loud frame in turn.
const std::vector<std::uint8_t>& frames(bool flip) {
  static const auto make = [](bool alternate) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < kFrames; ++i) {
      double t = static_cast<double>(i) / 44100;
      if (alternate) {
        put_frame(out, i % 2 ? 1000 : 0, i % 2 ? -1000 : 0);
      } else if (std::fmod(t, 10.0) >= 9.4) {
        put_frame(out, 0, 0);
      } else {
        double v = 6000 * std::fabs(std::sin(13.5 * t)) * std::sin(880 * t);
        put_frame(out, static_cast<int>(v), static_cast<int>(v * 0.8));
      }
    }
    return out;
  };
  static const std::vector<std::uint8_t> talk = make(false), alt = make(true);
  return flip ? alt : talk;
}

template <typename Scan>
void run(benchmark::State& bench, bool flip, Scan scan) {
  const std::vector<std::uint8_t>& bytes = frames(flip);
  const ScanParams params{0, 8820,
                          CutPosition::kStart};  // -s 0 -m 200 at 44.1 kHz
  std::vector<ChapterPoint> points;
  for (auto _ : bench) {
    ScanState state;
    points.clear();
    for (std::size_t at = 0; at < bytes.size(); at += kBlockBytes) {
      std::span<const std::uint8_t> all(bytes);
      scan(all.subspan(at, std::min(kBlockBytes, bytes.size() - at)), params,
           state, points);
    }
    benchmark::DoNotOptimize(points.data());
  }
  bench.counters["frames/s"] = benchmark::Counter(
      static_cast<double>(kFrames) * static_cast<double>(bench.iterations()),
      benchmark::Counter::kIsRate);
}

void BM_Reference(benchmark::State& bench) {
  run(bench, bench.range(0) != 0, scan_frames);
}

void BM_Fast(benchmark::State& bench) {
  auto kernel = static_cast<TileKernel>(bench.range(1));
  if (!tile_kernel_available(kernel)) {
    bench.SkipWithError("kernel not available here");
    return;
  }
  run(bench, bench.range(0) != 0,
      [kernel](std::span<const std::uint8_t> b, const ScanParams& p,
               ScanState& s, std::vector<ChapterPoint>& out) {
        scan_frames_fast(b, p, s, out, kernel);
      });
}

// Argument 0: talk (0) or a transition on every frame (1).
// Argument 1: kernel, 0 plain, 1 SSE2, 2 AVX2.
BENCHMARK(BM_Reference)->ArgName("flip")->Arg(0)->Arg(1);
BENCHMARK(BM_Fast)
    ->ArgNames({"flip", "kernel"})
    ->ArgsProduct({{0, 1}, {0, 1, 2}});

}  // namespace
}  // namespace hushmark
