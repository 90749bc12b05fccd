// Runs the chunk walk and the scan on one WAVE file held in memory, with no
// file in between, so that many more inputs go through each second; then
// reads the same bytes as a file's head and as a decoder's WAVE stream. After
// the options (see extract_checks.h) the ninth byte picks the cut position and
// whether the input reads as a pipe; the rest is the WAVE file. What needs
// real files (a chapter path that names the input, an earlier chapter file) is
// left to the extract target.
#include <stdlib.h>

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/echo.h"
#include "cli/extraction.h"
#include "cli/settings.h"
#include "extract/byte_reader.h"
#include "extract/decoded_wave.h"
#include "extract/scan_state.h"
#include "extract/wave_reader.h"
#include "fuzz/extract_checks.h"
#include "fuzz/fuzz_check.h"
#include "platform/console.h"
#include "platform/files.h"

namespace hushmark::fuzz {
namespace {

Settings settings_from(const std::uint8_t* data) {
  Settings s;
  s.threshold = le32(data);
  s.min_silence_ms = le32(data + 4);
  s.cut_position = data[8] % 3;  // validate_settings refuses the others earlier
  s.infile = L"in.wav";
  s.outfile = L"out.txt";
  return s;
}

}  // namespace
}  // namespace hushmark::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace hushmark;
  static const bool kLocaleSet = std::setlocale(LC_ALL, "C.UTF-8") != nullptr;
  (void)kLocaleSet;
  std::uint8_t options[fuzz::kOptionBytes] = {};
  if (size > 0) std::memcpy(options, data, std::min(size, sizeof options));
  Settings settings = fuzz::settings_from(options);
  const bool as_stream = options[8] / 3 % 2 == 1;
  std::span<const std::uint8_t> wave;
  if (size > sizeof options) wave = {data + sizeof options, data + size};

  char* text = nullptr;
  std::size_t text_size = 0;
  std::FILE* out = open_memstream(&text, &text_size);
  fuzz::check(out != nullptr, "cannot open a memory stream");
  std::string chapters;
  bool ok;
  {
    platform::Console console(out);
    echo_settings(settings, console);
    ByteReader in(wave, as_stream);
    platform::OutputFile chapter_file;
    chapter_file.open_in_memory(chapters);
    ok = extract_points(in, scan_request(settings), chapter_file, console);
    fuzz::check(chapter_file.close(), "writing to memory failed");
  }
  std::fclose(out);
  std::string_view shown(text, text_size);
  fuzz::check(ok || fuzz::ends_with_a_failure_message(shown),
              "failure without its message");
  fuzz::check(chapters == fuzz::chapters_shown(shown),
              "the chapter lines are not the points shown");
  std::free(text);

  // The same bytes as the head of a file, and as a decoder's stream.
  (void)classify_head(wave);
  ByteReader decoded(wave, true);
  DecodedFormat format;
  if (read_decoded_header(decoded, format)) {
    fuzz::check(format.channels >= 1 && format.channels <= kMaxChannels,
                "a decoded stream's channels out of range");
    std::span<const std::uint8_t> rest = decoded.fill(0);
    const std::size_t frame_bytes = std::size_t{format.channels} * 2;
    std::vector<std::uint8_t> folded(rest.size() / frame_bytes * kFrameBytes);
    fold_to_stereo(rest.first(rest.size() / frame_bytes * frame_bytes),
                   format.channels, folded.data());
  }
  return 0;
}
