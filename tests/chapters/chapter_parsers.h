#ifndef HUSHMARK_TESTS_CHAPTERS_CHAPTER_PARSERS_H_
#define HUSHMARK_TESTS_CHAPTERS_CHAPTER_PARSERS_H_

// Reads each chapter file format back as its readers do, independently of the
// writers: the times and titles a player, muxer or editor would see.

#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "chapters/chapter_options.h"

namespace hushmark::testing {

struct ParsedChapter {
  std::uint64_t start_ms = 0;  // for a CUE sheet, frames of 1/75 s
  std::string title;
};

// HH:MM:SS.mmm, hours of any length.
inline std::uint64_t parse_clock(std::string_view text) {
  std::uint64_t h = 0, m = 0, s = 0, ms = 0;
  char c;
  std::istringstream in{std::string(text)};
  in >> h >> c >> m >> c >> s >> c >> ms;
  return ((h * 60 + m) * 60 + s) * 1000 + ms;
}

// The lines of text, without their LF.
inline std::vector<std::string> lines_of(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    lines.emplace_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

// FFMETADATA: a backslash takes the next character as it is, a line feed
// included; key and value part at the first '=' that no backslash escapes.
// As ffmpeg 5.1 reads it, a line feed after any backslash, even an escaped
// one, continues the line.
inline std::vector<ParsedChapter> parse_ffmetadata(std::string_view text) {
  std::vector<ParsedChapter> out;
  std::size_t at = text.find('\n') + 1;  // past ";FFMETADATA1"
  while (at < text.size()) {
    std::string key, value;
    bool in_value = false;
    for (; at < text.size() && (text[at] != '\n' || text[at - 1] == '\\');
         ++at) {
      char c = text[at];
      if (c == '\\' && at + 1 < text.size()) {
        c = text[++at];
      } else if (c == '=' && !in_value) {
        in_value = true;
        continue;
      }
      (in_value ? value : key) += c;
    }
    ++at;
    if (key == "[CHAPTER]") out.emplace_back();
    if (key == "START") out.back().start_ms = std::stoull(value);
    if (key == "title") out.back().title = value;
  }
  return out;
}

// A CUE sheet: a command starts each line, after its indent; a title lies
// between the first and the last double quote.
inline std::vector<ParsedChapter> parse_cue(std::string_view text) {
  std::vector<ParsedChapter> out;
  for (const std::string& line : lines_of(text)) {
    std::string_view command(line);
    command.remove_prefix(
        std::min(command.find_first_not_of(' '), command.size()));
    std::size_t first = line.find('"'), last = line.rfind('"');
    if (command.starts_with("TRACK ")) out.emplace_back();
    if (out.empty()) continue;
    if (command.starts_with("TITLE ")) {
      out.back().title = line.substr(first + 1, last - first - 1);
    }
    if (command.starts_with("INDEX 01 ")) {
      std::uint64_t mm = 0, ss = 0, ff = 0;
      char c;
      std::istringstream(std::string(command.substr(9))) >> mm >> c >> ss >>
          c >> ff;
      out.back().start_ms = (mm * 60 + ss) * 75 + ff;
    }
  }
  return out;
}

inline std::string vtt_decoded(std::string_view text) {
  std::string out;
  for (std::size_t at = 0; at < text.size(); ++at) {
    bool found = false;
    for (auto [entity, c] : {std::pair{"&amp;", '&'}, std::pair{"&lt;", '<'},
                             std::pair{"&gt;", '>'}}) {
      if (text.substr(at).starts_with(entity)) {
        out += c;
        at += std::string_view(entity).size() - 1;
        found = true;
        break;
      }
    }
    if (!found) out += text[at];
  }
  return out;
}

// WebVTT: a cue is a timing line and the text after it, up to a blank line.
inline std::vector<ParsedChapter> parse_vtt(std::string_view text) {
  std::vector<ParsedChapter> out;
  std::vector<std::string> lines = lines_of(text);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].find(" --> ") == std::string::npos) continue;
    ParsedChapter chapter{parse_clock(lines[i]), ""};
    for (std::size_t k = i + 1; k < lines.size() && !lines[k].empty(); ++k) {
      if (k > i + 1) chapter.title += '\n';
      chapter.title += vtt_decoded(lines[k]);
    }
    out.push_back(chapter);
  }
  return out;
}

// The JSON string at text[at] (its opening quote); at ends past it.
inline std::string json_string_at(std::string_view text, std::size_t& at) {
  std::string out;
  for (++at; at < text.size() && text[at] != '"'; ++at) {
    if (text[at] != '\\') {
      out += text[at];
      continue;
    }
    char c = text[++at];
    switch (c) {
    case 'n':
      out += '\n';
      break;
    case 'r':
      out += '\r';
      break;
    case 't':
      out += '\t';
      break;
    case 'b':
      out += '\b';
      break;
    case 'f':
      out += '\f';
      break;
    case 'u':
      // Only control characters are written this way.
      out += static_cast<char>(
          std::stoi(std::string(text.substr(at + 1, 4)), nullptr, 16));
      at += 4;
      break;
    default:
      out += c;
    }
  }
  ++at;
  return out;
}

inline std::vector<ParsedChapter> parse_json(std::string_view text) {
  std::vector<ParsedChapter> out;
  const std::string_view start = "{\"startTime\":", title = ",\"title\":";
  for (std::size_t at = text.find(start); at != std::string_view::npos;
       at = text.find(start, at)) {
    at += start.size();
    std::size_t end = text.find(title, at);
    ParsedChapter chapter;
    chapter.start_ms = static_cast<std::uint64_t>(
        std::stod(std::string(text.substr(at, end - at))) * 1000 + 0.5);
    at = end + title.size();
    chapter.title = json_string_at(text, at);
    out.push_back(chapter);
  }
  return out;
}

// The formats with one chapter, or one part of it, per line.
inline std::vector<ParsedChapter> parse_lines(ChapterFormat format,
                                              std::string_view text) {
  std::vector<ParsedChapter> out;
  for (const std::string& line : lines_of(text)) {
    if (format == ChapterFormat::kTxt) {
      std::size_t space = line.find(' ');
      out.push_back({parse_clock(line), line.substr(space + 1)});
    } else if (format == ChapterFormat::kAudacity) {
      std::size_t tab = line.find('\t', line.find('\t') + 1);
      out.push_back({static_cast<std::uint64_t>(std::stod(line) * 1000 + 0.5),
                     line.substr(tab + 1)});
    } else if (std::size_t eq = line.find('='); eq != std::string::npos) {
      if (line.substr(0, eq).ends_with("NAME")) {
        out.back().title = line.substr(eq + 1);
      } else {
        out.push_back({parse_clock(line.substr(eq + 1)), ""});
      }
    }
  }
  return out;
}

inline std::vector<ParsedChapter> parse_chapters(ChapterFormat format,
                                                 std::string_view text) {
  switch (format) {
  case ChapterFormat::kFfmetadata:
    return parse_ffmetadata(text);
  case ChapterFormat::kCue:
    return parse_cue(text);
  case ChapterFormat::kVtt:
    return parse_vtt(text);
  case ChapterFormat::kJson:
    return parse_json(text);
  default:
    return parse_lines(format, text);
  }
}

}  // namespace hushmark::testing

#endif  // HUSHMARK_TESTS_CHAPTERS_CHAPTER_PARSERS_H_
