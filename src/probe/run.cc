#include "probe/run.h"

#include <cstdint>
#include <optional>

#include "cli/core_words.h"
#include "extract/progress.h"
#include "extract/recording_scan.h"
#include "probe/messages.h"
#include "probe/report.h"

namespace hushmark {
namespace {

// -s's threshold, where it was given, as 0 is a threshold too.
std::optional<std::int32_t> given_threshold(const Settings& settings) {
  return settings.threshold_given ? std::optional(settings.threshold)
                                  : std::nullopt;
}

// The scan at every threshold of the ladder.
ScanPlan probe_plan(const Settings& settings) {
  ScanPlan plan;
  plan.ladder = true;
  plan.threshold = given_threshold(settings);
  plan.min_silence_ms = settings.min_silence_ms;
  // The silences tell which pauses a heading follows, as for
  // hushmark-chapters.
  plan.keep = true;
  return plan;
}

// The tables of what was read, in order.
void show_report(const Settings& settings, const RecordingRuns& runs,
                 platform::Console& console) {
  if (runs.data_chunks > 1) {
    console.write(msg::kProbeLaterData + std::to_wstring(runs.data_chunks) +
                  msg::kProbeLaterDataEnd);
  }
  const ThresholdChoice suggestion = choose_threshold(runs);
  console.write(format_table(runs));
  console.write(format_suggestion(runs, suggestion));
  console.write(format_min_report(runs, suggestion, given_threshold(settings)));
}

}  // namespace

bool run_probe(const Settings& settings, std::span<const std::wstring> inputs,
               platform::Console& console) {
  ScanPlan plan = probe_plan(settings);
  Progress progress;
  if (console.is_terminal()) {
    progress_start(progress, console, inputs);
    plan.progress = &progress;
  }
  RecordingRuns runs;
  const CoreError error =
      scan_recording(inputs, plan, runs, notices_to(console));
  progress_end(progress);
  // Data that ended early is told after the tables, which show what was
  // read, as hushmark writes the points it found; other failures stop with
  // their message alone, as hushmark does.
  const bool held = error && runs.data_ended_early;
  if (!held && !succeeded(error, console)) return false;
  show_report(settings, runs, console);
  return succeeded(error, console);
}

}  // namespace hushmark
