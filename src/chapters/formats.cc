#include "chapters/formats.h"

#include <cstdint>
#include <optional>

#include "extract/silence_scan.h"
#include "extract/time_base.h"
#include "platform/paths.h"
#include "platform/utf8.h"

namespace hushmark {
namespace {

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

// Each character of `special` preceded by a backslash.
std::string backslashed(std::string_view text, std::string_view special) {
  std::string out;
  for (char c : text) {
    if (special.find(c) != std::string_view::npos) out += '\\';
    out += c;
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

std::string vtt_text(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
    case '&':
      out += "&amp;";
      break;
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";  // so that no title holds the cue arrow
      break;
    default:
      out += c;
    }
  }
  return out;
}

// MM:SS:FF in CD frames; minutes may pass 99.
std::string cue_time(std::uint64_t ms) {
  const std::uint64_t frames = ms_cue_frames(ms);
  const std::uint64_t seconds = frames / kCueFramesPerSecond;
  std::string text;
  add(text, two_digits(seconds / 60), ":", two_digits(seconds % 60), ":",
      two_digits(frames % kCueFramesPerSecond));
  return text;
}

// Formats that escape what they cannot hold as it is keep every title.
std::string kept(std::string_view title) {
  return std::string(title);
}

// ffmpeg reads the line feed after a final backslash, escaped or not, as part
// of the title and joins the next chapter to it; a space keeps the backslash
// off the line's end.
std::string ffmetadata_text(std::string_view title) {
  return title.ends_with('\\') ? std::string(title) + ' ' : std::string(title);
}

// A line-based format ends a title at its line break.
std::string one_line(std::string_view title) {
  return replaced(title, "\r\n", ' ');
}

// Audacity also ends a label's title at a tab.
std::string label_text(std::string_view title) {
  return replaced(title, "\t\r\n", ' ');
}

// A CUE sheet quotes a title in double quotes and cannot escape them.
std::string cue_text(std::string_view title) {
  return replaced(one_line(title), "\"", '\'');
}

std::string write_txt(std::span<const Chapter> chapters, std::string_view) {
  std::string out;
  for (const Chapter& c : chapters) {
    add(out, format_time(c.start_ms), " ", one_line(c.title), "\n");
  }
  return out;
}

std::string write_ffmetadata(std::span<const Chapter> chapters,
                             std::string_view) {
  std::string out = ";FFMETADATA1\n";
  for (const Chapter& c : chapters) {
    add(out, "[CHAPTER]\nTIMEBASE=1/1000\nSTART=", std::to_string(c.start_ms),
        "\nEND=", std::to_string(c.end_ms),
        "\ntitle=", backslashed(ffmetadata_text(c.title), "=;#\\\n\r"), "\n");
  }
  return out;
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

std::string write_audacity(std::span<const Chapter> chapters,
                           std::string_view) {
  std::string out;
  for (const Chapter& c : chapters) {
    std::string at = seconds_text(c.start_ms) + "000";
    add(out, at, "\t", at, "\t", label_text(c.title), "\n");
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

std::string write_json(std::span<const Chapter> chapters, std::string_view) {
  std::string out = "{\"version\":\"1.2.0\",\"chapters\":[";
  for (std::size_t k = 0; k < chapters.size(); ++k) {
    if (k > 0) out += ",";
    add(out, "{\"startTime\":", json_seconds(chapters[k].start_ms),
        ",\"title\":", json_string(chapters[k].title), "}");
  }
  return out + "]}\n";
}

std::string write_ogm(std::span<const Chapter> chapters, std::string_view) {
  std::string out;
  for (std::size_t k = 0; k < chapters.size(); ++k) {
    std::string key = "CHAPTER" + two_digits(k + 1);
    add(out, key, "=", format_time(chapters[k].start_ms), "\n", key,
        "NAME=", one_line(chapters[k].title), "\n");
  }
  return out;
}

constexpr FormatRow kFormats[] = {
    {ChapterFormat::kTxt, "txt", L".chapters.txt", L"", write_txt, one_line},
    {ChapterFormat::kFfmetadata, "ffmetadata", L".ffmetadata", L".ffmetadata",
     write_ffmetadata, ffmetadata_text},
    {ChapterFormat::kCue, "cue", L".cue", L".cue", write_cue, cue_text},
    {ChapterFormat::kAudacity, "audacity", L".labels.txt", L".labels.txt",
     write_audacity, label_text},
    {ChapterFormat::kVtt, "vtt", L".vtt", L".vtt", write_vtt, one_line},
    {ChapterFormat::kJson, "json", L".chapters.json", L".json", write_json,
     kept},
    {ChapterFormat::kOgm, "ogm", L".ogm.txt", L".ogm.txt", write_ogm, one_line},
};

wchar_t ascii_lower(wchar_t c) {
  return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool ends_with_ignoring_case(std::wstring_view name, std::wstring_view end) {
  if (end.empty() || name.size() < end.size()) return false;
  name.remove_prefix(name.size() - end.size());
  for (std::size_t i = 0; i < end.size(); ++i) {
    if (ascii_lower(name[i]) != ascii_lower(end[i])) return false;
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
