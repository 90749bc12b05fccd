#include <optional>
#include <string>
#include <vector>

#include "cli/echo.h"
#include "cli/settings.h"
#include "cli/startup.h"
#include "extract/messages.h"
#include "platform/console.h"
#include "probe/ladder_scan.h"
#include "probe/messages.h"
#include "probe/probe_options.h"
#include "probe/report.h"

int main(int argc, char** argv) {
  using namespace hushmark;
  Program program = start_program(argc, argv);
  platform::Console& console = program.console;
  Settings settings;
  std::optional<std::int32_t> given_threshold;
  std::vector<std::wstring> inputs;
  if (!read_probe_options(program.args.count(), program.args.values(), settings,
                          given_threshold, inputs, console)) {
    return 1;
  }
  echo_probe_settings(settings, given_threshold.has_value(), console);
  echo_more_inputs(inputs, console);
  LadderTotals totals;
  bool data_ended_early = false;
  // Other failures stop with their message alone, as hushmark does.
  if (!probe_recording(inputs, settings, given_threshold, totals,
                       data_ended_early, console) &&
      !data_ended_early) {
    return 1;
  }
  const Suggestion suggestion = suggest_threshold(totals.points);
  console.write(format_table(totals));
  console.write(format_suggestion(totals, suggestion));
  console.write(format_min_report(totals, suggestion, given_threshold));
  if (data_ended_early) {
    // The tables show what was read, as hushmark writes the points it found.
    console.write(msg::kReadFailed);
    return 1;
  }
  return 0;
}
