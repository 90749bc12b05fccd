#ifndef HUSHMARK_CHAPTERS_FORMATS_H_
#define HUSHMARK_CHAPTERS_FORMATS_H_

#include <span>
#include <string>
#include <string_view>

#include "chapters/breaks.h"

namespace hushmark {

// The kinds of chapter file hushmark-chapters writes.
enum class ChapterFormat {
  kTxt,
  kFfmetadata,
  kCue,
  kAudacity,
  kVtt,
  kJson,
  kOgm
};

// Everything hushmark-chapters knows of one format.
struct FormatRow {
  ChapterFormat format;
  std::string_view name;     // its name for -f
  std::wstring_view suffix;  // replaces the input's extension in a derived name
  // An output name ending so, ASCII case ignored, chooses the format when -f
  // is absent; empty for none.
  std::wstring_view ending;
  // The whole chapter file, in UTF-8 with LF line ends. The chapters cover
  // the recording in order from 0; input_name (UTF-8) is the recording's file
  // name, which a CUE sheet refers to.
  std::string (*write)(std::span<const Chapter> chapters,
                       std::string_view input_name);
  // The title as the format carries it, before its own escaping.
  std::string (*carry)(std::string_view title);
};

// Every format, one row each, in the order the usage lists them; txt, the
// default, first.
std::span<const FormatRow> chapter_formats();

// The row of a format.
const FormatRow& format_row(ChapterFormat format);

// The row that -f names, or nullptr when none has that name.
const FormatRow* format_named(std::string_view name);

// The row whose ending the output name has (the longest, should several
// match), or nullptr when none has: hushmark-chapters then writes txt.
const FormatRow* format_for_output(std::wstring_view outfile);

// The title as this format carries it, before its own escaping: the
// characters it has no way to hold are replaced (a line break by a space in
// the line-based formats, a tab by a space in Audacity's labels, a double
// quote by an apostrophe in a CUE sheet), and a final backslash in
// FFMETADATA gets a space after it. Every other title comes back from the
// file exactly.
std::string carried_title(ChapterFormat format, std::string_view title);

// The recording's file name as a chapter file refers to it (a CUE sheet's
// FILE): the last part of infile's path, in UTF-8, or as the bytes it is
// when it is not text in the locale.
std::string input_name(std::wstring_view infile);

// The whole chapter file in this format; see FormatRow::write.
std::string format_chapters(ChapterFormat format,
                            std::span<const Chapter> chapters,
                            std::string_view input_name);

}  // namespace hushmark

#endif  // HUSHMARK_CHAPTERS_FORMATS_H_
