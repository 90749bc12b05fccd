#ifndef HUSHMARK_EXTRACT_POINT_FORMAT_H_
#define HUSHMARK_EXTRACT_POINT_FORMAT_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "extract/time_base.h"

namespace hushmark {

// Room for any time format_time_chars writes (hours reach 4,772,185).
inline constexpr std::size_t kMaxTimeChars = 24;

// Room for any length format_length_chars writes.
inline constexpr std::size_t kMaxLengthChars = 24;

// Writes ms as HH:MM:SS.mmm at out and returns the end; hours keep counting
// past 24 and take more digits past 99.
char* format_time_chars(std::uint64_t ms, char* out);

// Writes the seconds of a run of `length` frames at this byte rate (not 0) as
// whole seconds, a full stop and three decimals at out, and returns the end.
// The digits are those "%.3f" gives for length * 4.0 / the byte rate.
char* format_length_chars(std::uint32_t length, TimeBase time_base, char* out);

// The locale's decimal separator as the C library's wide formatting shows it.
std::wstring locale_decimal_separator();

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_POINT_FORMAT_H_
