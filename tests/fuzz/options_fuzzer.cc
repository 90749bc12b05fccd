// Runs the command line as main does before the extraction. The first byte
// picks the locale (C.UTF-8, C or, where installed, ja_JP.EUC-JP); the rest
// are the arguments, split at zero bytes.
#include <getopt.h>

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/echo.h"
#include "cli/options.h"
#include "cli/settings.h"
#include "fuzz/fuzz_check.h"
#include "platform/console.h"
#include "platform/paths.h"

namespace hushmark::fuzz {
namespace {

void use_locale(int pick) {
  static int current = -1;
  if (current == pick) return;
  static const char* const kLocales[] = {"C.UTF-8", "C", "ja_JP.EUC-JP"};
  if (!std::setlocale(LC_ALL, kLocales[pick])) std::setlocale(LC_ALL, "C");
  current = pick;
}

std::FILE* null_output() {
  static std::FILE* null = std::fopen("/dev/null", "w");
  check(null != nullptr, "cannot open /dev/null");
  return null;
}

std::vector<std::string> split_arguments(const std::uint8_t* data,
                                         std::size_t size) {
  std::vector<std::string> args{"hushmark"};
  std::string current;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.push_back(current);
      current.clear();
    } else {
      current.push_back(static_cast<char>(data[i]));
    }
  }
  if (size > 0) args.push_back(current);
  return args;
}

std::wstring folder_of(const std::wstring& path) {
  std::size_t at = path.size();
  while (at > 0 && !platform::is_path_separator(path[at - 1]))
    --at;
  return path.substr(0, at);
}

// Every argument must name the same bytes when it is opened later.
void check_round_trips(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    std::optional<std::string> back =
        platform::narrow_path(platform::widen_argument(arg));
    check(back && *back == arg, "a path does not narrow back to its bytes");
  }
}

void run_command_line(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  optind = 0;  // start glibc's getopt afresh
  opterr = 0;
  platform::Console console(null_output());
  Settings settings;
  if (!parse_options(static_cast<int>(args.size()), argv.data(), settings,
                     console))
    return;
  check(settings.infile.size() < kPathCapacity, "input path too long");
  check(settings.outfile.size() < kPathCapacity, "chapter path too long");
  if (!validate_settings(settings, console)) return;
  check(settings.cut_position >= 0 && settings.cut_position <= 2,
        "cut position let through");
  if (settings.outfile.empty()) {
    if (!derive_outfile(settings, console)) return;
    check(settings.outfile.size() < kPathCapacity, "derived path too long");
    check(folder_of(settings.outfile) == folder_of(settings.infile),
          "derived path left the input's folder");
  }
  echo_settings(settings, console);
}

}  // namespace
}  // namespace hushmark::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace hushmark::fuzz;
  if (size == 0) return 0;
  use_locale(data[0] % 3);
  std::vector<std::string> args = split_arguments(data + 1, size - 1);
  check_round_trips(args);
  run_command_line(args);
  return 0;
}
