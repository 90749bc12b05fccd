#ifndef HUSHMARK_EXTRACT_SCAN_STATE_H_
#define HUSHMARK_EXTRACT_SCAN_STATE_H_

#include <cstdint>

namespace hushmark {

// One stereo sample pair: left then right, signed 16-bit little-endian.
inline constexpr std::uint32_t kFrameBytes = 4;

// Where in its silence a chapter point falls.
enum class CutPosition { kStart, kMiddle, kEnd };

// The cut position that a checked -p (0, 1 or 2) names; any other value is
// taken as the end, as the scan has always done.
constexpr CutPosition cut_position_of(std::int32_t p) {
  return p == 0   ? CutPosition::kStart
         : p == 1 ? CutPosition::kMiddle
                  : CutPosition::kEnd;
}

// Frames are counted from 1. A silence from the recording's (or a file's)
// first frame never starts a chapter: it is the lead before the sound.
inline constexpr std::uint64_t kFirstFrame = 1;
constexpr bool is_first_frame(std::uint64_t frame) {
  return frame == kFirstFrame;
}

// The shortest silence that yields a chapter point unless asked otherwise.
inline constexpr std::int32_t kDefaultMinSilenceMs = 200;

// What a scan of data chunks is asked for; each chunk's byte rate turns the
// shortest silence into frames.
struct ScanRequest {
  std::int32_t threshold = 0;  // largest sample magnitude that is still silence
  // the shortest silence that yields a chapter point
  std::int32_t min_silence_ms = kDefaultMinSilenceMs;
  CutPosition cut = CutPosition::kStart;
};

// What a scan needs to know besides the samples.
struct ScanParams {
  std::int32_t threshold = 0;
  std::uint32_t min_frames = 0;
  CutPosition cut = CutPosition::kStart;
};

// Where a scan stands inside one data chunk. Frames are numbered from 1;
// silence_start is 0 while no quiet run is open.
struct ScanState {
  std::uint32_t index = 0;
  std::uint32_t silence_start = 0;
};

// Frame numbers are 32-bit: past this many frames a scan's frame 1 moves
// forward, so that a recording of any length can be scanned.
inline constexpr std::uint32_t kRebaseAt = 1u << 31;

// Once past kRebaseAt, moves the scan's frame 1 forward to the open
// silence's first frame, or past every frame when none is open; returns how
// many frames it moved (0 before then).
inline std::uint32_t rebase_scan(ScanState& state) {
  if (state.index < kRebaseAt) return 0;
  const std::uint32_t shift =
      state.silence_start != 0 ? state.silence_start - 1 : state.index;
  state.index -= shift;
  if (state.silence_start != 0) state.silence_start -= shift;
  return shift;
}

// A chapter point that a scan places: the frame of its cut, where the scan's
// CutPosition puts it in its silence, and the length of that silence.
struct ChapterPoint {
  std::uint32_t cut;
  std::uint32_t length;
};

// The frame that cut falls on in a silence of `length` frames from its first
// frame `start`: that frame, its middle, or the loud frame that ends it.
template <class Frame>
constexpr Frame place_cut(CutPosition cut, Frame start, std::uint32_t length) {
  switch (cut) {
  case CutPosition::kStart:
    return start;
  case CutPosition::kMiddle:
    return start + length / 2;
  case CutPosition::kEnd:
    break;
  }
  return start + length;
}

// The frame a point falls on for a run of `length` frames that the loud frame
// state.index has just ended.
inline std::uint32_t cut_frame(const ScanParams& params, const ScanState& state,
                               std::uint32_t length) {
  return place_cut(params.cut, state.silence_start, length);
}

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_SCAN_STATE_H_
