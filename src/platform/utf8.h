#ifndef HUSHMARK_PLATFORM_UTF8_H_
#define HUSHMARK_PLATFORM_UTF8_H_

#include <string>

namespace hushmark::platform {

// Appends the UTF-8 form of code point c (a lone surrogate gets its own
// three-byte form rather than being lost).
void append_utf8(std::string& out, char32_t c);

}  // namespace hushmark::platform

#endif  // HUSHMARK_PLATFORM_UTF8_H_
