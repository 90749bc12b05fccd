#include "chapters/text.h"

#include <algorithm>

#include "platform/utf8.h"

namespace hushmark {

std::string_view without_bom(std::string_view text) {
  constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
  if (text.starts_with(kUtf8Bom)) text.remove_prefix(kUtf8Bom.size());
  return text;
}

std::vector<TextLine> text_lines(std::string_view text) {
  std::vector<TextLine> lines;
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

std::size_t utf8_error_at(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size()) {
    char32_t c = 0;
    const std::size_t length = platform::decode_utf8(text.substr(at), c);
    if (length == 0 || platform::is_surrogate(c)) return at;
    at += length;
  }
  return std::string_view::npos;
}

bool is_utf8(std::string_view text) {
  return utf8_error_at(text) == std::string_view::npos;
}

}  // namespace hushmark
