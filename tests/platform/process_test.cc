#include "platform/process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace hushmark::platform {
namespace {

std::string read_all(InputFile& in) {
  std::string text;
  std::uint8_t block[4096];
  while (std::size_t n = in.read(block)) {
    text.append(reinterpret_cast<const char*>(block), n);
  }
  return text;
}

TEST(ChildProcess, PassesArgumentsAsTheyAreAndReadsBothOutputs) {
  ChildProcess child;
  InputFile out;
  const std::vector<std::wstring> args = {
      L"-c",      L"printf '[%s]' \"$@\"; echo oops >&2; exit 3",
      L"sh",      L"a b",
      L"-x",      L"",
      L"$HOME;*", L"\"q\""};
  ASSERT_EQ(child.start(L"sh", args, out), StartResult::kStarted);
  EXPECT_EQ(read_all(out), "[a b][-x][][$HOME;*][\"q\"]");
  EXPECT_FALSE(child.wait());
  EXPECT_EQ(child.error_text(), "oops\n");
}

TEST(ChildProcess, FeedsStandardInputAndSurvivesAChildThatStopsReading) {
  ChildProcess cat;
  InputFile out;
  const std::vector<std::wstring> none;
  ASSERT_EQ(cat.start(L"cat", none, out, ChildInput::kPipe),
            StartResult::kStarted);
  const std::string text = "hello\n";
  EXPECT_TRUE(cat.write_input(
      {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}));
  cat.close_input();
  EXPECT_EQ(read_all(out), text);
  EXPECT_TRUE(cat.wait());

  // A child that never reads: the write fails, and this program goes on. The
  // child may release its end of the pipe after its output has ended, so the
  // bytes are more than the pipe holds; otherwise they could all fit first.
  ChildProcess quitter;
  InputFile unused;
  const std::vector<std::wstring> exit_now = {L"-c", L"exit 0"};
  ASSERT_EQ(quitter.start(L"sh", exit_now, unused, ChildInput::kPipe),
            StartResult::kStarted);
  EXPECT_EQ(read_all(unused), "");
  std::vector<std::uint8_t> big(4 * kSamplePipeBytes);
  EXPECT_FALSE(quitter.write_input(big));
  EXPECT_TRUE(quitter.wait());
}

TEST(ChildProcess, TellsAMissingProgramFromOneThatFails) {
  ChildProcess child;
  InputFile out;
  const std::vector<std::wstring> none;
  EXPECT_EQ(child.start(L"hushmark-no-such-program", none, out),
            StartResult::kNotFound);
  EXPECT_EQ(child.start(L"/nonexistent/decoder", none, out),
            StartResult::kNotFound);
  ChildProcess endless;
  const std::vector<std::wstring> sleep_long = {L"1000"};
  ASSERT_EQ(endless.start(L"sleep", sleep_long, out), StartResult::kStarted);
  // A second start must not lose the first program, nor the reader of its
  // standard error.
  EXPECT_EQ(endless.start(L"sleep", sleep_long, out), StartResult::kFailed);
  endless.terminate();
  EXPECT_FALSE(endless.wait());
}

}  // namespace
}  // namespace hushmark::platform
