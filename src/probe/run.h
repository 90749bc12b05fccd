#ifndef HUSHMARK_PROBE_RUN_H_
#define HUSHMARK_PROBE_RUN_H_

#include <span>
#include <string>

#include "cli/settings.h"
#include "platform/console.h"

namespace hushmark {

// hushmark-probe's run: scans the inputs as one recording at every threshold
// of the ladder, then shows the table, the threshold it proposes and the
// minimums at the threshold -s gave or the proposed one. True when the whole
// recording was read; false after any failure, once its message is out.
bool run_probe(const Settings& settings, std::span<const std::wstring> inputs,
               platform::Console& console);

}  // namespace hushmark

#endif  // HUSHMARK_PROBE_RUN_H_
