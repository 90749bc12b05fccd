#ifndef HUSHMARK_CLI_ECHO_H_
#define HUSHMARK_CLI_ECHO_H_

#include <span>
#include <string>

#include "cli/settings.h"
#include "platform/console.h"

namespace hushmark {

// Shows the file names (inputs after the first, more_inputs[1] on, right
// after the input file), and the threshold and minimum silence when they
// differ from their defaults.
void echo_settings(const Settings& settings, platform::Console& console,
                   std::span<const std::wstring> more_inputs = {});

// Shows what the probe was given: the input file, the threshold when -s gave
// one, and the minimum silence when it differs from its default.
void echo_probe_settings(const Settings& settings, platform::Console& console);

// Shows the inputs after the first, each on an infile line of its own.
void echo_more_inputs(std::span<const std::wstring> inputs,
                      platform::Console& console);

}  // namespace hushmark

#endif  // HUSHMARK_CLI_ECHO_H_
