#include "chapters/chapter_options.h"

#include "chapters/messages.h"
#include "chapters/titles.h"
#include "cli/echo.h"
#include "cli/options.h"
#include "platform/paths.h"

namespace hushmark {
namespace {

const FormatName* find_format(std::string_view name) {
  for (const FormatName& f : kFormatNames) {
    if (f.name == name) return &f;
  }
  return nullptr;
}

bool check_chapter_settings(ChapterSettings& settings,
                            platform::Console& console) {
  const FormatName* format = find_format(settings.format_name);
  if (format == nullptr) {
    console.write(msg::kChaptersBadFormat);
    return false;
  }
  settings.format = format->format;
  if (settings.max_chapters && *settings.max_chapters < 1) {
    console.write(msg::kChaptersBadCount);
    return false;
  }
  if (settings.min_seconds && *settings.min_seconds < 0) {
    console.write(msg::kChaptersBadLength);
    return false;
  }
  return check_title_template(settings.title, console);
}

}  // namespace

bool read_chapter_options(int argc, char** argv, ChapterSettings& settings,
                          platform::Console& console) {
  auto own = [&settings](int option, const char* argument) {
    switch (option) {
    case 'f':
      settings.format_name = argument;
      break;
    case 'n':
      settings.max_chapters = read_number(argument);
      break;
    case 'l':
      settings.min_seconds = read_number(argument);
      break;
    case 't':
      settings.title = platform::widen_argument(argument);
      break;
    }
    return true;
  };
  const CommandLine line{"i:o:f:s:m:p:n:l:t:h", msg::kChaptersUsage};
  return parse_options(argc, argv, settings.scan, console, line, own) &&
         validate_settings(settings.scan, console) &&
         check_chapter_settings(settings, console);
}

std::wstring_view format_suffix(ChapterFormat format) {
  for (const FormatName& f : kFormatNames) {
    if (f.format == format) return f.suffix;
  }
  return kFormatNames[0].suffix;
}

void echo_chapter_settings(const ChapterSettings& settings,
                           platform::Console& console) {
  echo_settings(settings.scan, console);
  if (settings.scan.cut_position != 0) {
    console.write(msg::kEchoCutPosition +
                  std::to_wstring(settings.scan.cut_position) + L"\n");
  }
  if (settings.format != ChapterFormat::kTxt) {
    console.write(msg::kEchoFormat +
                  platform::widen_argument(settings.format_name) + L"\n");
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
  if (settings.title != kDefaultTitle) {
    console.write(msg::kEchoTitle + shown_title(settings.title) + L"\n");
  }
}

}  // namespace hushmark
