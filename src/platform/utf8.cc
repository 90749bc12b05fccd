#include "platform/utf8.h"

namespace hushmark::platform {

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::optional<std::string> utf8_of(std::wstring_view text) {
  auto in = [](char32_t c, char32_t low, char32_t high) {
    return c >= low && c <= high;
  };
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<char32_t>(text[i]);
    // Where wchar_t is UTF-16, a character beyond the BMP takes two units.
    if (sizeof(wchar_t) == 2 && in(c, 0xD800, 0xDBFF) && i + 1 < text.size() &&
        in(static_cast<char32_t>(text[i + 1]), 0xDC00, 0xDFFF)) {
      c = 0x10000 + ((c - 0xD800) << 10) +
          (static_cast<char32_t>(text[++i]) - 0xDC00);
    } else if (in(c, 0xD800, 0xDFFF) || c > 0x10FFFF) {
      return std::nullopt;
    }
    append_utf8(out, c);
  }
  return out;
}

std::wstring widen_utf8(std::string_view text) {
  std::wstring out;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80           ? 1
                               : (lead >> 5) == 0x6  ? 2
                               : (lead >> 4) == 0xE  ? 3
                               : (lead >> 3) == 0x1E ? 4
                                                     : 0;
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    bool good = length != 0 && i + length <= text.size();
    for (std::size_t k = 1; good && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      good = (next & 0xC0) == 0x80;
      c = c << 6 | (next & 0x3F);
    }
    // Overlong forms and surrogates are no characters.
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    good = good && c >= kLeast[length] && c <= 0x10FFFF &&
           (c < 0xD800 || c > 0xDFFF);
    if (!good) {
      out.push_back(static_cast<wchar_t>(0xDC00 + lead));
      ++i;
      continue;
    }
    if (sizeof(wchar_t) == 2 && c >= 0x10000) {
      out.push_back(static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(c));
    }
    i += length;
  }
  return out;
}

}  // namespace hushmark::platform
