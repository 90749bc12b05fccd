#include "probe/probe_options.h"

#include "cli/options.h"
#include "probe/messages.h"

namespace hushmark {

bool read_probe_options(int argc, char** argv, Settings& settings,
                        std::optional<std::int32_t>& given_threshold,
                        std::vector<std::wstring>& inputs,
                        platform::Console& console) {
  bool threshold_given = false;
  auto own = [&](int option, const char* argument) {
    if (option == 's') threshold_given = true;
    if (option == kOperand) return read_operand(argument, inputs, console);
    return true;
  };
  const CommandLine line{"i:m:s:h", msg::kProbeUsage};
  if (!parse_options(argc, argv, settings, console, line, own)) return false;
  take_inputs(settings, inputs);
  if (!validate_settings(settings, console)) return false;
  if (threshold_given) given_threshold = settings.threshold;
  return true;
}

}  // namespace hushmark
