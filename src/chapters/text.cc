#include "chapters/text.h"

#include <algorithm>

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

bool is_utf8(std::string_view text) {
  return utf8_error_at(text) == std::string_view::npos;
}

}  // namespace hushmark
