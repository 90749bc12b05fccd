#ifndef HUSHMARK_PLATFORM_COMMAND_LINE_H_
#define HUSHMARK_PLATFORM_COMMAND_LINE_H_

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace hushmark::platform {

// One argument of a Windows command line, its quotes and escapes resolved.
struct CommandLineArgument {
  std::wstring text;
  bool wildcard = false;  // a '*' or '?' stood outside double quotes
};

// Splits a Windows command line as CommandLineToArgvW does, the program name
// first; noting which arguments the C runtime would expand as file patterns.
std::vector<CommandLineArgument> split_command_line(std::wstring_view line);

// The command line that split_command_line splits back into args, the program
// name first (which must hold no double quote), and in which the C runtime
// expands no file pattern.
std::wstring join_command_line(std::span<const std::wstring> args);

}  // namespace hushmark::platform

#endif  // HUSHMARK_PLATFORM_COMMAND_LINE_H_
