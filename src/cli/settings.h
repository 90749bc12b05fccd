#ifndef HUSHMARK_CLI_SETTINGS_H_
#define HUSHMARK_CLI_SETTINGS_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "extract/scan_state.h"

namespace hushmark {

// Room for a path in wide characters, terminator included; a longer path is
// refused.
inline constexpr std::size_t kPathCapacity = 1024;

// The parameters of one run, filled from the command line and read by the
// extraction.
struct Settings {
  std::wstring infile;   // input WAVE file
  std::wstring outfile;  // chapter file; derived from infile when left empty
  std::int32_t threshold = 0;  // largest sample magnitude that is still silence
  std::int32_t min_silence_ms =
      kDefaultMinSilenceMs;  // shortest silence that yields a chapter point
  std::int32_t cut_position = 0;  // 0 start, 1 middle, 2 end of the silence
  // -s and -m were read: a program that can choose them from the recording
  // does so only when they were not.
  bool threshold_given = false;
  bool min_silence_given = false;
};

}  // namespace hushmark

#endif  // HUSHMARK_CLI_SETTINGS_H_
