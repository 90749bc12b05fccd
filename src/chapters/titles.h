#ifndef HUSHMARK_CHAPTERS_TITLES_H_
#define HUSHMARK_CHAPTERS_TITLES_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/console.h"

namespace hushmark {

// Checks a title template: false, once the reason is out, when it holds a %
// sequence other than %d, %02d, %03d, %f and %%, or a character that the
// locale could not decode.
bool check_title_template(std::wstring_view title, platform::Console& console);

// The title of chapter `number`: %d is the number, %02d and %03d the number
// zero-padded to that width, %f the title of the file it starts in, %% a
// percent sign. The template must have passed check_title_template.
std::wstring chapter_title(std::wstring_view title, std::uint64_t number,
                           std::wstring_view file_title = {});

// The title as the console shows it: a control character as \xNN, so that a
// line feed or a carriage return cannot break or overwrite a line.
std::wstring shown_title(std::wstring_view title);

// Reads a titles file: one title per line in UTF-8, after an optional byte
// order mark, each line ending in LF or CR LF, spaces and tabs around a title
// dropped. A blank line is a chapter without a title of its own; blank lines
// at the end count for nothing. False, once the reason is out (naming the
// file, and the line where its text is not UTF-8), when the file cannot be
// read, holds a line that is not UTF-8 text or holds no title.
bool read_titles(std::wstring_view path, std::vector<std::string>& titles,
                 platform::Console& console);

}  // namespace hushmark

#endif  // HUSHMARK_CHAPTERS_TITLES_H_
