#ifndef HUSHMARK_EXTRACT_ERRORS_H_
#define HUSHMARK_EXTRACT_ERRORS_H_

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace hushmark {

// What stopped the core's work. Each program words it for its console.
enum class Failure : std::uint8_t {
  kNone,
  kCannotOpenInput,  // an input did not open
  kPointsRefused,  // the point sink could not keep the points (a write failed)
  kNotWave,        // no RIFF/WAVE header
  kBrokenFmt,      // a fmt chunk too short for a format
  kBadFormatTag,   // a format the scan cannot take: not PCM,
  kBadChannels,    // not two channels,
  kBadBitsPerSample,      // not 16 bits,
  kZeroByteRate,          // or no byte rate
  kReadFailed,            // a read failed, or the input ended in a header
  kDataEndedEarly,        // the input ended, or failed, inside a data chunk
  kDecoderMissing,        // ffmpeg is not found
  kDecoderNotStarted,     // ffmpeg is there but did not start
  kCannotDecode,          // ffmpeg failed on `path`; `said` is its last line
  kNoAudio,               // `path` holds no audio
  kRatesDiffer,           // `path` is at another rate than the first file
  kCannotReadFolder,      // the folder `path` cannot be listed
  kNoRecordingsInFolder,  // the folder `path` holds no recording
  kTooManyNamesInFolder,  // the folder `path` holds too many to be a book
};

// A failure and the detail its message needs.
struct CoreError {
  CoreError() = default;
  CoreError(Failure f, std::wstring path_named = {},
            std::wstring ffmpeg_said = {})
      : failure(f), path(std::move(path_named)), said(std::move(ffmpeg_said)) {}

  Failure failure = Failure::kNone;
  std::wstring path;  // the file or folder it names, where it names one
  std::wstring said;  // ffmpeg's last line of errors, where it failed
  explicit operator bool() const { return failure != Failure::kNone; }
};

// Something the work tells on its way, without stopping.
enum class NoticeKind : std::uint8_t {
  kUnsupportedChunk,    // a chunk the walk skips: chunk_id, chunk_size
  kInputsInGivenOrder,  // inputs named out of the order of their names
  kFolderSkipped,       // a folder within an input that cannot be listed: path
};

struct Notice {
  NoticeKind kind = NoticeKind::kUnsupportedChunk;
  std::uint32_t chunk_id = 0;
  std::uint32_t chunk_size = 0;
  std::wstring path;  // the folder it names, where it names one
};

// Hears each notice as it happens, in order with the work's other output.
using NoticeSink = std::function<void(const Notice& notice)>;

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_ERRORS_H_
