#include <optional>

#include "cli/echo.h"
#include "cli/settings.h"
#include "cli/startup.h"
#include "extract/messages.h"
#include "extract/wave_reader.h"
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
  if (!read_probe_options(program.args.count(), program.args.values(), settings,
                          given_threshold, console)) {
    return 1;
  }
  echo_probe_settings(settings, given_threshold.has_value(), console);
  platform::InputFile input;
  if (!open_input(settings, input, console)) return 1;
  LadderTotals totals;
  bool data_ended_early = false;
  auto scan = [&](ByteReader& in, std::uint32_t frame_count,
                  bool ends_with_input, std::uint32_t nAvgBytesPerSec) {
    data_ended_early =
        !scan_ladder_chunk(in, frame_count, ends_with_input, nAvgBytesPerSec,
                           settings.min_silence_ms, given_threshold, totals);
    return !data_ended_early;
  };
  // Other failures stop with their message alone, as hushmark does.
  ByteReader in(input);
  if (!walk_wave(in, scan, console) && !data_ended_early) return 1;
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
