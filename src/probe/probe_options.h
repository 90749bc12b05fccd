#ifndef HUSHMARK_PROBE_PROBE_OPTIONS_H_
#define HUSHMARK_PROBE_PROBE_OPTIONS_H_

#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/settings.h"
#include "platform/console.h"

namespace hushmark {

// Fills settings from hushmark-probe's command line (-i, -m, -s, -h, and the
// inputs after -i's) and checks it as hushmark does; "auto" for -s or -m
// leaves it not given; a folder among the inputs stands for its recordings
// (expand_inputs). Anything but kRun ends the program, once the answer
// (--help, --version) or the reason is out.
OptionsOutcome read_probe_options(int argc, char** argv, Settings& settings,
                                  std::vector<std::wstring>& inputs,
                                  platform::Console& console);

}  // namespace hushmark

#endif  // HUSHMARK_PROBE_PROBE_OPTIONS_H_
