#include "probe/ladder_scan.h"

#include <algorithm>

#include "extract/recording.h"
#include "extract/time_base.h"

namespace hushmark {
namespace {

constexpr std::size_t kTileBytes = kTileFrames * kFrameBytes;
constexpr std::size_t kBatchTiles = 128;

// Adds a quiet run of `length` frames to the bin of the longest minimum it
// reaches; a run shorter than edges[0] is left out.
void add_run(std::uint32_t length, const MinEdges& edges, RunBins& bins) {
  auto above = std::upper_bound(edges.begin(), edges.end(), length);
  if (above == edges.begin()) return;
  auto row = static_cast<std::size_t>(above - edges.begin()) - 1;
  ++bins.runs[row];
  bins.frames[row] += length;
}

struct TileScan {
  const LadderParams* ladder;
  ScanParams walk;  // its min_frames is the shortest run either count needs
  TileClassifier classify;
  std::vector<ChapterPoint> points;
};

// Counts the runs that one rung's tile has just ended. Few tiles end one, so
// this stays out of the tile loop.
void count_runs(const TileScan& scan, std::size_t rung, LadderCounts& counts) {
  for (const ChapterPoint& run : scan.points) {
    if (run.length >= scan.ladder->min_frames) {
      ++counts.points[rung];
      counts.frames[rung] += run.length;
    }
    add_run(run.length, scan.ladder->edges, counts.bins[rung]);
  }
}

// Runs the silence scan of one rung over one tile.
void walk_rung(const std::uint8_t* p, std::size_t frames, std::size_t rung,
               TileScan& scan, LadderState& state, LadderCounts& counts) {
  std::uint64_t quiet;
  if (frames == kTileFrames) {
    scan.classify(p, 1, kLadder[rung], &quiet);
  } else {
    quiet = quiet_mask(p, frames, kLadder[rung]);
  }
  ScanState rung_state{state.index, state.silence_start[rung]};
  scan.points.clear();
  walk_tile(quiet, frames, scan.walk, rung_state, scan.points);
  state.silence_start[rung] = rung_state.silence_start;
  if (!scan.points.empty()) count_runs(scan, rung, counts);
}

// Advances every rung over one tile of `frames` (1 to 64) frames whose
// loudest sample has magnitude peak.
void ladder_tile(const std::uint8_t* p, std::size_t frames, std::uint32_t peak,
                 TileScan& scan, LadderState& state, LadderCounts& counts) {
  const std::size_t all_quiet_from = rung_of(peak);
  const std::size_t last =
      rung_of(peak_magnitude(p + (frames - 1) * kFrameBytes, 1));
  // With runs shorter than a tile too short to count, a rung closed on entry
  // and loud on the last frame ends the tile as it began.
  std::size_t from =
      scan.walk.min_frames >= kTileFrames ? std::min(state.open_from, last) : 0;
  for (std::size_t rung = from; rung < all_quiet_from; ++rung) {
    walk_rung(p, frames, rung, scan, state, counts);
  }
  // Quiet all through the tile: a closed rung opens on its first frame.
  for (std::size_t rung = all_quiet_from; rung < state.open_from; ++rung) {
    state.silence_start[rung] = state.index + 1;
  }
  state.index += static_cast<std::uint32_t>(frames);
  state.open_from = last;
}

// The rung whose threshold this is, or -1 for a threshold off the ladder.
int ladder_rung(std::int32_t threshold) {
  auto at = std::lower_bound(kLadder.begin(), kLadder.end(), threshold);
  if (at == kLadder.end() || *at != threshold) return -1;
  return static_cast<int>(at - kLadder.begin());
}

// Adds one chunk's runs to what hushmark would write with each minimum: a
// run counts for its own bin's minimum and every shorter one.
void add_min_totals(const RunBins& bins, std::uint32_t nAvgBytesPerSec,
                    MinSilenceTotals& totals) {
  std::uint64_t runs = 0, frames = 0;
  for (std::size_t row = kMinRows; row-- > 0;) {
    runs += bins.runs[row];
    frames += bins.frames[row];
    totals.points[row] += runs;
    totals.seconds[row] += frames_seconds(frames, nAvgBytesPerSec);
  }
}

// The min_frames of each minimum of kMinLadder at this byte rate.
MinEdges min_edges(std::uint32_t nAvgBytesPerSec) {
  MinEdges edges;
  for (std::size_t row = 0; row < kMinRows; ++row) {
    edges[row] = compute_min_frames(nAvgBytesPerSec, kMinLadder[row]);
  }
  return edges;
}

// Frame numbers are 32-bit: past this many frames the scan's frame 1 moves
// forward, so that a recording of any length can be scanned.
constexpr std::uint32_t kRebaseAt = 1u << 31;

void rebase_ladder(LadderState& state) {
  if (state.index < kRebaseAt) return;
  std::uint32_t shift = state.index;
  for (std::uint32_t start : state.silence_start) {
    if (start != 0) shift = std::min(shift, start - 1);
  }
  state.index -= shift;
  for (std::uint32_t& start : state.silence_start) {
    if (start != 0) start -= shift;
  }
}

void rebase_scan(ScanState& state) {
  if (state.index < kRebaseAt) return;
  const std::uint32_t shift =
      state.silence_start != 0 ? state.silence_start - 1 : state.index;
  state.index -= shift;
  if (state.silence_start != 0) state.silence_start -= shift;
}

}  // namespace

std::size_t rung_of(std::uint32_t magnitude) {
  auto at = std::lower_bound(kLadder.begin(), kLadder.end(),
                             static_cast<std::int32_t>(magnitude));
  return static_cast<std::size_t>(at - kLadder.begin());
}

void scan_ladder_frames(std::span<const std::uint8_t> bytes,
                        const LadderParams& params, LadderState& state,
                        LadderCounts& counts, TileKernel kernel) {
  TileScan scan{
      &params,
      {0, std::min(params.min_frames, params.edges[0]), CutPosition::kStart},
      tile_classifier(kernel),
      {}};
  const std::uint8_t* p = bytes.data();
  std::size_t frames = bytes.size() / kFrameBytes;
  std::uint32_t peaks[kBatchTiles];
  while (frames >= kTileFrames) {
    std::size_t tiles = std::min(frames / kTileFrames, kBatchTiles);
    tile_peaks(p, tiles, peaks, kernel);
    for (std::size_t t = 0; t < tiles; ++t) {
      ladder_tile(p + t * kTileBytes, kTileFrames, peaks[t], scan, state,
                  counts);
    }
    p += tiles * kTileBytes;
    frames -= tiles * kTileFrames;
  }
  if (frames > 0) {
    ladder_tile(p, frames, peak_magnitude(p, frames), scan, state, counts);
  }
}

void begin_ladder_run(LadderRun& run, std::uint32_t nAvgBytesPerSec,
                      std::int32_t min_silence_ms,
                      std::optional<std::int32_t> given_threshold) {
  run = LadderRun();
  run.nAvgBytesPerSec = nAvgBytesPerSec;
  run.params = {compute_min_frames(nAvgBytesPerSec, min_silence_ms),
                min_edges(nAvgBytesPerSec)};
  run.given_rung = given_threshold ? ladder_rung(*given_threshold) : -1;
  // A threshold between the rungs gets a scan of its own, of its runs alone.
  run.own_scan = given_threshold && run.given_rung < 0;
  run.own = {given_threshold.value_or(0), run.params.edges[0],
             CutPosition::kStart};
}

void scan_ladder_block(LadderRun& run, std::span<const std::uint8_t> bytes) {
  scan_ladder_frames(bytes, run.params, run.state, run.counts);
  if (run.own_scan) {
    run.runs.clear();
    scan_frames_fast(bytes, run.own, run.own_state, run.runs);
    for (const ChapterPoint& found : run.runs) {
      add_run(found.length, run.params.edges, run.own_bins);
    }
  }
  rebase_ladder(run.state);
  rebase_scan(run.own_state);
}

void add_ladder_run(const LadderRun& run,
                    std::optional<std::int32_t> given_threshold,
                    LadderTotals& totals) {
  if (run.nAvgBytesPerSec == 0) return;
  // Each run has its own rate, so lengths become seconds run by run.
  for (std::size_t rung = 0; rung < kRungs; ++rung) {
    totals.points[rung] += run.counts.points[rung];
    totals.seconds[rung] += static_cast<double>(run.counts.frames[rung]) * 4.0 /
                            run.nAvgBytesPerSec;
    add_min_totals(run.counts.bins[rung], run.nAvgBytesPerSec,
                   totals.by_min[rung]);
  }
  if (given_threshold) {
    const RunBins& bins =
        run.own_scan
            ? run.own_bins
            : run.counts.bins[static_cast<std::size_t>(run.given_rung)];
    add_min_totals(bins, run.nAvgBytesPerSec, totals.given);
  }
}

bool scan_ladder_chunk(ByteReader& in, std::uint32_t frame_count,
                       bool ends_with_input, std::uint32_t nAvgBytesPerSec,
                       std::int32_t min_silence_ms,
                       std::optional<std::int32_t> given_threshold,
                       LadderTotals& totals) {
  LadderRun run;
  begin_ladder_run(run, nAvgBytesPerSec, min_silence_ms, given_threshold);
  ChunkFrames end = read_chunk_frames(in, frame_count, ends_with_input,
                                      [&](std::span<const std::uint8_t> block) {
                                        scan_ladder_block(run, block);
                                        return true;
                                      });
  add_ladder_run(run, given_threshold, totals);
  return end == ChunkFrames::kRead;
}

bool probe_recording(std::span<const std::wstring> inputs,
                     const Settings& settings,
                     std::optional<std::int32_t> given_threshold,
                     LadderTotals& totals, bool& data_ended_early,
                     platform::Console& console) {
  LadderRun run;
  std::uint32_t rate = 0;
  bool ok = true;
  for (const std::wstring& path : inputs) {
    Source source;
    if (!open_source(path, {rate, false}, source, console)) return false;
    if (rate == 0) rate = source.nAvgBytesPerSec / kFrameBytes;
    bool first_chunk = true;
    FrameSink sink{[&](std::uint32_t byte_rate) {
                     // A WAVE file's later data chunks are scanned apart, as
                     // hushmark scans them; the next file goes on with the
                     // recording.
                     if (!first_chunk || run.nAvgBytesPerSec != byte_rate) {
                       add_ladder_run(run, given_threshold, totals);
                       begin_ladder_run(run, byte_rate, settings.min_silence_ms,
                                        given_threshold);
                     }
                     first_chunk = false;
                   },
                   [&](std::span<const std::uint8_t> block) {
                     scan_ladder_block(run, block);
                   },
                   [&] { data_ended_early = true; }};
    ok = read_source(source, sink, console);
    if (!ok) break;
  }
  // The tables show what was read, as hushmark writes the points it found.
  add_ladder_run(run, given_threshold, totals);
  return ok;
}

}  // namespace hushmark
