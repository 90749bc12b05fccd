#include "cli/core_words.h"

#include "cli/messages.h"
#include "extract/wave_reader.h"

namespace hushmark {
namespace {

// A message that names a file or folder: the text, the path, a line feed.
std::wstring naming(const wchar_t* text, const std::wstring& path) {
  return text + path + L"\n";
}

std::wstring cannot_decode(const CoreError& error) {
  std::wstring text = naming(msg::kCannotDecode, error.path);
  if (!error.said.empty()) text += msg::kDecoderSaid + error.said + L"\n";
  return text;
}

}  // namespace

std::wstring word_error(const CoreError& error) {
  switch (error.failure) {
  case Failure::kNone:
    return {};
  case Failure::kCannotOpenInput:
    return msg::kCannotOpenInput;
  case Failure::kPointsRefused:
    return msg::kCannotWriteChapters;
  case Failure::kNotWave:
    return msg::kNotWave;
  case Failure::kBrokenFmt:
    return msg::kBrokenFmt;
  case Failure::kBadFormatTag:
    return msg::kBadFormatTag;
  case Failure::kBadChannels:
    return msg::kBadChannels;
  case Failure::kBadBitsPerSample:
    return msg::kBadBitsPerSample;
  case Failure::kZeroByteRate:
    return msg::kZeroByteRate;
  case Failure::kReadFailed:
  case Failure::kDataEndedEarly:
    return msg::kReadFailed;
  case Failure::kDecoderMissing:
    return msg::kDecoderMissing;
  case Failure::kDecoderNotStarted:
    return msg::kFfmpegNotStarted;
  case Failure::kCannotDecode:
    return cannot_decode(error);
  case Failure::kNoAudio:
    return naming(msg::kNoAudio, error.path);
  case Failure::kRatesDiffer:
    return naming(msg::kRatesDiffer, error.path);
  case Failure::kCannotReadFolder:
    return naming(msg::kCannotReadFolder, error.path);
  case Failure::kNoRecordingsInFolder:
    return naming(msg::kNoRecordingsInFolder, error.path);
  case Failure::kTooManyNamesInFolder:
    return naming(msg::kTooManyNamesInFolder, error.path);
  }
  return {};
}

bool succeeded(const CoreError& error, platform::Console& console) {
  if (!error) return true;
  console.write(word_error(error));
  return false;
}

std::wstring word_notice(const Notice& notice) {
  switch (notice.kind) {
  case NoticeKind::kUnsupportedChunk:
    return msg::kUnsupportedChunk + printable_chunk_id(notice.chunk_id) +
           L" size:" + std::to_wstring(notice.chunk_size) + L"\n";
  case NoticeKind::kInputsInGivenOrder:
    return msg::kInputsInGivenOrder;
  case NoticeKind::kFolderSkipped:
    return naming(msg::kFolderSkipped, notice.path);
  }
  return {};
}

NoticeSink notices_to(platform::Console& console) {
  return
      [&console](const Notice& notice) { console.write(word_notice(notice)); };
}

}  // namespace hushmark
