#include "extract/recording_scan.h"

#include <algorithm>
#include <memory>
#include <mutex>

#include "extract/fast_scan.h"
#include "extract/ladder.h"
#include "extract/progress.h"
#include "extract/recording.h"

namespace hushmark {
namespace {

// One threshold's scan of one file, from the file's own first frame.
struct SingleScan {
  ScanParams params;
  ScanState state;
  std::uint64_t base = 0;  // frames before the scan's frame 1
  bool in_lead = true;     // no loud frame yet
  std::uint64_t lead = 0;  // quiet frames before the first loud one
  RunTally tally;
  std::vector<ChapterPoint> found;  // scratch; cut at each silence's start
};

// The ladder's scan of one file.
struct LadderScan {
  LadderState state;
  LadderFound found;
  std::uint64_t base = 0;
  // The rungs from lead_from up have met no loud frame yet; below it, lead
  // holds the quiet frames before each rung's first loud frame.
  std::size_t lead_from = 0;
  std::array<std::uint64_t, kRungs> lead{};
  std::vector<RunTally> tallies = std::vector<RunTally>(kRungs);
};

// What one file gives, on its own.
struct FileScan {
  const ScanPlan* plan = nullptr;
  TimeBase time_base;
  std::uint32_t data_chunks = 0;
  bool scanning = false;  // in the first data chunk
  TallyRules rules;
  std::uint64_t frames = 0;
  std::unique_ptr<LadderScan> ladder;
  std::unique_ptr<SingleScan> single;
  BlockLevels levels;
  std::string title;
  bool data_ended_early = false;
};

// True for the silence from the file's first frame, ended by its first loud
// one: while the file is in its lead, no rebase has moved frame 1. The lead is
// joined to what comes before the file.
bool is_lead(const Silence& run) {
  return is_first_frame(run.start);
}

// Whether the silences at a threshold, a rung's or -s's, are kept: only
// those of a threshold that may be chosen.
bool keeps(const ScanPlan& plan, std::size_t rung) {
  return plan.keep && rung <= kHighestChoice;
}

void begin_chunk(FileScan& f, TimeBase time_base) {
  // Players play the first data chunk; later ones are read through, so that
  // a file hushmark refuses is refused here too.
  f.scanning = f.data_chunks++ == 0;
  if (!f.scanning) return;
  const ScanPlan& plan = *f.plan;
  f.time_base = time_base;
  f.rules = tally_rules(time_base, plan.min_silence_ms);
  if (plan.ladder) {
    f.ladder = std::make_unique<LadderScan>();
    for (std::size_t rung = 0; rung < kRungs; ++rung) {
      f.ladder->tallies[rung].keep = keeps(plan, rung);
    }
    start_levels(f.levels, time_base);
  }
  const bool on_ladder =
      plan.ladder && plan.threshold && ladder_rung(*plan.threshold) >= 0;
  if (plan.threshold && !on_ladder) {
    f.single = std::make_unique<SingleScan>();
    f.single->params = {*plan.threshold, shortest_counted(f.rules),
                        CutPosition::kStart};
    f.single->tally.keep = plan.keep;
  }
}

// Notes where a block of whole frames, `before` frames into the file, ends
// the leads it ends. A rung still in its lead has its run open from frame 1,
// which no rebase moves; rungs are nested, so those still in their lead are
// the top ones.
void track_leads(LadderScan& scan, std::span<const std::uint8_t> bytes,
                 std::uint64_t before) {
  std::size_t still = scan.lead_from;
  while (still < kRungs && !is_first_frame(scan.state.silence_start[still]))
    ++still;
  std::size_t at = 0;
  for (; scan.lead_from < still; ++scan.lead_from) {
    at += frames_before_loud(bytes.subspan(at * kFrameBytes),
                             kLadder[scan.lead_from]);
    scan.lead[scan.lead_from] = before + at;
  }
}

void scan_ladder_block(FileScan& f, std::span<const std::uint8_t> bytes) {
  LadderScan& scan = *f.ladder;
  const std::size_t in_lead_from = scan.lead_from;
  for (std::vector<Silence>& runs : scan.found)
    runs.clear();
  scan_ladder_frames(bytes, shortest_counted(f.rules), scan.state, scan.found);
  track_leads(scan, bytes, f.frames);
  const std::uint64_t frames = f.frames + bytes.size() / kFrameBytes;
  for (std::size_t rung = 0; rung < kRungs; ++rung) {
    for (const Silence& run : scan.found[rung]) {
      if (rung >= in_lead_from && is_lead(run)) continue;
      tally_run(f.rules, {scan.base + run.start, run.length}, true,
                scan.tallies[rung]);
    }
    forget_older(f.rules, frames, scan.tallies[rung]);
  }
  scan.base += rebase_ladder(scan.state);
}

void scan_single_block(FileScan& f, std::span<const std::uint8_t> bytes) {
  SingleScan& scan = *f.single;
  const bool was_in_lead = scan.in_lead;
  if (scan.in_lead) {
    const std::uint64_t quiet =
        frames_before_loud(bytes, scan.params.threshold);
    scan.lead += quiet;
    scan.in_lead = quiet == bytes.size() / kFrameBytes;
  }
  scan.found.clear();
  scan_frames_fast(bytes, scan.params, scan.state, scan.found);
  for (const ChapterPoint& point : scan.found) {
    const Silence run = {point.cut, point.length};
    if (was_in_lead && is_lead(run)) continue;
    tally_run(f.rules, {scan.base + run.start, run.length}, true, scan.tally);
  }
  forget_older(f.rules, f.frames + bytes.size() / kFrameBytes, scan.tally);
  scan.base += rebase_scan(scan.state);
}

void scan_block(FileScan& f, std::span<const std::uint8_t> bytes) {
  if (!f.scanning) return;
  if (f.ladder) {
    scan_ladder_block(f, bytes);
    tally_levels(bytes, f.levels);
  }
  if (f.single) scan_single_block(f, bytes);
  f.frames += bytes.size() / kFrameBytes;
  if (f.plan->progress) {
    progress_add(*f.plan->progress, bytes_seconds(bytes.size(), f.time_base));
  }
}

FileEdges ladder_edges(const FileScan& f, std::size_t rung) {
  const LadderScan& scan = *f.ladder;
  const std::uint32_t open = scan.state.silence_start[rung];
  return {rung >= scan.lead_from ? f.frames : scan.lead[rung],
          open != 0 ? scan.base + open : 0};
}

FileEdges single_edges(const FileScan& f) {
  const SingleScan& scan = *f.single;
  const std::uint32_t open = scan.state.silence_start;
  return {scan.in_lead ? f.frames : scan.lead,
          open != 0 ? scan.base + open : 0};
}

enum class FileEnd : std::uint8_t { kReading, kRead, kFailed };

// Joins the files in order as they end, on whichever worker ends the next one
// in line; memory holds only the files read and not yet joined.
struct Joiner {
  const ScanPlan* plan = nullptr;
  RecordingRuns* runs = nullptr;
  std::vector<JoinedRuns> joined;  // one per threshold
  std::vector<std::unique_ptr<FileScan>> files;
  std::vector<FileEnd> ends;
  std::size_t next = 0;  // the first file not joined yet
  bool stopped = false;  // a file failed; those after it count nowhere
  std::optional<std::size_t> other_rate;  // a file at another byte rate
  std::mutex mutex;
};

// Joins every threshold of one file. False when its byte rate is not the
// recording's.
bool join_one(Joiner& j, FileScan& f) {
  RecordingRuns& runs = *j.runs;
  if (!runs.time_base.known() && f.time_base.known()) {
    runs.time_base = f.time_base;
    runs.rules = f.rules;
  }
  // Only a WAVE file whose head did not show its rate gets here.
  if (f.time_base != runs.time_base && f.frames > 0) return false;
  runs.files.push_back({runs.frames, std::move(f.title)});
  runs.frames += f.frames;
  runs.data_chunks = std::max(runs.data_chunks, f.data_chunks);
  if (!f.time_base.known()) return true;
  std::size_t t = 0;
  if (f.ladder) {
    for (; t < kRungs; ++t) {
      join_file(runs.rules, f.frames, ladder_edges(f, t),
                std::move(f.ladder->tallies[t]), j.joined[t]);
    }
  }
  if (f.single) {
    join_file(runs.rules, f.frames, single_edges(f), std::move(f.single->tally),
              j.joined[t]);
  }
  finish_levels(f.levels);
  add_levels(f.levels, runs.levels);
  return true;
}

// Joins every file that has ended, in order, up to one still being read or
// one that failed (what was read of that one is joined). The mutex is held.
void join_ended(Joiner& j) {
  for (; j.next < j.files.size() && !j.stopped; ++j.next) {
    const FileEnd end = j.ends[j.next];
    if (end == FileEnd::kReading) break;
    FileScan& file = *j.files[j.next];
    if (!join_one(j, file)) {
      j.other_rate = j.next;
      j.stopped = true;
    } else if (end == FileEnd::kFailed) {
      j.runs->data_ended_early = file.data_ended_early;
      j.stopped = true;
    }
    j.files[j.next].reset();
  }
}

FrameSink sink_of(FileScan& f) {
  return {[&f](TimeBase time_base) { begin_chunk(f, time_base); },
          [&f](std::span<const std::uint8_t> b) { scan_block(f, b); },
          f.plan->tee};
}

std::string file_title(const Source& source) {
  return source.title.empty() ? source_name(source.path) : source.title;
}

}  // namespace

CoreError scan_recording(std::span<const std::wstring> paths,
                         const ScanPlan& plan, RecordingRuns& runs,
                         const NoticeSink& notices) {
  runs = RecordingRuns();
  if (plan.ladder) runs.thresholds.assign(kLadder.begin(), kLadder.end());
  if (plan.threshold && (!plan.ladder || ladder_rung(*plan.threshold) < 0)) {
    runs.thresholds.push_back(*plan.threshold);
  }
  Joiner j;
  j.plan = &plan;
  j.runs = &runs;
  j.joined.resize(runs.thresholds.size());
  for (std::size_t t = 0; t < j.joined.size(); ++t) {
    j.joined[t].tally.keep =
        plan.ladder && t < kRungs ? keeps(plan, t) : plan.keep;
  }
  j.files.resize(paths.size());
  j.ends.assign(paths.size(), FileEnd::kReading);
  auto sink_for = [&j](std::size_t k, const Source& source) {
    j.files[k] = std::make_unique<FileScan>();
    j.files[k]->plan = j.plan;
    j.files[k]->title = file_title(source);
    return sink_of(*j.files[k]);
  };
  auto ended = [&j](std::size_t k, const CoreError& error) {
    std::lock_guard<std::mutex> lock(j.mutex);
    j.ends[k] = error ? FileEnd::kFailed : FileEnd::kRead;
    // A file that failed to open has made no scan.
    if (!j.files[k]) j.files[k] = std::make_unique<FileScan>();
    j.files[k]->data_ended_early = error.failure == Failure::kDataEndedEarly;
    join_ended(j);
  };
  const DecodeRequest request{0, plan.every_sample,
                              plan.tee ? plan.channels : std::uint16_t{0},
                              static_cast<bool>(plan.tee)};
  CoreError error = read_sources(paths, sink_for, ended, notices, request,
                                 static_cast<bool>(plan.tee));
  if (!error && j.other_rate) {
    error = {Failure::kRatesDiffer, paths[*j.other_rate]};
  }
  for (JoinedRuns& joined : j.joined) {
    finish_join(runs.rules, joined);
    runs.tallies.push_back(std::move(joined.tally));
  }
  return error;
}

const RunTally* tally_at(const RecordingRuns& runs, std::int32_t threshold) {
  auto at =
      std::find(runs.thresholds.begin(), runs.thresholds.end(), threshold);
  if (at == runs.thresholds.end() || runs.tallies.empty()) return nullptr;
  return &runs.tallies[static_cast<std::size_t>(at - runs.thresholds.begin())];
}

}  // namespace hushmark
