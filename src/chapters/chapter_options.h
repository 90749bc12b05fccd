#ifndef HUSHMARK_CHAPTERS_CHAPTER_OPTIONS_H_
#define HUSHMARK_CHAPTERS_CHAPTER_OPTIONS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chapters/align.h"
#include "chapters/formats.h"
#include "cli/options.h"
#include "cli/settings.h"
#include "platform/console.h"

namespace hushmark {

inline constexpr std::wstring_view kDefaultTitle = L"Chapter %d";

// The parameters of one hushmark-chapters run: hushmark's own, and how its
// points become chapters.
struct ChapterSettings {
  Settings scan;  // -i -o -s -m -p, read as hushmark reads them
  std::optional<std::string> format_name;      // -f as given
  ChapterFormat format = ChapterFormat::kTxt;  // -f's, or the output name's
  // Without -f, an output named as a media file is a copy of the recording
  // with the chapters in it.
  bool embed = false;
  // The output's file name holds a chapter number: one file per chapter.
  bool chapter_files = false;
  bool overwrite = false;     // -y: a media output may replace a file
  bool own_chapters = false;  // -c: the input's own chapters, as they are

  std::optional<std::int32_t> max_chapters;  // -n: at most this many
  std::optional<std::int32_t> min_seconds;   // -l: none shorter than this
  std::wstring title = std::wstring(kDefaultTitle);  // -t: the template
  bool file_chapters = false;                        // -F: each file starts one
  std::optional<std::wstring> titles_file;           // -T: one title a line
  std::optional<std::wstring> align_file;  // -a: a chapter list to align
  std::int32_t align_window = kDefaultAlignWindowSeconds;  // -w: seconds
  std::optional<std::int32_t> lead_in_ms;  // -b: each break this before sound
  // -x: chapters longer than the longest are split, about every desired.
  std::optional<std::int32_t> split_seconds;
  std::optional<std::int32_t> split_max_seconds;  // none: 1.5 x desired
  // -k: the bit rate of an output that must be encoded, in kbit/s.
  std::optional<std::int32_t> kbit_rate;
  // Every input in order: -i, then the arguments that are not options.
  std::vector<std::wstring> inputs;
};

// hushmark-chapters' options, as getopt reads them: a letter followed by ':'
// takes a value.
inline constexpr const char* kChapterOptionLetters =
    "i:o:f:s:m:p:n:l:t:FT:b:x:a:w:k:ych";

// Fills settings from the command line and checks it: hushmark's checks
// first, then -f, -n, -l, -t, -b and -x. Without -f, the output's name chooses
// the format (txt when it has no format's ending), and a chapter number in
// its file name asks for one media file per chapter. A folder among the inputs
// is then put in place by its recordings (expand_inputs). Anything but kRun
// ends the program, once the answer (--help, --version) or the reason is out.
OptionsOutcome read_chapter_options(int argc, char** argv,
                                    ChapterSettings& settings,
                                    platform::Console& console);

// The longest that -x lets a chapter be, in milliseconds.
std::uint64_t split_max_ms(const ChapterSettings& settings);

// Whole milliseconds as the console shows seconds: "450", or "451.5" with the
// locale's separator where 1.5 x desired ends in half a second.
std::wstring shown_seconds(std::uint64_t ms);

// The suffix that names the output after the input for this format.
std::wstring_view format_suffix(ChapterFormat format);

// Shows the file names and every setting that differs from its default.
void echo_chapter_settings(const ChapterSettings& settings,
                           platform::Console& console);

}  // namespace hushmark

#endif  // HUSHMARK_CHAPTERS_CHAPTER_OPTIONS_H_
