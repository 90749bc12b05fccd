#ifndef HUSHMARK_PLATFORM_PATHS_H_
#define HUSHMARK_PLATFORM_PATHS_H_

#include <cwchar>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

#ifndef _WIN32
// Appends what brings a stateful encoding (such as ISO-2022-JP) back to its
// initial shift state, so that text ends where the next may begin.
void append_initial_shift(std::string& out, std::mbstate_t& state);
#endif

// True for a character that separates path components on this system.
bool is_path_separator(wchar_t c);

// The command line as the option parser reads it: argv itself on POSIX, where
// the shell has expanded file patterns; on Windows the UTF-16 command line in
// UTF-8, since argv there holds only what the ANSI code page can spell, with
// unquoted patterns replaced by the names they match as the C runtime does.
class Arguments {
 public:
  // Takes main's arguments; Windows reads its own command line instead.
  Arguments(int argc, char** argv);
  Arguments(const Arguments&) = delete;
  Arguments& operator=(const Arguments&) = delete;

  // The number of arguments, the program name included.
  int count() const { return static_cast<int>(pointers_.size()) - 1; }

  // The arguments, ending in a null pointer; the option parser may reorder
  // them.
  char** values() { return pointers_.data(); }

 private:
  std::vector<std::string> storage_;
  std::vector<char*> pointers_;
};

}  // namespace hushmark::platform

#endif  // HUSHMARK_PLATFORM_PATHS_H_
