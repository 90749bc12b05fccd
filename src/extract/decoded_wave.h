#ifndef HUSHMARK_EXTRACT_DECODED_WAVE_H_
#define HUSHMARK_EXTRACT_DECODED_WAVE_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "extract/byte_reader.h"
#include "extract/time_base.h"

namespace hushmark {

// How the start of a file says it must be read.
enum class HeadKind {
  kWave,    // a WAVE file to walk as hushmark does
  kDecode,  // anything else: ffmpeg decodes it
};

// What the start of a file tells about it.
struct HeadInfo {
  HeadKind kind = HeadKind::kDecode;
  TimeBase time_base;  // of a WAVE file's fmt chunk; 0 unknown
};

// How much of a file's start is read to tell what it holds: enough for the
// chunks that recorders put before a WAVE file's format (bext, iXML, JUNK).
inline constexpr std::size_t kHeadBytes = 64 * 1024;

// Reads the first bytes of a file: a RIFF/WAVE file whose first fmt chunk
// (before any data chunk) is 16-bit stereo PCM is walked as hushmark walks
// it, and so is one whose chunks these bytes do not reach far enough to tell
// (hushmark's walk then says what is wrong with it). Everything else, other
// WAVE formats included, is for ffmpeg.
HeadInfo classify_head(std::span<const std::uint8_t> head);

// The format of the WAVE stream that ffmpeg writes: 16-bit PCM, any number of
// channels, its data running to the end of the stream.
struct DecodedFormat {
  std::uint16_t channels = 0;
  std::uint32_t sample_rate = 0;
  bool is_float = false;  // 32-bit float samples in place of 16-bit ones
  std::string title;      // the INAM tag of its LIST INFO chunk, UTF-8
};

// Reads the header of a decoded WAVE stream up to its data: false when the
// stream holds no such header (ffmpeg failed) or a format other than 16-bit
// PCM or 32-bit float with 1 to kMaxChannels channels.
bool read_decoded_header(ByteReader& in, DecodedFormat& format);

// The most channels a decoded frame may have.
inline constexpr std::uint16_t kMaxChannels = 32;

// Turns whole frames of `channels` 16-bit samples into stereo frames that are
// quiet at exactly the thresholds where the original frames are: both
// samples of each are the loudest of the original frame's samples. out has
// room for 4 bytes per frame.
void fold_to_stereo(std::span<const std::uint8_t> in, std::uint16_t channels,
                    std::uint8_t* out);

// Turns 32-bit float samples into the 16-bit ones that ffmpeg would have
// written for them: each scaled by 32768, rounded to the nearest (ties to
// even) and clipped. out has room for 2 bytes per sample.
void float_to_s16(std::span<const std::uint8_t> in, std::uint8_t* out);

// How a file is decoded.
struct DecodeRequest {
  std::uint32_t sample_rate = 0;  // resampled to this rate when not 0
  // Every sample of every packet, the encoder's delay and padding included,
  // as a copy of the packets joined to others is played.
  bool every_sample = false;
  std::uint16_t channels = 0;  // mixed to this many channels when not 0
  // 32-bit float samples, as an encoder takes them without a loss; the scan
  // then reads them as float_to_s16 turns them.
  bool float_samples = false;
};

// ffmpeg's arguments to decode input (a file name, or empty for standard
// input) to a 16-bit WAVE stream on its standard output. A name always
// reaches ffmpeg as a file, never as an option or another protocol.
std::vector<std::wstring> decoder_arguments(std::wstring_view input,
                                            const DecodeRequest& request);

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_DECODED_WAVE_H_
