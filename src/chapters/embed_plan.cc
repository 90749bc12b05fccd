#include "chapters/embed_plan.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <functional>

#include "chapters/embed.h"
#include "chapters/json_reader.h"
#include "chapters/messages.h"
#include "extract/ffmpeg.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace hushmark {
namespace {

// The tags an output takes from the first input that has each.
constexpr std::string_view kBookTags[] = {
    "album", "artist", "album_artist", "composer", "genre", "date", "comment"};

// Rates that libopus takes; Matroska holds anything else as Vorbis.
constexpr std::uint32_t kOpusRates[] = {48000, 24000, 16000, 12000, 8000};

// The most an ffprobe listing of one file is read up to: a file with many
// streams or long tags stays far below it.
constexpr std::size_t kMaxProbeBytes = 4 << 20;

std::string ascii_lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// A number of the listing; 0 when it is missing, is no number, or is more
// than its field holds, so that a wild value never wraps into a real one.
std::uint64_t number_in(const JsonValue* value,
                        std::uint64_t most = UINT64_MAX) {
  std::uint64_t n = 0;
  if (value == nullptr) return 0;
  const std::string& t = value->text;
  std::from_chars(t.data(), t.data() + t.size(), n);
  return n <= most ? n : 0;
}

void add_tags(const JsonValue* tags, std::vector<Tag>& out) {
  if (tags == nullptr || tags->kind != JsonValue::Kind::kObject) return;
  for (std::size_t k = 0; k < tags->items.size(); ++k) {
    if (tags->items[k].kind != JsonValue::Kind::kString) continue;
    out.emplace_back(ascii_lower(tags->keys[k]), tags->items[k].text);
  }
}

const std::string* tag_in(const PartInfo& part, std::string_view key) {
  for (const Tag& tag : part.tags) {
    if (tag.first == key && !tag.second.empty()) return &tag.second;
  }
  return nullptr;
}

// Reads one stream of the listing into part: the first audio stream gives
// the codec and its tags, the first attached picture the cover.
void read_stream(const JsonValue& stream, PartInfo& part,
                 std::vector<Tag>& stream_tags) {
  const JsonValue* type = json_member(stream, "codec_type");
  const JsonValue* disposition = json_member(stream, "disposition");
  const bool picture =
      disposition && number_in(json_member(*disposition, "attached_pic")) == 1;
  // An index past any real file's streams names no picture.
  const std::uint64_t index = number_in(json_member(stream, "index"));
  if (type && type->text == "video" && picture && part.picture_stream < 0 &&
      index <= INT_MAX) {
    part.picture_stream = static_cast<int>(index);
  }
  if (!type || type->text != "audio" || !part.codec.empty()) return;
  const JsonValue* codec = json_member(stream, "codec_name");
  part.codec = codec ? codec->text : "?";
  part.sample_rate = static_cast<std::uint32_t>(
      number_in(json_member(stream, "sample_rate"), UINT32_MAX));
  part.channels = static_cast<std::uint16_t>(
      number_in(json_member(stream, "channels"), UINT16_MAX));
  part.bit_rate = number_in(json_member(stream, "bit_rate"));
  add_tags(json_member(stream, "tags"), stream_tags);
}

// The stand-alone cover beside an input: cover or folder, .jpg .jpeg or
// .png, in the spellings that cameras and rippers leave.
std::wstring cover_beside(std::wstring_view input) {
  std::size_t folder = input.size();
  while (folder > 0 && !platform::is_path_separator(input[folder - 1]))
    --folder;
  const std::wstring_view names[] = {L"cover",  L"Cover",  L"COVER",
                                     L"folder", L"Folder", L"FOLDER"};
  const std::wstring_view endings[] = {L".jpg", L".png", L".jpeg",
                                       L".JPG", L".PNG", L".JPEG"};
  for (std::wstring_view name : names) {
    for (std::wstring_view ending : endings) {
      std::wstring path = std::wstring(input.substr(0, folder)) +
                          std::wstring(name) + std::wstring(ending);
      platform::InputFile file;
      if (file.open(path) && !file.is_stream()) return path;
    }
  }
  return {};
}

// Whether the output's container holds the inputs' codec as it is.
bool container_holds(std::wstring_view muxer, std::string_view codec) {
  if (muxer == L"ipod" || muxer == L"mp4" || muxer == L"mov") {
    return codec == "aac" || codec == "alac";
  }
  if (muxer == L"mp3") return codec == "mp3";
  if (muxer == L"webm") return codec == "opus" || codec == "vorbis";
  if (muxer == L"ogg") {
    return codec == "opus" || codec == "vorbis" || codec == "flac";
  }
  if (muxer == L"opus") return codec == "opus";
  if (muxer == L"flac") return codec == "flac";
  return true;
}

bool parts_agree(std::span<const PartInfo> parts) {
  for (const PartInfo& part : parts) {
    if (part.codec != parts[0].codec ||
        part.sample_rate != parts[0].sample_rate ||
        part.channels != parts[0].channels || part.setup != parts[0].setup) {
      return false;
    }
  }
  return true;
}

// The encoder and the writer of the encoded audio for the output's muxer.
void choose_encoder(EmbedPlan& plan) {
  const std::wstring& m = plan.muxer;
  if (m == L"ipod" || m == L"mp4" || m == L"mov") {
    plan.encoder = L"aac";
    plan.audio_muxer = L"mp4";
  } else if (m == L"mp3") {
    plan.encoder = L"libmp3lame";
    plan.audio_muxer = L"mp3";
  } else if (m == L"flac") {
    plan.encoder = L"flac";
    plan.audio_muxer = L"flac";
  } else {
    const bool opus = std::find(std::begin(kOpusRates), std::end(kOpusRates),
                                plan.sample_rate) != std::end(kOpusRates);
    plan.encoder = opus || m == L"opus" ? L"libopus" : L"libvorbis";
    // An Opus file holds nothing else: its encoder takes 48 kHz.
    if (!opus && m == L"opus") plan.encoded_rate = 48000;
    plan.audio_muxer = L"matroska";
  }
}

void choose_tags(std::span<const PartInfo> parts, EmbedPlan& plan) {
  for (std::string_view key : kBookTags) {
    for (const PartInfo& part : parts) {
      if (const std::string* value = tag_in(part, key)) {
        plan.tags.emplace_back(std::string(key), *value);
        break;
      }
    }
  }
  // With several parts, the first part's title is its chapter's.
  const std::string* title =
      parts.size() == 1 ? tag_in(parts[0], "title") : nullptr;
  if (title == nullptr) title = tag_in(parts[0], "album");
  if (title != nullptr) plan.tags.emplace_back("title", *title);
}

void choose_cover(std::span<const std::wstring> inputs,
                  std::span<const PartInfo> parts, EmbedPlan& plan) {
  // WebM holds neither a picture stream nor an attachment.
  if (plan.muxer == L"webm") return;
  for (std::size_t k = 0; k < parts.size(); ++k) {
    if (parts[k].picture_stream >= 0) {
      plan.cover = inputs[k];
      plan.cover_stream = parts[k].picture_stream;
      return;
    }
  }
  for (const std::wstring& input : inputs) {
    plan.cover = cover_beside(input);
    plan.cover_stream = 0;
    if (!plan.cover.empty()) return;
  }
}

// ffprobe's listing of one input; false, saying nothing, when ffprobe could
// not give one.
bool probe_part(const std::wstring& input, PartInfo& part) {
  const std::vector<std::wstring> args =
      ffprobe_arguments(input, L"json", {L"-show_streams", L"-show_format"});
  std::string json;
  return ffprobe_output(args, kMaxProbeBytes, json) &&
         read_part_info(json, part);
}

}  // namespace

std::uint32_t default_kbit_rate(std::span<const PartInfo> parts,
                                std::uint16_t channels) {
  std::uint64_t highest = 0;
  for (const PartInfo& part : parts)
    highest = std::max(highest, part.bit_rate);
  const std::uint64_t most =
      std::uint64_t{64} * std::max<std::uint16_t>(channels, 1);
  // A source whose bit rate is not known (a PCM stream, some Ogg files) gets
  // the most.
  if (highest == 0) return static_cast<std::uint32_t>(most);
  return static_cast<std::uint32_t>(
      std::clamp<std::uint64_t>(highest / 1000, 8, most));
}

bool read_part_info(std::string_view json, PartInfo& part) {
  JsonValue root;
  JsonError error;
  if (!read_json(json, root, error) || root.kind != JsonValue::Kind::kObject) {
    return false;
  }
  part = PartInfo();
  std::vector<Tag> stream_tags;
  const JsonValue* streams = json_member(root, "streams");
  if (streams && streams->kind == JsonValue::Kind::kArray) {
    for (const JsonValue& stream : streams->items)
      read_stream(stream, part, stream_tags);
  }
  const JsonValue* format = json_member(root, "format");
  if (format) add_tags(json_member(*format, "tags"), part.tags);
  // An Ogg file keeps its tags on the stream.
  part.tags.insert(part.tags.end(), stream_tags.begin(), stream_tags.end());
  if (part.bit_rate == 0 && format) {
    part.bit_rate = number_in(json_member(*format, "bit_rate"));
  }
  return !part.codec.empty();
}

EmbedPlan plan_embedding(std::span<const std::wstring> inputs,
                         std::span<const PartInfo> parts,
                         std::wstring_view outfile,
                         std::optional<std::int32_t> kbit_rate,
                         bool chapter_files) {
  EmbedPlan plan;
  plan.muxer = chapter_files ? file_muxer(outfile) : output_muxer(outfile);
  const bool known = parts.size() == inputs.size() && !parts.empty();
  if (!known) return plan;
  if (parts_agree(parts) && container_holds(plan.muxer, parts[0].codec)) {
    // One file copied whole keeps its own tags and streams, its cover among
    // them; a file per chapter is tagged anew.
    if (parts.size() > 1 || chapter_files) {
      choose_tags(parts, plan);
      choose_cover(inputs, parts, plan);
    } else if (parts[0].picture_stream >= 0) {
      plan.cover = inputs[0];
      plan.cover_stream = parts[0].picture_stream;
    }
    return plan;
  }
  plan.route = EmbedRoute::kEncode;
  plan.sample_rate = parts[0].sample_rate;
  plan.channels = parts[0].channels;
  plan.kbit_rate = kbit_rate ? static_cast<std::uint32_t>(*kbit_rate)
                             : default_kbit_rate(parts, plan.channels);
  choose_encoder(plan);
  choose_tags(parts, plan);
  choose_cover(inputs, parts, plan);
  return plan;
}

bool make_embed_plan(std::span<const std::wstring> inputs,
                     std::wstring_view outfile,
                     std::optional<std::int32_t> kbit_rate, EmbedPlan& plan,
                     platform::Console& console, bool chapter_files) {
  if (!check_embedding(inputs, outfile, console, chapter_files)) return false;
  std::vector<PartInfo> parts(inputs.size());
  for (std::size_t k = 0; k < inputs.size(); ++k) {
    // What ffprobe cannot read is left to the copy, as before.
    if (!probe_part(inputs[k], parts[k])) {
      parts.clear();
      break;
    }
  }
  plan = plan_embedding(inputs, parts, outfile, kbit_rate, chapter_files);
  if (plan.route == EmbedRoute::kEncode || inputs.size() == 1) return true;
  // Parts alike to ffprobe may still differ in codec set-up (AAC parts of
  // another profile or extradata); told now, they are encoded, not refused
  // after the scan.
  std::vector<std::string> setups(inputs.size());
  for (std::size_t k = 0; k < inputs.size(); ++k) {
    if (!describe_audio(inputs[k], setups[k], console)) return false;
  }
  if (parts.empty()) {
    // Without ffprobe's account there is nothing to encode by; such parts
    // joined as they are would play wrong.
    if (std::adjacent_find(setups.begin(), setups.end(),
                           std::not_equal_to<>()) != setups.end()) {
      console.write(msg::kEmbedDifferentCodecs);
      return false;
    }
    return true;
  }
  for (std::size_t k = 0; k < inputs.size(); ++k)
    parts[k].setup = setups[k];
  plan = plan_embedding(inputs, parts, outfile, kbit_rate, chapter_files);
  return true;
}

}  // namespace hushmark
