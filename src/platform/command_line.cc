#include "platform/command_line.h"

#include <algorithm>

namespace hushmark::platform {
namespace {

bool is_blank(wchar_t c) {
  return c == L' ' || c == L'\t';
}

// The program name ends at the next quote when it starts with one, otherwise
// at the first blank; backslashes in it are plain characters.
std::wstring read_program_name(std::wstring_view line, std::size_t& at) {
  if (line.starts_with(L'"')) {
    std::size_t end = line.find(L'"', 1);
    if (end == line.npos) end = line.size();
    at = std::min(end + 1, line.size());
    return std::wstring(line.substr(1, end - 1));
  }
  while (at < line.size() && !is_blank(line[at]))
    ++at;
  return std::wstring(line.substr(0, at));
}

// Reads the argument starting at `at` and moves `at` past it.
CommandLineArgument read_argument(std::wstring_view line, std::size_t& at) {
  CommandLineArgument arg;
  bool quoted = false;
  while (at < line.size()) {
    wchar_t c = line[at];
    if (c == L'\\') {
      std::size_t end = line.find_first_not_of(L'\\', at);
      std::size_t slashes = (end == line.npos ? line.size() : end) - at;
      at += slashes;
      if (at == line.size() || line[at] != L'"') {
        arg.text.append(slashes, L'\\');
        continue;
      }
      // Before a quote, backslashes escape each other and, when odd, it.
      arg.text.append(slashes / 2, L'\\');
      if (slashes % 2 == 1) {
        arg.text.push_back(L'"');
        ++at;
      }
    } else if (c == L'"') {
      // A run of quotes: counting an open quote in, every third is a literal
      // quote that also closes; a remainder of one leaves the text quoted.
      std::size_t end = line.find_first_not_of(L'"', at);
      std::size_t run = (end == line.npos ? line.size() : end) - at;
      at += run;
      std::size_t count = run + (quoted ? 1 : 0);
      arg.text.append(count / 3, L'"');
      quoted = count % 3 == 1;
    } else if (is_blank(c) && !quoted) {
      break;
    } else {
      if ((c == L'*' || c == L'?') && !quoted) arg.wildcard = true;
      arg.text.push_back(c);
      ++at;
    }
  }
  return arg;
}

// Appends arg so that it reads back as it is: quoted when it is empty or holds
// a blank, a quote or a pattern character, and with the backslashes doubled
// that come before a quote, its own or the closing one.
void append_argument(std::wstring& line, std::wstring_view arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"*?") == arg.npos) {
    line += arg;
    return;
  }
  line += L'"';
  std::size_t slashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++slashes;
      continue;
    }
    line.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
    line += c;
    slashes = 0;
  }
  line.append(slashes * 2, L'\\');
  line += L'"';
}

}  // namespace

std::vector<CommandLineArgument> split_command_line(std::wstring_view line) {
  std::size_t at = 0;
  std::vector<CommandLineArgument> args(1);
  args[0].text = read_program_name(line, at);
  for (;;) {
    while (at < line.size() && is_blank(line[at]))
      ++at;
    if (at == line.size()) break;
    args.push_back(read_argument(line, at));
  }
  return args;
}

std::wstring join_command_line(std::span<const std::wstring> args) {
  std::wstring line;
  if (args.empty()) return line;
  // The program name ends at its closing quote; backslashes in it are plain.
  line = L'"' + args[0] + L'"';
  for (const std::wstring& arg : args.subspan(1)) {
    line += L' ';
    append_argument(line, arg);
  }
  return line;
}

}  // namespace hushmark::platform
