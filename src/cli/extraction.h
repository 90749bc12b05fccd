#ifndef HUSHMARK_CLI_EXTRACTION_H_
#define HUSHMARK_CLI_EXTRACTION_H_

#include "cli/settings.h"
#include "extract/scan_state.h"
#include "platform/console.h"

namespace hushmark {

// What the core's scan is asked for by these settings.
ScanRequest scan_request(const Settings& settings);

// hushmark's run: opens the input and the chapter file, walks every chunk and
// scans each data chunk of 16-bit stereo PCM. True when the walk reached the
// end of the file; false after any failure, once its message is out.
bool run_extraction(const Settings& settings, platform::Console& console);

}  // namespace hushmark

#endif  // HUSHMARK_CLI_EXTRACTION_H_
