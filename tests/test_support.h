#ifndef HUSHMARK_TESTS_TEST_SUPPORT_H_
#define HUSHMARK_TESTS_TEST_SUPPORT_H_

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/settings.h"
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
  std::filesystem::path operator/(std::string_view name) const {
    return path_ / name;
  }

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

// What one extraction, run in this process, gave.
struct Extraction {
  bool ok;               // run_extraction's result
  std::string console;   // what it printed
  std::string chapters;  // the chapter file's bytes
  bool chapters_exist;   // whether the chapter file is there afterwards
};

// Runs run_extraction on the file `in` with settings, whose chapter file is
// out.txt beside it unless settings name one.
Extraction extract_file(const std::filesystem::path& in,
                        Settings settings = {});

// The same on wave, written to a file in a folder of its own.
Extraction extract(const std::string& wave, Settings settings = {});

// What a run of the built tool left behind.
struct ToolRun {
  int status;       // exit status, or -1 after a signal or the time limit
  std::string out;  // standard output, byte for byte; "<timed out>" ends it
                    // when the run was stopped
  std::string err;  // standard error
};

// Runs the built tool in folder with args under the locale named by LANG
// (LC_ALL and the other LC_ variables unset), with extra environment entries;
// its standard input is a pipe carrying *piped when that is given, and
// /dev/null otherwise. A run still going after two minutes is killed.
ToolRun run_tool(const std::filesystem::path& folder,
                 const std::vector<std::string>& args,
                 const std::string& lang = "C.UTF-8",
                 const std::vector<std::string>& extra_env = {},
                 const std::string* piped = nullptr);

// Runs the built hushmark-probe in the same way, under C.UTF-8.
ToolRun run_probe(const std::filesystem::path& folder,
                  const std::vector<std::string>& args,
                  const std::string* piped = nullptr,
                  const std::vector<std::string>& extra_env = {});

// Runs the built hushmark-chapters in the same way.
ToolRun run_chapters(const std::filesystem::path& folder,
                     const std::vector<std::string>& args,
                     const std::string& lang = "C.UTF-8",
                     const std::string* piped = nullptr,
                     const std::vector<std::string>& extra_env = {});

// The environment entry that names a decoder that does not exist.
inline const std::vector<std::string> kNoDecoder = {
    "HUSHMARK_FFMPEG=hushmark-no-such-decoder"};

// True when the C library has this locale installed.
bool locale_installed(const std::string& name);

// A wide path from a narrow one, as the command line would give it.
std::wstring wide(const std::filesystem::path& path);

}  // namespace hushmark::testing

#endif  // HUSHMARK_TESTS_TEST_SUPPORT_H_
