#include "chapters/titles.h"

#include <optional>

#include "chapters/messages.h"
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

}  // namespace

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
