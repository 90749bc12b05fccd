#ifndef HUSHMARK_EXTRACT_RECORDING_SCAN_H_
#define HUSHMARK_EXTRACT_RECORDING_SCAN_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "extract/errors.h"
#include "extract/levels.h"
#include "extract/silences.h"
#include "extract/time_base.h"

namespace hushmark {

struct Progress;

// What a scan of a recording looks for.
struct ScanPlan {
  // Every rung of the ladder, to choose a threshold from; without it, only
  // `threshold`.
  bool ladder = false;
  // A threshold to scan at besides the ladder's rungs (or alone).
  std::optional<std::int32_t> threshold;
  std::int32_t min_silence_ms = kDefaultMinSilenceMs;  // hushmark's -m
  bool keep = false;  // keep the silences of min_silence_ms or more
  // Decoded files keep the encoder's delay and padding, as a copy of their
  // packets joined into one file plays them.
  bool every_sample = false;
  // When set, every file is decoded by ffmpeg to `channels` (the first
  // file's rate), one file after another, and tee hears their samples in
  // order as 32-bit floats, before any fold to stereo: an encoder takes them
  // without the loss of a round to 16 bits, which costs it time besides.
  std::function<void(std::span<const std::uint8_t> samples)> tee;
  std::uint16_t channels = 0;
  // Counts the frames as they are read, for a progress line; may be nullptr.
  Progress* progress = nullptr;
};

// Where one file of the recording starts, and its title: its title tag, or
// else its name without folder and extension (UTF-8).
struct TimelineFile {
  std::uint64_t start;  // frames before it
  std::string title;
};

// What a scan found in the recording: its files, read in order as one
// recording, the first data chunk of each (the one players play), and the
// silences at each threshold scanned.
struct RecordingRuns {
  TimeBase time_base;        // 0 until a data chunk is read
  std::uint64_t frames = 0;  // whole frames read
  std::vector<TimelineFile> files;
  // The most data chunks that any one WAVE file read as hushmark reads it
  // holds.
  std::uint32_t data_chunks = 0;
  TallyRules rules;
  std::vector<std::int32_t> thresholds;  // the ladder's, then any other
  std::vector<RunTally> tallies;         // one per threshold
  BlockLevels levels;                    // with the ladder only
  // The failure was data that ended early in a file that was joined: what
  // was read of it counts.
  bool data_ended_early = false;
};

// Reads the files in order as one recording: the k-th starts where the
// earlier ones' frames end, and a silence that runs across a file's end is
// one silence. Several files are read side by side, each on a processor of
// its own. Each file's notices are told in order, up to the file that failed.
// Returns what went wrong, if anything did; `runs` then holds the files up to
// the one that failed, what was read of it included.
CoreError scan_recording(std::span<const std::wstring> paths,
                         const ScanPlan& plan, RecordingRuns& runs,
                         const NoticeSink& notices);

// The tally at this threshold, or nullptr when it was not scanned.
const RunTally* tally_at(const RecordingRuns& runs, std::int32_t threshold);

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_RECORDING_SCAN_H_
