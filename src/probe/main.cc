#include <clocale>
#include <cstdio>

#include "cli/echo.h"
#include "cli/messages.h"
#include "cli/options.h"
#include "cli/settings.h"
#include "extract/wave_reader.h"
#include "platform/console.h"
#include "platform/paths.h"
#include "probe/ladder_scan.h"
#include "probe/report.h"

int main(int argc, char** argv) {
  using namespace hushmark;
  // The locale decides how path arguments are read and how text is shown.
  std::setlocale(LC_ALL, "");
  platform::Console console(stdout);
  Settings settings;
  platform::Arguments args(argc, argv);
  const CommandLine line{"i:m:h", msg::kProbeUsage};
  if (!parse_options(args.count(), args.values(), settings, console, line)) {
    return 1;
  }
  if (!validate_settings(settings, console)) return 1;
  echo_probe_settings(settings, console);
  platform::InputFile input;
  if (!open_input(settings, input, console)) return 1;
  LadderTotals totals;
  bool data_ended_early = false;
  auto scan = [&](ByteReader& in, std::uint32_t frame_count,
                  bool ends_with_input, std::uint32_t nAvgBytesPerSec) {
    data_ended_early =
        !scan_ladder_chunk(in, frame_count, ends_with_input, nAvgBytesPerSec,
                           settings.min_silence_ms, std::nullopt, totals);
    return !data_ended_early;
  };
  // Other failures stop with their message alone, as hushmark does.
  ByteReader in(input);
  if (!walk_wave(in, scan, console) && !data_ended_early) return 1;
  console.write(format_table(totals));
  console.write(format_suggestion(totals, suggest_threshold(totals.points)));
  if (data_ended_early) {
    // The table shows what was read, as hushmark writes the points it found.
    console.write(msg::kReadFailed);
    return 1;
  }
  return 0;
}
