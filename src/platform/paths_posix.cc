#include <climits>
#include <cwchar>

#include "platform/paths.h"

namespace hushmark::platform {

std::wstring widen_argument(std::string_view arg) {
  std::wstring wide;
  std::mbstate_t state{};
  std::size_t at = 0;
  while (at < arg.size()) {
    wchar_t c = 0;
    std::size_t n = std::mbrtowc(&c, arg.data() + at, arg.size() - at, &state);
    if (n == static_cast<std::size_t>(-1) ||
        n == static_cast<std::size_t>(-2)) {
      // Not decodable here (a UTF-8 name under the C locale, say): keep the
      // byte itself so that the same file is opened later.
      wide.push_back(static_cast<wchar_t>(kEscapedByteBase +
                                          static_cast<unsigned char>(arg[at])));
      state = std::mbstate_t{};
      ++at;
      continue;
    }
    if (n == 0) n = 1;  // an embedded zero byte cannot come from argv
    wide.push_back(c);
    at += n;
  }
  return wide;
}

std::optional<std::string> narrow_path(std::wstring_view path) {
  std::string bytes;
  std::mbstate_t state{};
  char buf[MB_LEN_MAX];
  for (wchar_t c : path) {
    if (is_escaped_byte(c)) {
      bytes.push_back(static_cast<char>(c - kEscapedByteBase));
      continue;
    }
    std::size_t n = std::wcrtomb(buf, c, &state);
    if (n == static_cast<std::size_t>(-1)) return std::nullopt;
    bytes.append(buf, n);
  }
  append_initial_shift(bytes, state);
  if (bytes.find('\0') != std::string::npos) return std::nullopt;
  return bytes;
}

void append_initial_shift(std::string& out, std::mbstate_t& state) {
  char buf[MB_LEN_MAX];
  std::size_t n = std::wcrtomb(buf, L'\0', &state);
  // The bytes before the terminator, if any, return to the initial state.
  if (n != static_cast<std::size_t>(-1) && n > 1) out.append(buf, n - 1);
}

bool is_path_separator(wchar_t c) {
  return c == L'/';
}

Arguments::Arguments(int argc, char** argv) : pointers_(argv, argv + argc) {
  pointers_.push_back(nullptr);
}

}  // namespace hushmark::platform
