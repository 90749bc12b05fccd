#include "extract/choice.h"

#include <algorithm>

namespace hushmark {

Suggestion suggest_threshold(const std::array<std::uint64_t, kRungs>& points) {
  Suggestion out;
  for (std::size_t k = 0; k + 1 < kRungs; ++k) {
    std::uint64_t count = points[k], next = points[k + 1];
    if (count == 0) continue;
    bool flat = next == count;
    bool fell = k > 0 && points[k - 1] > count;
    bool settles =
        next >= count && next - count <= std::max<std::uint64_t>(1, count / 4);
    if (flat || (fell && settles)) {
      out.rung = static_cast<int>(k);
      break;
    }
  }
  if (out.rung < 0) return out;
  std::uint64_t most = points[static_cast<std::size_t>(out.rung)];
  for (int k = 0; k < out.rung; ++k) {
    if (points[static_cast<std::size_t>(k)] > most) {
      most = points[static_cast<std::size_t>(k)];
      out.splitting = k;
    }
  }
  return out;
}

int suggest_min_silence(const std::array<std::uint64_t, kMinRows>& points) {
  int chosen = -1;
  for (std::size_t low = 1; low < kMinRows; ++low) {
    // Shorter pauses end just below the row where the count has fallen.
    if (points[low] == 0 || points[low] == points[low - 1]) continue;
    std::size_t high = low;
    while (high + 1 < kMinRows && points[high + 1] == points[low])
      ++high;
    if (kMinLadder[high] < 2 * kMinLadder[low]) continue;
    // Chapter pauses are the longest, so a higher plateau wins even when a
    // lower one is wider: lossy coding narrows the gap above the longest
    // pause between sentences, and a gap among those pauses may then look
    // wider. A single pause alone yields to a lower plateau, as a stray long
    // pause makes no chapters.
    if (chosen < 0 || points[low] > 1) {
      chosen = static_cast<int>((low + high + 1) / 2);
    }
  }
  return chosen;
}

}  // namespace hushmark
