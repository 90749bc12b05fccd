#include "chapters/chapter_options.h"

#include <cstring>

#include "chapters/align.h"
#include "chapters/embed.h"
#include "chapters/messages.h"
#include "chapters/split.h"
#include "chapters/titles.h"
#include "cli/core_words.h"
#include "cli/echo.h"
#include "cli/options.h"
#include "extract/inputs.h"
#include "extract/point_format.h"
#include "extract/time_base.h"
#include "platform/paths.h"

namespace hushmark {
namespace {

// The names of the formats, in the table's order, each after `separator`.
std::wstring format_names(wchar_t separator) {
  std::wstring names;
  for (const FormatRow& row : chapter_formats()) {
    names += separator;
    names.append(row.name.begin(), row.name.end());
  }
  return names;
}

bool choose_format(ChapterSettings& settings, platform::Console& console) {
  if (!settings.format_name) {
    const FormatRow* row = format_for_output(settings.scan.outfile);
    settings.format = row ? row->format : ChapterFormat::kTxt;
    settings.embed = media_output(settings.scan.outfile) != MediaOutput::kNone;
    settings.chapter_files = names_chapter_files(settings.scan.outfile);
    if (settings.chapter_files && !settings.embed) {
      console.write(msg::kFilesNotMedia);
      return false;
    }
    return !settings.embed ||
           check_chapter_files(settings.scan.outfile, console);
  }
  const FormatRow* row = format_named(*settings.format_name);
  if (row == nullptr) {
    console.write(msg::kChaptersBadFormat + format_names(L',').substr(1) +
                  msg::kChaptersBadFormatEnd);
    return false;
  }
  settings.format = row->format;
  return true;
}

bool check_chapter_settings(ChapterSettings& settings,
                            platform::Console& console) {
  if (!choose_format(settings, console)) return false;
  if (settings.max_chapters && *settings.max_chapters < 1) {
    console.write(msg::kChaptersBadCount);
    return false;
  }
  if (settings.min_seconds && *settings.min_seconds < 0) {
    console.write(msg::kChaptersBadLength);
    return false;
  }
  if (settings.align_window < 0 || settings.align_window > kMaxAlignWindow) {
    console.write(msg::kChaptersBadWindow);
    return false;
  }
  if (settings.lead_in_ms && *settings.lead_in_ms < 0) {
    console.write(msg::kChaptersBadLeadIn);
    return false;
  }
  if (settings.split_seconds &&
      (*settings.split_seconds < 1 ||
       settings.split_max_seconds.value_or(*settings.split_seconds) <
           *settings.split_seconds)) {
    console.write(msg::kChaptersBadSplit);
    return false;
  }
  if (settings.kbit_rate &&
      (*settings.kbit_rate < 8 || *settings.kbit_rate > 512)) {
    console.write(msg::kChaptersBadBitRate);
    return false;
  }
  return check_title_template(settings.title, console);
}

// Reads -x's "DESIRED[,MAX]", each number as hushmark reads one.
void read_split(const char* argument, ChapterSettings& settings) {
  settings.split_seconds = read_number(argument);
  settings.split_max_seconds.reset();
  if (const char* comma = std::strchr(argument, ',')) {
    settings.split_max_seconds = read_number(comma + 1);
  }
}

// Reads one of the options that choose, place and title the chapters.
void read_chapter_option(int option, const char* argument,
                         ChapterSettings& settings) {
  switch (option) {
  case 'n':
    settings.max_chapters = read_number(argument);
    break;
  case 'l':
    settings.min_seconds = read_number(argument);
    break;
  case 't':
    settings.title = platform::widen_argument(argument);
    break;
  case 'F':
    settings.file_chapters = true;
    break;
  case 'T':
    settings.titles_file = platform::widen_argument(argument);
    break;
  case 'a':
    settings.align_file = platform::widen_argument(argument);
    break;
  case 'w':
    settings.align_window = read_number(argument);
    break;
  case 'b':
    settings.lead_in_ms = read_number(argument);
    break;
  case 'x':
    read_split(argument, settings);
    break;
  }
}

// Reads one option that hushmark-chapters has beyond hushmark's, or an input
// named without -i; false once the reason is out.
bool read_own_option(int option, const char* argument,
                     ChapterSettings& settings, platform::Console& console) {
  switch (option) {
  case 'f':
    settings.format_name = argument;
    break;
  case 'k':
    settings.kbit_rate = read_number(argument);
    break;
  case 'y':
    settings.overwrite = true;
    break;
  case 'c':
    settings.own_chapters = true;
    break;
  case 's':
  case 'm':
    read_auto(option, argument, settings.scan);
    break;
  case kOperand:
    return read_operand(argument, settings.inputs, console);
  default:
    read_chapter_option(option, argument, settings);
    break;
  }
  return true;
}

}  // namespace

OptionsOutcome read_chapter_options(int argc, char** argv,
                                    ChapterSettings& settings,
                                    platform::Console& console) {
  auto own = [&settings, &console](int option, const char* argument) {
    return read_own_option(option, argument, settings, console);
  };
  const std::wstring usage =
      msg::kChaptersUsage + format_names(L' ') + msg::kChaptersUsageEnd;
  const CommandLine line{kChapterOptionLetters, usage.c_str(),
                         msg::kChaptersVersion};
  const OptionsOutcome parsed =
      parse_options(argc, argv, settings.scan, console, line, own);
  if (parsed != OptionsOutcome::kRun) return parsed;
  take_inputs(settings.scan, settings.inputs);
  if (!validate_settings(settings.scan, console) ||
      !check_chapter_settings(settings, console) ||
      !succeeded(expand_inputs(settings.inputs, notices_to(console)),
                 console)) {
    return OptionsOutcome::kExitFailure;
  }
  if (settings.own_chapters && settings.inputs.size() > 1) {
    console.write(msg::kOwnChaptersOneInput);
    return OptionsOutcome::kExitFailure;
  }
  // A folder stands for its files: the first one read names the output.
  settings.scan.infile = settings.inputs.front();
  return OptionsOutcome::kRun;
}

std::uint64_t split_max_ms(const ChapterSettings& settings) {
  if (settings.split_max_seconds) {
    return seconds_ms(*settings.split_max_seconds);
  }
  return std::uint64_t{1500} *
         static_cast<std::uint32_t>(settings.split_seconds.value_or(0));
}

std::wstring shown_seconds(std::uint64_t ms) {
  std::wstring text = std::to_wstring(ms / 1000);
  if (ms % 1000 != 0) {
    std::wstring fraction = std::to_wstring(ms % 1000 + 1000).substr(1);
    fraction.erase(fraction.find_last_not_of(L'0') + 1);
    text += locale_decimal_separator() + fraction;
  }
  return text;
}

std::wstring_view format_suffix(ChapterFormat format) {
  return format_row(format).suffix;
}

void echo_chapter_settings(const ChapterSettings& settings,
                           platform::Console& console) {
  echo_settings(settings.scan, console, settings.inputs);
  if (settings.lead_in_ms) {
    console.write(msg::kEchoLeadIn + std::to_wstring(*settings.lead_in_ms) +
                  msg::kEchoLeadInSuffix);
  } else if (settings.scan.cut_position != 0) {
    console.write(msg::kEchoCutPosition +
                  std::to_wstring(settings.scan.cut_position) + L"\n");
  }
  if (settings.format != ChapterFormat::kTxt) {
    const std::string_view name = format_row(settings.format).name;
    console.write(msg::kEchoFormat + std::wstring(name.begin(), name.end()) +
                  L"\n");
  }
  if (settings.max_chapters) {
    console.write(msg::kEchoMaxChapters +
                  std::to_wstring(*settings.max_chapters) + L"\n");
  }
  if (settings.min_seconds && *settings.min_seconds != 0) {
    console.write(msg::kEchoMinChapter +
                  std::to_wstring(*settings.min_seconds) +
                  msg::kEchoMinChapterSuffix);
  }
  if (settings.split_seconds) {
    console.write(msg::kEchoSplit + std::to_wstring(*settings.split_seconds) +
                  msg::kEchoSplitMax + shown_seconds(split_max_ms(settings)) +
                  msg::kEchoSplitEnd);
  }
  if (settings.file_chapters) console.write(msg::kEchoFileChapters);
  if (settings.align_file) {
    console.write(msg::kEchoAlignFile + *settings.align_file + L"\n");
  }
  if (settings.align_window != kDefaultAlignWindowSeconds) {
    console.write(msg::kEchoAlignWindow +
                  std::to_wstring(settings.align_window) +
                  msg::kEchoAlignWindowSuffix);
  }
  if (settings.titles_file) {
    console.write(msg::kEchoTitlesFile + *settings.titles_file + L"\n");
  }
  if (settings.title != kDefaultTitle) {
    console.write(msg::kEchoTitle + shown_title(settings.title) + L"\n");
  }
}

}  // namespace hushmark
