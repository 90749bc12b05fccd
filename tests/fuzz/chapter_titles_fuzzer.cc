// Any title, through each format's escaping, must read back as the title that
// format can carry: the input's bytes are the title of two chapters.
#include <cstdint>
#include <string>
#include <vector>

#include "chapters/chapter_parsers.h"
#include "chapters/formats.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace hushmark;
  std::string title(reinterpret_cast<const char*>(data), size);
  const std::vector<Chapter> chapters = {{0, 1500, 0, title},
                                         {1500, 3'600'000, 12, title}};
  for (const FormatRow& f : chapter_formats()) {
    std::string text = format_chapters(f.format, chapters, title);
    std::vector<testing::ParsedChapter> back =
        testing::parse_chapters(f.format, text);
    fuzz::check(back.size() == 2, "a chapter was lost or gained");
    for (const testing::ParsedChapter& chapter : back) {
      fuzz::check(chapter.title == carried_title(f.format, title),
                  "a title did not read back");
    }
    std::uint64_t second = f.format == ChapterFormat::kCue ? 112 : 1500;
    fuzz::check(back[1].start_ms == second, "a start time changed");
  }
  return 0;
}
