#ifndef HUSHMARK_CLI_USAGE_H_
#define HUSHMARK_CLI_USAGE_H_

#include "platform/console.h"

namespace hushmark {

// Prints a program's usage text; the caller then ends the run with status 1.
void print_usage(const wchar_t* usage, platform::Console& console);

}  // namespace hushmark

#endif  // HUSHMARK_CLI_USAGE_H_
