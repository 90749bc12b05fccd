#ifndef HUSHMARK_CHAPTERS_FORMATS_H_
#define HUSHMARK_CHAPTERS_FORMATS_H_

#include <span>
#include <string>
#include <string_view>

#include "chapters/breaks.h"
#include "chapters/chapter_options.h"

namespace hushmark {

// The title as this format carries it, before its own escaping: the
// characters it has no way to hold are replaced (a line break by a space in
// the line-based formats, a tab by a space in Audacity's labels, a double
// quote by an apostrophe in a CUE sheet), and a final backslash in
// FFMETADATA gets a space after it. Every other title comes back from the
// file exactly.
std::string carried_title(ChapterFormat format, std::string_view title);

// The whole chapter file, in UTF-8 with LF line ends. The chapters cover the
// recording in order from 0; input_name (UTF-8) is the recording's file name,
// which a CUE sheet refers to.
std::string format_chapters(ChapterFormat format,
                            std::span<const Chapter> chapters,
                            std::string_view input_name);

}  // namespace hushmark

#endif  // HUSHMARK_CHAPTERS_FORMATS_H_
