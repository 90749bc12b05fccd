#ifndef HUSHMARK_EXTRACT_SILENCES_H_
#define HUSHMARK_EXTRACT_SILENCES_H_

#include <array>
#include <cstdint>
#include <vector>

#include "extract/scan_state.h"
#include "extract/time_base.h"

namespace hushmark {

// The minimum silences, in milliseconds, that the probe counts at one
// threshold, from the pauses between sentences to those between chapters.
inline constexpr std::array<std::int32_t, 13> kMinLadder = {
    100, 200, 300, 500, 700, 1000, 1500, 2000, 3000, 4000, 5000, 7000, 10000};
inline constexpr std::size_t kMinRows = kMinLadder.size();

// The min_frames of each minimum of kMinLadder at one byte rate, in order.
using MinEdges = std::array<std::uint32_t, kMinRows>;

// Silences by length: bin j holds those at least edges[j] frames long and
// shorter than edges[j + 1].
struct RunBins {
  std::array<std::uint64_t, kMinRows> runs{};
  std::array<std::uint64_t, kMinRows> frames{};
};

// A silence that a loud frame ended: its first frame, counted from 1, and its
// length in frames.
struct Silence {
  std::uint64_t start;
  std::uint32_t length;
  std::uint64_t end() const { return start + length; }  // the loud frame
};

// The shortest pause that the choice of chapter pauses looks at.
inline constexpr std::int32_t kShortestPauseMs = kDefaultMinSilenceMs;
// A pause after which the sound resumes this near the end of the recording
// never parts chapters: it leaves a closing line, not a chapter.
inline constexpr std::int32_t kEndGuardMs = 2000;

// Pause lengths on a log scale, each bin about 6% wider than the one before:
// bin k holds the pauses from edges[k] frames up to edges[k + 1], the last
// one every longer pause. 100 bins reach past a minute.
inline constexpr std::size_t kPauseBins = 100;
using PauseEdges = std::array<std::uint32_t, kPauseBins>;
struct PauseHistogram {
  std::array<std::uint64_t, kPauseBins> counts{};
};

// What a scan counts of the silences at one threshold, fixed before it
// starts.
struct TallyRules {
  std::uint32_t min_frames = 0;  // the points hushmark writes
  MinEdges min_edges{};
  PauseEdges pause_edges{};
  std::uint32_t end_guard = 0;  // kEndGuardMs in frames
};

// The rules for a scan at this byte rate with hushmark's -m.
TallyRules tally_rules(TimeBase time_base, std::int32_t min_silence_ms);

// Silences in time order, packed: each as the frames from the one before's
// start (from frame 0 for the first) and its length, seven bits a byte.
// Most take five or six bytes, so that an hour of talk at every threshold
// keeps in well under a megabyte.
struct PackedSilences {
  std::vector<std::uint8_t> bytes;
  std::uint64_t last_start = 0;
};

// Adds a silence after the others.
void pack_silence(const Silence& silence, PackedSilences& packed);

// Adds every silence of `from`, each moved `base` frames on.
void pack_silences(const PackedSilences& from, std::uint64_t base,
                   PackedSilences& to);

// The silences, in time order.
std::vector<Silence> unpack_silences(const PackedSilences& packed);

// The shortest silence a tally counts at all.
std::uint32_t shortest_counted(const TallyRules& rules);

// How many of the longest silences a tally keeps the lengths of.
inline constexpr std::size_t kLongest = 8;

// What a scan found at one threshold.
struct RunTally {
  bool keep = false;  // keep every silence of min_frames or more in `kept`
  std::uint64_t points = 0;  // silences of min_frames or more
  std::uint64_t point_frames = 0;
  RunBins bins;  // every silence, by the minimums of kMinLadder
  // The pauses that may part chapters: none from the first frame, none
  // shorter than kShortestPauseMs, none ending within end_guard of the end
  // once the tally is finished.
  PauseHistogram pauses;
  // The lengths of pauses of kShortestPauseMs or more left out of `pauses`:
  // one from the first frame, and those ending within end_guard of the end.
  std::vector<std::uint32_t> set_apart;
  // The kLongest longest silences of kShortestPauseMs or more, longest
  // first; 0 where there are fewer.
  std::array<std::uint32_t, kLongest> longest{};
  PackedSilences kept;
  // Pauses counted in `pauses` that may yet end within end_guard of the end.
  std::vector<Silence> recent;
  // The first frame of the silence that runs to the end of the recording,
  // once the tally is finished; 0 when sound ends it.
  std::uint64_t closing_start = 0;
};

// Counts one silence; may_part is false for one from the first frame.
void tally_run(const TallyRules& rules, const Silence& silence, bool may_part,
               RunTally& tally);

// Forgets the recent pauses that end end_guard or more before frame `frames`.
void forget_older(const TallyRules& rules, std::uint64_t frames,
                  RunTally& tally);

// Where a file starts and ends at one threshold: the quiet frames before its
// first loud one (all of them when it has none), and the first frame of a
// silence still open at its end (0 for none), counted in the file.
struct FileEdges {
  std::uint64_t lead = 0;
  std::uint64_t open_start = 0;
};

// The files joined so far at one threshold.
struct JoinedRuns {
  RunTally tally;
  std::uint64_t frames = 0;
  std::uint64_t open_start = 0;  // a silence running on; 0 for none
};

// Joins the next file, scanned on its own, as one scan across the files
// would have found it: a silence that runs into the file ends at its first
// loud frame, and a silence open at its end runs on into the next file. The
// file's tally holds what its scan found after its lead, counted from its
// own first frame.
void join_file(const TallyRules& rules, std::uint64_t file_frames,
               const FileEdges& edges, RunTally&& file, JoinedRuns& joined);

// Ends the recording: pauses that end within end_guard of its end leave the
// pause histogram, and the silence still open is its closing silence.
void finish_join(const TallyRules& rules, JoinedRuns& joined);

// The bin of a pause of `length` frames, or kPauseBins when it is shorter
// than the first edge.
std::size_t pause_bin(const PauseEdges& edges, std::uint32_t length);

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_SILENCES_H_
