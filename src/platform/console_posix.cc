#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cwchar>
#include <optional>

#include "platform/console.h"
#include "platform/hex_escape.h"
#include "platform/paths.h"
#include "platform/utf8.h"

namespace hushmark::platform {
namespace {

// Stand-ins for characters that some Japanese encodings lack: EUC-JP has the
// wave dash where Windows code pages have the fullwidth tilde.
wchar_t substitute(wchar_t c) {
  return c == L'\uFF5E' ? L'\u301C' : L'?';
}

constexpr std::size_t kUnencodable = static_cast<std::size_t>(-1);

// What a terminal takes for erasing from the cursor to the end of its line.
constexpr char kEraseLineEnd[] = "\x1b[K";

// The text in the locale's encoding, converted in one call (far cheaper than a
// call per character); nothing when the locale cannot encode all of it.
std::optional<std::string> in_locale(std::wstring_view text) {
  std::wstring terminated(text);
  const wchar_t* src = terminated.c_str();
  std::mbstate_t state{};
  std::size_t size = std::wcsrtombs(nullptr, &src, 0, &state);
  if (size == kUnencodable) return std::nullopt;
  std::string bytes(size, '\0');
  src = terminated.c_str();
  state = std::mbstate_t{};
  std::wcsrtombs(bytes.data(), &src, size + 1, &state);
  return bytes;
}

// Text that in_locale() can take whole: no escaped bytes and no terminator.
bool is_plain(std::wstring_view text) {
  return std::none_of(text.begin(), text.end(), [](wchar_t c) {
    return c == L'\0' || is_escaped_byte(c);
  });
}

// Appends c in the locale's encoding, or a stand-in where it has none.
void append_in_locale(std::string& out, wchar_t c, std::mbstate_t& state) {
  char buf[MB_LEN_MAX];
  std::size_t n = std::wcrtomb(buf, c, &state);
  if (n == kUnencodable) {
    state = std::mbstate_t{};
    n = std::wcrtomb(buf, substitute(c), &state);
  }
  if (n == kUnencodable) {
    state = std::mbstate_t{};
    buf[0] = '?';
    n = 1;
  }
  out.append(buf, n);
}

}  // namespace

Console::Console(std::FILE* out)
    : out_(out),
      terminal_(out != nullptr && ::isatty(fileno(out)) == 1),
      use_locale_(in_locale(kMessageCharacters).has_value()) {}

std::string Console::encode(std::wstring_view text) const {
  if (use_locale_ && is_plain(text)) {
    if (std::optional<std::string> bytes = in_locale(text)) return *bytes;
  }
  std::string bytes;
  bytes.reserve(text.size() * 3);
  std::mbstate_t state{};
  for (wchar_t c : text) {
    if (is_escaped_byte(c)) {
      append_hex_escape(bytes, static_cast<unsigned>(c - kEscapedByteBase));
    } else if (!use_locale_) {
      append_utf8(bytes, static_cast<char32_t>(c));
    } else {
      append_in_locale(bytes, c, state);
    }
  }
  if (use_locale_) append_initial_shift(bytes, state);
  return bytes;
}

void Console::write(std::wstring_view text) {
  write_encoded(encode(text));
}

void Console::write_encoded(std::string_view bytes) {
  clear_redrawn();
  std::fwrite(bytes.data(), 1, bytes.size(), out_);
}

void Console::flush() {
  clear_redrawn();
  std::fflush(out_);
}

void Console::redraw(std::wstring_view line) {
  if (!terminal_) return;
  std::string bytes = "\r";
  bytes += encode(line);
  bytes += kEraseLineEnd;
  std::fwrite(bytes.data(), 1, bytes.size(), out_);
  std::fflush(out_);
  redrawn_ = !line.empty();
}

void Console::clear_redrawn() {
  if (!redrawn_) return;
  redrawn_ = false;
  std::fputs("\r", out_);
  std::fputs(kEraseLineEnd, out_);
}

}  // namespace hushmark::platform
