#include "extract/point_format.h"

#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <cwchar>

#include "extract/time_base.h"

namespace hushmark {
namespace {

// "00" to "99", two characters each.
constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

char* put_two_digits(char* out, std::uint32_t value) {
  std::memcpy(out, &kDigitPairs[2 * value], 2);
  return out + 2;
}

char* put_three_digits(char* out, std::uint32_t value) {
  *out = static_cast<char>('0' + value / 100);
  return put_two_digits(out + 1, value % 100);
}

char* put_number(char* out, std::uint64_t value) {
  return std::to_chars(out, out + 20, value).ptr;
}

// -1, 0 or 1 as x lies below, on or above n / 2000, for x from 2^-11 to 2^52.
int compare_with_halves(double x, std::uint64_t n) {
  auto bits = std::bit_cast<std::uint64_t>(x);
  std::uint64_t mantissa =
      (bits & ((std::uint64_t{1} << 52) - 1)) | std::uint64_t{1} << 52;
  // x = mantissa / 2^shift, with shift from 1 to 63 in this range.
  int shift = 1075 - static_cast<int>(bits >> 52);
  std::uint64_t scaled = mantissa * 2000;  // below 2^64
  std::uint64_t whole = scaled >> shift;
  if (whole != n) return whole < n ? -1 : 1;
  return (scaled & ((std::uint64_t{1} << shift) - 1)) != 0 ? 1 : 0;
}

}  // namespace

char* format_time_chars(std::uint64_t ms, char* out) {
  std::uint64_t hours = ms / 3'600'000;
  auto rest = static_cast<std::uint32_t>(ms % 3'600'000);
  out = hours < 100 ? put_two_digits(out, static_cast<std::uint32_t>(hours))
                    : put_number(out, hours);
  *out++ = ':';
  out = put_two_digits(out, rest / 60'000);
  *out++ = ':';
  out = put_two_digits(out, rest / 1'000 % 60);
  *out++ = '.';
  return put_three_digits(out, rest % 1'000);
}

char* format_length_chars(std::uint32_t length, TimeBase time_base, char* out) {
  // "%.3f" rounds the double's exact value to the nearest thousandth, and an
  // exact tie to the even one. The double lies within a relative 2^-53 of
  // the exact quotient: less than 2^-8 / rate in thousandths, as the scaled
  // length is below 2^44. A quotient not exactly halfway between two
  // thousandths lies at least 1 / (2 * rate) from the halfway point, so the
  // two round alike. Exactly halfway, the double's side of it decides.
  const std::uint32_t rate = time_base.bytes_per_second();
  std::uint64_t scaled = std::uint64_t{length} * kFrameByteMs;
  std::uint64_t thousandths = scaled / rate;
  std::uint64_t twice_rest = scaled % rate * 2;
  if (twice_rest == rate) {
    double seconds = frames_seconds(length, time_base);
    int side = compare_with_halves(seconds, 2 * thousandths + 1);
    if (side > 0 || (side == 0 && thousandths % 2 == 1)) ++thousandths;
  } else if (twice_rest > rate) {
    ++thousandths;
  }
  out = put_number(out, thousandths / 1000);
  *out++ = '.';
  return put_three_digits(out, static_cast<std::uint32_t>(thousandths % 1000));
}

std::wstring locale_decimal_separator() {
  // Asking the formatter itself keeps the separator exactly as before, even
  // where the numeric and character-type categories differ.
  wchar_t probe[32];
  int n = std::swprintf(probe, std::size(probe), L"%.1f", 0.5);
  if (n < 3) return L".";
  return std::wstring(probe + 1, probe + n - 1);
}

}  // namespace hushmark
