#include "chapters/chapter_list.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <utility>

#include "chapters/json_reader.h"
#include "chapters/messages.h"
#include "extract/ffmpeg.h"
#include "extract/time_base.h"
#include "platform/files.h"
#include "platform/process.h"

namespace hushmark {
namespace {

// A chapter list of thousands of chapters takes well under a megabyte; more
// than this is not a list.
constexpr std::size_t kMaxListBytes = 16 * 1024 * 1024;
// Enough of a file to tell a text list from a media file.
constexpr std::size_t kHeadBytes = 64 * 1024;
// Past this the milliseconds would lose their exactness in a double.
constexpr double kMaxMs = 1e15;
// No recording is 31 years long; a start past that is a fault in the list,
// and refusing it keeps every time within what each format can write.
constexpr std::uint64_t kMaxStartMs = 1'000'000'000'000;

enum class ListFormat { kTxt, kFfmetadata, kCue, kAudacity, kVtt, kJson, kOgm };

// The chapters found so far, with the line each was found on.
struct Collected {
  std::vector<ListedChapter>& chapters;
  std::vector<std::size_t> lines;
  ListError& error;

  void add(std::uint64_t start_ms, std::string title, std::size_t line) {
    chapters.push_back({start_ms, std::move(title)});
    lines.push_back(line);
  }
  bool fail(ListProblem problem, std::size_t line) {
    error = {problem, line};
    return false;
  }
};

struct Line {
  std::string_view text;  // without its LF, or the CR before it
  std::size_t number;     // from 1
};

std::vector<Line> lines_of(std::string_view text) {
  std::vector<Line> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = std::min(text.find('\n', at), text.size());
    std::string_view line = text.substr(at, end - at);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.push_back({line, lines.size() + 1});
    at = end + 1;
  }
  return lines;
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

bool all_digits(std::string_view text) {
  for (char c : text) {
    if (!is_digit(c)) return false;
  }
  return !text.empty();
}

std::uint64_t digits_value(std::string_view digits) {
  std::uint64_t n = 0;
  for (char c : digits)
    n = n * 10 + static_cast<std::uint64_t>(c - '0');
  return n;
}

// A decimal "123" or "4.4615" in units of 10^-unit_digits of its value,
// rounded half up: with unit_digits 3, seconds as milliseconds.
bool decimal_ms(std::string_view text, std::size_t unit_digits,
                std::uint64_t& ms) {
  std::size_t point = text.find_first_of(".,");
  std::string_view whole = text.substr(0, point);
  std::string_view fraction =
      point == std::string_view::npos ? "" : text.substr(point + 1);
  if (!all_digits(whole) || whole.size() > 15) return false;
  if (point != std::string_view::npos && !all_digits(fraction)) return false;
  ms = digits_value(whole);
  for (std::size_t k = 0; k < unit_digits; ++k) {
    ms = ms * 10 + (k < fraction.size() ? fraction[k] - '0' : 0);
  }
  if (fraction.size() > unit_digits && fraction[unit_digits] >= '5') ++ms;
  return true;
}

// [H:]MM:SS[.fff], hours of any length (MM of any length without them).
bool parse_clock(std::string_view text, std::uint64_t& ms) {
  std::size_t last = text.rfind(':');
  if (last == std::string_view::npos) return false;
  std::string_view seconds = text.substr(last + 1);
  std::string_view front = text.substr(0, last);
  std::size_t first = front.rfind(':');
  std::string_view minutes =
      first == std::string_view::npos ? front : front.substr(first + 1);
  std::string_view hours =
      first == std::string_view::npos ? "0" : front.substr(0, first);
  std::uint64_t s_ms = 0;
  if (seconds.size() < 2 || !is_digit(seconds[0]) || !is_digit(seconds[1]) ||
      (seconds.size() > 2 && seconds[2] != '.') ||
      !decimal_ms(seconds, 3, s_ms) || s_ms >= 60'000) {
    return false;
  }
  if (!all_digits(hours) || hours.size() > 9 || !all_digits(minutes) ||
      minutes.size() > 9 ||
      (first != std::string_view::npos &&
       (minutes.size() != 2 || digits_value(minutes) >= 60))) {
    return false;
  }
  ms = (digits_value(hours) * 60 + digits_value(minutes)) * 60'000 + s_ms;
  return true;
}

// Where text stops being valid UTF-8, or npos: overlong forms, surrogates
// and code points past U+10FFFF are not.
std::size_t utf8_error_at(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size()) {
    auto byte = static_cast<unsigned char>(text[at]);
    std::size_t length = byte < 0x80           ? 1
                         : (byte >> 5) == 0x6  ? 2
                         : (byte >> 4) == 0xE  ? 3
                         : (byte >> 3) == 0x1E ? 4
                                               : 0;
    if (length == 0 || text.size() - at < length) return at;
    char32_t c = length == 1 ? byte : byte & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      auto next = static_cast<unsigned char>(text[at + k]);
      if ((next & 0xC0) != 0x80) return at;
      c = (c << 6) | (next & 0x3F);
    }
    constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kLeast[length] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
      return at;
    }
    at += length;
  }
  return std::string_view::npos;
}

// Text after a command word and its spaces (or tabs).
std::string_view trimmed_front(std::string_view text) {
  std::size_t start = text.find_first_not_of(" \t");
  return start == std::string_view::npos ? "" : text.substr(start);
}

// "HH:MM:SS.mmm Title", one chapter a line; hushmark's own file is the same
// without titles.
bool parse_txt(std::string_view text, Collected& out) {
  for (const Line& line : lines_of(text)) {
    if (line.text.empty()) continue;
    std::size_t space = line.text.find(' ');
    std::uint64_t ms = 0;
    if (!parse_clock(line.text.substr(0, space), ms)) {
      return out.fail(ListProblem::kBadTime, line.number);
    }
    out.add(ms,
            std::string(space == std::string_view::npos
                            ? ""
                            : line.text.substr(space + 1)),
            line.number);
  }
  return true;
}

// CHAPTERnn=HH:MM:SS.mmm then CHAPTERnnNAME=Title.
bool parse_ogm(std::string_view text, Collected& out) {
  std::string_view time_key;
  for (const Line& line : lines_of(text)) {
    if (line.text.empty()) continue;
    std::size_t eq = line.text.find('=');
    std::string_view key = line.text.substr(0, eq);
    std::string_view value =
        eq == std::string_view::npos ? "" : line.text.substr(eq + 1);
    std::uint64_t ms = 0;
    if (!key.starts_with("CHAPTER") || eq == std::string_view::npos) {
      return out.fail(ListProblem::kUnknownFormat, line.number);
    }
    if (key.ends_with("NAME")) {
      // A name belongs to the time with the same number just above it.
      if (out.chapters.empty() || key.substr(0, key.size() - 4) != time_key) {
        return out.fail(ListProblem::kBadTime, line.number);
      }
      out.chapters.back().title = value;
    } else if (parse_clock(value, ms)) {
      out.add(ms, "", line.number);
      time_key = key;
    } else {
      return out.fail(ListProblem::kBadTime, line.number);
    }
  }
  return true;
}

// Audacity's labels: start, end and title, parted by tabs; a line that
// starts with a backslash holds a label's frequencies.
bool parse_audacity(std::string_view text, Collected& out) {
  for (const Line& line : lines_of(text)) {
    if (line.text.empty() || line.text.starts_with('\\')) continue;
    std::size_t tab = line.text.find('\t');
    std::size_t title_tab =
        tab == std::string_view::npos ? tab : line.text.find('\t', tab + 1);
    std::uint64_t ms = 0;
    if (!decimal_ms(line.text.substr(0, tab), 3, ms)) {
      return out.fail(ListProblem::kBadTime, line.number);
    }
    out.add(ms,
            std::string(title_tab == std::string_view::npos
                            ? ""
                            : line.text.substr(title_tab + 1)),
            line.number);
  }
  return true;
}

// A CUE sheet: TRACK starts a chapter, its TITLE names it and INDEX 01 says
// where it starts, in frames of 1/75 s.
bool parse_cue(std::string_view text, Collected& out) {
  std::vector<Line> lines = lines_of(text);
  std::vector<bool> timed;
  for (const Line& line : lines) {
    std::string_view command = trimmed_front(line.text);
    if (command.starts_with("TRACK ")) {
      out.add(0, "", line.number);
      timed.push_back(false);
    } else if (out.chapters.empty()) {
      continue;  // the sheet's own TITLE, PERFORMER and FILE
    } else if (command.starts_with("TITLE ")) {
      std::string_view title = trimmed_front(command.substr(6));
      std::size_t first = title.find('"'), last = title.rfind('"');
      if (first == 0 && last > first) {
        title = title.substr(1, last - 1);
      }
      out.chapters.back().title = title;
      out.lines.back() = line.number;
    } else if (command.starts_with("INDEX 01 ")) {
      std::string_view time = trimmed_front(command.substr(9));
      std::size_t c1 = time.find(':'), c2 = time.rfind(':');
      std::string_view mm = time.substr(0, c1);
      std::string_view ss = time.substr(c1 + 1, c2 - c1 - 1);
      std::string_view ff = time.substr(c2 + 1);
      if (c1 == std::string_view::npos || c1 == c2 || !all_digits(mm) ||
          mm.size() > 9 || ss.size() != 2 || !all_digits(ss) ||
          digits_value(ss) >= 60 || ff.size() != 2 || !all_digits(ff) ||
          digits_value(ff) >= kCueFramesPerSecond) {
        return out.fail(ListProblem::kBadTime, line.number);
      }
      const std::uint64_t seconds = digits_value(mm) * 60 + digits_value(ss);
      out.chapters.back().start_ms =
          cue_frames_ms(seconds * kCueFramesPerSecond + digits_value(ff));
      timed.back() = true;
    }
  }
  for (std::size_t k = 0; k < timed.size(); ++k) {
    if (!timed[k]) return out.fail(ListProblem::kBadTime, out.lines[k]);
  }
  return true;
}

std::string vtt_decoded(std::string_view text) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 4>
      kEntities = {{{"&amp;", "&"},
                    {"&lt;", "<"},
                    {"&gt;", ">"},
                    {"&nbsp;", "\xC2\xA0"}}};
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    bool found = false;
    for (const auto& [entity, c] : kEntities) {
      if (text.substr(at).starts_with(entity)) {
        out += c;
        at += entity.size();
        found = true;
        break;
      }
    }
    if (!found) out += text[at++];
  }
  return out;
}

// WebVTT: each cue is a timing line and its text, up to a blank line; a
// block without a timing line (the header, NOTE, STYLE) is no chapter.
bool parse_vtt(std::string_view text, Collected& out) {
  std::vector<Line> lines = lines_of(text);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::size_t arrow = lines[i].text.find("-->");
    if (arrow == std::string_view::npos) continue;
    std::string_view start = lines[i].text.substr(0, arrow);
    while (start.ends_with(' ') || start.ends_with('\t'))
      start.remove_suffix(1);
    std::uint64_t ms = 0;
    if (!parse_clock(start, ms)) {
      return out.fail(ListProblem::kBadTime, lines[i].number);
    }
    std::string title;
    std::size_t k = i + 1;
    for (; k < lines.size() && !lines[k].text.empty(); ++k) {
      if (k > i + 1) title += '\n';
      title += vtt_decoded(lines[k].text);
    }
    out.add(ms, std::move(title), lines[i].number);
    i = k;
  }
  return true;
}

// One line of FFMETADATA, its escapes undone: key and value part at the
// first '=' that no backslash escapes. at moves past the line's LF, and
// line counts the LFs passed, escaped ones too.
void ffmetadata_line(std::string_view text, std::size_t& at, std::size_t& line,
                     std::string& key, std::string& value) {
  key.clear();
  value.clear();
  bool in_value = false;
  for (; at < text.size() && text[at] != '\n'; ++at) {
    char c = text[at];
    if (c == '\\' && at + 1 < text.size()) {
      c = text[++at];
      if (c == '\n') ++line;
    } else if (c == '=' && !in_value) {
      in_value = true;
      continue;
    } else if (c == '\r' && at + 1 < text.size() && text[at + 1] == '\n') {
      continue;
    }
    (in_value ? value : key) += c;
  }
  ++at;
}

struct MetadataChapter {
  std::string start;  // START's digits; empty until given
  std::string timebase = "1/1000";
};

// The start in milliseconds of START ticks of TIMEBASE "num/den".
bool metadata_ms(const MetadataChapter& chapter, std::uint64_t& ms) {
  std::string_view timebase = chapter.timebase;
  std::size_t slash = timebase.find('/');
  std::string_view num = timebase.substr(0, slash);
  std::string_view den =
      slash == std::string_view::npos ? "" : timebase.substr(slash + 1);
  if (!all_digits(chapter.start) || chapter.start.size() > 18 ||
      !all_digits(num) || num.size() > 9 || !all_digits(den) ||
      den.size() > 9 || digits_value(den) == 0) {
    return false;
  }
  if (num == "1" && den == "1000") {
    ms = digits_value(chapter.start);  // exact, at any length
    return true;
  }
  double value = static_cast<double>(digits_value(chapter.start)) *
                 static_cast<double>(digits_value(num)) * 1000.0 /
                 static_cast<double>(digits_value(den));
  if (!(value < kMaxMs)) return false;
  ms = static_cast<std::uint64_t>(std::llround(value));
  return true;
}

// FFMETADATA: a [CHAPTER] section per chapter, with TIMEBASE, START and
// title; ';' or '#' starts a comment line.
bool parse_ffmetadata(std::string_view text, Collected& out) {
  std::vector<MetadataChapter> timing;
  std::size_t at = std::min(text.find('\n'), text.size()) + 1;
  std::size_t line = 2;
  bool in_chapter = false;
  std::string key, value;
  while (at < text.size()) {
    std::size_t number = line++;
    if (text[at] == ';' || text[at] == '#') {
      at = std::min(text.find('\n', at), text.size()) + 1;
      continue;
    }
    ffmetadata_line(text, at, line, key, value);
    if (key.starts_with('[')) {
      in_chapter = key == "[CHAPTER]";
      if (in_chapter) {
        out.add(0, "", number);
        timing.emplace_back();
      }
    } else if (in_chapter && key == "TIMEBASE") {
      timing.back().timebase = value;
    } else if (in_chapter && key == "START") {
      timing.back().start = value;
    } else if (in_chapter && key == "title") {
      out.chapters.back().title = value;
    }
  }
  for (std::size_t k = 0; k < timing.size(); ++k) {
    if (!metadata_ms(timing[k], out.chapters[k].start_ms)) {
      return out.fail(ListProblem::kBadTime, out.lines[k]);
    }
  }
  return true;
}

// The first "chapters" array, looked for through nested objects; a bare
// array is one itself.
const JsonValue* find_chapters(const JsonValue& value) {
  if (value.kind == JsonValue::Kind::kArray) return &value;
  if (value.kind != JsonValue::Kind::kObject) return nullptr;
  const JsonValue* chapters = json_member(value, "chapters");
  if (chapters && chapters->kind == JsonValue::Kind::kArray) return chapters;
  for (const JsonValue& item : value.items) {
    if (item.kind != JsonValue::Kind::kObject) continue;
    if (const JsonValue* found = find_chapters(item)) return found;
  }
  return nullptr;
}

// A chapter's start, from the first key it has: milliseconds as audiobook
// listings give them, or seconds (Podcasting 2.0, ffprobe).
bool json_start(const JsonValue& entry, std::uint64_t& ms) {
  static constexpr std::pair<std::string_view, std::size_t> kKeys[] = {
      {"startOffsetMs", 0}, {"start_offset_ms", 0}, {"startTime", 3},
      {"start_time", 3},    {"startOffsetSec", 3},  {"start_offset_sec", 3},
  };
  for (const auto& [key, unit_digits] : kKeys) {
    const JsonValue* start = json_member(entry, key);
    if (!start) continue;
    return (start->kind == JsonValue::Kind::kNumber ||
            start->kind == JsonValue::Kind::kString) &&
           decimal_ms(start->text, unit_digits, ms);
  }
  return false;
}

std::string json_title(const JsonValue& entry) {
  const JsonValue* title = json_member(entry, "title");
  if (const JsonValue* tags = json_member(entry, "tags"); !title && tags) {
    title = json_member(*tags, "title");
  }
  return title && title->kind == JsonValue::Kind::kString ? title->text : "";
}

// Each chapter, then the chapters nested in it (an audiobook's parts).
bool collect_json(const JsonValue& chapters, Collected& out) {
  for (const JsonValue& entry : chapters.items) {
    std::uint64_t ms = 0;
    if (entry.kind != JsonValue::Kind::kObject || !json_start(entry, ms)) {
      return out.fail(ListProblem::kBadTime, entry.line);
    }
    out.add(ms, json_title(entry), entry.line);
    const JsonValue* inner = json_member(entry, "chapters");
    if (inner && inner->kind == JsonValue::Kind::kArray &&
        !collect_json(*inner, out)) {
      return false;
    }
  }
  return true;
}

bool parse_json(std::string_view text, Collected& out) {
  JsonValue root;
  JsonError error;
  if (!read_json(text, root, error)) {
    return out.fail(
        error.too_large ? ListProblem::kTooLarge : ListProblem::kBadJson,
        error.too_large ? 0 : error.line);
  }
  const JsonValue* chapters = find_chapters(root);
  if (!chapters) return out.fail(ListProblem::kUnknownFormat, 0);
  return collect_json(*chapters, out);
}

bool starts_cue_command(std::string_view line) {
  static constexpr std::string_view kCommands[] = {
      "REM ",     "FILE ",       "TITLE ",      "PERFORMER ",
      "CATALOG ", "SONGWRITER ", "CDTEXTFILE ", "TRACK "};
  for (std::string_view command : kCommands) {
    if (line.starts_with(command)) return true;
  }
  return false;
}

// The format, told from the first line that holds anything.
bool detect_format(std::string_view text, ListFormat& format) {
  std::string_view first;
  for (const Line& line : lines_of(text)) {
    first = trimmed_front(line.text);
    if (!first.empty()) break;
  }
  std::size_t tab = first.find('\t');
  if (first.starts_with(";FFMETADATA")) {
    format = ListFormat::kFfmetadata;
  } else if (first.starts_with("WEBVTT")) {
    format = ListFormat::kVtt;
  } else if (first.starts_with('{') || first.starts_with('[')) {
    format = ListFormat::kJson;
  } else if (first.starts_with("CHAPTER") &&
             first.find('=') != std::string_view::npos) {
    format = ListFormat::kOgm;
  } else if (starts_cue_command(first)) {
    format = ListFormat::kCue;
  } else if (tab != std::string_view::npos && tab > 0 && is_digit(first[0]) &&
             first.substr(0, tab).find(':') == std::string_view::npos) {
    format = ListFormat::kAudacity;
  } else if (!first.empty() && is_digit(first[0]) &&
             first.find(':') != std::string_view::npos) {
    format = ListFormat::kTxt;
  } else {
    return false;
  }
  return true;
}

bool parse_as(ListFormat format, std::string_view text, Collected& out) {
  switch (format) {
  case ListFormat::kTxt:
    return parse_txt(text, out);
  case ListFormat::kFfmetadata:
    return parse_ffmetadata(text, out);
  case ListFormat::kCue:
    return parse_cue(text, out);
  case ListFormat::kAudacity:
    return parse_audacity(text, out);
  case ListFormat::kVtt:
    return parse_vtt(text, out);
  case ListFormat::kJson:
    return parse_json(text, out);
  case ListFormat::kOgm:
    return parse_ogm(text, out);
  }
  return false;
}

// The checks every list must pass, whatever its format.
bool check_list(Collected& out) {
  if (out.chapters.empty()) return out.fail(ListProblem::kEmpty, 0);
  for (std::size_t k = 0; k < out.chapters.size(); ++k) {
    if (out.chapters[k].start_ms >= kMaxStartMs) {
      return out.fail(ListProblem::kBadTime, out.lines[k]);
    }
    if (utf8_error_at(out.chapters[k].title) != std::string_view::npos) {
      return out.fail(ListProblem::kBadTitle, out.lines[k]);
    }
    if (k > 0 && out.chapters[k].start_ms < out.chapters[k - 1].start_ms) {
      return out.fail(ListProblem::kBackwards, out.lines[k]);
    }
  }
  return true;
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace

bool parse_chapter_list(std::string_view bytes,
                        std::vector<ListedChapter>& list, ListError& error) {
  list.clear();
  if (bytes.starts_with(kUtf8Bom)) bytes.remove_prefix(kUtf8Bom.size());
  Collected out{list, {}, error};
  ListFormat format;
  if (bytes.size() > kMaxListBytes) return out.fail(ListProblem::kTooLarge, 0);
  if (!detect_format(bytes, format)) {
    bool blank = bytes.find_first_not_of(" \t\r\n") == std::string_view::npos;
    return out.fail(blank ? ListProblem::kEmpty : ListProblem::kUnknownFormat,
                    0);
  }
  return parse_as(format, bytes, out) && check_list(out);
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
  const std::vector<std::wstring> args = {L"-v",  L"error", L"-show_chapters",
                                          L"-of", L"json",  ffmpeg_file(path)};
  platform::InputFile output;
  platform::ChildProcess ffprobe;
  if (!start_ffmpeg(FfmpegRun::kProbe, args, ffprobe, output,
                    platform::ChildInput::kNothing,
                    platform::ChildOutput::kPipe, console)) {
    return false;
  }
  bool read = read_up_to(output, json, kMaxListBytes);
  if (json.size() > kMaxListBytes) {
    ffprobe.terminate();
    ffprobe.wait();
    console.write(msg::kListTooLarge + std::wstring(path) + L"\n");
    return false;
  }
  if (!ffprobe.wait() || !read) {
    report_ffmpeg_failure(FfmpegRun::kProbe, path, ffprobe, console);
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
  bool read = read_up_to(file, text, kHeadBytes - 1);
  ListFormat format;
  ListError error;
  if (read && !detect_format(text, format) &&
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

}  // namespace hushmark
