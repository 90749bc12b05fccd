#ifndef HUSHMARK_PLATFORM_CONSOLE_H_
#define HUSHMARK_PLATFORM_CONSOLE_H_

#include <cstdio>
#include <string>
#include <string_view>

namespace hushmark::platform {

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

  // True when text is rendered in the locale's own encoding.
  bool uses_locale_encoding() const { return use_locale_; }

 private:
  std::string encode(std::wstring_view text) const;

  std::FILE* out_;
  bool use_locale_;
};

}  // namespace hushmark::platform

#endif  // HUSHMARK_PLATFORM_CONSOLE_H_
