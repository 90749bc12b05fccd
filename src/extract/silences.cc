#include "extract/silences.h"

#include <algorithm>
#include <functional>

#include "extract/time_base.h"

namespace hushmark {
namespace {

void add_to_bins(std::uint32_t length, const MinEdges& edges, RunBins& bins) {
  auto above = std::upper_bound(edges.begin(), edges.end(), length);
  if (above == edges.begin()) return;
  auto row = static_cast<std::size_t>(above - edges.begin()) - 1;
  ++bins.runs[row];
  bins.frames[row] += length;
}

// Keeps length among the longest if it is one of them.
void add_longest(std::uint32_t length,
                 std::array<std::uint32_t, kLongest>& longest) {
  if (length <= longest.back()) return;
  auto at = std::upper_bound(longest.begin(), longest.end(), length,
                             std::greater<>());
  std::move_backward(at, longest.end() - 1, longest.end());
  *at = length;
}

void add_tally(const RunTally& from, std::uint64_t base, RunTally& to) {
  to.points += from.points;
  to.point_frames += from.point_frames;
  for (std::size_t row = 0; row < kMinRows; ++row) {
    to.bins.runs[row] += from.bins.runs[row];
    to.bins.frames[row] += from.bins.frames[row];
  }
  for (std::size_t k = 0; k < kPauseBins; ++k) {
    to.pauses.counts[k] += from.pauses.counts[k];
  }
  to.set_apart.insert(to.set_apart.end(), from.set_apart.begin(),
                      from.set_apart.end());
  for (std::uint32_t length : from.longest)
    add_longest(length, to.longest);
  pack_silences(from.kept, base, to.kept);
  for (const Silence& s : from.recent)
    to.recent.push_back({base + s.start, s.length});
}

}  // namespace

TallyRules tally_rules(TimeBase time_base, std::int32_t min_silence_ms) {
  TallyRules rules;
  rules.min_frames = compute_min_frames(time_base, min_silence_ms);
  for (std::size_t row = 0; row < kMinRows; ++row) {
    rules.min_edges[row] = compute_min_frames(time_base, kMinLadder[row]);
  }
  // Whole frames, so that every build puts a pause in the same bin.
  std::uint32_t edge = compute_min_frames(time_base, kShortestPauseMs);
  for (std::uint32_t& e : rules.pause_edges) {
    e = edge;
    edge += std::max<std::uint32_t>(1, edge / 16);
  }
  rules.end_guard = compute_min_frames(time_base, kEndGuardMs);
  return rules;
}

void pack_silence(const Silence& silence, PackedSilences& packed) {
  auto put = [&packed](std::uint64_t value) {
    for (; value >= 0x80; value >>= 7) {
      packed.bytes.push_back(static_cast<std::uint8_t>(value | 0x80));
    }
    packed.bytes.push_back(static_cast<std::uint8_t>(value));
  };
  put(silence.start - packed.last_start);
  put(silence.length);
  packed.last_start = silence.start;
}

void pack_silences(const PackedSilences& from, std::uint64_t base,
                   PackedSilences& to) {
  for (const Silence& s : unpack_silences(from)) {
    pack_silence({base + s.start, s.length}, to);
  }
}

std::vector<Silence> unpack_silences(const PackedSilences& packed) {
  std::vector<Silence> silences;
  std::size_t at = 0;
  auto get = [&]() {
    std::uint64_t value = 0;
    for (int shift = 0; at < packed.bytes.size(); shift += 7) {
      const std::uint8_t byte = packed.bytes[at++];
      value |= std::uint64_t{byte & 0x7Fu} << shift;
      if (byte < 0x80) break;
    }
    return value;
  };
  std::uint64_t start = 0;
  while (at < packed.bytes.size()) {
    start += get();
    silences.push_back({start, static_cast<std::uint32_t>(get())});
  }
  return silences;
}

std::uint32_t shortest_counted(const TallyRules& rules) {
  return std::min({rules.min_frames, rules.min_edges[0], rules.pause_edges[0]});
}

std::size_t pause_bin(const PauseEdges& edges, std::uint32_t length) {
  auto above = std::upper_bound(edges.begin(), edges.end(), length);
  if (above == edges.begin()) return kPauseBins;
  return static_cast<std::size_t>(above - edges.begin()) - 1;
}

void tally_run(const TallyRules& rules, const Silence& silence, bool may_part,
               RunTally& tally) {
  if (silence.length >= rules.min_frames) {
    ++tally.points;
    tally.point_frames += silence.length;
    if (tally.keep) pack_silence(silence, tally.kept);
  }
  add_to_bins(silence.length, rules.min_edges, tally.bins);
  const std::size_t bin = pause_bin(rules.pause_edges, silence.length);
  if (bin == kPauseBins) return;
  add_longest(silence.length, tally.longest);
  if (!may_part) {
    tally.set_apart.push_back(silence.length);
    return;
  }
  ++tally.pauses.counts[bin];
  tally.recent.push_back(silence);
}

void forget_older(const TallyRules& rules, std::uint64_t frames,
                  RunTally& tally) {
  auto old = std::find_if(
      tally.recent.begin(), tally.recent.end(),
      [&](const Silence& s) { return s.end() + rules.end_guard > frames; });
  tally.recent.erase(tally.recent.begin(), old);
}

void join_file(const TallyRules& rules, std::uint64_t file_frames,
               const FileEdges& edges, RunTally&& file, JoinedRuns& joined) {
  const std::uint64_t base = joined.frames;
  if (edges.lead < file_frames) {
    // The file's first loud frame ends the silence before it: one carried
    // in from the files before, or the file's own lead.
    const std::uint64_t loud = base + edges.lead + 1;
    const std::uint64_t start =
        joined.open_start != 0 ? joined.open_start : base + kFirstFrame;
    if (loud > start) {
      const Silence run{start, static_cast<std::uint32_t>(loud - start)};
      tally_run(rules, run, !is_first_frame(start), joined.tally);
    }
    joined.open_start = edges.open_start != 0 ? base + edges.open_start : 0;
  } else if (joined.open_start == 0 && file_frames > 0) {
    joined.open_start = base + 1;
  }
  add_tally(file, base, joined.tally);
  joined.frames += file_frames;
  forget_older(rules, joined.frames, joined.tally);
}

void finish_join(const TallyRules& rules, JoinedRuns& joined) {
  forget_older(rules, joined.frames, joined.tally);
  for (const Silence& s : joined.tally.recent) {
    --joined.tally.pauses.counts[pause_bin(rules.pause_edges, s.length)];
    joined.tally.set_apart.push_back(s.length);
  }
  joined.tally.recent.clear();
  joined.tally.closing_start = joined.open_start;
}

}  // namespace hushmark
