// The Windows build splits its own command line so that it knows which
// arguments were quoted; the split must match CommandLineToArgvW's.
#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace hushmark::platform {
namespace {

// Each argument's text, behind "glob:" when it is to be expanded.
std::vector<std::wstring> split(std::wstring_view line) {
  std::vector<std::wstring> out;
  for (const CommandLineArgument& arg : split_command_line(line))
    out.push_back((arg.wildcard ? L"glob:" : L"") + arg.text);
  return out;
}

using Args = std::vector<std::wstring>;

TEST(CommandLine, SplitsAtBlanksOutsideQuotes) {
  EXPECT_EQ(split(L""), Args({L""}));
  EXPECT_EQ(split(L"h.exe\t-i  a.wav \t"), Args({L"h.exe", L"-i", L"a.wav"}));
  EXPECT_EQ(split(L"h.exe \"\" \"a b\"c"), Args({L"h.exe", L"", L"a bc"}));
  // The program name keeps its backslashes and ends at its closing quote.
  EXPECT_EQ(split(L"\"C:\\My Apps\\h*.exe\"x \\\"y"),
            Args({L"C:\\My Apps\\h*.exe", L"x", L"\"y"}));
  EXPECT_EQ(split(L"h*.exe\\\" x"), Args({L"h*.exe\\\"", L"x"}));
}

TEST(CommandLine, ResolvesBackslashesAndQuoteRuns) {
  EXPECT_EQ(split(L"h a\\\\\\b d\"e f\"g h"),
            Args({L"h", L"a\\\\\\b", L"de fg", L"h"}));
  EXPECT_EQ(split(L"h a\\\\\\\"b c"), Args({L"h", L"a\\\"b", L"c"}));
  EXPECT_EQ(split(L"h a\\\\\\\\\"b c\" d"), Args({L"h", L"a\\\\b c", L"d"}));
  // A doubled quote inside quotes is a literal quote and closes them.
  EXPECT_EQ(split(L"h a\"b\"\" c d"), Args({L"h", L"ab\"", L"c", L"d"}));
  EXPECT_EQ(split(L"h \"\"\"\" x\"\"\" y"), Args({L"h", L"\" x\" y"}));
}

TEST(CommandLine, MarksWildcardsOutsideQuotesOnly) {
  EXPECT_EQ(
      split(L"h -i *.wav \"*.wav\" a\"*\"b sub\\?.wav"),
      Args({L"h", L"-i", L"glob:*.wav", L"*.wav", L"a*b", L"glob:sub\\?.wav"}));
  EXPECT_EQ(split(L"h \"my dir\"\\*.wav \"a\"? \\\"* \"\"\"* \"*\"\"*"),
            Args({L"h", L"glob:my dir\\*.wav", L"glob:a?", L"glob:\"*",
                  L"glob:\"*", L"glob:*\"*"}));
}

// What another program is started with splits back into the same arguments,
// none of them a file pattern for its C runtime to expand.
TEST(CommandLine, JoinedArgumentsSplitBackAsTheyWere) {
  const Args awkward = {L"C:\\Program Files\\d\\ffmpeg.exe",
                        L"",
                        L"plain",
                        L"a b\tc",
                        L"\"",
                        L"say \"hi\"",
                        L"\\\\server\\share\\",
                        L"C:\\my dir\\",
                        L"a\\\\\"b\\",
                        L"\"\"\"",
                        L"*.wav",
                        L"file:録音 🎙\\講義?.wav",
                        L"-i"};
  std::wstring line = join_command_line(awkward);
  EXPECT_EQ(split(line), awkward) << line;
  // The program name ends at its quote, so a trailing backslash is safe.
  const Args folder = {L"C:\\bin\\", L"x"};
  EXPECT_EQ(split(join_command_line(folder)), folder);
}

}  // namespace
}  // namespace hushmark::platform
