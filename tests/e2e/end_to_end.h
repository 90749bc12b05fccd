#ifndef HUSHMARK_TESTS_E2E_END_TO_END_H_
#define HUSHMARK_TESTS_E2E_END_TO_END_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "test_support.h"

namespace hushmark::testing {

// Every name under folder, relative to it; links are listed, not followed.
std::set<std::string> listing(const std::filesystem::path& folder);

// The lines of a text, without their LF or CR LF.
std::vector<std::string> lines_of(const std::string& text);

// Whether a program is on the PATH.
bool installed(const std::string& program);

// Runs a shell command in folder, stopped after two minutes; true when it
// exits with status 0.
bool run_in(const std::filesystem::path& folder, const std::string& command);
inline bool run_in(const TempDir& dir, const std::string& command) {
  return run_in(dir.path(), command);
}

// Skips the calling test where a program it runs is missing. A macro, since
// GTEST_SKIP() returns only from the function that uses it.
#define SKIP_WITHOUT(program)                   \
  if (!::hushmark::testing::installed(program)) \
  GTEST_SKIP() << (program) << " is not installed"

// A test that runs the built programs (run_tool, run_chapters, run_probe) in
// a fresh folder of its own.
class EndToEnd : public ::testing::Test {
 protected:
  // Everything in the folder.
  std::set<std::string> listing() const {
    return testing::listing(dir_.path());
  }

  TempDir dir_;
};

}  // namespace hushmark::testing

#endif  // HUSHMARK_TESTS_E2E_END_TO_END_H_
