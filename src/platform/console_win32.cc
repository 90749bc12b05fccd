#include <io.h>
#include <windows.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cstring>

#include "platform/console.h"
#include "platform/hex_escape.h"
#include "platform/paths.h"

namespace hushmark::platform {
namespace {

// The code page of the C library's locale, such as 932 for
// "Japanese_Japan.932". The C locale names none: 0, and text goes out in UTF-8
// as it does under the C locale on POSIX.
unsigned locale_code_page() {
  const char* name = std::setlocale(LC_CTYPE, nullptr);
  const char* dot = name ? std::strrchr(name, '.') : nullptr;
  if (dot == nullptr) return 0;
  if (_stricmp(dot + 1, "utf8") == 0 || _stricmp(dot + 1, "utf-8") == 0) {
    return CP_UTF8;
  }
  char* end = nullptr;
  unsigned long page = std::strtoul(dot + 1, &end, 10);
  return *end == '\0' ? static_cast<unsigned>(page) : 0;
}

// Text in the code page, with '?' for what it cannot spell; the result is
// empty when the code page cannot be used that way at all.
std::string to_code_page(unsigned page, std::wstring_view text, bool* lossy) {
  if (text.empty()) return {};
  int size = static_cast<int>(text.size());
  std::string out(text.size() * 4, '\0');
  BOOL used_default = FALSE;
  int n = WideCharToMultiByte(page, WC_NO_BEST_FIT_CHARS, text.data(), size,
                              out.data(), static_cast<int>(out.size()), "?",
                              &used_default);
  out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  if (lossy != nullptr) *lossy = n <= 0 || used_default;
  return out;
}

bool code_page_encodes(unsigned page, std::wstring_view text) {
  if (page == 0) return false;
  if (page == CP_UTF8) return true;
  bool lossy = true;
  to_code_page(page, text, &lossy);
  return !lossy;
}

// The locale's code page when it can spell the messages, else 0 (UTF-8).
unsigned message_code_page() {
  unsigned page = locale_code_page();
  return code_page_encodes(page, kMessageCharacters) ? page : 0;
}

bool is_console(std::FILE* out) {
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(out)));
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

// The text with every escaped byte spelled out as \xNN.
std::wstring with_escapes_shown(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    if (is_escaped_byte(c)) {
      append_hex_escape(out, static_cast<unsigned>(c - kEscapedByteBase));
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// Text from bytes in the code page.
std::wstring from_code_page(unsigned page, std::string_view bytes) {
  if (bytes.empty()) return {};
  int size = static_cast<int>(bytes.size());
  std::wstring out(bytes.size(), L'\0');
  int n = MultiByteToWideChar(page, 0, bytes.data(), size, out.data(), size);
  out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return out;
}

// A console window shows UTF-16 whatever its code page is.
void write_window(std::FILE* out, std::wstring_view text) {
  std::fflush(out);
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(out)));
  std::size_t done = 0;
  while (done < text.size()) {
    DWORD want =
        static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 8192));
    DWORD written = 0;
    if (!WriteConsoleW(handle, text.data() + done, want, &written, nullptr) ||
        written == 0) {
      return;
    }
    done += written;
  }
}

// Shows line from the start of the cursor's row and erases the rest of the
// row: with the terminal's own sequence where the console takes them, else by
// filling the row with spaces, which leaves the cursor where it is.
void write_in_place(std::FILE* out, std::wstring_view line) {
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(out)));
  DWORD mode = 0;
  bool sequences = GetConsoleMode(handle, &mode) != 0 &&
                   (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
  std::wstring text = L"\r";
  text += line;
  if (sequences) text += L"\x1b[K";
  write_window(out, text);
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (sequences || !GetConsoleScreenBufferInfo(handle, &info)) return;
  COORD at = info.dwCursorPosition;
  DWORD rest =
      info.dwSize.X > at.X ? static_cast<DWORD>(info.dwSize.X - at.X) : 0;
  DWORD filled = 0;
  FillConsoleOutputCharacterW(handle, L' ', rest, at, &filled);
  FillConsoleOutputAttribute(handle, info.wAttributes, rest, at, &filled);
}

}  // namespace

Console::Console(std::FILE* out)
    : out_(out), terminal_(is_console(out)), code_page_(message_code_page()) {}

std::string Console::encode(std::wstring_view text) const {
  std::wstring shown = with_escapes_shown(text);
  if (code_page_ != 0 && code_page_ != CP_UTF8) {
    return to_code_page(code_page_, shown, nullptr);
  }
  return narrow_path(shown).value_or(std::string());
}

void Console::write(std::wstring_view text) {
  clear_redrawn();
  if (!terminal_) {
    write_encoded(encode(text));
    return;
  }
  write_window(out_, with_escapes_shown(text));
}

void Console::write_encoded(std::string_view bytes) {
  clear_redrawn();
  if (!terminal_) {
    std::fwrite(bytes.data(), 1, bytes.size(), out_);
    return;
  }
  write_window(out_,
               from_code_page(code_page_ != 0 ? code_page_ : CP_UTF8, bytes));
}

void Console::flush() {
  clear_redrawn();
  std::fflush(out_);
}

void Console::redraw(std::wstring_view line) {
  if (!terminal_) return;
  write_in_place(out_, with_escapes_shown(line));
  redrawn_ = !line.empty();
}

void Console::clear_redrawn() {
  if (!redrawn_) return;
  redrawn_ = false;
  write_in_place(out_, L"");
}

}  // namespace hushmark::platform
