#include "platform/console.h"

#include <gtest/gtest.h>

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
  used.erase(U'\uFF5E');
  std::set<char32_t> known;
  for (wchar_t c : platform::kMessageCharacters)
    known.insert(static_cast<char32_t>(c));
  EXPECT_EQ(used, known);
}

}  // namespace
}  // namespace hushmark
