#include "chapters/embed.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "chapters/embed_plan.h"
#include "chapters/ffmpeg_runs.h"
#include "chapters/formats.h"
#include "chapters/messages.h"
#include "cli/messages.h"
#include "extract/ffmpeg.h"
#include "extract/recording.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/utf8.h"

namespace hushmark {
namespace {

// An output ending and the ffmpeg muxer that writes it; none where ffmpeg
// 5.1 cannot keep chapters there: its Ogg writer rounds their times to whole
// seconds (3.5 s became 4.5 s in an Opus file), and neither a Vorbis Ogg file
// nor a FLAC file comes back with any. A file per chapter needs none, and
// has a muxer for each.
struct MediaEnding {
  std::wstring_view ending;
  std::wstring_view muxer;
  std::wstring_view file_muxer;  // for one file per chapter
};

constexpr MediaEnding kMediaEndings[] = {
    {L".m4b", L"ipod", L"ipod"},
    {L".m4a", L"ipod", L"ipod"},
    {L".mp4", L"mp4", L"mp4"},
    {L".mov", L"mov", L"mov"},
    {L".mka", L"matroska", L"matroska"},
    {L".mkv", L"matroska", L"matroska"},
    {L".webm", L"webm", L"webm"},
    {L".mp3", L"mp3", L"mp3"},
    {L".ogg", L"", L"ogg"},
    {L".oga", L"", L"ogg"},
    {L".opus", L"", L"opus"},
    {L".flac", L"", L"flac"},
};

const MediaEnding* media_ending(std::wstring_view outfile) {
  for (const MediaEnding& m : kMediaEndings) {
    if (outfile.size() < m.ending.size()) continue;
    std::wstring_view tail = outfile.substr(outfile.size() - m.ending.size());
    bool same = true;
    for (std::size_t i = 0; i < tail.size(); ++i)
      same = same && platform::ascii_lower(tail[i]) == m.ending[i];
    if (same) return &m;
  }
  return nullptr;
}

// The endings whose muxer keeps chapters, or those whose muxer loses them,
// as a message names them: "(m4b,m4a)".
std::wstring endings_named(bool keeping_chapters) {
  std::wstring named;
  for (const MediaEnding& m : kMediaEndings) {
    if (m.muxer.empty() == keeping_chapters) continue;
    named += named.empty() ? L"(" : L",";
    named += m.ending.substr(1);
  }
  return named + L")";
}

// ffmpeg's arguments up to the output for one input copied with every stream
// but data streams, whose codecs the mp4 writer refuses (an m4b's earlier
// chapter track is one), and with its own tags; a cover that goes in as an
// attachment is not copied as a video track too.
std::vector<std::wstring> copy_args(const EmbedPlan& plan,
                                    const std::wstring& input,
                                    const std::wstring& attachment,
                                    const std::wstring& mime) {
  std::vector<std::wstring> args =
      ffmpeg_arguments({L"-y", L"-i", ffmpeg_file(input), L"-f", L"ffmetadata",
                        L"-i", L"pipe:0", L"-map", L"0", L"-map", L"-0:d?"});
  if (!attachment.empty()) {
    args.insert(args.end(),
                {L"-map", L"-0:" + std::to_wstring(plan.cover_stream)});
  }
  add_attachment(attachment, mime, args);
  args.insert(args.end(),
              {L"-map_metadata", L"0", L"-map_chapters", L"1", L"-c", L"copy"});
  return args;
}

// ffmpeg's arguments up to the output for audio opened by audio_input (the
// encoded audio, or the concat demuxer's list of the inputs): the chapters
// on standard input, the cover (a picture stream, or an attachment with its
// MIME type), and the plan's tags.
std::vector<std::wstring> remux_args(const EmbedPlan& plan,
                                     std::span<const std::wstring> audio_input,
                                     const std::wstring& attachment,
                                     const std::wstring& mime) {
  const bool cover_stream = !plan.cover.empty() && attachment.empty();
  std::vector<std::wstring> args = ffmpeg_arguments({L"-y"});
  args.insert(args.end(), audio_input.begin(), audio_input.end());
  args.insert(args.end(), {L"-f", L"ffmetadata", L"-i", L"pipe:0"});
  if (cover_stream) args.insert(args.end(), {L"-i", ffmpeg_file(plan.cover)});
  // The chapters' input holds no tags but theirs: the encoder's, and the
  // first part's (its title is its chapter's), are dropped.
  args.insert(args.end(), {L"-map", L"0:a", L"-map_metadata", L"1",
                           L"-map_chapters", L"1"});
  if (cover_stream) {
    // A still picture: the mp4 writer keeps it as covr, the mp3 writer as
    // APIC, and neither as a video track.
    args.insert(args.end(),
                {L"-map", L"2:" + std::to_wstring(plan.cover_stream),
                 L"-disposition:v", L"attached_pic"});
  }
  add_attachment(attachment, mime, args);
  args.insert(args.end(), {L"-c", L"copy"});
  for (const Tag& tag : plan.tags) {
    args.insert(args.end(),
                {L"-metadata", platform::widen_utf8(tag.first) + L"=" +
                                   platform::widen_utf8(tag.second)});
  }
  return args;
}

// Runs ffmpeg with args, then the plan's writer into a file beside outfile,
// the chapters on its standard input, and puts that file in outfile's place.
// False once the reason is out; then outfile keeps whatever bytes it had.
bool write_remuxed(const EmbedPlan& plan, std::vector<std::wstring> args,
                   std::span<const Chapter> chapters, std::wstring_view outfile,
                   platform::Console& console) {
  platform::WholeFile output;
  std::wstring temp;
  if (output.open(outfile)) temp = output.hand_over();
  // A FIFO or a device is refused too: the mp4 writer goes back to the start.
  if (temp.empty()) {
    console.write(msg::kEmbedCannotWrite);
    return false;
  }
  args.insert(args.end(), {L"-f", plan.muxer, ffmpeg_file(temp)});
  if (!run_ffmpeg(args,
                  format_chapters(ChapterFormat::kFfmetadata, chapters, ""),
                  nullptr, console)) {
    return false;
  }
  if (!output.commit_written()) {
    console.write(msg::kEmbedCannotWrite);
    return false;
  }
  return true;
}

}  // namespace

bool run_ffmpeg(std::span<const std::wstring> args, std::string_view input_text,
                std::string* stdout_text, platform::Console& console) {
  const CollectedRun run =
      run_collecting(ffmpeg_program(), args, input_text, stdout_text);
  if (run.ended_well) return true;
  console.write(ffmpeg_failure(kEmbedRun, run.started, run.error_text));
  return false;
}

bool concat_list(std::span<const std::wstring> inputs, std::string& list,
                 platform::Console& console) {
  // Quoted, a name holds anything but a quote, which closes the quotes for an
  // escaped one; the list is read a line at a time, so a name cannot hold a
  // line break.
  for (const std::wstring& input : inputs) {
    std::optional<std::string> named =
        platform::narrow_path(ffmpeg_file(input));
    if (!named) {
      console.write(msg::kEmbedCannotOpenInput + input + L"\n");
      return false;
    }
    if (named->find_first_of("\r\n") != std::string::npos) {
      console.write(msg::kEmbedLineBreakInName + input + L"\n");
      return false;
    }
    list += "file '";
    for (char c : *named) {
      if (c == '\'') {
        list += "'\\''";
      } else {
        list += c;
      }
    }
    list += "'\n";
  }
  return true;
}

namespace {

// Whether the output's writer keeps a cover as an attachment, which ffmpeg
// takes only from a file of its own, rather than as a picture stream.
bool attaches_cover(const EmbedPlan& plan) {
  return !plan.cover.empty() && plan.muxer == L"matroska";
}

}  // namespace

bool extract_cover(const EmbedPlan& plan, std::wstring_view outfile,
                   platform::ScratchFile& picture, std::wstring& mime,
                   platform::Console& console) {
  if (!attaches_cover(plan)) return true;
  const std::vector<std::wstring> args =
      ffmpeg_arguments({L"-i", ffmpeg_file(plan.cover), L"-map",
                        L"0:" + std::to_wstring(plan.cover_stream), L"-c",
                        L"copy", L"-f", L"image2pipe", L"-"});
  std::string bytes;
  if (!run_ffmpeg(args, {}, &bytes, console)) return false;
  mime = bytes.starts_with("\x89PNG") ? L"image/png" : L"image/jpeg";
  if (!picture.create(outfile, bytes)) {
    console.write(msg::kEmbedCannotWrite);
    return false;
  }
  return true;
}

void add_attachment(const std::wstring& attachment, const std::wstring& mime,
                    std::vector<std::wstring>& args) {
  if (attachment.empty()) return;
  const std::wstring name = mime == L"image/png" ? L"cover.png" : L"cover.jpg";
  args.insert(args.end(),
              {L"-attach", ffmpeg_file(attachment), L"-metadata:s:t",
               L"mimetype=" + mime, L"-metadata:s:t", L"filename=" + name});
}

std::wstring output_muxer(std::wstring_view outfile) {
  const MediaEnding* m = media_ending(outfile);
  return m ? std::wstring(m->muxer) : std::wstring();
}

std::wstring file_muxer(std::wstring_view outfile) {
  const MediaEnding* m = media_ending(outfile);
  return m ? std::wstring(m->file_muxer) : std::wstring();
}

MediaOutput media_output(std::wstring_view outfile) {
  const MediaEnding* m = media_ending(outfile);
  if (m == nullptr) return MediaOutput::kNone;
  return m->muxer.empty() ? MediaOutput::kChaptersLost : MediaOutput::kEmbedded;
}

std::size_t input_named_by(std::span<const std::wstring> inputs,
                           std::wstring_view outfile) {
  for (std::size_t k = 0; k < inputs.size(); ++k) {
    platform::InputFile input;
    if (inputs[k] != kStandardInputName && input.open(inputs[k]) &&
        input.is_same_file(outfile)) {
      return k;
    }
  }
  return inputs.size();
}

bool check_embedding(std::span<const std::wstring> inputs,
                     std::wstring_view outfile, platform::Console& console,
                     bool chapter_files) {
  if (inputs.empty()) {
    console.write(msg::kNoInput);
    return false;
  }
  switch (media_output(outfile)) {
  case MediaOutput::kNone:
    console.write(msg::kEmbedNotMedia + endings_named(true) + L"\n");
    return false;
  case MediaOutput::kChaptersLost:
    if (chapter_files) break;
    console.write(msg::kEmbedChaptersLost + endings_named(false) +
                  msg::kEmbedChaptersLostEnd);
    return false;
  case MediaOutput::kEmbedded:
    break;
  }
  // Every input must be a file that ffmpeg can open again, and none the
  // output; the first fault, input by input in order, is the one said.
  const std::size_t named = input_named_by(inputs, outfile);
  for (std::size_t k = 0; k < named; ++k) {
    platform::InputFile file;
    // The scan has read a pipe through; ffmpeg would find it empty.
    if (inputs[k] == kStandardInputName) {
      console.write(msg::kEmbedStreamInput);
      return false;
    }
    if (!file.open(inputs[k])) {
      console.write(msg::kEmbedCannotOpenInput + inputs[k] + L"\n");
      return false;
    }
    if (file.is_stream()) {
      console.write(msg::kEmbedStreamInput);
      return false;
    }
  }
  if (named < inputs.size()) {
    console.write(msg::kEmbedSameAsInput);
    return false;
  }
  return true;
}

bool describe_audio(const std::wstring& input, std::string& description,
                    platform::Console& console) {
  const std::vector<std::wstring> args =
      ffmpeg_arguments({L"-i", ffmpeg_file(input), L"-map", L"0:a", L"-c",
                        L"copy", L"-t", L"0", L"-f", L"framemd5", L"-"});
  std::string listing;
  if (!run_ffmpeg(args, {}, &listing, console)) return false;
  // Each FLAC frame says its own rate, channels and sample size; the stream
  // header that differs from file to file (length, checksum, frame sizes)
  // need not agree for the frames to join.
  const bool flac = listing.find(": flac\n") != std::string::npos;
  std::size_t at = 0;
  while (at < listing.size()) {
    std::size_t end = listing.find('\n', at);
    if (end == std::string::npos) end = listing.size();
    std::string_view line(listing.data() + at, end - at);
    if (line.starts_with('#') && !line.starts_with("#software") &&
        !line.starts_with("#stream#") &&
        !(flac && line.starts_with("#extradata"))) {
      description.append(line).push_back('\n');
    }
    at = end + 1;
  }
  return true;
}

bool embed_chapters(const EmbedPlan& plan, std::span<const std::wstring> inputs,
                    std::span<const Chapter> chapters,
                    std::wstring_view outfile, platform::Console& console) {
  if (!check_embedding(inputs, outfile, console)) return false;
  platform::ScratchFile picture;
  std::wstring mime;
  if (!extract_cover(plan, outfile, picture, mime, console)) return false;
  if (inputs.size() == 1) {
    return write_remuxed(plan, copy_args(plan, inputs[0], picture.path(), mime),
                         chapters, outfile, console);
  }
  std::string list;
  if (!concat_list(inputs, list, console)) return false;
  platform::ScratchFile list_file;
  if (!list_file.create(outfile, list)) {
    console.write(msg::kEmbedCannotWrite);
    return false;
  }
  const std::wstring audio_input[] = {
      L"-f", L"concat", L"-safe", L"0", L"-i", ffmpeg_file(list_file.path())};
  std::vector<std::wstring> args =
      remux_args(plan, audio_input, picture.path(), mime);
  // A joined copy is played whole, each file's encoder delay and padding
  // included, as the chapters count it: no header may tell a player to
  // skip the first file's.
  if (plan.muxer == L"mp3") args.insert(args.end(), {L"-write_xing", L"0"});
  return write_remuxed(plan, std::move(args), chapters, outfile, console);
}

bool start_encoder(const EmbedPlan& plan, std::wstring_view outfile,
                   EmbedEncoder& encoder, platform::Console& console) {
  if (!encoder.audio.create(outfile, {})) {
    console.write(msg::kEmbedCannotWrite);
    return false;
  }
  const std::vector<std::wstring> args = ffmpeg_arguments(
      {L"-y", L"-f", L"f32le", L"-ar", std::to_wstring(plan.sample_rate),
       L"-ac", std::to_wstring(plan.channels), L"-i", L"pipe:0", L"-c:a",
       plan.encoder, L"-b:a", std::to_wstring(plan.kbit_rate) + L"k", L"-ar",
       std::to_wstring(plan.encoded_rate ? plan.encoded_rate
                                         : plan.sample_rate),
       L"-f", plan.audio_muxer, ffmpeg_file(encoder.audio.path())});
  return start_ffmpeg(kEmbedRun, args, encoder.ffmpeg, encoder.unused,
                      platform::ChildInput::kPipe,
                      platform::ChildOutput::kDiscard, console);
}

void feed_encoder(EmbedEncoder& encoder,
                  std::span<const std::uint8_t> samples) {
  if (encoder.taking) encoder.taking = encoder.ffmpeg.write_input(samples);
}

bool finish_encoder(EmbedEncoder& encoder, platform::Console& console) {
  encoder.ffmpeg.close_input();
  if (!encoder.ffmpeg.wait() || !encoder.taking) {
    console.write(msg::kEmbedEncodeFailed +
                  ffmpeg_said(encoder.ffmpeg.error_text()) + L"\n");
    return false;
  }
  return true;
}

bool write_encoded(const EmbedPlan& plan, EmbedEncoder& encoder,
                   std::span<const Chapter> chapters, std::wstring_view outfile,
                   platform::Console& console) {
  if (!finish_encoder(encoder, console)) return false;
  platform::ScratchFile picture;
  std::wstring mime;
  if (!extract_cover(plan, outfile, picture, mime, console)) return false;
  const std::wstring audio_input[] = {L"-i", ffmpeg_file(encoder.audio.path())};
  return write_remuxed(plan,
                       remux_args(plan, audio_input, picture.path(), mime),
                       chapters, outfile, console);
}

}  // namespace hushmark
