#include "probe/report.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "extract/messages.h"
#include "probe/messages.h"

namespace hushmark {
namespace {

constexpr std::uint64_t kBarWidth = 40;

std::wstring printf_text(const wchar_t* format, auto... values) {
  wchar_t text[96];
  // The locale gives the decimal separator, as in hushmark's lengths.
  std::swprintf(text, std::size(text), format, values...);
  return text;
}

std::wstring format_dbfs(std::int32_t threshold) {
  if (threshold == 0) return L"    -inf";
  return printf_text(L"%8.1f", 20 * std::log10(threshold / 32768.0));
}

// The end of a row: the points, the total length of their silences and a bar
// whose longest length stands for `most` points.
std::wstring format_counts(std::uint64_t count, double seconds,
                           std::uint64_t most) {
  std::wstring points = std::to_wstring(count);
  std::wstring text(10 - std::min<std::size_t>(points.size(), 10), L' ');
  text += points;
  text += printf_text(L"%12.3f", seconds);
  text += msg::kSeconds;
  if (count > 0) {
    // Any point at all shows at least one mark.
    std::uint64_t width = (count * kBarWidth + most - 1) / most;
    text += L"  ";
    text.append(static_cast<std::size_t>(width), L'#');
  }
  text += L'\n';
  return text;
}

std::wstring format_min_table(std::int32_t threshold,
                              const MinSilenceTotals& totals) {
  std::uint64_t most =
      *std::max_element(totals.points.begin(), totals.points.end());
  std::wstring text = msg::kProbeMinTitle;
  text += std::to_wstring(threshold);
  text += L")\n";
  text += msg::kProbeMinTableHeader;
  for (std::size_t row = 0; row < kMinRows; ++row) {
    text += printf_text(L"%6d", kMinLadder[row]);
    text += format_counts(totals.points[row], totals.seconds[row], most);
  }
  return text;
}

std::wstring format_min_suggestion(std::int32_t threshold,
                                   const MinSilenceTotals& totals) {
  int row = suggest_min_silence(totals.points);
  if (row < 0) return msg::kProbeMinNoSuggestion;
  std::wstring text = msg::kProbeMinSuggestion;
  text += std::to_wstring(kMinLadder[static_cast<std::size_t>(row)]);
  text += msg::kProbeMinSuggestionPoints;
  text += std::to_wstring(threshold);
  text += msg::kProbeMinSuggestionCount;
  text += std::to_wstring(totals.points[static_cast<std::size_t>(row)]);
  text += msg::kProbeSuggestionEnd;
  return text;
}

}  // namespace

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

std::wstring format_table(const LadderTotals& totals) {
  std::uint64_t most =
      *std::max_element(totals.points.begin(), totals.points.end());
  std::wstring text = msg::kProbeTableHeader;
  for (std::size_t k = 0; k < kRungs; ++k) {
    text += printf_text(L"%6d", kLadder[k]);
    text += format_dbfs(kLadder[k]);
    text += format_counts(totals.points[k], totals.seconds[k], most);
  }
  return text;
}

std::wstring format_suggestion(const LadderTotals& totals,
                               const Suggestion& suggestion) {
  if (suggestion.rung < 0) return msg::kProbeNoSuggestion;
  auto rung = static_cast<std::size_t>(suggestion.rung);
  std::wstring text = msg::kProbeSuggestion;
  text += std::to_wstring(kLadder[rung]);
  text += msg::kProbeSuggestionPoints;
  text += std::to_wstring(totals.points[rung]);
  text += msg::kProbeSuggestionEnd;
  if (suggestion.splitting >= 0) {
    auto low = static_cast<std::size_t>(suggestion.splitting);
    text += msg::kProbeSplitting;
    text += std::to_wstring(kLadder[low]);
    text += msg::kProbeSplittingPoints;
    text += std::to_wstring(totals.points[low]);
    text += msg::kProbeSplittingEnd;
  }
  return text;
}

std::wstring format_min_report(const LadderTotals& totals,
                               const Suggestion& suggestion,
                               std::optional<std::int32_t> given_threshold) {
  std::int32_t threshold;
  const MinSilenceTotals* chosen;
  if (given_threshold) {
    threshold = *given_threshold;
    chosen = &totals.given;
  } else if (suggestion.rung >= 0) {
    auto rung = static_cast<std::size_t>(suggestion.rung);
    threshold = kLadder[rung];
    chosen = &totals.by_min[rung];
  } else {
    return msg::kProbeNoMinTable;
  }
  return format_min_table(threshold, *chosen) +
         format_min_suggestion(threshold, *chosen) + msg::kProbeExactCount;
}

}  // namespace hushmark
