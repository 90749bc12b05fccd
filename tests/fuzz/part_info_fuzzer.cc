// Any bytes as ffprobe's listing of the parts of a book: the first byte picks
// the output, the rest is one part's listing or, parted by a NUL byte, two.
// A listing that is read reads the same into a part that held another; the
// plan made from the parts encodes with an encoder, a bit rate in range and
// the first part's rate, and takes its tags and cover from the parts alone.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chapters/embed_plan.h"
#include "fuzz/fuzz_check.h"

namespace {

using namespace hushmark;

struct Output {
  const wchar_t* name;
  bool chapter_files;
  std::optional<std::int32_t> kbit_rate;
};

constexpr Output kOutputs[] = {
    {L"b.m4b", false, std::nullopt},
    {L"b.mp3", false, std::nullopt},
    {L"b.mka", false, 96},
    {L"b.webm", false, std::nullopt},
    {L"%d.opus", true, std::nullopt},
    {L"%d.ogg", true, 8},
    {L"%d.flac", true, std::nullopt},
    {L"%d.m4a", true, 512},
};

// The book's folder does not exist, so that no picture beside it is found.
const std::wstring kInputs[] = {L"/nonexistent-hushmark-fuzz/1.m4a",
                                L"/nonexistent-hushmark-fuzz/2.m4a"};

constexpr std::string_view kPlanTags[] = {"album",    "artist", "album_artist",
                                          "composer", "genre",  "date",
                                          "comment",  "title"};

bool same_part(const PartInfo& a, const PartInfo& b) {
  return a.codec == b.codec && a.sample_rate == b.sample_rate &&
         a.channels == b.channels && a.bit_rate == b.bit_rate &&
         a.tags == b.tags && a.picture_stream == b.picture_stream &&
         a.setup == b.setup;
}

void check_part(std::string_view json, const PartInfo& other) {
  PartInfo part;
  const bool read = read_part_info(json, part);
  fuzz::check(read == !part.codec.empty(), "a listing without audio was read");
  if (!read) return;
  fuzz::check(part.picture_stream >= -1, "a cover stream below -1");
  for (const Tag& tag : part.tags) {
    fuzz::check(std::none_of(tag.first.begin(), tag.first.end(),
                             [](char c) { return c >= 'A' && c <= 'Z'; }),
                "a tag name kept a capital");
  }
  PartInfo reused = other;
  fuzz::check(read_part_info(json, reused) && same_part(reused, part),
              "a part read over another kept some of it");
}

bool has_tag(const std::vector<PartInfo>& parts, const Tag& tag) {
  for (const PartInfo& part : parts) {
    for (const Tag& own : part.tags) {
      if (own.second == tag.second &&
          (own.first == tag.first ||
           (tag.first == "title" && own.first == "album"))) {
        return true;
      }
    }
  }
  return false;
}

void check_plan(const std::vector<PartInfo>& parts, const Output& out) {
  const std::span<const std::wstring> inputs(kInputs, parts.size());
  const EmbedPlan plan =
      plan_embedding(inputs, parts, out.name, out.kbit_rate, out.chapter_files);
  fuzz::check(!plan.muxer.empty(), "no writer for the output");
  if (plan.route == EmbedRoute::kEncode) {
    fuzz::check(!plan.encoder.empty() && !plan.audio_muxer.empty(),
                "an encoding without an encoder");
    fuzz::check(plan.sample_rate == parts[0].sample_rate &&
                    plan.channels == parts[0].channels,
                "the encoding is not at the first part's rate");
    fuzz::check(plan.encoded_rate == 0 || plan.encoded_rate == 48000,
                "an encoder rate of its own");
    const std::uint32_t most =
        out.kbit_rate ? static_cast<std::uint32_t>(*out.kbit_rate)
                      : 64 * std::max<std::uint32_t>(plan.channels, 1);
    const std::uint32_t least = out.kbit_rate ? most : 8;
    fuzz::check(plan.kbit_rate >= least && plan.kbit_rate <= most,
                "a bit rate out of range");
  } else {
    // Packets joined from parts set up otherwise would play wrong.
    for (const PartInfo& part : parts) {
      fuzz::check(part.codec == parts[0].codec &&
                      part.sample_rate == parts[0].sample_rate &&
                      part.channels == parts[0].channels,
                  "parts that differ are copied");
    }
    if (parts.size() == 1 && !out.chapter_files) {
      fuzz::check(plan.tags.empty(), "a file copied whole was tagged anew");
    }
  }
  for (std::size_t k = 0; k < plan.tags.size(); ++k) {
    const Tag& tag = plan.tags[k];
    fuzz::check(std::find(std::begin(kPlanTags), std::end(kPlanTags),
                          tag.first) != std::end(kPlanTags),
                "a tag the book does not take");
    fuzz::check(!tag.second.empty() && has_tag(parts, tag),
                "a tag value from nowhere");
    for (std::size_t j = 0; j < k; ++j) {
      fuzz::check(plan.tags[j].first != tag.first, "a tag given twice");
    }
  }
  if (!plan.cover.empty()) {
    const std::size_t k = plan.cover == kInputs[0] ? 0 : 1;
    fuzz::check(k < parts.size() && plan.cover == kInputs[k] &&
                    plan.cover_stream == parts[k].picture_stream &&
                    plan.cover_stream >= 0,
                "a cover from no part's picture");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size == 0) return 0;
  const Output& out = kOutputs[data[0] % std::size(kOutputs)];
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1,
                              size - 1);
  const std::size_t nul = rest.find('\0');
  std::vector<std::string_view> listings = {rest.substr(0, nul)};
  if (nul != std::string_view::npos) listings.push_back(rest.substr(nul + 1));
  const PartInfo other{"flac", 96000, 6, 1, {{"album", "x"}}, 3, "setup"};
  std::vector<PartInfo> parts;
  for (std::string_view json : listings) {
    check_part(json, other);
    PartInfo part;
    if (!read_part_info(json, part)) return 0;  // the copy is left to ffmpeg
    parts.push_back(part);
  }
  check_plan(parts, out);
  return 0;
}
