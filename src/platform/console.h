#ifndef HUSHMARK_PLATFORM_CONSOLE_H_
#define HUSHMARK_PLATFORM_CONSOLE_H_

#include <cstdio>
#include <string>
#include <string_view>

namespace hushmark::platform {

// Every non-ASCII character of the program's own messages but the usage's
// fullwidth tilde, which has a stand-in where an encoding lacks it: an
// encoding that can carry these can carry the messages. A test checks the
// list against every messages.h under src/.
inline constexpr std::wstring_view kMessageCharacters =
    L"※、。あいうえおかがきぎくけげこごさしじすずせそただちっつてでとどなにの"
    L"はばびぶべほまみむめもよらりるれろわをんァイエォクグコサシジスタダチッデ"
    L"トドネビフプヘミメモャヤラリルレンー一上並中了付以位作使例個倍候入冊再出"
    L"分切初前力動区取号合同名含周囲場境増壊声変外多大失好始字安定実対小差幅式"
    L"形応思所扱持指探換改敗数整文既時書最未本桁標正残決波準無環略番目直省着短"
    L"確示秒立章範約終続置自落行補見覧計読調起足込近途速違選録長開間限雑音順題"
    L"飛？";

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

  // The bytes write() would send for text; text written over and over is
  // encoded once and then sent with write_encoded().
  std::string encode(std::wstring_view text) const;

  // Sends bytes in the console's encoding: ASCII, and pieces from encode()
  // that each end in the initial shift state.
  void write_encoded(std::string_view bytes);

  // Sends what has been written so far on its way, before the program writes
  // to the same place by another route (-o /dev/stdout); a line that redraw()
  // left is cleared first.
  void flush();

  // Whether it writes to a terminal: a tty, or a Windows console window. A
  // pipe and a file are not.
  bool is_terminal() const { return terminal_; }

  // On a terminal, shows line in place of the current line (a carriage
  // return, line, an erase to the end of the line) and sends it at once, with
  // no line feed; elsewhere does nothing. The next write clears that line
  // first, as progress lines are, so that its text starts on an empty line.
  // line holds no line feed and fits the terminal's width.
  void redraw(std::wstring_view line);

 private:
  // Clears the line that redraw() left, if it still shows.
  void clear_redrawn();

  std::FILE* out_;
  bool terminal_ = false;  // out_ is a tty, or a console window (UTF-16)
  bool redrawn_ = false;   // a line from redraw() shows, not yet cleared
#ifdef _WIN32
  unsigned code_page_ = 0;  // the locale's ANSI code page; 0 means UTF-8
#else
  bool use_locale_;  // the locale can carry the messages; else UTF-8
#endif
};

}  // namespace hushmark::platform

#endif  // HUSHMARK_PLATFORM_CONSOLE_H_
