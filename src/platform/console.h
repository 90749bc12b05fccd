#ifndef HUSHMARK_PLATFORM_CONSOLE_H_
#define HUSHMARK_PLATFORM_CONSOLE_H_

#include <cstdio>
#include <string>
#include <string_view>

namespace hushmark::platform {

// Every non-ASCII character the program's own messages use; an encoding that
// can carry all of them can carry the messages.
inline constexpr std::wstring_view kMessageCharacters =
    L"※、。あいえおかがきぎくけごさしじすせただちてでとなにのはばべまみめ"
    L"らりるれをんァイタチデフプヘャルー一上中了以位入出分切力区取合同名囲"
    L"増壊失好始定対応所指敗数整時書未無着示秒範終続置落覧計読調長開間雑音"
    L"？";

// The one writer for everything the program prints. Wide text goes out in the
// locale's encoding when that can carry the program's Japanese messages, and as
// UTF-8 otherwise (the C locale). Bytes that a path argument kept undecoded are
// shown as \xNN. Construct it after the locale is set.
class Console {
 public:
  explicit Console(std::FILE* out);
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  void write(std::wstring_view text);
  void flush() { std::fflush(out_); }

  // The bytes write() would send for text; text written over and over is
  // encoded once and then sent with write_encoded().
  std::string encode(std::wstring_view text) const;

  // Sends bytes in the console's encoding: ASCII, and pieces from encode()
  // that each end in the initial shift state.
  void write_encoded(std::string_view bytes);

  // True when text is rendered in the locale's own encoding.
  bool uses_locale_encoding() const { return use_locale_; }

 private:
  std::FILE* out_;
  bool use_locale_;
#ifdef _WIN32
  unsigned code_page_ = 0;   // the locale's ANSI code page; 0 means UTF-8
  bool to_console_ = false;  // out_ is a console window, which takes UTF-16
#endif
};

}  // namespace hushmark::platform

#endif  // HUSHMARK_PLATFORM_CONSOLE_H_
