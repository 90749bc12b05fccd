#include <optional>
#include <string>
#include <vector>

#include "cli/core_words.h"
#include "cli/echo.h"
#include "cli/settings.h"
#include "cli/startup.h"
#include "extract/progress.h"
#include "extract/recording_scan.h"
#include "platform/console.h"
#include "probe/messages.h"
#include "probe/probe_options.h"
#include "probe/report.h"

int main(int argc, char** argv) {
  using namespace hushmark;
  Program program = start_program(argc, argv);
  platform::Console& console = program.console;
  Settings settings;
  std::vector<std::wstring> inputs;
  const OptionsOutcome read = read_probe_options(
      program.args.count(), program.args.values(), settings, inputs, console);
  if (read != OptionsOutcome::kRun) return exit_status(read);
  // -s's threshold, where it was given, as 0 is a threshold too.
  const std::optional<std::int32_t> given_threshold =
      settings.threshold_given ? std::optional(settings.threshold)
                               : std::nullopt;
  echo_probe_settings(settings, console);
  echo_more_inputs(inputs, console);
  ScanPlan plan;
  plan.ladder = true;
  plan.threshold = given_threshold;
  plan.min_silence_ms = settings.min_silence_ms;
  // The silences tell which pauses a heading follows, as for
  // hushmark-chapters.
  plan.keep = true;
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
  if (!held && !succeeded(error, console)) return 1;
  if (runs.data_chunks > 1) {
    console.write(msg::kProbeLaterData + std::to_wstring(runs.data_chunks) +
                  msg::kProbeLaterDataEnd);
  }
  const ThresholdChoice suggestion = choose_threshold(runs);
  console.write(format_table(runs));
  console.write(format_suggestion(runs, suggestion));
  console.write(format_min_report(runs, suggestion, given_threshold));
  return succeeded(error, console) ? 0 : 1;
}
