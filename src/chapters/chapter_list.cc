#include "chapters/chapter_list.h"

#include <algorithm>
#include <array>

#include "chapters/ffmpeg_runs.h"
#include "chapters/formats.h"
#include "chapters/messages.h"
#include "chapters/text.h"
#include "extract/decoded_wave.h"
#include "extract/ffmpeg.h"
#include "platform/files.h"
#include "platform/process.h"

namespace hushmark {
namespace {

// A chapter list of thousands of chapters takes well under a megabyte; more
// than this is not a list.
constexpr std::size_t kMaxListBytes = 16 * 1024 * 1024;
// No recording is 31 years long; a start past that is a fault in the list,
// and refusing it keeps every time within what each format can write.
constexpr std::uint64_t kMaxStartMs = 1'000'000'000'000;

// The checks every list must pass, whatever its format.
bool check_list(ListReading& out) {
  if (out.chapters.empty()) return out.fail(ListProblem::kEmpty, 0);
  for (std::size_t k = 0; k < out.chapters.size(); ++k) {
    if (out.chapters[k].start_ms >= kMaxStartMs) {
      return out.fail(ListProblem::kBadTime, out.lines[k]);
    }
    if (!is_utf8(out.chapters[k].title)) {
      return out.fail(ListProblem::kBadTitle, out.lines[k]);
    }
    if (k > 0 && out.chapters[k].start_ms < out.chapters[k - 1].start_ms) {
      return out.fail(ListProblem::kBackwards, out.lines[k]);
    }
  }
  return true;
}

}  // namespace

bool parse_chapter_list(std::string_view bytes,
                        std::vector<ListedChapter>& list, ListError& error) {
  list.clear();
  bytes = without_bom(bytes);
  ListReading out{list, {}, error};
  if (bytes.size() > kMaxListBytes) return out.fail(ListProblem::kTooLarge, 0);
  const FormatRow* format = format_of_list(bytes);
  if (!format) {
    bool blank = bytes.find_first_not_of(" \t\r\n") == std::string_view::npos;
    return out.fail(blank ? ListProblem::kEmpty : ListProblem::kUnknownFormat,
                    0);
  }
  return format->read(bytes, out) && check_list(out);
}

namespace {

// Reads up to limit bytes of file after what text holds; false on a read
// error. Reading stops one byte past limit, so that more is told apart.
bool read_up_to(platform::InputFile& file, std::string& text,
                std::size_t limit) {
  std::array<std::uint8_t, 64 * 1024> block;
  while (text.size() <= limit) {
    std::size_t want = std::min(block.size(), limit + 1 - text.size());
    std::size_t n = file.read(std::span(block).first(want));
    if (n == 0) break;
    text.append(reinterpret_cast<const char*>(block.data()), n);
  }
  return !file.failed();
}

// ffprobe's JSON of a media file's chapters. False once the reason is out.
bool probe_chapters(std::wstring_view path, std::string& json,
                    platform::Console& console) {
  const CollectedRun run = run_collecting(
      ffprobe_program(), ffprobe_arguments(path, L"json", {L"-show_chapters"}),
      {}, &json, kMaxListBytes + 1);
  if (run.said_too_much) {
    console.write(msg::kListTooLarge + std::wstring(path) + L"\n");
    return false;
  }
  if (!run.ended_well) {
    console.write(ffmpeg_failure(kProbeRun, run.started, run.error_text));
    return false;
  }
  return true;
}

// A head that no text list starts so, and that holds a NUL byte or is not
// UTF-8, is a media file's.
bool looks_like_media(std::string_view head, bool whole) {
  std::size_t bad = utf8_error_at(head);
  // A character cut at the end of the head is no fault of the file's.
  bool cut = !whole && bad != std::string_view::npos && head.size() - bad < 4;
  return head.find('\0') != std::string_view::npos ||
         (bad != std::string_view::npos && !cut);
}

void report_list_error(std::wstring_view path, const ListError& error,
                       platform::Console& console) {
  const wchar_t* text = msg::kListUnknownFormat;
  switch (error.problem) {
  case ListProblem::kUnknownFormat:
    break;
  case ListProblem::kBadJson:
    text = msg::kListBadJson;
    break;
  case ListProblem::kTooLarge:
    text = msg::kListTooLarge;
    break;
  case ListProblem::kEmpty:
    text = msg::kListEmpty;
    break;
  case ListProblem::kBadTime:
    text = msg::kListBadTime;
    break;
  case ListProblem::kBadTitle:
    text = msg::kListBadTitle;
    break;
  case ListProblem::kBackwards:
    text = msg::kListBackwards;
    break;
  }
  std::wstring line;
  if (error.line > 0) {
    line = L" " + std::to_wstring(error.line) + msg::kListLine;
  }
  console.write(text + std::wstring(path) + line + L"\n");
}

}  // namespace

bool read_chapter_list(std::wstring_view path, std::vector<ListedChapter>& list,
                       platform::Console& console) {
  platform::InputFile file;
  if (!file.open(path)) {
    console.write(msg::kListCannotOpen + std::wstring(path) + L"\n");
    return false;
  }
  std::string text;
  // The head of the file tells a text list from a media file.
  bool read = read_up_to(file, text, kHeadBytes - 1);
  ListError error;
  if (read && !format_of_list(text) &&
      looks_like_media(text, text.size() < kHeadBytes)) {
    file.close();  // ffprobe opens it itself
    text.clear();
    if (!probe_chapters(path, text, console)) return false;
    if (!parse_chapter_list(text, list, error)) {
      error.line = 0;  // a line of ffprobe's, not of the file
      report_list_error(path, error, console);
      return false;
    }
    return true;
  }
  if (!read || !read_up_to(file, text, kMaxListBytes)) {
    console.write(msg::kListCannotRead + std::wstring(path) + L"\n");
    return false;
  }
  if (!parse_chapter_list(text, list, error)) {
    report_list_error(path, error, console);
    return false;
  }
  return true;
}

bool read_own_chapters(std::wstring_view path, std::vector<ListedChapter>& list,
                       platform::Console& console) {
  std::string text;
  if (!probe_chapters(path, text, console)) return false;
  ListError error;
  if (parse_chapter_list(text, list, error)) return true;
  if (error.problem == ListProblem::kEmpty) {
    console.write(msg::kOwnChaptersNone + std::wstring(path) +
                  msg::kOwnChaptersNoneEnd);
    return false;
  }
  error.line = 0;  // a line of ffprobe's, not of the file
  report_list_error(path, error, console);
  return false;
}

}  // namespace hushmark
