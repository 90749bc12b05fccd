#include "platform/console.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "test_support.h"

namespace hushmark {
namespace {

// The code points above ASCII in UTF-8 text.
std::set<char32_t> non_ascii(const std::string& utf8) {
  std::set<char32_t> found;
  for (std::size_t i = 0; i < utf8.size();) {
    auto lead = static_cast<unsigned char>(utf8[i]);
    std::size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t c = n == 1 ? lead : lead & (0x7F >> n);
    for (std::size_t k = 1; k < n && i + k < utf8.size(); ++k)
      c = c << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    if (n > 1) found.insert(c);
    i += n;
  }
  return found;
}

TEST(Console, KnowsEveryCharacterOfTheMessages) {
  // Whether the locale can show the messages is judged by these characters,
  // so one left out could send a message in an encoding that lacks it. The
  // usage's fullwidth tilde is the one exception: it has a stand-in. Each
  // program's texts, and the core's, are in a messages.h of their own.
  std::set<char32_t> used;
  int files = 0;
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(HUSHMARK_SOURCES)) {
    if (entry.path().filename() != "messages.h") continue;
    ++files;
    used.merge(non_ascii(testing::read_file(entry.path())));
  }
  EXPECT_GE(files, 4);
  // The wave dash is one code in Shift_JIS and EUC-JP but two characters in
  // Unicode, and Windows' code page 932 and glibc's EUC-JP each take a
  // different one: no message may use it.
  EXPECT_EQ(used.count(U'\u301C'), 0u);
  used.erase(U'\uFF5E');
  std::set<char32_t> known;
  for (wchar_t c : platform::kMessageCharacters)
    known.insert(static_cast<char32_t>(c));
  EXPECT_EQ(used, known);
}

// Every byte until the writing end is closed (a pty's master reads EIO then).
std::string read_to_end(int fd) {
  std::string bytes;
  char block[256];
  ssize_t n;
  while ((n = ::read(fd, block, sizeof block)) > 0)
    bytes.append(block, static_cast<std::size_t>(n));
  ::close(fd);
  return bytes;
}

TEST(Console, RedrawsNothingWhereNoTerminalShowsIt) {
  // A redraw in a pipe would leave a half line and escape codes in a log or
  // a file.
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  std::FILE* out = ::fdopen(ends[1], "w");
  platform::Console piped(out);
  EXPECT_FALSE(piped.is_terminal());
  piped.redraw(L"1/2");
  piped.write(L"piped\n");
  piped.flush();
  std::fclose(out);
  EXPECT_EQ(read_to_end(ends[0]), "piped\n");
}

TEST(Console, RedrawsInPlaceOnATerminalAndClearsBeforeOtherText) {
  int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master) | ::unlockpt(master), 0);
  int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  // Raw, so that the bytes arrive as they were sent.
  termios mode;
  ::tcgetattr(slave, &mode);
  ::cfmakeraw(&mode);
  ::tcsetattr(slave, TCSANOW, &mode);
  std::FILE* out = ::fdopen(slave, "w");
  platform::Console console(out);
  EXPECT_TRUE(console.is_terminal());
  console.redraw(L"1/2 \u7AE0");  // in UTF-8 under the C locale
  console.redraw(L"2/2");
  console.write(L"done\n");
  console.write(L"next\n");
  console.redraw(L"3/3");
  console.flush();  // before another route writes here
  std::fclose(out);
  EXPECT_EQ(read_to_end(master),
            "\r1/2 \xE7\xAB\xA0\x1B[K\r2/2\x1B[K\r\x1B[Kdone\nnext\n"
            "\r3/3\x1B[K\r\x1B[K");
}

}  // namespace
}  // namespace hushmark
