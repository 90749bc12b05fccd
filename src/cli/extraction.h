#ifndef HUSHMARK_CLI_EXTRACTION_H_
#define HUSHMARK_CLI_EXTRACTION_H_

#include "cli/settings.h"
#include "extract/byte_reader.h"
#include "extract/scan_state.h"
#include "platform/console.h"
#include "platform/files.h"

namespace hushmark {

// What the core's scan is asked for by these settings.
ScanRequest scan_request(const Settings& settings);

// Walks what `in` reads, writing a console line and a chapter line for every
// point of every data chunk, and the line of each chunk skipped, in order;
// chapters stays open. True when the walk reached the end of the input; false
// after any failure, once its message is out.
bool extract_points(ByteReader& in, const ScanRequest& request,
                    platform::OutputFile& chapters, platform::Console& console);

// hushmark's run: opens the input and the chapter file, walks every chunk and
// scans each data chunk of 16-bit stereo PCM. True when the walk reached the
// end of the file; false after any failure, once its message is out.
bool run_extraction(const Settings& settings, platform::Console& console);

}  // namespace hushmark

#endif  // HUSHMARK_CLI_EXTRACTION_H_
