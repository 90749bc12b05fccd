#ifndef HUSHMARK_CHAPTERS_EMBED_H_
#define HUSHMARK_CHAPTERS_EMBED_H_

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "chapters/breaks.h"
#include "chapters/embed_plan.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/process.h"

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

// The ffmpeg writer of the output that outfile's ending names; empty when
// there is none.
std::wstring output_muxer(std::wstring_view outfile);

// The ffmpeg writer of one file per chapter named with outfile's ending;
// empty when there is none. Ogg, Opus and FLAC files have one too.
std::wstring file_muxer(std::wstring_view outfile);

// The first of the inputs, in order, that outfile names (another spelling or
// a link counts), or inputs.size() when it names none: writing there would
// replace an input. "-" and an input that cannot be opened are never named.
std::size_t input_named_by(std::span<const std::wstring> inputs,
                           std::wstring_view outfile);

// Checks what can be known before the recording is read: that outfile is a
// media file that takes chapters and names none of the inputs, and that each
// input is a file ffmpeg can read again ("-", a pipe or a device is not).
// With chapter_files, outfile names one file per chapter, which carries no
// chapters: an Ogg, Opus or FLAC ending is taken too. False once the reason
// is out.
bool check_embedding(std::span<const std::wstring> inputs,
                     std::wstring_view outfile, platform::Console& console,
                     bool chapter_files = false);

// What ffmpeg says of an input's audio streams: their number, codecs, rates,
// layouts and codec set-up, the header of a checksum listing, so that parts
// whose packets join without re-encoding say the same. False once the reason
// is out.
bool describe_audio(const std::wstring& input, std::string& description,
                    platform::Console& console);

// Runs ffmpeg with args, input_text as its standard input, and keeps its
// standard output in *stdout_text when that is given. False once the reason
// is out.
bool run_ffmpeg(std::span<const std::wstring> args, std::string_view input_text,
                std::string* stdout_text, platform::Console& console);

// The concat demuxer's list of inputs, each named as ffmpeg_file names it.
// False, once the reason is out, for a name that the list cannot hold.
bool concat_list(std::span<const std::wstring> inputs, std::string& list,
                 platform::Console& console);

// Where the output's writer attaches the plan's cover (Matroska does, as a
// file of its own): its bytes in a file beside outfile, and their MIME type;
// nothing where it does not. False once the reason is out.
bool extract_cover(const EmbedPlan& plan, std::wstring_view outfile,
                   platform::ScratchFile& picture, std::wstring& mime,
                   platform::Console& console);

// Adds ffmpeg's arguments that attach the picture in attachment, of this
// MIME type; none when attachment is empty.
void add_attachment(const std::wstring& attachment, const std::wstring& mime,
                    std::vector<std::wstring>& args);

// Writes a copy of the recording made of `inputs` (in order) to outfile, with
// these chapters and their titles, its packets copied, not re-encoded. One
// input keeps every stream but data streams (an earlier mp4 chapter track
// among them), and its tags; joined inputs give their audio, with the plan's
// tags and cover. A cover goes into Matroska as an attachment. False, once
// its message is out, when that cannot be done; then outfile keeps whatever
// bytes it had.
bool embed_chapters(const EmbedPlan& plan, std::span<const std::wstring> inputs,
                    std::span<const Chapter> chapters,
                    std::wstring_view outfile, platform::Console& console);

// The encode route's one encoder: an ffmpeg that takes the decoded samples
// of every input, in order, and writes the encoded audio to a file of its own
// beside the output. Neither copied nor moved; the file goes with it.
struct EmbedEncoder {
  platform::ScratchFile audio;    // the encoded audio, before the remux
  platform::ChildProcess ffmpeg;  // ended before its file is removed
  platform::InputFile unused;     // its standard output, discarded
  bool taking = true;             // false once it reads no more
};

// Starts the encoder that plan names for an output at outfile. False once
// the reason is out.
bool start_encoder(const EmbedPlan& plan, std::wstring_view outfile,
                   EmbedEncoder& encoder, platform::Console& console);

// Hands the encoder 32-bit float samples at the plan's channels; one that has
// stopped taking them is told by finish_encoded.
void feed_encoder(EmbedEncoder& encoder, std::span<const std::uint8_t> samples);

// Ends the encoder; false, once the reason is out, when it failed or stopped
// taking samples.
bool finish_encoder(EmbedEncoder& encoder, platform::Console& console);

// Ends the encoder, then writes outfile from its audio with these chapters
// and the plan's tags and cover, every stream copied. False, once its message
// is out, when that cannot be done; then outfile keeps whatever bytes it had
// and no file of the run is left.
bool write_encoded(const EmbedPlan& plan, EmbedEncoder& encoder,
                   std::span<const Chapter> chapters, std::wstring_view outfile,
                   platform::Console& console);

}  // namespace hushmark

#endif  // HUSHMARK_CHAPTERS_EMBED_H_
