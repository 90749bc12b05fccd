#ifndef HUSHMARK_CHAPTERS_TEXT_H_
#define HUSHMARK_CHAPTERS_TEXT_H_

#include <cstddef>
#include <string_view>
#include <vector>

namespace hushmark {

// One line of a text file.
struct TextLine {
  std::string_view text;  // without its LF, or the CR before it
  std::size_t number;     // from 1
};

// The text without the UTF-8 byte order mark that some editors put first.
std::string_view without_bom(std::string_view text);

// The lines of text, each ended by LF; a CR before the LF (or at the very end)
// is dropped with it, and a last line without LF counts too. No text, no line.
std::vector<TextLine> text_lines(std::string_view text);

// Where text stops being valid UTF-8, or npos: overlong forms, surrogates and
// code points past U+10FFFF are not.
std::size_t utf8_error_at(std::string_view text);

// True for valid UTF-8 text.
bool is_utf8(std::string_view text);

}  // namespace hushmark

#endif  // HUSHMARK_CHAPTERS_TEXT_H_
