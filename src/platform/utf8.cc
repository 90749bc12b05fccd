#include "platform/utf8.h"

namespace hushmark::platform {
namespace {

// The code point at text[i], moving i past it: where wchar_t is UTF-16, a
// surrogate pair makes one, and an unpaired surrogate stays as it is.
char32_t next_code_point(std::wstring_view text, std::size_t& i) {
  auto c = static_cast<char32_t>(text[i++]);
  if (sizeof(wchar_t) == 2 && c >= 0xD800 && c <= 0xDBFF && i < text.size() &&
      text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
    c = 0x10000 + ((c - 0xD800) << 10) +
        (static_cast<char32_t>(text[i++]) - 0xDC00);
  }
  return c;
}

}  // namespace

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

void append_wide(std::wstring& out, char32_t c) {
  if (sizeof(wchar_t) == 2 && c >= 0x10000) {
    out.push_back(static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)));
    out.push_back(static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
  } else {
    out.push_back(static_cast<wchar_t>(c));
  }
}

std::size_t decode_utf8(std::string_view bytes, char32_t& c) {
  const auto lead = static_cast<unsigned char>(bytes[0]);
  const std::size_t length = lead < 0x80           ? 1
                             : (lead >> 5) == 0x6  ? 2
                             : (lead >> 4) == 0xE  ? 3
                             : (lead >> 3) == 0x1E ? 4
                                                   : 0;
  if (length == 0 || bytes.size() < length) return 0;
  c = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(bytes[k]);
    if ((next & 0xC0) != 0x80) return 0;
    c = c << 6 | (next & 0x3F);
  }
  // An overlong form is no character.
  static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  return c >= kLeast[length] && c <= 0x10FFFF ? length : 0;
}

std::optional<std::string> utf8_of(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const char32_t c = next_code_point(text, i);
    if (is_surrogate(c) || c > 0x10FFFF) return std::nullopt;
    append_utf8(out, c);
  }
  return out;
}

std::string utf8_keeping_surrogates(std::wstring_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (std::size_t i = 0; i < text.size();)
    append_utf8(out, next_code_point(text, i));
  return out;
}

std::wstring widen_utf8(std::string_view text) {
  std::wstring out;
  for (std::size_t i = 0; i < text.size();) {
    char32_t c = 0;
    const std::size_t length = decode_utf8(text.substr(i), c);
    if (length == 0 || is_surrogate(c)) {  // kept as an escaped byte
      out.push_back(
          static_cast<wchar_t>(0xDC00 + static_cast<unsigned char>(text[i])));
      ++i;
      continue;
    }
    append_wide(out, c);
    i += length;
  }
  return out;
}

}  // namespace hushmark::platform
