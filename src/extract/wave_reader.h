#ifndef HUSHMARK_EXTRACT_WAVE_READER_H_
#define HUSHMARK_EXTRACT_WAVE_READER_H_

#include <cstdint>
#include <string>

#include "cli/settings.h"
#include "platform/console.h"

namespace hushmark {

// The fields of a "fmt " chunk that decide whether a data chunk can be scanned.
// They are all 0 until a "fmt " chunk has been read.
struct WaveFormat {
  std::uint16_t wFormatTag = 0;
  std::uint16_t nChannels = 0;
  std::uint32_t nAvgBytesPerSec = 0;
  std::uint16_t wBitsPerSample = 0;
};

// One chunk header: the identifier as four bytes and the declared body size.
struct ChunkHeader {
  std::uint32_t id = 0;  // the four bytes read little-endian
  std::uint32_t size = 0;
};

// The identifier's four bytes as a little-endian number, e.g. fourcc("data").
constexpr std::uint32_t fourcc(const char (&s)[5]) {
  return std::uint32_t{static_cast<std::uint8_t>(s[0])} |
         std::uint32_t{static_cast<std::uint8_t>(s[1])} << 8 |
         std::uint32_t{static_cast<std::uint8_t>(s[2])} << 16 |
         std::uint32_t{static_cast<std::uint8_t>(s[3])} << 24;
}

// The identifier as it is shown: its bytes up to the first zero byte, with
// every byte outside printable ASCII written as \xNN.
std::wstring printable_chunk_id(std::uint32_t id);

// Opens the input and the chapter file, walks every chunk and scans each data
// chunk of 16-bit stereo PCM. True when the walk reached the end of the file;
// false after any failure, once its message is out.
bool run_extraction(const Settings& settings, platform::Console& console);

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_WAVE_READER_H_
