#include "probe/probe_options.h"

#include "cli/core_words.h"
#include "cli/options.h"
#include "extract/inputs.h"
#include "probe/messages.h"

namespace hushmark {

OptionsOutcome read_probe_options(int argc, char** argv, Settings& settings,
                                  std::vector<std::wstring>& inputs,
                                  platform::Console& console) {
  auto own = [&](int option, const char* argument) {
    if (option == kOperand) return read_operand(argument, inputs, console);
    read_auto(option, argument, settings);
    return true;
  };
  const CommandLine line{"i:m:s:h", msg::kProbeUsage, msg::kProbeVersion};
  const OptionsOutcome parsed =
      parse_options(argc, argv, settings, console, line, own);
  if (parsed != OptionsOutcome::kRun) return parsed;
  take_inputs(settings, inputs);
  if (!validate_settings(settings, console) ||
      !succeeded(expand_inputs(inputs, notices_to(console)), console)) {
    return OptionsOutcome::kExitFailure;
  }
  settings.infile = inputs.front();
  return OptionsOutcome::kRun;
}

}  // namespace hushmark
