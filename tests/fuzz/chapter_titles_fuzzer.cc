// Any title, through each format's escaping, must read back as the title that
// format can carry: the input's bytes are the title of two chapters and the
// recording's file name. The format's own reader takes any bytes; the list
// reader of -a, which wants UTF-8, must agree with it on UTF-8 titles.
#include <cstdint>
#include <string>
#include <vector>

#include "chapters/chapter_list.h"
#include "chapters/formats.h"
#include "chapters/text.h"
#include "fuzz/fuzz_check.h"

namespace {

using namespace hushmark;

void check_read_back(const std::vector<ListedChapter>& back, const FormatRow& f,
                     const std::string& title) {
  fuzz::check(back.size() == 2, "a chapter was lost or gained");
  for (const ListedChapter& chapter : back) {
    fuzz::check(chapter.title == carried_title(f.format, title),
                "a title did not read back");
  }
  // A CUE sheet holds frame 112 of 1/75 s, which starts at 1493.3 ms.
  const std::uint64_t second = f.format == ChapterFormat::kCue ? 1493 : 1500;
  fuzz::check(back[0].start_ms == 0 && back[1].start_ms == second,
              "a start time changed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  std::string title(reinterpret_cast<const char*>(data), size);
  const std::vector<Chapter> chapters = {{0, 1500, 0, title},
                                         {1500, 3'600'000, 12, title}};
  const bool utf8 = is_utf8(title);
  for (const FormatRow& f : chapter_formats()) {
    const std::string text = format_chapters(f.format, chapters, title);
    fuzz::check(format_of_list(text) == &f, "the format was not recognised");
    std::vector<ListedChapter> back;
    ListError error;
    ListReading reading{back, {}, error};
    fuzz::check(f.read(text, reading), "the format's reader refused its file");
    check_read_back(back, f, title);
    if (!utf8) continue;
    std::vector<ListedChapter> listed;
    fuzz::check(parse_chapter_list(text, listed, error),
                "the list reader refused a file as written");
    fuzz::check(listed == back, "the list reader read another list");
  }
  return 0;
}
