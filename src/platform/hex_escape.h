#ifndef HUSHMARK_PLATFORM_HEX_ESCAPE_H_
#define HUSHMARK_PLATFORM_HEX_ESCAPE_H_

namespace hushmark::platform {

// Appends byte (0 to 255) as \xNN with two lower-case hex digits, to a narrow
// or a wide string: how bytes that must not reach a terminal as they are, or
// that no encoding can show, are written.
template <class Text>
void append_hex_escape(Text& out, unsigned byte) {
  using Char = typename Text::value_type;
  constexpr char kHex[] = "0123456789abcdef";
  out.push_back(static_cast<Char>('\\'));
  out.push_back(static_cast<Char>('x'));
  out.push_back(static_cast<Char>(kHex[(byte >> 4) & 0xF]));
  out.push_back(static_cast<Char>(kHex[byte & 0xF]));
}

}  // namespace hushmark::platform

#endif  // HUSHMARK_PLATFORM_HEX_ESCAPE_H_
