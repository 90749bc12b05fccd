#ifndef HUSHMARK_CHAPTERS_FORMATS_H_
#define HUSHMARK_CHAPTERS_FORMATS_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "chapters/breaks.h"
#include "chapters/chapter_list.h"

namespace hushmark {

// The kinds of chapter file hushmark-chapters writes and reads.
enum class ChapterFormat {
  kTxt,
  kFfmetadata,
  kCue,
  kAudacity,
  kVtt,
  kJson,
  kOgm
};

// The chapters a format's reader has found so far, with the line each was
// found on, and why it stopped when it did.
struct ListReading {
  std::vector<ListedChapter>& chapters;
  std::vector<std::size_t> lines;
  ListError& error;

  // Adds a chapter found on this line.
  void add(std::uint64_t start_ms, std::string title, std::size_t line) {
    chapters.push_back({start_ms, std::move(title)});
    lines.push_back(line);
  }
  // Notes why the list is refused; false, for the reader to return.
  bool fail(ListProblem problem, std::size_t line) {
    error = {problem, line};
    return false;
  }
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
  // Whether a list is in this format, told from its first line that holds
  // anything (without the spaces or tabs in front).
  bool (*opens)(std::string_view first_line);
  // Reads a whole list in this format (UTF-8, its byte order mark dropped)
  // into out, the format's escaping undone; false once out.fail has said why.
  bool (*read)(std::string_view text, ListReading& out);
};

// Every format, one row each, in the order the usage lists them; txt, the
// default, first.
std::span<const FormatRow> chapter_formats();

// The row of a format.
const FormatRow& format_row(ChapterFormat format);

// The row of the format a chapter list is in, told from its first line that
// holds anything; nullptr when no format starts so.
const FormatRow* format_of_list(std::string_view text);

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
