#include "extract/fast_scan.h"

#include <algorithm>
#include <bit>
#include <cstddef>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define HUSHMARK_X86_KERNELS 1
// GCC keeps no 32-byte stack alignment on Windows, so a spilled 256-bit
// register could fault there; SSE2 is enough for that build.
#if !defined(_WIN32)
#define HUSHMARK_AVX2_KERNEL 1
#endif
#endif

namespace hushmark {
namespace {

constexpr std::size_t kTileBytes = kTileFrames * kFrameBytes;
// Enough tiles per kernel call to hide the call, few enough to stay in L1.
constexpr std::size_t kBatchTiles = 128;

// A sample s is quiet when uint16(s + offset) <= span. With offset t and
// span 2t this maps [-t, t] onto [0, 2t] and everything else above 2t, so
// 16-bit lanes suffice and -32768 needs no widening.
struct QuietRange {
  std::uint16_t offset;
  std::uint16_t span;
};

// For a threshold of at least 0; negative ones make every frame loud.
QuietRange quiet_range(std::int32_t threshold) {
  if (threshold >= 32768) return {0, 0xFFFF};
  auto t = static_cast<std::uint16_t>(threshold);
  return {t, static_cast<std::uint16_t>(2 * t)};
}

bool sample_quiet(const std::uint8_t* p, QuietRange range) {
  auto s = static_cast<std::uint16_t>(p[0] | p[1] << 8);
  return static_cast<std::uint16_t>(s + range.offset) <= range.span;
}

// Bit i set when frame i of the first `frames` (at most 64) is quiet.
std::uint64_t quiet_bits(const std::uint8_t* p, std::size_t frames,
                         QuietRange range) {
  std::uint64_t mask = 0;
  for (std::size_t i = 0; i < frames; ++i, p += kFrameBytes) {
    bool quiet = sample_quiet(p, range) && sample_quiet(p + 2, range);
    mask |= std::uint64_t{quiet} << i;
  }
  return mask;
}

void classify_plain(const std::uint8_t* p, std::size_t tiles,
                    std::int32_t threshold, std::uint64_t* masks) {
  const QuietRange range = quiet_range(threshold);
  for (std::size_t t = 0; t < tiles; ++t, p += kTileBytes) {
    masks[t] = quiet_bits(p, kTileFrames, range);
  }
}

#ifdef HUSHMARK_X86_KERNELS
// Four frames, each 32-bit lane all ones when its frame is quiet.
__m128i quiet_lanes_sse2(const std::uint8_t* p, __m128i offset, __m128i span) {
  __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  __m128i over = _mm_subs_epu16(_mm_add_epi16(v, offset), span);
  return _mm_cmpeq_epi32(over, _mm_setzero_si128());
}

void classify_sse2(const std::uint8_t* p, std::size_t tiles,
                   std::int32_t threshold, std::uint64_t* masks) {
  const QuietRange range = quiet_range(threshold);
  const __m128i offset = _mm_set1_epi16(static_cast<short>(range.offset));
  const __m128i span = _mm_set1_epi16(static_cast<short>(range.span));
  for (std::size_t t = 0; t < tiles; ++t, p += kTileBytes) {
    std::uint64_t mask = 0;
    for (int g = 0; g < 4; ++g) {
      const std::uint8_t* q = p + g * 64;
      __m128i a = _mm_packs_epi32(quiet_lanes_sse2(q, offset, span),
                                  quiet_lanes_sse2(q + 16, offset, span));
      __m128i b = _mm_packs_epi32(quiet_lanes_sse2(q + 32, offset, span),
                                  quiet_lanes_sse2(q + 48, offset, span));
      auto bits =
          static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(a, b)));
      mask |= std::uint64_t{bits & 0xFFFF} << (16 * g);
    }
    masks[t] = mask;
  }
}
#endif

#ifdef HUSHMARK_AVX2_KERNEL
// Eight frames, each 32-bit lane all ones when its frame is quiet.
__attribute__((target("avx2"))) __m256i quiet_lanes_avx2(const std::uint8_t* p,
                                                         __m256i offset,
                                                         __m256i span) {
  __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  __m256i over = _mm256_subs_epu16(_mm256_add_epi16(v, offset), span);
  return _mm256_cmpeq_epi32(over, _mm256_setzero_si256());
}

__attribute__((target("avx2"))) void classify_avx2(const std::uint8_t* p,
                                                   std::size_t tiles,
                                                   std::int32_t threshold,
                                                   std::uint64_t* masks) {
  const QuietRange range = quiet_range(threshold);
  const __m256i offset = _mm256_set1_epi16(static_cast<short>(range.offset));
  const __m256i span = _mm256_set1_epi16(static_cast<short>(range.span));
  // The packs work within 128-bit halves; this puts groups of four frames
  // back in file order.
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  for (std::size_t t = 0; t < tiles; ++t, p += kTileBytes) {
    std::uint64_t mask = 0;
    for (int h = 0; h < 2; ++h) {
      const std::uint8_t* q = p + h * 128;
      __m256i a = _mm256_packs_epi32(quiet_lanes_avx2(q, offset, span),
                                     quiet_lanes_avx2(q + 32, offset, span));
      __m256i b = _mm256_packs_epi32(quiet_lanes_avx2(q + 64, offset, span),
                                     quiet_lanes_avx2(q + 96, offset, span));
      __m256i bytes =
          _mm256_permutevar8x32_epi32(_mm256_packs_epi16(a, b), order);
      auto bits = static_cast<std::uint32_t>(_mm256_movemask_epi8(bytes));
      mask |= std::uint64_t{bits} << (32 * h);
    }
    masks[t] = mask;
  }
}
#endif

void peaks_plain(const std::uint8_t* p, std::size_t tiles,
                 std::uint32_t* peaks) {
  for (std::size_t t = 0; t < tiles; ++t, p += kTileBytes) {
    peaks[t] = peak_magnitude(p, kTileFrames);
  }
}

#ifdef HUSHMARK_X86_KERNELS
void peaks_sse2(const std::uint8_t* p, std::size_t tiles,
                std::uint32_t* peaks) {
  for (std::size_t t = 0; t < tiles; ++t, p += kTileBytes) {
    __m128i hi = _mm_set1_epi16(-32768), lo = _mm_set1_epi16(32767);
    for (std::size_t at = 0; at < kTileBytes; at += 16) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
      hi = _mm_max_epi16(hi, v);
      lo = _mm_min_epi16(lo, v);
    }
    alignas(16) std::int16_t his[8], los[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(his), hi);
    _mm_store_si128(reinterpret_cast<__m128i*>(los), lo);
    std::int32_t top = *std::max_element(his, his + 8);
    std::int32_t bottom = *std::min_element(los, los + 8);
    peaks[t] = static_cast<std::uint32_t>(std::max(top, -bottom));
  }
}
#endif

#ifdef HUSHMARK_AVX2_KERNEL
__attribute__((target("avx2"))) void peaks_avx2(const std::uint8_t* p,
                                                std::size_t tiles,
                                                std::uint32_t* peaks) {
  for (std::size_t t = 0; t < tiles; ++t, p += kTileBytes) {
    __m256i hi = _mm256_set1_epi16(-32768), lo = _mm256_set1_epi16(32767);
    for (std::size_t at = 0; at < kTileBytes; at += 32) {
      __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + at));
      hi = _mm256_max_epi16(hi, v);
      lo = _mm256_min_epi16(lo, v);
    }
    __m128i h = _mm_max_epi16(_mm256_castsi256_si128(hi),
                              _mm256_extracti128_si256(hi, 1));
    __m128i l = _mm_min_epi16(_mm256_castsi256_si128(lo),
                              _mm256_extracti128_si256(lo, 1));
    alignas(16) std::int16_t his[8], los[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(his), h);
    _mm_store_si128(reinterpret_cast<__m128i*>(los), l);
    std::int32_t top = *std::max_element(his, his + 8);
    std::int32_t bottom = *std::min_element(los, los + 8);
    peaks[t] = static_cast<std::uint32_t>(std::max(top, -bottom));
  }
}
#endif

void masks_plain(const std::uint8_t* p, const std::int32_t* thresholds,
                 std::size_t count, std::uint64_t* masks) {
  for (std::size_t k = 0; k < count; ++k) {
    masks[k] = quiet_bits(p, kTileFrames, quiet_range(thresholds[k]));
  }
}

#ifdef HUSHMARK_X86_KERNELS
void masks_sse2(const std::uint8_t* p, const std::int32_t* thresholds,
                std::size_t count, std::uint64_t* masks) {
  for (std::size_t k = 0; k < count; ++k) {
    classify_sse2(p, 1, thresholds[k], masks + k);
  }
}
#endif

#ifdef HUSHMARK_AVX2_KERNEL
// The magnitudes of a tile's frames, the larger of each frame's two (0 to
// 32768), in file order: 16 frames in each of the four registers.
__attribute__((target("avx2"))) void tile_magnitudes_avx2(const std::uint8_t* p,
                                                          __m256i* mags) {
  const __m256i low = _mm256_set1_epi32(0xFFFF);
  for (int q = 0; q < 4; ++q) {
    __m256i frames[2];
    for (int h = 0; h < 2; ++h) {
      // |-32768| is 0x8000, which reads right as unsigned.
      __m256i a = _mm256_abs_epi16(_mm256_loadu_si256(
          reinterpret_cast<const __m256i*>(p + 64 * q + 32 * h)));
      frames[h] =
          _mm256_and_si256(_mm256_max_epu16(a, _mm256_srli_epi32(a, 16)), low);
    }
    // The pack works within 128-bit halves; the permute restores the order.
    mags[q] = _mm256_permute4x64_epi64(
        _mm256_packus_epi32(frames[0], frames[1]), 0xD8);
  }
}

__attribute__((target("avx2"))) void masks_avx2(const std::uint8_t* p,
                                                const std::int32_t* thresholds,
                                                std::size_t count,
                                                std::uint64_t* masks) {
  __m256i mags[4];
  tile_magnitudes_avx2(p, mags);
  for (std::size_t k = 0; k < count; ++k) {
    const __m256i t = _mm256_set1_epi16(static_cast<short>(thresholds[k]));
    std::uint64_t mask = 0;
    for (int h = 0; h < 2; ++h) {
      const __m256i a =
          _mm256_cmpeq_epi16(_mm256_min_epu16(mags[2 * h], t), mags[2 * h]);
      const __m256i b = _mm256_cmpeq_epi16(_mm256_min_epu16(mags[2 * h + 1], t),
                                           mags[2 * h + 1]);
      const __m256i bytes =
          _mm256_permute4x64_epi64(_mm256_packs_epi16(a, b), 0xD8);
      const auto bits = static_cast<std::uint32_t>(_mm256_movemask_epi8(bytes));
      mask |= std::uint64_t{bits} << (32 * h);
    }
    masks[k] = mask;
  }
}
#endif

// The bits above bit i (i < 64).
std::uint64_t bits_above(int i) {
  return ~((std::uint64_t{2} << i) - 1);
}

// Ends the open run at frame `at`, which is loud.
void close_run(std::uint32_t at, const ScanParams& params, ScanState& state,
               std::vector<ChapterPoint>& points) {
  state.index = at;
  std::uint32_t length = at - state.silence_start;
  if (length >= params.min_frames) {
    points.push_back({cut_frame(params, state, length), length});
  }
  state.silence_start = 0;
}

// Follows every transition in a tile whose bit 0 is frame `base`.
void walk_each(std::uint64_t quiet, std::uint64_t loud, std::uint32_t base,
               const ScanParams& params, ScanState& state,
               std::vector<ChapterPoint>& points) {
  for (;;) {
    if (state.silence_start == 0) {
      if (quiet == 0) return;
      int i = std::countr_zero(quiet);
      state.silence_start = base + static_cast<std::uint32_t>(i);
      quiet &= bits_above(i);
      loud &= bits_above(i);
    } else {
      if (loud == 0) return;
      int i = std::countr_zero(loud);
      close_run(base + static_cast<std::uint32_t>(i), params, state, points);
      quiet &= bits_above(i);
      loud &= bits_above(i);
    }
  }
}

// For min_frames of at least a tile: a run that starts and ends inside this
// tile is too short to count, so only the run open on entry and the run
// open on exit matter, however many transitions lie between.
void walk_ends(std::uint64_t quiet, std::uint64_t loud, std::uint32_t base,
               std::size_t frames, const ScanParams& params, ScanState& state,
               std::vector<ChapterPoint>& points) {
  if (state.silence_start != 0) {
    int i = std::countr_zero(loud);  // loud != 0, or the tile was skipped
    close_run(base + static_cast<std::uint32_t>(i), params, state, points);
    quiet &= bits_above(i);
    loud &= bits_above(i);
  }
  if ((quiet >> (frames - 1) & 1) == 0) return;
  // The run open on exit starts just after the last loud frame.
  int first = loud != 0 ? std::bit_width(loud) : std::countr_zero(quiet);
  state.silence_start = base + static_cast<std::uint32_t>(first);
}

}  // namespace

bool tile_kernel_available(TileKernel kernel) {
  switch (kernel) {
  case TileKernel::kPlain:
    return true;
  case TileKernel::kSse2:
#ifdef HUSHMARK_X86_KERNELS
    return true;
#else
    return false;
#endif
  case TileKernel::kAvx2:
#ifdef HUSHMARK_AVX2_KERNEL
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
  }
  return false;
}

void walk_tile(std::uint64_t quiet, std::size_t frames,
               const ScanParams& params, ScanState& state,
               std::vector<ChapterPoint>& points) {
  std::uint64_t valid = frames == kTileFrames
                            ? ~std::uint64_t{0}
                            : (std::uint64_t{1} << frames) - 1;
  quiet &= valid;
  std::uint64_t loud = ~quiet & valid;
  std::uint32_t base = state.index + 1;
  // Nothing to do when the tile cannot change the state.
  bool open = state.silence_start != 0;
  if ((open ? loud : quiet) != 0) {
    if (params.min_frames >= kTileFrames) {
      walk_ends(quiet, loud, base, frames, params, state, points);
    } else {
      walk_each(quiet, loud, base, params, state, points);
    }
  }
  state.index = base + static_cast<std::uint32_t>(frames) - 1;
}

TileClassifier tile_classifier(TileKernel kernel) {
  if (!tile_kernel_available(kernel)) return classify_plain;
  switch (kernel) {
#ifdef HUSHMARK_X86_KERNELS
  case TileKernel::kSse2:
    return classify_sse2;
#endif
#ifdef HUSHMARK_AVX2_KERNEL
  case TileKernel::kAvx2:
    return classify_avx2;
#endif
  default:
    return classify_plain;
  }
}

TileMasker tile_masker(TileKernel kernel) {
  if (!tile_kernel_available(kernel)) return masks_plain;
  switch (kernel) {
#ifdef HUSHMARK_X86_KERNELS
  case TileKernel::kSse2:
    return masks_sse2;
#endif
#ifdef HUSHMARK_AVX2_KERNEL
  case TileKernel::kAvx2:
    return masks_avx2;
#endif
  default:
    return masks_plain;
  }
}

void tile_peaks(const std::uint8_t* p, std::size_t tiles, std::uint32_t* peaks,
                TileKernel kernel) {
  if (!tile_kernel_available(kernel)) kernel = TileKernel::kPlain;
  switch (kernel) {
#ifdef HUSHMARK_X86_KERNELS
  case TileKernel::kSse2:
    return peaks_sse2(p, tiles, peaks);
#endif
#ifdef HUSHMARK_AVX2_KERNEL
  case TileKernel::kAvx2:
    return peaks_avx2(p, tiles, peaks);
#endif
  default:
    return peaks_plain(p, tiles, peaks);
  }
}

std::uint64_t quiet_mask(const std::uint8_t* p, std::size_t frames,
                         std::int32_t threshold) {
  return threshold < 0 ? 0 : quiet_bits(p, frames, quiet_range(threshold));
}

std::uint32_t peak_magnitude(const std::uint8_t* p, std::size_t frames) {
  std::int32_t peak = 0;
  for (std::size_t i = 0; i < 2 * frames; ++i, p += 2) {
    auto s =
        static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | p[1] << 8));
    peak = std::max(peak, s < 0 ? -std::int32_t{s} : std::int32_t{s});
  }
  return static_cast<std::uint32_t>(peak);
}

TileKernel best_tile_kernel() {
  static const TileKernel best = [] {
    for (TileKernel k : {TileKernel::kAvx2, TileKernel::kSse2}) {
      if (tile_kernel_available(k)) return k;
    }
    return TileKernel::kPlain;
  }();
  return best;
}

void scan_frames_fast(std::span<const std::uint8_t> bytes,
                      const ScanParams& params, ScanState& state,
                      std::vector<ChapterPoint>& points, TileKernel kernel) {
  const bool all_loud = params.threshold < 0;
  const TileClassifier classify = tile_classifier(kernel);
  const std::uint8_t* p = bytes.data();
  std::size_t frames = bytes.size() / kFrameBytes;
  std::uint64_t masks[kBatchTiles];
  while (frames >= kTileFrames) {
    std::size_t tiles = std::min(frames / kTileFrames, kBatchTiles);
    if (all_loud) {
      std::fill_n(masks, tiles, 0);
    } else {
      classify(p, tiles, params.threshold, masks);
    }
    for (std::size_t t = 0; t < tiles; ++t) {
      walk_tile(masks[t], kTileFrames, params, state, points);
    }
    p += tiles * kTileBytes;
    frames -= tiles * kTileFrames;
  }
  if (frames > 0) {
    std::uint64_t quiet = quiet_mask(p, frames, params.threshold);
    walk_tile(quiet, frames, params, state, points);
  }
}

}  // namespace hushmark
