#include "cli/extraction.h"

#include "extract/byte_reader.h"
#include "extract/messages.h"
#include "extract/wave_reader.h"
#include "platform/files.h"

namespace hushmark {

ScanRequest scan_request(const Settings& settings) {
  return {settings.threshold, settings.min_silence_ms,
          cut_position_of(settings.cut_position)};
}

bool run_extraction(const Settings& settings, platform::Console& console) {
  platform::InputFile input;
  if (!input.open(settings.infile)) {
    console.write(msg::kCannotOpenInput);
    return false;
  }
  // Writing the chapter file would overwrite the input before it is read.
  if (input.is_same_file(settings.outfile)) {
    console.write(msg::kChaptersSameAsInput);
    return false;
  }
  // Opening keeps an earlier chapter file's bytes: they go only when the first
  // point is written or the walk succeeds, and a failure before then leaves
  // the file as it was (or removes it, when this run created it).
  platform::OutputFile chapters;
  if (!chapters.open(settings.outfile)) {
    console.write(msg::kCannotWriteChapters);
    return false;
  }
  ByteReader in(input);
  if (!extract_points(in, scan_request(settings), chapters, console)) {
    return false;
  }
  if (!chapters.close()) {
    console.write(msg::kCannotWriteChapters);
    return false;
  }
  return true;
}

}  // namespace hushmark
