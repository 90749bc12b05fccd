#include "chapters/formats.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>

#include "chapters/json_reader.h"
#include "chapters/text.h"
#include "extract/silence_scan.h"
#include "extract/time_base.h"
#include "platform/paths.h"
#include "platform/utf8.h"

namespace hushmark {
namespace {

// Past this the milliseconds would lose their exactness in a double.
constexpr double kMaxMs = 1e15;

// Appends each piece to out.
void add(std::string& out, const auto&... pieces) {
  (out.append(pieces), ...);
}

std::string replaced(std::string_view text, std::string_view from, char to) {
  std::string out(text);
  for (char& c : out) {
    if (from.find(c) != std::string_view::npos) c = to;
  }
  return out;
}

std::string two_digits(std::uint64_t n) {
  std::string digits = std::to_string(n);
  if (digits.size() < 2) digits.insert(0, 1, '0');
  return digits;
}

// Seconds with exactly three decimals: 4.461, 0.000.
std::string seconds_text(std::uint64_t ms) {
  std::string rest = std::to_string(ms % 1000);
  std::string text = std::to_string(ms / 1000);
  add(text, ".", std::string(3 - rest.size(), '0'), rest);
  return text;
}

// What follows the separator at `at`; nothing when there is none (npos).
std::string_view after(std::string_view text, std::size_t at) {
  return at == std::string_view::npos ? "" : text.substr(at + 1);
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
  std::string_view fraction = after(text, point);
  if (!all_digits(whole) || whole.size() > 15) return false;
  if (point != std::string_view::npos && !all_digits(fraction)) return false;
  ms = digits_value(whole);
  for (std::size_t k = 0; k < unit_digits; ++k) {
    ms = ms * 10 + (k < fraction.size() ? fraction[k] - '0' : 0);
  }
  if (fraction.size() > unit_digits && fraction[unit_digits] >= '5') ++ms;
  return true;
}

// [H:]MM:SS[.fff], hours of any length (MM of any length without them): the
// clock that txt, WebVTT and OGM write as HH:MM:SS.mmm.
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

// Text after a command word and its spaces (or tabs).
std::string_view trimmed_front(std::string_view text) {
  std::size_t start = text.find_first_not_of(" \t");
  return start == std::string_view::npos ? "" : text.substr(start);
}

// Formats that escape what they cannot hold as it is keep every title.
std::string kept(std::string_view title) {
  return std::string(title);
}

// A line-based format ends a title at its line break.
std::string one_line(std::string_view title) {
  return replaced(title, "\r\n", ' ');
}

// txt: "HH:MM:SS.mmm Title", one chapter a line; hushmark's own file is the
// same without titles.

std::string write_txt(std::span<const Chapter> chapters, std::string_view) {
  std::string out;
  for (const Chapter& c : chapters) {
    add(out, format_time(c.start_ms), " ", one_line(c.title), "\n");
  }
  return out;
}

bool opens_audacity(std::string_view first);

// A clock in front; an Audacity label, whose title may hold a colon, is not.
bool opens_txt(std::string_view first) {
  return !first.empty() && is_digit(first[0]) &&
         first.find(':') != std::string_view::npos && !opens_audacity(first);
}

bool read_txt(std::string_view text, ListReading& out) {
  for (const TextLine& line : text_lines(text)) {
    if (line.text.empty()) continue;
    std::size_t space = line.text.find(' ');
    std::uint64_t ms = 0;
    if (!parse_clock(line.text.substr(0, space), ms)) {
      return out.fail(ListProblem::kBadTime, line.number);
    }
    out.add(ms, std::string(after(line.text, space)), line.number);
  }
  return true;
}

// FFMETADATA: a [CHAPTER] section per chapter, with TIMEBASE, START and
// title. '=' parts a key from its value and ';' or '#' starts a comment line;
// a backslash escapes these, itself and a line break.
constexpr std::string_view kMetadataComment = ";#";
constexpr std::string_view kMetadataEscaped = "=;#\\\n\r";

// ffmpeg reads the line feed after a final backslash, escaped or not, as part
// of the title and joins the next chapter to it; a space keeps the backslash
// off the line's end.
std::string ffmetadata_text(std::string_view title) {
  return title.ends_with('\\') ? std::string(title) + ' ' : std::string(title);
}

std::string metadata_escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (kMetadataEscaped.find(c) != std::string_view::npos) out += '\\';
    out += c;
  }
  return out;
}

std::string write_ffmetadata(std::span<const Chapter> chapters,
                             std::string_view) {
  std::string out = ";FFMETADATA1\n";
  for (const Chapter& c : chapters) {
    add(out, "[CHAPTER]\nTIMEBASE=1/1000\nSTART=", std::to_string(c.start_ms),
        "\nEND=", std::to_string(c.end_ms),
        "\ntitle=", metadata_escaped(ffmetadata_text(c.title)), "\n");
  }
  return out;
}

bool opens_ffmetadata(std::string_view first) {
  return first.starts_with(";FFMETADATA");
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
  std::string_view den = after(timebase, slash);
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

bool read_ffmetadata(std::string_view text, ListReading& out) {
  std::vector<MetadataChapter> timing;
  std::size_t at = std::min(text.find('\n'), text.size()) + 1;
  std::size_t line = 2;
  bool in_chapter = false;
  std::string key, value;
  while (at < text.size()) {
    std::size_t number = line++;
    if (kMetadataComment.find(text[at]) != std::string_view::npos) {
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

// A CUE sheet: TRACK starts a chapter, its TITLE names it in double quotes
// and INDEX 01 says where it starts, as MM:SS:FF in CD frames; minutes may
// pass 99.

// A CUE sheet quotes a title in double quotes and cannot escape them.
std::string cue_text(std::string_view title) {
  return replaced(one_line(title), "\"", '\'');
}

// The frame ms falls in, as MM:SS:FF.
std::string cue_time(std::uint64_t ms) {
  const std::uint64_t frames = ms_cue_frames(ms);
  const std::uint64_t seconds = frames / kCueFramesPerSecond;
  std::string text;
  add(text, two_digits(seconds / 60), ":", two_digits(seconds % 60), ":",
      two_digits(frames % kCueFramesPerSecond));
  return text;
}

// MM:SS:FF as the nearest millisecond to its frame's start.
bool parse_cue_time(std::string_view time, std::uint64_t& ms) {
  std::size_t c1 = time.find(':'), c2 = time.rfind(':');
  std::string_view mm = time.substr(0, c1);
  std::string_view ss = time.substr(c1 + 1, c2 - c1 - 1);
  std::string_view ff = time.substr(c2 + 1);
  if (c1 == std::string_view::npos || c1 == c2 || !all_digits(mm) ||
      mm.size() > 9 || ss.size() != 2 || !all_digits(ss) ||
      digits_value(ss) >= 60 || ff.size() != 2 || !all_digits(ff) ||
      digits_value(ff) >= kCueFramesPerSecond) {
    return false;
  }
  const std::uint64_t seconds = digits_value(mm) * 60 + digits_value(ss);
  ms = cue_frames_ms(seconds * kCueFramesPerSecond + digits_value(ff));
  return true;
}

std::string write_cue(std::span<const Chapter> chapters,
                      std::string_view input_name) {
  std::string out;
  add(out, "FILE \"", cue_text(input_name), "\" WAVE\n");
  for (std::size_t k = 0; k < chapters.size(); ++k) {
    add(out, "  TRACK ", two_digits(k + 1), " AUDIO\n    TITLE \"",
        cue_text(chapters[k].title), "\"\n    INDEX 01 ",
        cue_time(chapters[k].start_ms), "\n");
  }
  return out;
}

bool opens_cue(std::string_view first) {
  static constexpr std::string_view kCommands[] = {
      "REM ",     "FILE ",       "TITLE ",      "PERFORMER ",
      "CATALOG ", "SONGWRITER ", "CDTEXTFILE ", "TRACK "};
  for (std::string_view command : kCommands) {
    if (first.starts_with(command)) return true;
  }
  return false;
}

bool read_cue(std::string_view text, ListReading& out) {
  std::vector<bool> timed;
  for (const TextLine& line : text_lines(text)) {
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
      if (!parse_cue_time(trimmed_front(command.substr(9)),
                          out.chapters.back().start_ms)) {
        return out.fail(ListProblem::kBadTime, line.number);
      }
      timed.back() = true;
    }
  }
  for (std::size_t k = 0; k < timed.size(); ++k) {
    if (!timed[k]) return out.fail(ListProblem::kBadTime, out.lines[k]);
  }
  return true;
}

// Audacity's labels: start, end and title, parted by tabs, times in seconds;
// a line that starts with a backslash holds a label's frequencies.

// Audacity also ends a label's title at a tab.
std::string label_text(std::string_view title) {
  return replaced(title, "\t\r\n", ' ');
}

std::string write_audacity(std::span<const Chapter> chapters,
                           std::string_view) {
  std::string out;
  for (const Chapter& c : chapters) {
    std::string at = seconds_text(c.start_ms) + "000";
    add(out, at, "\t", at, "\t", label_text(c.title), "\n");
  }
  return out;
}

bool opens_audacity(std::string_view first) {
  std::size_t tab = first.find('\t');
  return tab != std::string_view::npos && tab > 0 && is_digit(first[0]) &&
         first.substr(0, tab).find(':') == std::string_view::npos;
}

bool read_audacity(std::string_view text, ListReading& out) {
  for (const TextLine& line : text_lines(text)) {
    if (line.text.empty() || line.text.starts_with('\\')) continue;
    std::size_t tab = line.text.find('\t');
    std::size_t title_tab =
        tab == std::string_view::npos ? tab : line.text.find('\t', tab + 1);
    std::uint64_t ms = 0;
    if (!decimal_ms(line.text.substr(0, tab), 3, ms)) {
      return out.fail(ListProblem::kBadTime, line.number);
    }
    out.add(ms, std::string(after(line.text, title_tab)), line.number);
  }
  return true;
}

// WebVTT: each cue is a timing line and its text, up to a blank line; a
// block without a timing line (the header, NOTE, STYLE) is no chapter. A
// cue's text holds its characters as entities; the writer escapes the one-byte
// ones and writes a no-break space as itself.
constexpr std::pair<std::string_view, std::string_view> kVttEntities[] = {
    {"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&nbsp;", "\xC2\xA0"}};

// '&', '<' and '>' as entities: '>' too, so that no title holds the cue arrow.
std::string vtt_text(std::string_view text) {
  std::string out;
  for (const char& c : text) {
    std::string_view written(&c, 1);
    for (const auto& [entity, character] : kVttEntities) {
      if (character == written) written = entity;
    }
    out += written;
  }
  return out;
}

std::string vtt_decoded(std::string_view text) {
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    bool found = false;
    for (const auto& [entity, c] : kVttEntities) {
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

std::string write_vtt(std::span<const Chapter> chapters, std::string_view) {
  std::string out = "WEBVTT\n";
  for (const Chapter& c : chapters) {
    add(out, "\n", format_time(c.start_ms), " --> ", format_time(c.end_ms),
        "\n", vtt_text(one_line(c.title)), "\n");
  }
  return out;
}

bool opens_vtt(std::string_view first) {
  return first.starts_with("WEBVTT");
}

bool read_vtt(std::string_view text, ListReading& out) {
  std::vector<TextLine> lines = text_lines(text);
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

// JSON: the Podcasting 2.0 chapters that hushmark-chapters writes, and read
// back with an audiobook's chapter listing (startOffsetMs and title, at any
// depth) and ffprobe's chapters.

// Seconds as a JSON number, without trailing zeros: 4.461, 4.5, 4.
std::string json_seconds(std::uint64_t ms) {
  std::string text = seconds_text(ms);
  while (text.back() == '0')
    text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

std::string json_string(std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (byte < 0x20) {
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string write_json(std::span<const Chapter> chapters, std::string_view) {
  std::string out = "{\"version\":\"1.2.0\",\"chapters\":[";
  for (std::size_t k = 0; k < chapters.size(); ++k) {
    if (k > 0) out += ",";
    add(out, "{\"startTime\":", json_seconds(chapters[k].start_ms),
        ",\"title\":", json_string(chapters[k].title), "}");
  }
  return out + "]}\n";
}

bool opens_json(std::string_view first) {
  return first.starts_with('{') || first.starts_with('[');
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
bool collect_json(const JsonValue& chapters, ListReading& out) {
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

bool read_json_list(std::string_view text, ListReading& out) {
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

// OGM: CHAPTERnn=HH:MM:SS.mmm then CHAPTERnnNAME=Title.

std::string write_ogm(std::span<const Chapter> chapters, std::string_view) {
  std::string out;
  for (std::size_t k = 0; k < chapters.size(); ++k) {
    std::string key = "CHAPTER" + two_digits(k + 1);
    add(out, key, "=", format_time(chapters[k].start_ms), "\n", key,
        "NAME=", one_line(chapters[k].title), "\n");
  }
  return out;
}

bool opens_ogm(std::string_view first) {
  return first.starts_with("CHAPTER") &&
         first.find('=') != std::string_view::npos;
}

bool read_ogm(std::string_view text, ListReading& out) {
  std::string_view time_key;
  for (const TextLine& line : text_lines(text)) {
    if (line.text.empty()) continue;
    std::size_t eq = line.text.find('=');
    std::string_view key = line.text.substr(0, eq);
    std::string_view value = after(line.text, eq);
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

// No two rows' opens() take the same first line, so the order of the rows
// does not matter to telling a list's format.
constexpr FormatRow kFormats[] = {
    {ChapterFormat::kTxt, "txt", L".chapters.txt", L"", write_txt, one_line,
     opens_txt, read_txt},
    {ChapterFormat::kFfmetadata, "ffmetadata", L".ffmetadata", L".ffmetadata",
     write_ffmetadata, ffmetadata_text, opens_ffmetadata, read_ffmetadata},
    {ChapterFormat::kCue, "cue", L".cue", L".cue", write_cue, cue_text,
     opens_cue, read_cue},
    {ChapterFormat::kAudacity, "audacity", L".labels.txt", L".labels.txt",
     write_audacity, label_text, opens_audacity, read_audacity},
    {ChapterFormat::kVtt, "vtt", L".vtt", L".vtt", write_vtt, one_line,
     opens_vtt, read_vtt},
    {ChapterFormat::kJson, "json", L".chapters.json", L".json", write_json,
     kept, opens_json, read_json_list},
    {ChapterFormat::kOgm, "ogm", L".ogm.txt", L".ogm.txt", write_ogm, one_line,
     opens_ogm, read_ogm},
};

bool ends_with_ignoring_case(std::wstring_view name, std::wstring_view end) {
  if (end.empty() || name.size() < end.size()) return false;
  name.remove_prefix(name.size() - end.size());
  for (std::size_t i = 0; i < end.size(); ++i) {
    if (platform::ascii_lower(name[i]) != platform::ascii_lower(end[i]))
      return false;
  }
  return true;
}

}  // namespace

std::span<const FormatRow> chapter_formats() {
  return kFormats;
}

const FormatRow& format_row(ChapterFormat format) {
  for (const FormatRow& row : kFormats) {
    if (row.format == format) return row;
  }
  return kFormats[0];
}

const FormatRow* format_of_list(std::string_view text) {
  std::string_view first;
  for (const TextLine& line : text_lines(text)) {
    first = trimmed_front(line.text);
    if (!first.empty()) break;
  }
  for (const FormatRow& row : kFormats) {
    if (row.opens(first)) return &row;
  }
  return nullptr;
}

const FormatRow* format_named(std::string_view name) {
  for (const FormatRow& row : kFormats) {
    if (row.name == name) return &row;
  }
  return nullptr;
}

const FormatRow* format_for_output(std::wstring_view outfile) {
  const FormatRow* found = nullptr;
  for (const FormatRow& row : kFormats) {
    if (ends_with_ignoring_case(outfile, row.ending) &&
        (found == nullptr || row.ending.size() > found->ending.size())) {
      found = &row;
    }
  }
  return found;
}

std::string carried_title(ChapterFormat format, std::string_view title) {
  return format_row(format).carry(title);
}

std::string input_name(std::wstring_view infile) {
  std::size_t at = infile.size();
  while (at > 0 && !platform::is_path_separator(infile[at - 1]))
    --at;
  std::wstring_view name = infile.substr(at);
  // A name that is not text in the locale is kept as the bytes it is.
  if (std::optional<std::string> text = platform::utf8_of(name)) return *text;
  return platform::narrow_path(name).value_or(std::string());
}

std::string format_chapters(ChapterFormat format,
                            std::span<const Chapter> chapters,
                            std::string_view input_name) {
  return format_row(format).write(chapters, input_name);
}

}  // namespace hushmark
