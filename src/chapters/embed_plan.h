#ifndef HUSHMARK_CHAPTERS_EMBED_PLAN_H_
#define HUSHMARK_CHAPTERS_EMBED_PLAN_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/console.h"

namespace hushmark {

// How the chaptered copy of the recording is made.
enum class EmbedRoute {
  kCopy,    // the inputs' packets are copied and joined
  kEncode,  // the decoded samples are encoded once into the output's codec
};

// What ffprobe tells of one input.
struct PartInfo {
  std::string codec;  // of its first audio stream; empty when it has none
  std::uint32_t sample_rate = 0;
  std::uint16_t channels = 0;
  std::uint64_t bit_rate = 0;  // bits per second; 0 when not known
  // Its tags, the container's before the audio stream's, keys in lower case.
  std::vector<std::pair<std::string, std::string>> tags;
  int picture_stream = -1;  // its first attached picture; -1 when none
  // With several inputs: ffmpeg's account of its audio's codec set-up, which
  // must be the same in every part for the packets to join.
  std::string setup;
};

// A tag name and its value, UTF-8.
using Tag = std::pair<std::string, std::string>;

// Everything the writer needs to know of the output, decided before the scan.
struct EmbedPlan {
  EmbedRoute route = EmbedRoute::kCopy;
  std::wstring muxer;    // ffmpeg's writer of the output
  std::wstring encoder;  // with kEncode: ffmpeg's encoder
  // With kEncode: the writer of the encoded audio alone, before the remux.
  std::wstring audio_muxer;
  std::uint32_t kbit_rate = 0;    // with kEncode: the encoder's kbit/s
  std::uint32_t sample_rate = 0;  // with kEncode: the first input's
  std::uint16_t channels = 0;     // with kEncode: the first input's
  // With kEncode: the rate the encoder takes, when not the input's.
  std::uint32_t encoded_rate = 0;
  // The output's tags; none with one input copied whole, which keeps its
  // own.
  std::vector<Tag> tags;
  // The file that holds the cover (an input, or a picture beside the inputs),
  // and its stream; empty when there is none. One input copied gives only
  // its own.
  std::wstring cover;
  int cover_stream = 0;
};

// The bit rate chosen when -k is not given: the highest of the inputs' bit
// rates in kbit/s, but no more than 64 kbit/s per channel.
std::uint32_t default_kbit_rate(std::span<const PartInfo> parts,
                                std::uint16_t channels);

// Decides copy or encode from the inputs (in order) and the output's
// ending: an output whose container cannot hold the inputs' codec, or inputs
// that differ in codec, rate, channels or codec set-up, are encoded. kbit_rate
// is -k's value, when given. An input that ffprobe cannot read is left to the
// copy, whose ffmpeg says what is wrong with it. With chapter_files, outfile
// names one file per chapter, and the plan always holds the book's tags and
// cover.
EmbedPlan plan_embedding(std::span<const std::wstring> inputs,
                         std::span<const PartInfo> parts,
                         std::wstring_view outfile,
                         std::optional<std::int32_t> kbit_rate,
                         bool chapter_files = false);

// Reads ffprobe's JSON listing of one file (-show_streams -show_format) into
// part; false when it is not such a listing.
bool read_part_info(std::string_view json, PartInfo& part);

// Runs the checks that check_embedding runs, then ffprobe once per input
// (and, for inputs that could be joined, describe_audio), and plans the
// output. Inputs that ffprobe cannot read and that are set up otherwise are
// refused. False once the reason is out.
bool make_embed_plan(std::span<const std::wstring> inputs,
                     std::wstring_view outfile,
                     std::optional<std::int32_t> kbit_rate, EmbedPlan& plan,
                     platform::Console& console, bool chapter_files = false);

}  // namespace hushmark

#endif  // HUSHMARK_CHAPTERS_EMBED_PLAN_H_
