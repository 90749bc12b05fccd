// Any bytes as a chapter list to align: a list that is read holds chapters in
// order with UTF-8 titles, and written in each format it reads back the same;
// a refused list names a line it has.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "chapters/chapter_list.h"
#include "chapters/formats.h"
#include "fuzz/fuzz_check.h"
#include "platform/utf8.h"

namespace {

using namespace hushmark;

// Writes the list in every format and reads it back.
void check_written(const std::vector<ListedChapter>& list) {
  std::vector<Chapter> chapters;
  for (std::size_t k = 0; k < list.size(); ++k) {
    std::uint64_t end =
        k + 1 < list.size() ? list[k + 1].start_ms : list[k].start_ms + 1;
    chapters.push_back({list[k].start_ms, end, 0, list[k].title});
  }
  for (const FormatRow& f : chapter_formats()) {
    std::string text = format_chapters(f.format, chapters, "a.wav");
    std::vector<ListedChapter> back;
    ListError error;
    fuzz::check(parse_chapter_list(text, back, error),
                "a list as written was refused");
    fuzz::check(back.size() == list.size(), "a chapter was lost or gained");
    for (std::size_t k = 0; k < list.size(); ++k) {
      std::uint64_t start = list[k].start_ms;
      // A CUE sheet holds frames of 1/75 s.
      if (f.format == ChapterFormat::kCue) {
        start = (start * 75 / 1000 * 1000 + 37) / 75;
      }
      fuzz::check(back[k].start_ms == start, "a start time changed");
      fuzz::check(back[k].title == carried_title(f.format, list[k].title),
                  "a title did not read back");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::vector<ListedChapter> list;
  ListError error;
  if (!parse_chapter_list(bytes, list, error)) {
    auto lines = static_cast<std::size_t>(
        std::count(bytes.begin(), bytes.end(), '\n') + 1);
    fuzz::check(error.line <= lines, "a refusal named a line past the end");
    return 0;
  }
  fuzz::check(!list.empty(), "an empty list was read");
  for (std::size_t k = 0; k < list.size(); ++k) {
    fuzz::check(k == 0 || list[k].start_ms >= list[k - 1].start_ms,
                "the starts went backwards");
    fuzz::check(
        platform::utf8_of(platform::widen_utf8(list[k].title)) == list[k].title,
        "a title is not UTF-8");
  }
  check_written(list);
  return 0;
}
