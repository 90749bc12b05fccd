#include "probe/report.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "cli/messages.h"

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

std::wstring format_table(const LadderTotals& totals) {
  std::uint64_t most =
      *std::max_element(totals.points.begin(), totals.points.end());
  std::wstring text = msg::kProbeTableHeader;
  for (std::size_t k = 0; k < kRungs; ++k) {
    std::uint64_t count = totals.points[k];
    text += printf_text(L"%6d", kLadder[k]);
    text += format_dbfs(kLadder[k]);
    std::wstring points = std::to_wstring(count);
    text.append(10 - std::min<std::size_t>(points.size(), 10), L' ');
    text += points;
    text += printf_text(L"%12.3f", totals.seconds[k]);
    text += msg::kSeconds;
    if (count > 0) {
      // Any point at all shows at least one mark.
      std::uint64_t width = (count * kBarWidth + most - 1) / most;
      text += L"  ";
      text.append(static_cast<std::size_t>(width), L'#');
    }
    text += L'\n';
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

}  // namespace hushmark
