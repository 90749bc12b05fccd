#include <clocale>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cli/echo.h"
#include "cli/messages.h"
#include "cli/options.h"
#include "cli/settings.h"
#include "extract/recording.h"
#include "extract/scan_state.h"
#include "platform/console.h"
#include "platform/paths.h"
#include "probe/ladder_scan.h"
#include "probe/report.h"

namespace hushmark {
namespace {

// Scans every input in order as one recording into totals. False after a
// failure; data_ended_early tells when that was a WAVE file's data ending
// early, whose message waits until the tables are out.
bool probe_inputs(std::span<const std::wstring> inputs,
                  const Settings& settings,
                  std::optional<std::int32_t> given_threshold,
                  LadderTotals& totals, bool& data_ended_early,
                  platform::Console& console) {
  LadderRun run;
  std::uint32_t rate = 0;
  bool ok = true;
  for (const std::wstring& path : inputs) {
    Source source;
    if (!open_source(path, rate, source, console)) return false;
    if (rate == 0) rate = source.nAvgBytesPerSec / kFrameBytes;
    bool first_chunk = true;
    FrameSink sink{[&](std::uint32_t byte_rate) {
                     // A WAVE file's later data chunks are scanned apart, as
                     // hushmark scans them; the next file goes on with the
                     // recording.
                     if (!first_chunk || run.nAvgBytesPerSec != byte_rate) {
                       add_ladder_run(run, given_threshold, totals);
                       begin_ladder_run(run, byte_rate, settings.min_silence_ms,
                                        given_threshold);
                     }
                     first_chunk = false;
                   },
                   [&](std::span<const std::uint8_t> block) {
                     scan_ladder_block(run, block);
                   },
                   [&] { data_ended_early = true; }};
    ok = read_source(source, sink, console);
    if (!ok) break;
  }
  // The tables show what was read, as hushmark writes the points it found.
  add_ladder_run(run, given_threshold, totals);
  return ok;
}

}  // namespace
}  // namespace hushmark

int main(int argc, char** argv) {
  using namespace hushmark;
  // The locale decides how path arguments are read and how text is shown.
  std::setlocale(LC_ALL, "");
  platform::Console console(stdout);
  Settings settings;
  platform::Arguments args(argc, argv);
  const CommandLine line{"i:m:s:h", msg::kProbeUsage};
  // The threshold's default, 0, is a threshold too; only -s picks one.
  bool threshold_given = false;
  std::vector<std::wstring> inputs;
  auto own = [&](int option, const char* argument) {
    if (option == 's') threshold_given = true;
    if (option == kOperand) return read_operand(argument, inputs, console);
    return true;
  };
  if (!parse_options(args.count(), args.values(), settings, console, line,
                     own)) {
    return 1;
  }
  take_inputs(settings, inputs);
  if (!validate_settings(settings, console)) return 1;
  echo_probe_settings(settings, threshold_given, console);
  echo_more_inputs(inputs, console);
  std::optional<std::int32_t> given_threshold;
  if (threshold_given) given_threshold = settings.threshold;
  LadderTotals totals;
  bool data_ended_early = false;
  // Other failures stop with their message alone, as hushmark does.
  if (!probe_inputs(inputs, settings, given_threshold, totals, data_ended_early,
                    console) &&
      !data_ended_early) {
    return 1;
  }
  const Suggestion suggestion = suggest_threshold(totals.points);
  console.write(format_table(totals));
  console.write(format_suggestion(totals, suggestion));
  console.write(format_min_report(totals, suggestion, given_threshold));
  if (data_ended_early) {
    console.write(msg::kReadFailed);
    return 1;
  }
  return 0;
}
