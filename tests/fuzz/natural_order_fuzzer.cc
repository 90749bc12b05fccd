// Any bytes as three paths, parted by line feeds, to sort a folder's
// recordings by: the comparison must be a total order (irreflexive,
// antisymmetric, transitive, equal only for equal paths), a number must sort
// by its value wherever it stands, and ASCII case must decide nothing that
// the letters decide.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "extract/inputs.h"
#include "fuzz/fuzz_check.h"

namespace {

using hushmark::compare_natural;
namespace fuzz = hushmark::fuzz;

// A byte as a path character: ASCII as it is, and above it characters that
// are digits elsewhere, wide, or at the ends of wchar_t's range.
wchar_t character_of(std::uint8_t byte) {
  static constexpr wchar_t kWide[] = {
      L'\uFF10', L'\u0660',     L'\u3000',     L'\u00E9',
      L'\u00C9', L'\U0001F399', L'\U0010FFFF', static_cast<wchar_t>(-1)};
  return byte < 0x80 ? static_cast<wchar_t>(byte) : kWide[byte % 8];
}

std::vector<std::wstring> paths_of(std::string_view bytes) {
  std::vector<std::wstring> paths(1);
  for (char c : bytes) {
    if (c == '\n' && paths.size() < 3) {
      paths.emplace_back();
    } else {
      paths.back() += character_of(static_cast<std::uint8_t>(c));
    }
  }
  while (paths.size() < 3)
    paths.emplace_back();
  return paths;
}

void check_pair(const std::wstring& a, const std::wstring& b) {
  const int ab = compare_natural(a, b);
  fuzz::check(ab >= -1 && ab <= 1, "an order outside -1, 0 and 1");
  fuzz::check(ab == -compare_natural(b, a), "the order is not antisymmetric");
  fuzz::check((ab == 0) == (a == b), "different paths compare equal");
}

void check_triple(const std::wstring& a, const std::wstring& b,
                  const std::wstring& c) {
  const int ab = compare_natural(a, b), bc = compare_natural(b, c);
  if (ab <= 0 && bc <= 0) {
    const int ac = compare_natural(a, c);
    fuzz::check(ac <= 0 && (ac < 0 || (ab == 0 && bc == 0)),
                "the order is not transitive");
  }
}

std::wstring ascii_lower(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'A' && c <= L'Z') c = c - L'A' + L'a';
  }
  return text;
}

// `value` with `zeros` zeros in front.
std::wstring number(std::uint32_t value, std::size_t zeros) {
  return std::wstring(zeros, L'0') + std::to_wstring(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<std::wstring> p = paths_of(bytes);
  for (const std::wstring& a : p) {
    fuzz::check(compare_natural(a, a) == 0, "a path before itself");
    for (const std::wstring& b : p)
      check_pair(a, b);
  }
  const int orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2},
                            {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
  for (const auto& o : orders)
    check_triple(p[o[0]], p[o[1]], p[o[2]]);
  for (const std::wstring& a : p) {
    for (const std::wstring& b : p) {
      const std::wstring la = ascii_lower(a), lb = ascii_lower(b);
      if (la != lb) {
        fuzz::check(compare_natural(a, b) == compare_natural(la, lb),
                    "ASCII case decided the order");
      }
    }
  }
  // Two numbers as a component of their own between the first two paths'
  // text: the smaller value first, whatever their zeros.
  std::uint32_t x = 0, y = 0;
  for (std::size_t k = 0; k < 4 && k < size; ++k) {
    x = x << 8 | data[k];
    y = y << 8 | data[size - 1 - k];
  }
  if (x != y) {
    const std::wstring a = p[0] + L"/" + number(x, size % 3) + L"/" + p[1];
    const std::wstring b = p[0] + L"/" + number(y, size / 3 % 3) + L"/" + p[1];
    fuzz::check(compare_natural(a, b) == (x < y ? -1 : 1),
                "a number did not sort by its value");
  }
  return 0;
}
