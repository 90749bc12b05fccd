#ifndef HUSHMARK_CHAPTERS_EMBED_H_
#define HUSHMARK_CHAPTERS_EMBED_H_

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "chapters/breaks.h"
#include "platform/console.h"

namespace hushmark {

// What an output name's ending says about it.
enum class MediaOutput {
  kNone,          // not a media file: a chapter file
  kEmbedded,      // a copy of the recording with its chapters in it
  kChaptersLost,  // a media file whose chapters ffmpeg drops or misplaces
};

// The kind of output that outfile's ending (ASCII case ignored) names:
// .m4b .m4a .mp4 .mov .mka .mkv .webm .mp3 are embedded; .ogg .oga .opus
// .flac are media files whose chapters cannot be written.
MediaOutput media_output(std::wstring_view outfile);

// The first of the inputs, in order, that outfile names (another spelling or
// a link counts), or inputs.size() when it names none: writing there would
// replace an input. "-" and an input that cannot be opened are never named.
std::size_t input_named_by(std::span<const std::wstring> inputs,
                           std::wstring_view outfile);

// Checks what can be known before the recording is read: that outfile is a
// media file that takes chapters and names none of the inputs, and that each
// input is a file ffmpeg can read again ("-", a pipe or a device is not).
// False once the reason is out.
bool check_embedding(std::span<const std::wstring> inputs,
                     std::wstring_view outfile, platform::Console& console);

// Writes a copy of the recording made of `inputs` (in order) to outfile, with
// these chapters and their titles; every stream is copied, not re-encoded,
// but for data streams (an earlier mp4 chapter track among them), and inputs
// after the first give only their audio. False, once its message is out,
// when that cannot be done; then outfile keeps whatever bytes it had.
bool embed_chapters(std::span<const std::wstring> inputs,
                    std::span<const Chapter> chapters,
                    std::wstring_view outfile, platform::Console& console);

}  // namespace hushmark

#endif  // HUSHMARK_CHAPTERS_EMBED_H_
