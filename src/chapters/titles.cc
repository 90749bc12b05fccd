#include "chapters/titles.h"

#include <array>
#include <cstdint>
#include <optional>

#include "chapters/messages.h"
#include "chapters/text.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/utf8.h"

namespace hushmark {
namespace {

// The sequences a template may hold after a percent sign, and the width each
// pads the number to; 0 for the percent sign itself, -1 for the file's title.
struct Sequence {
  std::wstring_view text;
  int width;
};
constexpr Sequence kSequences[] = {
    {L"d", 1}, {L"02d", 2}, {L"03d", 3}, {L"f", -1}, {L"%", 0}};

// The sequence after the percent sign at `at`, or nullptr.
const Sequence* sequence_at(std::wstring_view title, std::size_t at) {
  for (const Sequence& s : kSequences) {
    if (title.substr(at + 1).starts_with(s.text)) return &s;
  }
  return nullptr;
}

// The whole file, or nothing when it cannot be opened or read.
std::optional<std::string> read_whole(std::wstring_view path) {
  platform::InputFile in;
  if (!in.open(path)) return std::nullopt;
  std::string bytes;
  std::array<std::uint8_t, 65536> block;
  while (std::size_t n = in.read(block)) {
    bytes.append(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n));
  }
  if (in.failed()) return std::nullopt;
  return bytes;
}

// True for UTF-8 text without a NUL, which no title may hold.
bool is_text(std::string_view line) {
  return line.find('\0') == std::string_view::npos && is_utf8(line);
}

std::string_view trimmed(std::string_view line) {
  const std::size_t first = line.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return line.substr(first, line.find_last_not_of(" \t") - first + 1);
}

}  // namespace

bool read_titles(std::wstring_view path, std::vector<std::string>& titles,
                 platform::Console& console) {
  const std::optional<std::string> bytes = read_whole(path);
  if (!bytes) {
    console.write(msg::kTitlesCannotRead + std::wstring(path) + L"\n");
    return false;
  }
  titles.clear();
  for (const TextLine& line : text_lines(without_bom(*bytes))) {
    if (!is_text(line.text)) {
      console.write(msg::kTitlesNotText + std::wstring(path) +
                    msg::kTitlesLine + std::to_wstring(line.number) +
                    msg::kTitlesLineEnd);
      return false;
    }
    titles.emplace_back(trimmed(line.text));
  }
  while (!titles.empty() && titles.back().empty())
    titles.pop_back();
  if (titles.empty()) {
    console.write(msg::kTitlesEmpty + std::wstring(path) + L"\n");
    return false;
  }
  return true;
}

bool check_title_template(std::wstring_view title, platform::Console& console) {
  if (!platform::utf8_of(title)) {
    console.write(msg::kChaptersUnreadableTitle);
    return false;
  }
  for (std::size_t at = title.find(L'%'); at != std::wstring_view::npos;) {
    const Sequence* s = sequence_at(title, at);
    if (s == nullptr) {
      console.write(msg::kChaptersBadTitle);
      return false;
    }
    at = title.find(L'%', at + 1 + s->text.size());
  }
  return true;
}

std::wstring chapter_title(std::wstring_view title, std::uint64_t number,
                           std::wstring_view file_title) {
  std::wstring text;
  for (std::size_t at = 0; at < title.size(); ++at) {
    const Sequence* s = title[at] == L'%' ? sequence_at(title, at) : nullptr;
    if (s == nullptr) {
      text += title[at];
      continue;
    }
    if (s->width < 0) {
      text += file_title;
    } else if (s->width == 0) {
      text += L'%';
    } else {
      std::wstring digits = std::to_wstring(number);
      if (digits.size() < static_cast<std::size_t>(s->width)) {
        text.append(static_cast<std::size_t>(s->width) - digits.size(), L'0');
      }
      text += digits;
    }
    at += s->text.size();
  }
  return text;
}

std::wstring shown_title(std::wstring_view title) {
  std::wstring shown(title);
  for (wchar_t& c : shown) {
    if (c < 0x20 || c == 0x7F) {
      c = static_cast<wchar_t>(platform::kEscapedByteBase + c);
    }
  }
  return shown;
}

}  // namespace hushmark
