#include "probe/report.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "cli/messages.h"
#include "extract/silence_scan.h"
#include "extract/time_base.h"
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
                                   const RecordingRuns& runs,
                                   const RunTally& tally) {
  const PauseChoice choice = choose_pauses(runs, tally);
  if (runs.files.size() > 1 && runs.time_base.known()) {
    // A book in many files: its files may be its chapters, as
    // hushmark-chapters weighs them with no option.
    const std::optional<std::uint32_t> min_frames =
        choice.found
            ? std::optional(compute_min_frames(runs.time_base, choice.min_ms))
            : std::nullopt;
    if (choose_files(runs, unpack_silences(tally.kept), min_frames).chapters) {
      return msg::kProbeMinFiles;
    }
  }
  if (!choice.found) return msg::kProbeMinNoSuggestion;
  const std::uint32_t min_frames =
      compute_min_frames(runs.time_base, choice.min_ms);
  std::wstring text = msg::kProbeMinSuggestion;
  text += std::to_wstring(choice.min_ms);
  text += msg::kProbeMinSuggestionPoints;
  text += std::to_wstring(threshold);
  text += msg::kProbeMinSuggestionCount;
  text += std::to_wstring(points_from(tally, choice, min_frames));
  text += msg::kProbeSuggestionEnd;
  return text;
}

}  // namespace

MinSilenceTotals min_totals(const RunTally& tally, TimeBase time_base) {
  MinSilenceTotals totals;
  if (!time_base.known()) return totals;
  std::uint64_t runs = 0, frames = 0;
  for (std::size_t row = kMinRows; row-- > 0;) {
    runs += tally.bins.runs[row];
    frames += tally.bins.frames[row];
    totals.points[row] = runs;
    totals.seconds[row] = frames_seconds(frames, time_base);
  }
  return totals;
}

std::array<std::uint64_t, kRungs> rung_points(const RecordingRuns& runs) {
  std::array<std::uint64_t, kRungs> points{};
  for (std::size_t k = 0; k < kRungs && k < runs.tallies.size(); ++k) {
    points[k] = runs.tallies[k].points;
  }
  return points;
}

std::wstring format_table(const RecordingRuns& runs) {
  const std::array<std::uint64_t, kRungs> points = rung_points(runs);
  std::uint64_t most = *std::max_element(points.begin(), points.end());
  std::wstring text = msg::kProbeTableHeader;
  for (std::size_t k = 0; k < kRungs; ++k) {
    const double seconds =
        !runs.time_base.known()
            ? 0
            : frames_seconds(runs.tallies[k].point_frames, runs.time_base);
    text += printf_text(L"%6d", kLadder[k]);
    text += format_dbfs(kLadder[k]);
    text += format_counts(points[k], seconds, most);
  }
  return text;
}

std::wstring format_suggestion(const RecordingRuns& runs,
                               const ThresholdChoice& suggestion) {
  if (suggestion.rung < 0) return msg::kProbeNoSuggestion;
  auto rung = static_cast<std::size_t>(suggestion.rung);
  std::wstring text = msg::kProbeSuggestion;
  text += std::to_wstring(kLadder[rung]);
  text += msg::kProbeSuggestionPoints;
  text += std::to_wstring(runs.tallies[rung].points);
  text += msg::kProbeSuggestionEnd;
  if (!suggestion.unserved.empty()) {
    text += msg::kUnservedRegions;
    for (const FloorRegion& r : suggestion.unserved) {
      const std::string from = format_time(r.first * kLevelBlockMs);
      const std::string to = format_time((r.first + r.blocks) * kLevelBlockMs);
      text += L" " + std::wstring(from.begin(), from.end()) + msg::kUnservedTo +
              std::wstring(to.begin(), to.end());
    }
    text += L"\n";
  }
  if (suggestion.splitting >= 0) {
    auto low = static_cast<std::size_t>(suggestion.splitting);
    text += msg::kProbeSplitting;
    text += std::to_wstring(kLadder[low]);
    text += msg::kProbeSplittingPoints;
    text += std::to_wstring(runs.tallies[low].points);
    text += msg::kProbeSplittingEnd;
  }
  return text;
}

std::wstring format_min_report(const RecordingRuns& runs,
                               const ThresholdChoice& suggestion,
                               std::optional<std::int32_t> given_threshold) {
  std::int32_t threshold;
  if (given_threshold) {
    threshold = *given_threshold;
  } else if (suggestion.rung >= 0) {
    threshold = kLadder[static_cast<std::size_t>(suggestion.rung)];
  } else {
    return msg::kProbeNoMinTable;
  }
  const RunTally* tally = tally_at(runs, threshold);
  if (tally == nullptr) return msg::kProbeNoMinTable;
  return format_min_table(threshold, min_totals(*tally, runs.time_base)) +
         format_min_suggestion(threshold, runs, *tally) + msg::kProbeExactCount;
}

}  // namespace hushmark
