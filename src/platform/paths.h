#ifndef HUSHMARK_PLATFORM_PATHS_H_
#define HUSHMARK_PLATFORM_PATHS_H_

#include <optional>
#include <string>
#include <string_view>

namespace hushmark::platform {

// The first of the code points that stand for single bytes the locale could not
// decode (U+DC00 + byte); they turn back into the same bytes when a file is
// opened.
inline constexpr wchar_t kEscapedByteBase = 0xDC00;

inline bool is_escaped_byte(wchar_t c) {
  return c >= kEscapedByteBase && c <= kEscapedByteBase + 0xFF;
}

// Converts a command-line argument to a wide path in the locale's encoding,
// keeping every byte it cannot decode as an escaped byte.
std::wstring widen_argument(std::string_view arg);

// The exact bytes of the file name the user gave, or nothing when the wide path
// holds a character the locale cannot encode.
std::optional<std::string> narrow_path(std::wstring_view path);

// True for a character that separates path components on this system.
bool is_path_separator(wchar_t c);

}  // namespace hushmark::platform

#endif  // HUSHMARK_PLATFORM_PATHS_H_
