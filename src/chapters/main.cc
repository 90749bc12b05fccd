#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "chapters/align.h"
#include "chapters/breaks.h"
#include "chapters/chapter_list.h"
#include "chapters/chapter_options.h"
#include "chapters/embed.h"
#include "chapters/formats.h"
#include "chapters/messages.h"
#include "chapters/tables.h"
#include "chapters/titles.h"
#include "cli/options.h"
#include "cli/startup.h"
#include "extract/byte_reader.h"
#include "extract/messages.h"
#include "extract/point_format.h"
#include "extract/recording.h"
#include "extract/silence_scan.h"
#include "extract/time_base.h"
#include "extract/timeline.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/utf8.h"

namespace hushmark {
namespace {

// The recording's file name, the last part of its path, for a CUE sheet.
std::string input_name(std::wstring_view infile) {
  std::size_t at = infile.size();
  while (at > 0 && !platform::is_path_separator(infile[at - 1]))
    --at;
  std::wstring_view name = infile.substr(at);
  // A name that is not text in the locale is kept as the bytes it is.
  if (std::optional<std::string> text = platform::utf8_of(name)) return *text;
  return platform::narrow_path(name).value_or(std::string());
}

// The chapters: the given list aligned, or the breaks chosen (none besides
// the files' with -x alone), titled in order from the titles file, then the
// long ones split.
std::vector<Chapter> make_list(const ChapterSettings& settings,
                               std::span<const std::string> titles,
                               std::span<const ListedChapter> listed,
                               Timeline& timeline, std::size_t& titled_count,
                               platform::Console& console) {
  const BreakRules rules = break_rules(settings, titles);
  if (settings.lead_in_ms) {
    place_lead_in(timeline, cut_position_of(settings.scan.cut_position),
                  static_cast<std::uint32_t>(*settings.lead_in_ms));
  }
  std::vector<Chapter> chapters;
  if (settings.align_file) {
    // The list gives the chapters; its drift is fitted to the pauses.
    const Alignment alignment =
        align_chapters(listed, timeline, rules.cut, settings.align_window);
    console.write(alignment_table(alignment, listed, timeline,
                                  locale_decimal_separator()));
    chapters = aligned_chapters(alignment, listed, timeline);
    number_titles(timeline, chapters, settings.title);
  } else {
    chapters = list_chapters(timeline, choose_breaks(timeline, rules),
                             settings.title, settings.file_chapters);
  }
  titled_count = chapters.size();
  apply_titles(chapters, titles);
  if (settings.split_seconds) {
    chapters = split_long_chapters(timeline, chapters, split_rules(settings));
    number_titles(timeline, chapters, settings.title);
  }
  return chapters;
}

bool make_chapters(const ChapterSettings& settings,
                   platform::Console& console) {
  // What can be refused is refused before the scan; a chapter file is made
  // ready at once, so that an output that cannot be written is known then,
  // and nothing there changes before the end.
  std::vector<std::string> titles;
  if (settings.titles_file &&
      !read_titles(*settings.titles_file, titles, console)) {
    return false;
  }
  std::vector<ListedChapter> listed;
  if (settings.align_file &&
      !read_chapter_list(*settings.align_file, listed, console)) {
    return false;
  }
  platform::WholeFile output;
  if (settings.embed) {
    if (!check_embedding(settings.inputs, settings.scan.outfile, console)) {
      return false;
    }
  } else if (input_named_by(settings.inputs, settings.scan.outfile) <
             settings.inputs.size()) {
    console.write(msg::kChaptersSameAsInput);
    return false;
  } else if (!output.open(settings.scan.outfile)) {
    console.write(msg::kCannotWriteChapters);
    return false;
  }
  Timeline timeline;
  // A joined copy holds every packet of every file, each file's encoder
  // delay and padding among them, and players play them all.
  const bool joined = settings.embed && settings.inputs.size() > 1;
  if (!read_timeline(settings.inputs, settings.scan, timeline, console,
                     joined)) {
    return false;
  }
  if (timeline_end_ms(timeline) == 0) {
    console.write(msg::kChaptersNoSound);
    return false;
  }
  note_later_data(timeline, console);
  std::size_t titled_count = 0;
  std::vector<Chapter> chapters =
      make_list(settings, titles, listed, timeline, titled_count, console);
  show_chapters(timeline, chapters, console);
  note_titles(titles.size(), titled_count, console);
  if (settings.split_seconds) {
    note_long(chapters, split_max_ms(settings), console);
  }
  note_cue_tracks(settings.format, chapters.size(), console);
  console.flush();
  if (settings.embed) {
    return embed_chapters(settings.inputs, chapters, settings.scan.outfile,
                          console);
  }
  if (!output.commit(format_chapters(settings.format, chapters,
                                     input_name(settings.scan.infile)))) {
    console.write(msg::kCannotWriteChapters);
    return false;
  }
  return true;
}

}  // namespace
}  // namespace hushmark

int main(int argc, char** argv) {
  using namespace hushmark;
  Program program = start_program(argc, argv);
  platform::Console& console = program.console;
  ChapterSettings settings;
  if (!read_chapter_options(program.args.count(), program.args.values(),
                            settings, console)) {
    return 1;
  }
  if (settings.scan.outfile.empty() &&
      !derive_outfile(settings.scan, console, format_suffix(settings.format))) {
    return 1;
  }
  echo_chapter_settings(settings, console);
  try {
    return make_chapters(settings, console) ? 0 : 1;
  } catch (const std::bad_alloc&) {
    // Only a recording with hundreds of millions of silences gets here.
    console.write(msg::kChaptersOutOfMemory);
    return 1;
  }
}
