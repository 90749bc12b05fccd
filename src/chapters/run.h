#ifndef HUSHMARK_CHAPTERS_RUN_H_
#define HUSHMARK_CHAPTERS_RUN_H_

#include "chapters/chapter_options.h"
#include "platform/console.h"

namespace hushmark {

// hushmark-chapters' run: reads the titles file, the chapter list and the
// input's own chapters, makes the output ready, scans the recording, then
// shows the chapters and writes them. True when they are written; false
// after any failure, once its message is out.
bool run_chapters(const ChapterSettings& settings, platform::Console& console);

}  // namespace hushmark

#endif  // HUSHMARK_CHAPTERS_RUN_H_
