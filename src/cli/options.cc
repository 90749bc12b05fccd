#include "cli/options.h"

#include <cstdlib>
#include <limits>
#include <string_view>

#include "cli/messages.h"
#include "cli/usage.h"
#include "platform/option_reader.h"
#include "platform/paths.h"

namespace hushmark {
namespace {

bool read_path(const char* arg, std::wstring& path,
               platform::Console& console) {
  std::wstring wide = platform::widen_argument(arg);
  if (wide.size() >= kPathCapacity) {
    console.write(msg::kPathTooLong);
    return false;
  }
  path = std::move(wide);
  return true;
}

}  // namespace

std::int32_t read_number(const char* text) {
  long long value = std::strtoll(text, nullptr, 0);
  if (value > std::numeric_limits<std::int32_t>::max()) {
    return std::numeric_limits<std::int32_t>::max();
  }
  if (value < std::numeric_limits<std::int32_t>::min()) {
    return std::numeric_limits<std::int32_t>::min();
  }
  return static_cast<std::int32_t>(value);
}

OptionsOutcome parse_options(int argc, char** argv, Settings& settings,
                             platform::Console& console,
                             const CommandLine& line,
                             const OptionHandler& own) {
  constexpr OptionsOutcome kFailed = OptionsOutcome::kExitFailure;
  platform::OptionReader options(argc, argv, line.options);
  int opt;
  while ((opt = options.next()) != -1) {
    const char* optarg = options.argument();
    switch (opt) {
    case 'i':
      if (!read_path(optarg, settings.infile, console)) return kFailed;
      break;
    case 'o':
      if (!read_path(optarg, settings.outfile, console)) return kFailed;
      break;
    case 's':
      settings.threshold = read_number(optarg);
      settings.threshold_given = true;
      break;
    case 'm':
      settings.min_silence_ms = read_number(optarg);
      settings.min_silence_given = true;
      break;
    case 'p':
      settings.cut_position = read_number(optarg);
      break;
    case 'h':
      print_usage(line.usage, console);
      return kFailed;
    case platform::kHelpOption:
      print_usage(line.usage, console);
      return OptionsOutcome::kExitSuccess;
    case platform::kVersionOption:
      console.write(line.version);
      return OptionsOutcome::kExitSuccess;
    case platform::kOtherLongOption:
      console.write(platform::widen_argument(optarg) + msg::kNoLongOption);
      return kFailed;
    case '?':
    case ':':
      continue;  // getopt has already said what was wrong; carry on without it
    default:
      break;  // another program's own option
    }
    if (own && !own(opt, optarg)) return kFailed;
  }
  for (int k = options.operands(); own && k < argc; ++k) {
    if (!own(kOperand, argv[k])) return kFailed;
  }
  return OptionsOutcome::kRun;
}

void read_auto(int option, const char* argument, Settings& settings) {
  if (argument == nullptr || std::string_view(argument) != "auto") return;
  const Settings defaults;
  if (option == 's') {
    settings.threshold = defaults.threshold;
    settings.threshold_given = false;
  } else if (option == 'm') {
    settings.min_silence_ms = defaults.min_silence_ms;
    settings.min_silence_given = false;
  }
}

bool read_operand(const char* argument, std::vector<std::wstring>& inputs,
                  platform::Console& console) {
  std::wstring path;
  if (!read_path(argument, path, console)) return false;
  inputs.push_back(std::move(path));
  return true;
}

void take_inputs(Settings& settings, std::vector<std::wstring>& inputs) {
  if (settings.infile.empty() && !inputs.empty()) {
    settings.infile = inputs.front();
  } else if (!settings.infile.empty()) {
    inputs.insert(inputs.begin(), settings.infile);
  }
}

bool validate_settings(const Settings& settings, platform::Console& console) {
  if (settings.infile.empty()) {
    console.write(msg::kNoInput);
    return false;
  }
  if (settings.cut_position < 0 || settings.cut_position > 2) {
    console.write(msg::kBadCutPosition);
    return false;
  }
  return true;
}

bool derive_outfile(Settings& settings, platform::Console& console,
                    std::wstring_view suffix) {
  const std::wstring& in = settings.infile;
  // A full stop at this index (1,011 for hushmark's suffix) or later never
  // marks the extension, so that the name, the suffix and the terminator
  // always fit.
  const std::size_t search_limit = kPathCapacity - 1 - suffix.size();
  std::size_t stop = std::min(in.size(), search_limit);
  // Only a full stop in the last path component marks an extension; one in a
  // directory name would put the chapter file outside that directory.
  std::size_t component = 0;
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (platform::is_path_separator(in[i])) component = i + 1;
  }
  // Cutting inside a directory name would name a file in another folder, and
  // no name in the input's own folder leaves room for the suffix.
  if (component > stop) {
    console.write(msg::kPathTooLong);
    return false;
  }
  std::size_t cut = stop;
  for (std::size_t i = component; i < stop; ++i) {
    if (in[i] == L'.') cut = i;
  }
  settings.outfile = in.substr(0, cut);
  settings.outfile += suffix;
  return true;
}

OptionsOutcome read_options(int argc, char** argv, Settings& settings,
                            platform::Console& console) {
  const OptionsOutcome parsed = parse_options(argc, argv, settings, console);
  if (parsed != OptionsOutcome::kRun) return parsed;
  return validate_settings(settings, console) &&
                 (!settings.outfile.empty() ||
                  derive_outfile(settings, console))
             ? OptionsOutcome::kRun
             : OptionsOutcome::kExitFailure;
}

}  // namespace hushmark
