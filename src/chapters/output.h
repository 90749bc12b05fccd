#ifndef HUSHMARK_CHAPTERS_OUTPUT_H_
#define HUSHMARK_CHAPTERS_OUTPUT_H_

#include <span>

#include "chapters/breaks.h"
#include "chapters/chapter_options.h"
#include "chapters/embed.h"
#include "chapters/embed_plan.h"
#include "platform/console.h"
#include "platform/files.h"

namespace hushmark {

// How a copy of the recording with its chapters is made: its plan, and the
// encoder that the encode route feeds during the scan.
struct Embedding {
  EmbedPlan plan;
  EmbedEncoder encoder;
};

// Makes the output ready before the scan, so that one that cannot be written
// is known then: a copy's inputs and name are checked and its way planned,
// a file it would replace refused without -y, the folders of a file per
// chapter made, its encoder started when it is encoded; a chapter file is
// opened at once, and nothing there changes before the end. False once the
// reason is out.
bool ready_output(const ChapterSettings& settings, platform::WholeFile& output,
                  Embedding& embedding, platform::Console& console);

// Writes the chapter file, or the copy of the recording with the chapters;
// false once the reason is out.
bool write_output(const ChapterSettings& settings,
                  std::span<const Chapter> chapters,
                  platform::WholeFile& output, Embedding& embedding,
                  platform::Console& console);

}  // namespace hushmark

#endif  // HUSHMARK_CHAPTERS_OUTPUT_H_
