#ifndef HUSHMARK_TESTS_TEST_SUPPORT_H_
#define HUSHMARK_TESTS_TEST_SUPPORT_H_

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "platform/console.h"

namespace hushmark::testing {

// A fresh folder that is removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

void write_file(const std::filesystem::path& path, std::string_view bytes);
std::string read_file(const std::filesystem::path& path);

// A console whose bytes can be read back.
class CapturedConsole {
 public:
  CapturedConsole();
  ~CapturedConsole();
  platform::Console& console() { return *console_; }
  std::string text();

 private:
  std::FILE* file_;
  std::unique_ptr<platform::Console> console_;
};

// A wide path from a narrow one, as the command line would give it.
std::wstring wide(const std::filesystem::path& path);

}  // namespace hushmark::testing

#endif  // HUSHMARK_TESTS_TEST_SUPPORT_H_
