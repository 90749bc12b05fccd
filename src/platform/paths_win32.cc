#include <windows.h>

#include "platform/command_line.h"
#include "platform/paths.h"
#include "platform/utf8.h"

namespace hushmark::platform {
namespace {

// The length of the folder part of a file pattern: through its last
// separator, or through the colon of a drive ("C:*.wav").
std::size_t folder_part_length(std::wstring_view pattern) {
  std::size_t separator = pattern.find_last_of(L"\\/");
  if (separator != pattern.npos) return separator + 1;
  return pattern.size() >= 2 && pattern[1] == L':' ? 2 : 0;
}

// Appends the names pattern matches, each behind the pattern's folder part,
// in the order the folder lists them, as the C runtime's wildcard expansion
// does; false when nothing matches.
bool append_matches(const std::wstring& pattern,
                    std::vector<std::string>& out) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(pattern.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return false;
  std::wstring_view folder(pattern.data(), folder_part_length(pattern));
  std::size_t before = out.size();
  do {
    std::wstring_view name(found.cFileName);
    if (name == L"." || name == L"..") continue;
    out.push_back(utf8_keeping_surrogates(std::wstring(folder).append(name)));
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return out.size() > before;
}

}  // namespace

std::wstring widen_argument(std::string_view arg) {
  std::wstring wide;
  wide.reserve(arg.size());
  std::size_t at = 0;
  while (at < arg.size()) {
    char32_t c = 0;
    std::size_t n = decode_utf8(arg.substr(at), c);
    if (n == 0) {
      wide.push_back(static_cast<wchar_t>(kEscapedByteBase +
                                          static_cast<unsigned char>(arg[at])));
      ++at;
    } else {
      append_wide(wide, c);
      at += n;
    }
  }
  return wide;
}

std::optional<std::string> narrow_path(std::wstring_view path) {
  std::string bytes;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && !is_escaped_byte(path[i])) continue;
    bytes += utf8_keeping_surrogates(path.substr(start, i - start));
    if (i < path.size())
      bytes.push_back(static_cast<char>(path[i] - kEscapedByteBase));
    start = i + 1;
  }
  if (bytes.find('\0') != std::string::npos) return std::nullopt;
  return bytes;
}

bool is_path_separator(wchar_t c) {
  return c == L'/' || c == L'\\';
}

Arguments::Arguments(int, char**) {
  // argv holds only what the ANSI code page can spell, and no longer shows
  // which arguments were quoted; the command line itself has both.
  for (const CommandLineArgument& arg : split_command_line(GetCommandLineW())) {
    bool expand = arg.wildcard && !storage_.empty();
    if (!expand || !append_matches(arg.text, storage_))
      storage_.push_back(utf8_keeping_surrogates(arg.text));
  }
  for (std::string& arg : storage_)
    pointers_.push_back(arg.data());
  pointers_.push_back(nullptr);
}

}  // namespace hushmark::platform
