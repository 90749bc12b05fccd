#include "extract/timeline.h"

#include <algorithm>
#include <bit>

#include "extract/fast_scan.h"
#include "extract/messages.h"
#include "extract/recording.h"
#include "extract/silence_scan.h"
#include "extract/time_base.h"

namespace hushmark {
namespace {

// The quiet frames at the start of whole frames, up to the first loud one.
std::uint64_t leading_quiet(std::span<const std::uint8_t> bytes,
                            std::int32_t threshold) {
  std::uint64_t quiet = 0;
  for (std::size_t at = 0; at < bytes.size() / kFrameBytes; at += kTileFrames) {
    const std::size_t frames =
        std::min(kTileFrames, bytes.size() / kFrameBytes - at);
    const std::uint64_t mask =
        quiet_mask(bytes.data() + at * kFrameBytes, frames, threshold);
    const auto run = static_cast<std::size_t>(std::countr_one(mask));
    quiet += std::min(run, frames);
    if (run < frames) break;
  }
  return quiet;
}

// What one file gives, on its own: its points, numbered from its own first
// frame, and what joining it to the files around it needs.
struct FileScan {
  const Settings* settings = nullptr;
  std::uint32_t nAvgBytesPerSec = 0;
  std::uint32_t data_chunks = 0;
  bool scanning = false;  // in the first data chunk
  ScanParams params;
  ScanState state;
  std::uint64_t base = 0;  // frames before the scan's frame 1
  std::uint64_t frames = 0;
  std::uint64_t lead = 0;  // quiet frames before the first loud one
  bool in_lead = true;
  std::vector<TimelinePoint> points;
  std::vector<ChapterPoint> found;
  std::string title;  // its title tag, or else its name

  void begin_chunk(std::uint32_t byte_rate) {
    // Players play the first data chunk; later ones are read through, so
    // that a file hushmark refuses is refused here too.
    scanning = data_chunks++ == 0;
    if (!scanning) return;
    nAvgBytesPerSec = byte_rate;
    params = {settings->threshold,
              compute_min_frames(byte_rate, settings->min_silence_ms),
              cut_position_of(settings->cut_position)};
  }

  void scan(std::span<const std::uint8_t> block) {
    if (!scanning) return;
    const std::uint64_t count = block.size() / kFrameBytes;
    if (in_lead) {
      const std::uint64_t quiet = leading_quiet(block, params.threshold);
      lead += quiet;
      in_lead = quiet == count;
    }
    found.clear();
    scan_frames_fast(block, params, state, found);
    for (const ChapterPoint& point : found) {
      points.push_back({base + point.cut, point.length});
    }
    frames += count;
    base += rebase_scan(state);
  }

  // Where a silence still open at the end started, or 0.
  std::uint64_t open_start() const {
    return state.silence_start != 0 ? base + state.silence_start : 0;
  }
};

FrameSink sink_for(FileScan& scan) {
  return {[&scan](std::uint32_t rate) { scan.begin_chunk(rate); },
          [&scan](std::span<const std::uint8_t> b) { scan.scan(b); },
          {}};
}

std::string file_title(const Source& source) {
  return source.title.empty() ? source_name(source.path) : source.title;
}

// The point a loud frame makes of a silence that began at frame start.
TimelinePoint point_of(std::uint64_t start, std::uint64_t loud,
                       const ScanParams& params) {
  const std::uint64_t length = loud - start;
  const auto frames = static_cast<std::uint32_t>(length);
  switch (params.cut) {
  case CutPosition::kStart:
    return {start, frames};
  case CutPosition::kMiddle:
    return {start + length / 2, frames};
  case CutPosition::kEnd:
    break;
  }
  return {loud, frames};
}

// Joins the files' scans into one timeline, as one scan across them all
// would have found it.
void join_files(std::span<const FileScan> scans, Timeline& timeline) {
  ScanParams params = scans[0].params;
  for (const FileScan& scan : scans) {
    if (scan.nAvgBytesPerSec != 0) {
      params = scan.params;
      break;
    }
  }
  std::uint64_t base = 0;
  std::uint64_t open = 0;  // the start of a silence still running, or 0
  for (const FileScan& scan : scans) {
    bool drop_lead = false;
    if (open != 0 && scan.lead < scan.frames) {
      // The silence that ran into this file ends at its first loud frame.
      const std::uint64_t loud = base + scan.lead + 1;
      if (loud - open >= params.min_frames) {
        timeline.points.push_back(point_of(open, loud, params));
      }
      open = 0;
      drop_lead = scan.lead > 0;
    }
    for (const TimelinePoint& point : scan.points) {
      if (drop_lead && silence_first_frame(point, params.cut) == 1) {
        continue;
      }
      timeline.points.push_back({base + point.cut, point.length});
    }
    if (open == 0 && scan.open_start() != 0) open = base + scan.open_start();
    base += scan.frames;
  }
}

}  // namespace

std::uint64_t silence_first_frame(const TimelinePoint& point, CutPosition cut) {
  switch (cut) {
  case CutPosition::kStart:
    return point.cut;
  case CutPosition::kMiddle:
    return point.cut - point.length / 2;
  case CutPosition::kEnd:
    break;
  }
  return point.cut - point.length;
}

bool read_timeline(std::span<const std::wstring> paths,
                   const Settings& settings, Timeline& timeline,
                   platform::Console& console, bool every_sample) {
  const std::size_t n = paths.size();
  std::vector<FileScan> scans(n);
  for (FileScan& scan : scans)
    scan.settings = &settings;
  auto sink_of = [&scans](std::size_t k, const Source& source) {
    scans[k].title = file_title(source);
    return sink_for(scans[k]);
  };
  if (!read_sources(
          paths, sink_of, [](std::size_t, bool) {}, console, every_sample)) {
    return false;
  }
  for (std::size_t k = 0; k < n; ++k) {
    if (timeline.nAvgBytesPerSec == 0) {
      timeline.nAvgBytesPerSec = scans[k].nAvgBytesPerSec;
    }
    // Only a WAVE file whose head did not show its rate gets here.
    if (scans[k].nAvgBytesPerSec != timeline.nAvgBytesPerSec &&
        scans[k].frames > 0) {
      console.write(msg::kRatesDiffer + paths[k] + L"\n");
      return false;
    }
    timeline.files.push_back({timeline.frames, std::move(scans[k].title)});
    timeline.frames += scans[k].frames;
    timeline.data_chunks = std::max(timeline.data_chunks, scans[k].data_chunks);
  }
  join_files(scans, timeline);
  return true;
}

std::uint64_t timeline_end_ms(const Timeline& timeline) {
  if (timeline.nAvgBytesPerSec == 0) return 0;
  return frame_time_ms(timeline.frames, timeline.nAvgBytesPerSec);
}

}  // namespace hushmark
