// Runs the command line as main does before the extraction. The first byte
// picks the locale (C.UTF-8, C or, where installed, ja_JP.EUC-JP) and the
// program (hushmark or hushmark-chapters); the rest are the arguments, split
// at zero bytes.
#include <getopt.h>
#include <unistd.h>

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chapters/chapter_options.h"
#include "chapters/titles.h"
#include "cli/echo.h"
#include "cli/options.h"
#include "cli/settings.h"
#include "fuzz/fuzz_check.h"
#include "platform/console.h"
#include "platform/paths.h"
#include "platform/utf8.h"

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

// What every accepted command line must hold; derives the output's name as
// the program does.
bool check_settings(Settings& settings, platform::Console& console,
                    std::wstring_view suffix) {
  check(!settings.infile.empty(), "no input let through");
  check(settings.infile.size() < kPathCapacity, "input path too long");
  check(settings.outfile.size() < kPathCapacity, "chapter path too long");
  check(settings.cut_position >= 0 && settings.cut_position <= 2,
        "cut position let through");
  if (settings.outfile.empty()) {
    if (!derive_outfile(settings, console, suffix)) return false;
    check(settings.outfile.size() < kPathCapacity, "derived path too long");
    check(folder_of(settings.outfile) == folder_of(settings.infile),
          "derived path left the input's folder");
  }
  return true;
}

void run_hushmark(int argc, char** argv, platform::Console& console) {
  Settings settings;
  if (parse_options(argc, argv, settings, console) != OptionsOutcome::kRun ||
      !validate_settings(settings, console) ||
      !check_settings(settings, console, kChapterSuffix)) {
    return;
  }
  echo_settings(settings, console);
}

void run_chapters(int argc, char** argv, platform::Console& console) {
  ChapterSettings settings;
  if (read_chapter_options(argc, argv, settings, console) !=
      OptionsOutcome::kRun) {
    return;
  }
  check(!settings.max_chapters || *settings.max_chapters >= 1,
        "a chapter count below 1 let through");
  check(!settings.min_seconds || *settings.min_seconds >= 0,
        "a negative chapter length let through");
  check(!settings.format_name ||
            format_row(settings.format).name == *settings.format_name,
        "the format and its name disagree");
  // Every title a template gives has a UTF-8 form for the files.
  for (std::uint64_t number : {1ull, 100ull, 18446744073709551615ull}) {
    check(platform::utf8_of(chapter_title(settings.title, number)).has_value(),
          "a title without a UTF-8 form");
  }
  if (!check_settings(settings.scan, console, format_suffix(settings.format))) {
    return;
  }
  echo_chapter_settings(settings, console);
}

// hushmark-chapters walks a folder that it is given and reads the head of
// every file in it: a walk of the machine's root, or of a build tree, runs
// far past the time a run may take. The runs take place in an empty folder
// of their own, and absolute paths become relative ones under it.
void enter_empty_folder() {
  static const bool entered = [] {
    const std::string name = make_work_folder("/tmp");
    return !name.empty() && ::chdir(name.c_str()) == 0;
  }();
  check(entered, "cannot enter an empty folder");
}

// An absolute path, alone or attached to an option ("-Fi/", "-\xa0i/"),
// becomes one under the working folder, and ".." names a plain file: either
// would reach the machine's folders, whose walk takes seconds, and whose
// files a run could write.
void stay_under_working_folder(std::vector<std::string>& args) {
  const std::string_view letters = kChapterOptionLetters;
  auto takes_value = [letters](char c) {
    const std::size_t at = c == ':' ? letters.npos : letters.find(c);
    return at + 1 < letters.size() && letters[at + 1] == ':';
  };
  for (std::string& a : args) {
    for (std::size_t at; (at = a.find("..")) != std::string::npos;)
      a[at + 1] = '_';
    std::size_t value = 0;  // where the path starts, as getopt reads it
    if (a.starts_with('-')) {
      value = a.size();
      for (std::size_t k = 1; k < a.size(); ++k) {
        if (takes_value(a[k])) {
          value = k + 1;
          break;
        }
      }
    }
    if (value < a.size() && a[value] == '/') a.insert(value, ".");
  }
}

void run_command_line(std::vector<std::string> args, bool chapters) {
  if (chapters) stay_under_working_folder(args);
  std::vector<char*> argv;
  for (std::string& a : args)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  optind = 0;  // start glibc's getopt afresh
  opterr = 0;
  platform::Console console(null_output());
  int argc = static_cast<int>(args.size());
  if (chapters) {
    run_chapters(argc, argv.data(), console);
  } else {
    run_hushmark(argc, argv.data(), console);
  }
}

}  // namespace
}  // namespace hushmark::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace hushmark::fuzz;
  if (size == 0) return 0;
  enter_empty_folder();
  use_locale(data[0] % 3);
  std::vector<std::string> args = split_arguments(data + 1, size - 1);
  check_round_trips(args);
  run_command_line(args, data[0] / 3 % 2 == 1);
  return 0;
}
