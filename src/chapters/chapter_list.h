#ifndef HUSHMARK_CHAPTERS_CHAPTER_LIST_H_
#define HUSHMARK_CHAPTERS_CHAPTER_LIST_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/console.h"

namespace hushmark {

// One chapter of a list the user already has.
struct ListedChapter {
  std::uint64_t start_ms;  // where the list says the chapter starts
  std::string title;       // UTF-8; empty when the list gives none

  friend bool operator==(const ListedChapter&, const ListedChapter&) = default;
};

// What is wrong with a chapter list.
enum class ListProblem {
  kUnknownFormat,  // not a kind of list that is read
  kBadJson,        // JSON that does not parse, or nested too deep
  kTooLarge,       // more than a chapter list ever holds
  kEmpty,          // no chapter at all
  kBadTime,        // a start time that does not parse, or a chapter without one
  kBadTitle,       // a title that is not valid UTF-8
  kBackwards,      // a start before the one of the chapter above it
};

// Where and why a list was refused.
struct ListError {
  ListProblem problem = ListProblem::kUnknownFormat;
  std::size_t line = 0;  // counted from 1; 0 when no one line is to blame
};

// Reads a chapter list from its bytes, in any of the formats
// hushmark-chapters writes, hushmark's own chapter file, an audiobook's JSON
// chapter listing (startOffsetMs and title, at any depth) or ffprobe's JSON
// chapters; the format is told from the content. Titles come back as the
// format carries them, its escaping undone. The list keeps its order. False,
// with error filled, when the list cannot be used; list is then unspecified.
bool parse_chapter_list(std::string_view bytes,
                        std::vector<ListedChapter>& list, ListError& error);

// Reads the chapter list in the file at path: a text list as
// parse_chapter_list reads it, or a media file's own chapters through
// ffprobe. False once a message naming the file (and the line) is out.
bool read_chapter_list(std::wstring_view path, std::vector<ListedChapter>& list,
                       platform::Console& console);

// Reads a media file's own chapters through ffprobe, for -c. False once a
// message naming the file is out, one of its own for a file without any.
bool read_own_chapters(std::wstring_view path, std::vector<ListedChapter>& list,
                       platform::Console& console);

}  // namespace hushmark

#endif  // HUSHMARK_CHAPTERS_CHAPTER_LIST_H_
