#include <windows.h>

#include "platform/command_line.h"
#include "platform/paths.h"
#include "platform/utf8.h"

namespace hushmark::platform {
namespace {

bool is_continuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// Decodes one UTF-8 sequence at the start of bytes into code point c and
// returns its length, or 0 when it is malformed. Surrogates encoded on their
// own are accepted, so that a file name holding an unpaired one survives the
// trip through the narrow command line.
std::size_t decode_utf8(std::string_view bytes, char32_t& c) {
  auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  unsigned char lead = at(0);
  std::size_t n;
  char32_t least;
  if (lead < 0x80) {
    c = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2, c = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3, c = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4, c = lead & 0x07, least = 0x10000;
  } else {
    return 0;
  }
  if (bytes.size() < n) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    if (!is_continuation(at(i))) return 0;
    c = (c << 6) | (at(i) & 0x3F);
  }
  return c < least || c > 0x10FFFF ? 0 : n;
}

bool is_high_surrogate(wchar_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool is_low_surrogate(wchar_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

// UTF-8 for UTF-16 text; an unpaired surrogate gets a three-byte sequence of
// its own rather than being lost.
std::string utf8_from_utf16(std::wstring_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (is_high_surrogate(text[i]) && i + 1 < text.size() &&
        is_low_surrogate(text[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    append_utf8(out, c);
  }
  return out;
}

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
    out.push_back(utf8_from_utf16(std::wstring(folder).append(name)));
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
    } else if (c >= 0x10000) {
      wide.push_back(static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)));
      wide.push_back(static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
      at += n;
    } else {
      wide.push_back(static_cast<wchar_t>(c));
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
    bytes += utf8_from_utf16(path.substr(start, i - start));
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
      storage_.push_back(utf8_from_utf16(arg.text));
  }
  for (std::string& arg : storage_)
    pointers_.push_back(arg.data());
  pointers_.push_back(nullptr);
}

}  // namespace hushmark::platform
