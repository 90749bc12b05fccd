#ifndef HUSHMARK_CLI_OPTIONS_H_
#define HUSHMARK_CLI_OPTIONS_H_

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "cli/messages.h"
#include "cli/settings.h"
#include "platform/console.h"

namespace hushmark {

// What sets one program's command line apart: the options it takes (in
// getopt's form), the usage text that "-h" and "--help" print, and the line
// that "--version" prints.
struct CommandLine {
  const char* options;
  const wchar_t* usage;
  const wchar_t* version;
};

// hushmark's own command line.
inline constexpr CommandLine kHushmarkCommandLine{"i:o:hs:m:p:", msg::kUsage,
                                                  msg::kVersion};

// How reading a command line ended: with a run to make, or with the program
// to end at once, with status 0 (--help or --version answered) or status 1.
enum class OptionsOutcome { kRun, kExitSuccess, kExitFailure };

// The exit status of an outcome that ends the program.
inline int exit_status(OptionsOutcome outcome) {
  return outcome == OptionsOutcome::kExitSuccess ? 0 : 1;
}

// Reads a number as strtol with base 0 does (decimal, 0x hexadecimal, leading
// 0 octal, text after it ignored, no number at all giving 0) and clamps it to
// the signed 32-bit range.
std::int32_t read_number(const char* text);

// Hears of each option that parse_options has read, with its argument (or
// nullptr), so that a program can read options of its own and note which
// shared ones were given; then of each argument that is not an option, as
// kOperand. False ends the run with status 1, once the handler has said why.
// It never hears of "-h" or of long options.
inline constexpr int kOperand = 1;
using OptionHandler = std::function<bool(int option, const char* argument)>;

// Fills settings from the command line in order: the options hushmark takes
// are read here, and every option read, these included, is then handed to
// `own` when one is given. Ends the program with status 1 when "-h" was read
// (the usage is printed), a path is too long, `own` refused, or a long option
// other than these was given (said so); with status 0 once "--help" or
// "--version" has been answered. Short options the command line does not take
// are reported and ignored.
OptionsOutcome parse_options(int argc, char** argv, Settings& settings,
                             platform::Console& console,
                             const CommandLine& line = kHushmarkCommandLine,
                             const OptionHandler& own = {});

// For the programs that can choose -s and -m from the recording: an option
// of these whose argument is "auto" leaves its setting at its default, as
// not given. Called from such a program's own handler.
void read_auto(int option, const char* argument, Settings& settings);

// Adds an argument that is not an option to the inputs; false, once the
// reason is out, when it is too long a path.
bool read_operand(const char* argument, std::vector<std::wstring>& inputs,
                  platform::Console& console);

// Puts -i's file first among the inputs; without -i, the first input becomes
// the input file that names the output.
void take_inputs(Settings& settings, std::vector<std::wstring>& inputs);

// Refuses a run without an input file or with a cut position other than 0, 1
// or 2, printing why.
bool validate_settings(const Settings& settings, platform::Console& console);

// hushmark's options in full: read, checked, and the chapter file named
// after the input when -o gave none. Anything but kRun ends the program, once
// the answer or the reason is out.
OptionsOutcome read_options(int argc, char** argv, Settings& settings,
                            platform::Console& console);

// hushmark's chapter file is the input's name with this in place of its
// extension.
inline constexpr std::wstring_view kChapterSuffix = L"_chapter.txt";

// Names the output after the input: the input's name up to its extension,
// followed by suffix. False, leaving outfile empty and saying why, when the
// input's folder name is too long for any such name beside it.
bool derive_outfile(Settings& settings, platform::Console& console,
                    std::wstring_view suffix = kChapterSuffix);

}  // namespace hushmark

#endif  // HUSHMARK_CLI_OPTIONS_H_
