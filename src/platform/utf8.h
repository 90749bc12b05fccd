#ifndef HUSHMARK_PLATFORM_UTF8_H_
#define HUSHMARK_PLATFORM_UTF8_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace hushmark::platform {

// True for the code point of a UTF-16 surrogate, U+D800 to U+DFFF.
inline bool is_surrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDFFF;
}

// c in lower case when it is an ASCII capital letter; anything else as it is.
inline wchar_t ascii_lower(wchar_t c) {
  return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// Decodes the UTF-8 sequence at the start of bytes (which is not empty) into
// c and gives its length; 0 when it is malformed: a stray or missing
// continuation byte, an overlong form, or beyond U+10FFFF. A surrogate
// encoded on its own decodes; a caller that refuses one checks for it.
std::size_t decode_utf8(std::string_view bytes, char32_t& c);

// Appends the UTF-8 form of code point c (a lone surrogate gets its own
// three-byte form rather than being lost).
void append_utf8(std::string& out, char32_t c);

// Appends code point c to wide text, as a surrogate pair where wchar_t is
// UTF-16 and c lies beyond the BMP.
void append_wide(std::wstring& out, char32_t c);

// The text in UTF-8, or nothing when it holds a surrogate that no other
// completes: a byte that the locale could not decode is kept as one.
std::optional<std::string> utf8_of(std::wstring_view text);

// The text in UTF-8 with an unpaired surrogate in a three-byte form of its
// own, as a Windows file name may hold one.
std::string utf8_keeping_surrogates(std::wstring_view text);

// UTF-8 text as wide text; a byte that is not part of a well-formed
// character is kept as an escaped byte (U+DC00 + byte), which the console
// shows as \xNN.
std::wstring widen_utf8(std::string_view text);

}  // namespace hushmark::platform

#endif  // HUSHMARK_PLATFORM_UTF8_H_
