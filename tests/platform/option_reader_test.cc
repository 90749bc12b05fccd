// The own option reader must read every command line exactly as glibc's
// getopt_long does, through the reader that Linux builds use, since the
// Windows build relies on it.
#include "platform/option_reader.h"

#include <getopt.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

namespace hushmark::platform {
namespace {

constexpr char kOptstring[] = "i:o:hs:m:p:";

// What a reader saw: each option with its argument, then the reordered
// command line and where its non-options start.
struct Reading {
  std::vector<std::string> options;
  std::vector<std::string> argv;
  int index;
  bool operator==(const Reading&) const = default;
};

struct Line {
  std::vector<std::string> storage;
  std::vector<char*> argv;
  explicit Line(const std::vector<std::string>& args) : storage(args) {
    storage.insert(storage.begin(), "hushmark");
    for (std::string& a : storage)
      argv.push_back(a.data());
    argv.push_back(nullptr);
  }
  int argc() const { return static_cast<int>(storage.size()); }
  std::vector<std::string> now() const {
    return {argv.begin(), argv.end() - 1};
  }
};

std::string seen(int c, const char* arg) {
  const std::string name = c == kHelpOption      ? "<help>"
                           : c == kVersionOption ? "<version>"
                           : c == kOtherLongOption
                               ? "<other>"
                               : std::string(1, static_cast<char>(c));
  return name + (arg && c != '?' ? arg : "");
}

Reading with_glibc(const std::vector<std::string>& args) {
  Line line(args);
  optind = 0;
  opterr = 0;
  OptionReader reader(line.argc(), line.argv.data(), kOptstring);
  Reading r;
  int c;
  while ((c = reader.next()) != -1)
    r.options.push_back(seen(c, reader.argument()));
  r.argv = line.now();
  r.index = reader.operands();
  return r;
}

Reading with_own(const std::vector<std::string>& args) {
  Line line(args);
  GnuShortOptions reader(line.argc(), line.argv.data(), kOptstring);
  Reading r;
  int c;
  while ((c = reader.next()) != -1)
    r.options.push_back(seen(c, reader.argument()));
  r.argv = line.now();
  r.index = reader.index();
  return r;
}

const std::vector<std::vector<std::string>> kLines = {
    {},
    {"-i", "a.wav", "-o", "b.txt", "-s", "5", "-m", "10", "-p", "1"},
    {"stray", "-i", "a.wav", "more", "-p", "2"},
    {"a", "b", "-i", "x", "c", "-p1", "d"},
    {"-i", "a.wav", "--", "-p", "2", "-h"},
    {"a", "b", "--", "-i", "c"},
    {"-", "-i", "a", "-", "-p"},
    {"-ia.wav", "-x", "-o", "-h", "-m", "abc"},
    {"-hi", "a", "-xyz", "-s5"},
    {"--foo", "-i", "a"},
    {"--i=x", "-p", "1"},
    {"---", "-i", "a"},
    {"-x-", "-i", "a"},
    {"-:", "-W", "foo", "-i", "a"},
    {"-o"},
    {"x", "-i"},
    {"--"},
    {"x", "--", "--", "-h"},
    {"--help", "--version", "--he", "--v", "--verbose"},
    {"a", "-p1", "--help", "b", "--foo", "-i", "c"},
    {"--help=x", "--h=", "--=x", "--hex"},
    {"-o", "--version", "-i", "--help"},
    {"-ph", "--v", "-xp", "--foo", "-ho--x"},
    {"-h--help", "-i--", "--help"},
    {"--", "--help"},
    {"x", "--version", "--", "--foo"},
};

TEST(GnuShortOptions, ReadsEveryLineAsGlibcGetoptDoes) {
  for (const auto& args : kLines) {
    std::string shown;
    for (const std::string& a : args)
      shown += " " + a;
    EXPECT_EQ(with_own(args), with_glibc(args)) << "line:" << shown;
    setenv("POSIXLY_CORRECT", "1", 1);
    EXPECT_EQ(with_own(args), with_glibc(args))
        << "POSIXLY_CORRECT line:" << shown;
    unsetenv("POSIXLY_CORRECT");
  }
}

}  // namespace
}  // namespace hushmark::platform
