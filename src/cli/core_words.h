#ifndef HUSHMARK_CLI_CORE_WORDS_H_
#define HUSHMARK_CLI_CORE_WORDS_H_

#include <string>

#include "extract/errors.h"
#include "platform/console.h"

namespace hushmark {

// The message, ending in a line feed, that tells the core's failure; the
// three programs word it alike. Empty for no failure.
std::wstring word_error(const CoreError& error);

// True for no failure; else writes its message on console and returns false.
bool succeeded(const CoreError& error, platform::Console& console);

// The line, ending in a line feed, that tells a notice.
std::wstring word_notice(const Notice& notice);

// Writes each notice's line on console as it is told.
NoticeSink notices_to(platform::Console& console);

}  // namespace hushmark

#endif  // HUSHMARK_CLI_CORE_WORDS_H_
