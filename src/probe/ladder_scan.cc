#include "probe/ladder_scan.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>

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

// Takes back a run that add_run added.
void take_back_run(std::uint32_t length, const MinEdges& edges, RunBins& bins) {
  auto above = std::upper_bound(edges.begin(), edges.end(), length);
  if (above == edges.begin()) return;
  auto row = static_cast<std::size_t>(above - edges.begin()) - 1;
  --bins.runs[row];
  bins.frames[row] -= length;
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

// rebase_scan for every rung at once: frame 1 moves no further than the
// earliest open silence.
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

// The frames of bytes before its first frame with a sample above level; all
// of them when there is none.
std::size_t frames_before_loud(std::span<const std::uint8_t> bytes,
                               std::int32_t level) {
  const std::uint8_t* p = bytes.data();
  const std::size_t frames = bytes.size() / kFrameBytes;
  auto loud = [&](std::size_t at, std::size_t n) {
    return std::int64_t{peak_magnitude(p + at * kFrameBytes, n)} > level;
  };
  std::size_t at = 0;
  while (at < frames && !loud(at, std::min(kTileFrames, frames - at))) {
    at += kTileFrames;
  }
  while (at < frames && !loud(at, 1))
    ++at;
  return std::min(at, frames);
}

// Notes where a block of `before` frames in ends the leads it ends. A rung
// still in its lead has its run open from frame 1, which no rebase moves;
// rungs are nested, so those still in their lead are the top ones.
void track_leads(LadderRun& run, std::span<const std::uint8_t> bytes,
                 std::uint64_t before) {
  std::size_t still = run.lead_from;
  while (still < kRungs && run.state.silence_start[still] != 1)
    ++still;
  std::size_t at = 0;
  for (; run.lead_from < still; ++run.lead_from) {
    at += frames_before_loud(bytes.subspan(at * kFrameBytes),
                             kLadder[run.lead_from]);
    run.lead[run.lead_from] = before + at;
  }
  if (run.own_scan && run.own_in_lead && run.own_state.silence_start != 1) {
    run.own_lead = before + frames_before_loud(bytes, run.own.threshold);
    run.own_in_lead = false;
  }
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
  if (bytes.size() >= kFrameBytes) track_leads(run, bytes, run.frames);
  run.frames += bytes.size() / kFrameBytes;
  rebase_ladder(run.state);
  rebase_scan(run.own_state);
}

std::uint64_t ladder_lead(const LadderRun& run, std::size_t rung) {
  return rung >= run.lead_from ? run.frames : run.lead[rung];
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

namespace {

// The quiet runs open where a run's frames end, by length; 0 where none is.
struct OpenRuns {
  std::array<std::uint64_t, kRungs> rungs{};
  std::uint64_t own = 0;
};

std::uint64_t open_length(std::uint32_t index, std::uint32_t start) {
  return start != 0 ? std::uint64_t{index - start} + 1 : 0;
}

OpenRuns open_runs(const LadderRun& run) {
  OpenRuns open;
  for (std::size_t rung = 0; rung < kRungs; ++rung) {
    open.rungs[rung] =
        open_length(run.state.index, run.state.silence_start[rung]);
  }
  open.own = open_length(run.own_state.index, run.own_state.silence_start);
  return open;
}

// What a run carried into a chunk (0: none) becomes there: the run that the
// chunk's first loud frame closes (0: none), and the run carried on out.
struct Join {
  std::uint64_t closed = 0;
  std::uint64_t carried_on = 0;
};

Join join_run(std::uint64_t carried, std::uint64_t lead, std::uint64_t frames,
              std::uint64_t open_at_end) {
  if (carried == 0) return {0, open_at_end};
  if (lead == frames) return {0, carried + frames};
  return {carried + lead, open_at_end};
}

// Counts at one rung the run that a carried one and a chunk's lead make, in
// place of the lead, which the chunk's own scan counted. Lengths are 32-bit,
// as one scan's frame numbers give them.
void recount_rung(std::uint64_t lead, std::uint64_t joined,
                  const LadderParams& params, std::size_t rung,
                  LadderCounts& counts) {
  const auto taken = static_cast<std::uint32_t>(lead);
  const auto length = static_cast<std::uint32_t>(joined);
  if (taken > 0) {
    if (taken >= params.min_frames) {
      --counts.points[rung];
      counts.frames[rung] -= taken;
    }
    take_back_run(taken, params.edges, counts.bins[rung]);
  }
  if (length >= params.min_frames) {
    ++counts.points[rung];
    counts.frames[rung] += length;
  }
  add_run(length, params.edges, counts.bins[rung]);
}

void add_bins(const RunBins& from, RunBins& to) {
  for (std::size_t row = 0; row < kMinRows; ++row) {
    to.runs[row] += from.runs[row];
    to.frames[row] += from.frames[row];
  }
}

// The run carried from file to file, and the quiet runs open at its end.
struct Carry {
  LadderRun run;  // its byte rate is 0 until a chunk begins
  OpenRuns open;
};

// Goes on with the carried run through a file's first chunk, scanned on its
// own, as one scan through both would; a chunk at another byte rate starts a
// run of its own.
void carry_through(Carry& carry, const LadderRun& first,
                   std::optional<std::int32_t> given_threshold,
                   LadderTotals& totals) {
  const OpenRuns open = open_runs(first);
  if (carry.run.nAvgBytesPerSec != first.nAvgBytesPerSec) {
    add_ladder_run(carry.run, given_threshold, totals);
    carry.run = first;
    carry.open = open;
    return;
  }
  LadderCounts& counts = carry.run.counts;
  for (std::size_t rung = 0; rung < kRungs; ++rung) {
    counts.points[rung] += first.counts.points[rung];
    counts.frames[rung] += first.counts.frames[rung];
    add_bins(first.counts.bins[rung], counts.bins[rung]);
    const std::uint64_t lead = ladder_lead(first, rung);
    const Join join =
        join_run(carry.open.rungs[rung], lead, first.frames, open.rungs[rung]);
    if (join.closed != 0) {
      recount_rung(lead, join.closed, first.params, rung, counts);
    }
    carry.open.rungs[rung] = join.carried_on;
  }
  add_bins(first.own_bins, carry.run.own_bins);
  const std::uint64_t lead = first.own_in_lead ? first.frames : first.own_lead;
  const Join join = join_run(carry.open.own, lead, first.frames, open.own);
  if (join.closed != 0) {
    if (lead > 0) {
      take_back_run(static_cast<std::uint32_t>(lead), first.params.edges,
                    carry.run.own_bins);
    }
    add_run(static_cast<std::uint32_t>(join.closed), first.params.edges,
            carry.run.own_bins);
  }
  carry.open.own = join.carried_on;
}

// What a worker gathers from one file.
struct FileLadder {
  std::size_t index = 0;
  std::uint32_t chunks = 0;  // data chunks begun
  LadderRun first;           // its first chunk, scanned from a fresh run
  bool joined = false;       // its later chunks go on the carried run
  bool dropped = false;      // a file before it failed: it counts nowhere
  bool data_ended_early = false;
};

enum class FileEnd : std::uint8_t { kReading, kRead, kFailed };

// Joins the files in order as they end, on whichever worker ends the next one
// in line; memory holds only the files read and not yet joined.
struct Joiner {
  const Settings* settings = nullptr;
  std::optional<std::int32_t> given_threshold;
  LadderTotals* totals = nullptr;
  std::vector<std::unique_ptr<FileLadder>> files;
  std::vector<FileEnd> ends;
  std::size_t next = 0;  // the first file not joined yet
  bool stopped = false;  // a file failed; those after it count nowhere
  bool data_ended_early = false;
  Carry carry;
  std::mutex mutex;
  std::condition_variable turn;
};

// Joins every file that has ended, in order, up to one still being read or
// one that failed. The mutex is held.
void join_ended(Joiner& j) {
  for (; j.next < j.files.size() && !j.stopped; ++j.next) {
    const FileEnd end = j.ends[j.next];
    if (end == FileEnd::kReading) break;
    if (FileLadder* file = j.files[j.next].get()) {
      if (file->joined) {
        j.carry.open = open_runs(j.carry.run);
      } else if (file->chunks > 0) {
        carry_through(j.carry, file->first, j.given_threshold, *j.totals);
      }
      if (end == FileEnd::kFailed) j.data_ended_early = file->data_ended_early;
    }
    j.stopped = end == FileEnd::kFailed;
    j.files[j.next].reset();
  }
  j.turn.notify_all();
}

void end_file(Joiner& j, std::size_t k, bool ok) {
  std::lock_guard<std::mutex> lock(j.mutex);
  j.ends[k] = ok ? FileEnd::kRead : FileEnd::kFailed;
  join_ended(j);
}

// A WAVE file's later data chunks add to the totals as they end, in the
// order one scan through the files gives: its turn comes once the files
// before it are joined, and its first chunk is joined then.
void take_turn(Joiner& j, FileLadder& file) {
  std::unique_lock<std::mutex> lock(j.mutex);
  j.turn.wait(lock, [&] { return j.stopped || j.next == file.index; });
  if (j.stopped) {
    file.dropped = true;
    return;
  }
  carry_through(j.carry, file.first, j.given_threshold, *j.totals);
  file.joined = true;
}

void begin_file_chunk(Joiner& j, FileLadder& file, std::uint32_t byte_rate) {
  const std::int32_t ms = j.settings->min_silence_ms;
  if (++file.chunks == 1) {
    begin_ladder_run(file.first, byte_rate, ms, j.given_threshold);
    return;
  }
  // Later data chunks are scanned apart, as hushmark scans them; the next
  // file goes on from the last one.
  if (file.chunks == 2) take_turn(j, file);
  if (file.dropped) return;
  add_ladder_run(j.carry.run, j.given_threshold, *j.totals);
  begin_ladder_run(j.carry.run, byte_rate, ms, j.given_threshold);
}

FrameSink sink_of(Joiner& j, FileLadder& file) {
  return {[&j, &file](std::uint32_t rate) { begin_file_chunk(j, file, rate); },
          [&j, &file](std::span<const std::uint8_t> block) {
            if (file.chunks == 1) {
              scan_ladder_block(file.first, block);
            } else if (!file.dropped) {
              scan_ladder_block(j.carry.run, block);
            }
          },
          [&file] { file.data_ended_early = true; }};
}

}  // namespace

bool probe_recording(std::span<const std::wstring> inputs,
                     const Settings& settings,
                     std::optional<std::int32_t> given_threshold,
                     LadderTotals& totals, bool& data_ended_early,
                     platform::Console& console) {
  Joiner j;
  j.settings = &settings;
  j.given_threshold = given_threshold;
  j.totals = &totals;
  j.files.resize(inputs.size());
  j.ends.assign(inputs.size(), FileEnd::kReading);
  auto sink_for = [&j](std::size_t k, const Source&) {
    j.files[k] = std::make_unique<FileLadder>();
    j.files[k]->index = k;
    return sink_of(j, *j.files[k]);
  };
  auto ended = [&j](std::size_t k, bool ok) { end_file(j, k, ok); };
  const bool ok = read_sources(inputs, sink_for, ended, console);
  // The tables show what was read, as hushmark writes the points it found.
  add_ladder_run(j.carry.run, given_threshold, totals);
  data_ended_early = j.data_ended_early;
  return ok;
}

}  // namespace hushmark
