#ifndef HUSHMARK_PLATFORM_UTF8_H_
#define HUSHMARK_PLATFORM_UTF8_H_

#include <optional>
#include <string>
#include <string_view>

namespace hushmark::platform {

// Appends the UTF-8 form of code point c (a lone surrogate gets its own
// three-byte form rather than being lost).
void append_utf8(std::string& out, char32_t c);

// The text in UTF-8, or nothing when it holds a surrogate that no other
// completes: a byte that the locale could not decode is kept as one.
std::optional<std::string> utf8_of(std::wstring_view text);

// UTF-8 text as wide text; a byte that is not part of a well-formed
// character is kept as an escaped byte (U+DC00 + byte), which the console
// shows as \xNN.
std::wstring widen_utf8(std::string_view text);

}  // namespace hushmark::platform

#endif  // HUSHMARK_PLATFORM_UTF8_H_
