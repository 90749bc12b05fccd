#include "chapters/split.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "chapters/ffmpeg_runs.h"
#include "chapters/lame_tag.h"
#include "chapters/messages.h"
#include "chapters/mp4_length.h"
#include "extract/ffmpeg.h"
#include "extract/progress.h"
#include "platform/files.h"
#include "platform/interrupt.h"
#include "platform/paths.h"
#include "platform/utf8.h"

namespace hushmark {
namespace {

// The most a name may hold: ext4 and most others take 255 bytes, NTFS 255
// UTF-16 units.
constexpr std::size_t kMaxNameBytes = 255;
constexpr std::size_t kMaxNameUnits = 255;

// The names Windows keeps for its devices, whatever follows a dot.
constexpr std::wstring_view kDeviceNames[] = {
    L"CON",  L"PRN",  L"AUX",  L"NUL",  L"COM1", L"COM2", L"COM3", L"COM4",
    L"COM5", L"COM6", L"COM7", L"COM8", L"COM9", L"LPT1", L"LPT2", L"LPT3",
    L"LPT4", L"LPT5", L"LPT6", L"LPT7", L"LPT8", L"LPT9"};

// The tags each chapter's file takes from the book as they are.
constexpr std::string_view kKeptTags[] = {"artist", "album_artist", "composer",
                                          "genre", "date"};

// A % sequence of a chapter file's name.
enum class Field { kNumber, kTitle, kPercent, kBad };

struct FieldAt {
  Field field = Field::kBad;
  std::size_t length = 1;
  int width = 0;  // with kNumber, the digits it is padded to
};

FieldAt field_at(std::wstring_view name, std::size_t at) {
  static const struct {
    std::wstring_view text;
    FieldAt field;
  } kFields[] = {{L"%d", {Field::kNumber, 2, 1}},
                 {L"%02d", {Field::kNumber, 4, 2}},
                 {L"%03d", {Field::kNumber, 4, 3}},
                 {L"%t", {Field::kTitle, 2, 0}},
                 {L"%%", {Field::kPercent, 2, 0}}};
  for (const auto& f : kFields) {
    if (name.substr(at).starts_with(f.text)) return f.field;
  }
  return {};
}

// Where the file name starts in path, after its folder.
std::size_t name_start(std::wstring_view path) {
  std::size_t at = path.size();
  while (at > 0 && !platform::is_path_separator(path[at - 1]))
    --at;
  return at;
}

bool is_digit(wchar_t c) {
  return c >= L'0' && c <= L'9';
}

// Whether name is one that the file name pattern could give: a number for
// each number, anything for a title.
bool matches(std::wstring_view pattern, std::wstring_view name) {
  if (pattern.empty()) return name.empty();
  if (pattern[0] != L'%') {
    return !name.empty() && name[0] == pattern[0] &&
           matches(pattern.substr(1), name.substr(1));
  }
  const FieldAt f = field_at(pattern, 0);
  const std::wstring_view rest = pattern.substr(f.length);
  switch (f.field) {
  case Field::kNumber:
    for (std::size_t n = 1; n <= name.size() && is_digit(name[n - 1]); ++n) {
      if (matches(rest, name.substr(n))) return true;
    }
    return false;
  case Field::kTitle:
    for (std::size_t n = 0; n <= name.size(); ++n) {
      if (matches(rest, name.substr(n))) return true;
    }
    return false;
  case Field::kPercent:
    return !name.empty() && name[0] == L'%' && matches(rest, name.substr(1));
  case Field::kBad:
    break;
  }
  return false;
}

bool is_device_name(std::wstring_view name) {
  std::wstring_view stem = name.substr(0, name.find(L'.'));
  while (!stem.empty() && stem.back() == L' ')
    stem.remove_suffix(1);
  return std::any_of(std::begin(kDeviceNames), std::end(kDeviceNames),
                     [stem](std::wstring_view device) {
                       return std::equal(stem.begin(), stem.end(),
                                         device.begin(), device.end(),
                                         [](wchar_t a, wchar_t b) {
                                           return platform::ascii_lower(a) ==
                                                  platform::ascii_lower(b);
                                         });
                     });
}

// The code point that ends at text's end: one unit, or a surrogate pair
// where wchar_t is UTF-16.
std::size_t last_code_point(std::wstring_view text) {
  if (text.size() >= 2 && text.back() >= 0xDC00 && text.back() <= 0xDFFF &&
      text[text.size() - 2] >= 0xD800 && text[text.size() - 2] <= 0xDBFF) {
    return 2;
  }
  return 1;
}

bool fits(std::wstring_view name) {
  std::size_t bytes = 0, units = 0;
  for (wchar_t c : name) {
    const auto u = static_cast<std::uint32_t>(c);
    bytes += u < 0x80                       ? 1
             : u < 0x800                    ? 2
             : (u >= 0xD800 && u <= 0xDFFF) ? 2
             : u < 0x10000                  ? 3
                                            : 4;
    units += u >= 0x10000 ? 2 : 1;
  }
  return bytes <= kMaxNameBytes && units <= kMaxNameUnits;
}

void drop_trailing_dots_and_spaces(std::wstring& text) {
  while (!text.empty() && (text.back() == L'.' || text.back() == L' '))
    text.pop_back();
}

std::wstring folder_of(std::wstring_view outfile) {
  return std::wstring(outfile.substr(0, name_start(outfile)));
}

// ffmpeg's arguments that open the audio to be cut: the encoded audio, the
// one input, or the inputs joined by the concat demuxer from a list in
// list_file; bytes is what they hold, or 0 when that is not known.
bool source_arguments(const EmbedPlan& plan,
                      std::span<const std::wstring> inputs,
                      EmbedEncoder& encoder, std::wstring_view folder,
                      platform::ScratchFile& list_file,
                      std::vector<std::wstring>& source, std::uint64_t& bytes,
                      platform::Console& console) {
  bytes = 0;
  if (plan.route == EmbedRoute::kEncode) {
    if (!finish_encoder(encoder, console)) return false;
    source = {L"-i", ffmpeg_file(encoder.audio.path())};
    bytes = platform::file_size(encoder.audio.path()).value_or(0);
    return true;
  }
  for (const std::wstring& input : inputs)
    bytes += platform::file_size(input).value_or(0);
  if (inputs.size() == 1) {
    source = {L"-i", ffmpeg_file(inputs[0])};
    return true;
  }
  std::string list;
  if (!concat_list(inputs, list, console)) return false;
  if (!list_file.create(platform::path_in_folder(folder, L"list"), list)) {
    console.write(msg::kEmbedCannotWrite);
    return false;
  }
  source = {L"-f", L"concat", L"-safe",
            L"0",  L"-i",     ffmpeg_file(list_file.path())};
  return true;
}

std::wstring seconds_text(std::uint64_t ms) {
  std::wstring fraction = std::to_wstring(ms % 1000 + 1000).substr(1);
  return std::to_wstring(ms / 1000) + L"." + fraction;
}

std::wstring numbered(wchar_t kind, std::size_t k) {
  std::wstring digits = std::to_wstring(k + 1000000).substr(1);
  return std::wstring(1, kind) + digits;
}

// How far the writing of the files has got, for the progress line: the
// bytes that earlier runs of ffmpeg wrote, and the source's, which the files
// together hold about as many of.
struct Writing {
  Progress progress;
  double book_seconds = 0;
  std::uint64_t source_bytes = 0;  // 0: not known, and nothing is shown
  std::uint64_t done_bytes = 0;
  double shown_seconds = 0;
};

// Counts what ffmpeg has written so far in this run, bytes on top of the
// earlier runs', as seconds of the book on the progress line.
void count_written(Writing& writing, std::uint64_t bytes) {
  if (writing.source_bytes == 0) return;
  const double seconds =
      std::min(1.0, static_cast<double>(writing.done_bytes + bytes) /
                        static_cast<double>(writing.source_bytes)) *
      writing.book_seconds;
  if (seconds <= writing.shown_seconds) return;
  progress_add(writing.progress, seconds - writing.shown_seconds);
  writing.shown_seconds = seconds;
}

// Runs ffmpeg with args, its -progress reports on its standard output, and
// counts the bytes it writes on the progress line. False once the reason is
// out.
bool run_ffmpeg_counted(std::vector<std::wstring> args, Writing& writing,
                        platform::Console& console) {
  args.insert(args.begin(), {L"-progress", L"pipe:1"});
  platform::InputFile output;
  platform::ChildProcess ffmpeg;
  if (!start_ffmpeg(kEmbedRun, args, ffmpeg, output,
                    platform::ChildInput::kNothing,
                    platform::ChildOutput::kPipe, console)) {
    return false;
  }
  std::string text;
  std::uint64_t written = 0;
  std::uint8_t block[4096];
  for (std::size_t n; (n = output.read(block)) > 0;) {
    text.append(reinterpret_cast<const char*>(block), n);
    std::string_view rest = text;
    FfmpegProgress report;
    while (take_progress_block(rest, report)) {
      if (report.total_size) written = *report.total_size;
      count_written(writing, written);
    }
    text.erase(0, text.size() - rest.size());
  }
  writing.done_bytes += written;
  if (!ffmpeg.wait()) {
    report_ffmpeg_failure(kEmbedRun, ffmpeg, console);
    return false;
  }
  return true;
}

const std::string* book_tag(const EmbedPlan& plan, std::string_view key) {
  for (const Tag& tag : plan.tags) {
    if (tag.first == key && !tag.second.empty()) return &tag.second;
  }
  return nullptr;
}

// The tags of chapter k's file, of count: its title and number, the book's
// title or album as its album, and the book's people, genre and date.
std::vector<Tag> chapter_tags(const EmbedPlan& plan, const Chapter& chapter,
                              std::size_t k, std::size_t count) {
  std::vector<Tag> tags = {
      {"title", chapter.title},
      {"track", std::to_string(k + 1) + "/" + std::to_string(count)}};
  const std::string* album = book_tag(plan, "album");
  if (album == nullptr) album = book_tag(plan, "title");
  if (album != nullptr) tags.emplace_back("album", *album);
  for (std::string_view key : kKeptTags) {
    if (const std::string* value = book_tag(plan, key)) {
      tags.emplace_back(std::string(key), *value);
    }
  }
  return tags;
}

// How the writer keeps a cover: as a picture stream (mp4, mp3), as an
// attachment (Matroska), or not at all (Ogg, Opus, FLAC, WebM).
enum class CoverKind { kNone, kPicture, kAttachment };

CoverKind cover_kind(const EmbedPlan& plan) {
  const std::wstring& m = plan.muxer;
  if (plan.cover.empty()) return CoverKind::kNone;
  if (m == L"ipod" || m == L"mp4" || m == L"mov" || m == L"mp3") {
    return CoverKind::kPicture;
  }
  return m == L"matroska" ? CoverKind::kAttachment : CoverKind::kNone;
}

// The plan's cover in a file of its own in folder, and its MIME type: the
// book that holds it is read only up to its picture, once, however many
// files take it. False once the reason is out.
bool cover_picture(const EmbedPlan& plan, const std::wstring& folder,
                   platform::ScratchFile& picture, std::wstring& mime,
                   platform::Console& console) {
  if (cover_kind(plan) == CoverKind::kNone) return true;
  const std::vector<std::wstring> args = ffmpeg_arguments(
      {L"-i", ffmpeg_file(plan.cover), L"-map",
       L"0:" + std::to_wstring(plan.cover_stream), L"-c", L"copy", L"-frames:v",
       L"1", L"-f", L"image2pipe", L"-"});
  std::string bytes;
  if (!run_ffmpeg(args, {}, &bytes, console)) return false;
  mime = bytes.starts_with("\x89PNG") ? L"image/png" : L"image/jpeg";
  if (!picture.create(platform::path_in_folder(folder, L"p"), bytes)) {
    console.write(msg::kEmbedCannotWrite);
    return false;
  }
  return true;
}

// The most files one ffmpeg writes at once, which keeps its command line
// within what Windows takes (32767 characters) with long titles and paths.
constexpr std::size_t kFilesPerRun = 16;

// How far before its chapter an mp4 file's packets start: two frames of
// AAC at 8 kHz, the lowest rate in use, and a little more.
constexpr std::uint64_t kLeadMs = 300;

// The samples that ffmpeg's mp3 decoder adds before the encoder's own delay,
// and the most that a LAME part's delay or padding can say.
constexpr std::int64_t kDecoderDelay = 529;
constexpr std::int64_t kMostDelay = 4095;

// How each file of a book from one source file starts and ends.
enum class Cut {
  kPackets,   // the first packet from its chapter's start on, to the next's
  kEditList,  // mp4: packets from kLeadMs earlier, skipped by its edit list
  kLameTag,   // mp3: frames from earlier, skipped by its LAME part
};

// The cut of the files that plan writes from book_file (empty: from
// several inputs joined), whose frame grid, for mp3, is grid.
Cut cut_of(const EmbedPlan& plan, const std::wstring& book_file,
           const std::optional<FrameGrid>& grid) {
  const std::wstring& m = plan.muxer;
  if (book_file.empty()) return Cut::kPackets;
  if (m == L"ipod" || m == L"mp4" || m == L"mov") return Cut::kEditList;
  return m == L"mp3" && grid ? Cut::kLameTag : Cut::kPackets;
}

std::int64_t floor_div(std::int64_t a, std::int64_t b) {
  return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0);
}

std::int64_t sample_at(std::uint64_t ms, std::uint32_t rate) {
  return static_cast<std::int64_t>((ms * rate + 500) / 1000);
}

// Where on the timeline an mp3 file's frames lie, in samples, and what its
// LAME part must say for it to play from its chapter's sample to the next's.
struct Mp3Cut {
  std::int64_t from = 0;
  std::optional<std::int64_t> to;  // none for the last: the book's end
  LameDelay delay;
};

// The cut of chapter k's mp3 file. It starts as many frames before the one
// that holds its chapter's sample as the LAME delay can skip: their bytes
// hold the bit reservoir that the next frames draw on, and the frame before
// the chapter's overlaps with it. The last file ends as the book does.
Mp3Cut mp3_cut(const FrameGrid& grid, std::span<const Chapter> chapters,
               std::size_t k, std::uint32_t book_padding) {
  const std::int64_t n = grid.frame;
  const std::int64_t start = sample_at(chapters[k].start_ms, grid.sample_rate);
  const std::int64_t lead = (kMostDelay + kDecoderDelay - (n - 1)) / n;
  std::int64_t first =
      std::max<std::int64_t>(0, floor_div(start - grid.first, n) - lead);
  // A frame half of which lies before the timeline's 0 can only be had with
  // all before it.
  while (first > 0 && grid.first + first * n - n / 2 < 0)
    ++first;
  Mp3Cut cut;
  cut.from = grid.first + first * n;
  cut.delay.delay = static_cast<std::uint32_t>(std::clamp<std::int64_t>(
      start - cut.from - kDecoderDelay, 0, kMostDelay));
  cut.delay.padding = book_padding;
  if (k + 1 < chapters.size()) {
    const std::int64_t end =
        sample_at(chapters[k + 1].start_ms, grid.sample_rate);
    cut.to = grid.first + (floor_div(end - 1 - grid.first, n) + 1) * n;
    cut.delay.padding = static_cast<std::uint32_t>(
        std::clamp<std::int64_t>(*cut.to - end + kDecoderDelay, 0, kMostDelay));
  }
  return cut;
}

// The ms on the timeline half a frame before sample at, where a frame
// starts: -ss and -to there take whole frames, whatever ffmpeg rounds.
std::uint64_t mid_frame_ms(const FrameGrid& grid, std::int64_t at) {
  const std::int64_t mid = at - grid.frame / 2;
  return static_cast<std::uint64_t>(std::max<std::int64_t>(0, mid)) * 1000 /
         grid.sample_rate;
}

// Adds the arguments that pick chapter k's packets, by cut.
void add_range(Cut cut, const std::optional<FrameGrid>& grid,
               std::span<const Chapter> chapters, std::size_t k,
               std::vector<std::wstring>& args) {
  const std::uint64_t start = chapters[k].start_ms;
  const bool last = k + 1 == chapters.size();
  if (cut == Cut::kLameTag) {
    const Mp3Cut mp3 = mp3_cut(*grid, chapters, k, 0);
    // A book whose first frame starts less than the decoder's delay before
    // its first sample has no LAME tag: a first file with one would have
    // 529 samples skipped, the book's first.
    if (k == 0 && -grid->first < kDecoderDelay) {
      args.insert(args.end(), {L"-write_xing", L"0"});
    }
    if (mp3.from > grid->first) {
      args.insert(args.end(),
                  {L"-ss", seconds_text(mid_frame_ms(*grid, mp3.from))});
    }
    if (mp3.to) {
      args.insert(args.end(),
                  {L"-to", seconds_text(mid_frame_ms(*grid, *mp3.to))});
    }
    return;
  }
  if (k > 0 && cut == Cut::kEditList) {
    // The packets before the chapter prime the decoder; their times, shifted
    // by the lead, fall before 0, and the mp4 writer's edit list skips them.
    const std::uint64_t lead = std::min(start, kLeadMs);
    args.insert(args.end(), {L"-ss", seconds_text(start - lead),
                             L"-output_ts_offset", L"-" + seconds_text(lead)});
  } else if (k > 0) {
    args.insert(args.end(), {L"-ss", seconds_text(start)});
  }
  if (!last) {
    args.insert(args.end(), {L"-to", seconds_text(chapters[k + 1].start_ms)});
  }
}

// Adds ffmpeg's arguments for chapter k's file, written to path from input
// 0, with the cover from input `picture` (an attachment from picture's
// path), its tags, and the packets from its chapter's start on to the
// next's, copied: a packet goes to the file whose range holds its time.
// Other cuts start earlier (see Cut).
void add_chapter_output(const EmbedPlan& plan,
                        std::span<const Chapter> chapters, std::size_t k,
                        Cut cut, const std::optional<FrameGrid>& grid,
                        const std::wstring& picture_input,
                        const std::wstring& attachment,
                        const std::wstring& mime, const std::wstring& path,
                        std::vector<std::wstring>& args) {
  args.insert(args.end(), {L"-map", L"0:a:0"});
  if (!picture_input.empty()) {
    args.insert(args.end(), {L"-map", picture_input + L":0", L"-disposition:v",
                             L"attached_pic"});
  }
  add_attachment(attachment, mime, args);
  args.insert(args.end(), {L"-map_metadata", L"-1", L"-map_chapters", L"-1",
                           L"-c", L"copy"});
  add_range(cut, grid, chapters, k, args);
  for (const Tag& tag : chapter_tags(plan, chapters[k], k, chapters.size())) {
    args.insert(args.end(),
                {L"-metadata", platform::widen_utf8(tag.first) + L"=" +
                                   platform::widen_utf8(tag.second)});
  }
  args.insert(args.end(), {L"-f", plan.muxer, ffmpeg_file(path)});
}

// Writes the files of chapters first to last (t000000, ...) into folder in
// one ffmpeg, which reads the source once; false once the reason is out.
bool write_group(const EmbedPlan& plan, std::span<const std::wstring> source,
                 std::span<const Chapter> chapters, std::size_t first,
                 std::size_t last, const std::wstring& folder,
                 const std::wstring& picture, const std::wstring& mime, Cut cut,
                 const std::optional<FrameGrid>& grid, Writing& writing,
                 platform::Console& console) {
  const CoverKind cover = picture.empty() ? CoverKind::kNone : cover_kind(plan);
  std::vector<std::wstring> args = ffmpeg_arguments({L"-y"});
  args.insert(args.end(), source.begin(), source.end());
  // A file that starts later drops every packet before its start, the
  // cover's too: each file's cover is put at its start.
  for (std::size_t k = first; k < last && cover == CoverKind::kPicture; ++k) {
    args.insert(args.end(), {L"-itsoffset", seconds_text(chapters[k].start_ms),
                             L"-i", ffmpeg_file(picture)});
  }
  for (std::size_t k = first; k < last; ++k) {
    const std::wstring picture_input =
        cover == CoverKind::kPicture ? std::to_wstring(1 + k - first) : L"";
    const std::wstring attachment =
        cover == CoverKind::kAttachment ? picture : L"";
    add_chapter_output(
        plan, chapters, k, cut, grid, picture_input, attachment, mime,
        platform::path_in_folder(folder, numbered(L't', k)), args);
  }
  return run_ffmpeg_counted(std::move(args), writing, console);
}

// Reads the start of the first frame of the mp3 file at path, after its
// ID3v2 tag, into frame, and where it lies; false when it cannot be read.
bool read_first_frame(const std::wstring& path,
                      std::vector<std::uint8_t>& frame, std::uint64_t& at) {
  std::uint8_t head[10];
  platform::InputFile in;
  if (!in.open(path) || in.read(head) != sizeof head) return false;
  at = id3v2_length(head);
  in.close();
  frame.assign(512, 0);
  if (!in.open(path)) return false;
  in.skip(at);
  frame.resize(in.read(frame));
  return !in.failed();
}

// What the LAME part of the mp3 file at path says; none when it has none.
LameDelay book_delay(const std::wstring& path) {
  std::vector<std::uint8_t> frame;
  std::uint64_t at = 0;
  if (!read_first_frame(path, frame, at)) return {};
  return lame_delay(frame).value_or(LameDelay{});
}

// Sets the LAME delay and padding of chapter k's mp3 file at path, so that
// it plays from its chapter's sample to the next's. A file without a LAME
// part is left as it is; false when it cannot be written.
bool set_file_delay(const std::wstring& path, const FrameGrid& grid,
                    std::span<const Chapter> chapters, std::size_t k,
                    std::uint32_t book_padding) {
  std::vector<std::uint8_t> frame;
  std::uint64_t at = 0;
  if (!read_first_frame(path, frame, at)) return false;
  const Mp3Cut cut = mp3_cut(grid, chapters, k, book_padding);
  return !set_lame_delay(frame, cut.delay) ||
         platform::write_at(path, at, frame);
}

// The most of an mp4 file's moov box that is read: an hour of AAC's tables
// take well under a megabyte.
constexpr std::uint64_t kMostMoovBytes = 64 << 20;

// Reads the moov box of the mp4 file at path, its header included, and where
// it lies; false when it cannot be read or found.
bool read_moov(const std::wstring& path, std::vector<std::uint8_t>& moov,
               std::uint64_t& at) {
  platform::InputFile in;
  if (!in.open(path)) return false;
  at = 0;
  std::uint8_t head[16];
  while (in.read(std::span(head, 8)) == 8) {
    std::uint64_t size = 0;
    for (std::size_t i = 0; i < 4; ++i)
      size = size << 8 | head[i];
    std::uint64_t header = 8;
    if (size == 1) {
      if (in.read(std::span(head + 8, 8)) != 8) return false;
      size = 0;
      for (std::size_t i = 8; i < 16; ++i)
        size = size << 8 | head[i];
      header = 16;
    }
    if (size < header) return false;
    if (std::string_view(reinterpret_cast<const char*>(head + 4), 4) !=
        "moov") {
      in.skip(size - header);
      at += size;
      continue;
    }
    if (size > kMostMoovBytes) return false;
    moov.assign(head, head + header);
    moov.resize(static_cast<std::size_t>(size));
    const std::span<std::uint8_t> body(moov.data() + header,
                                       moov.size() - header);
    return in.read(body) == body.size() && !in.failed();
  }
  return false;
}

// Ends chapter k's mp4 file at the next chapter's start in its edit list
// and lengths. A file that cannot be so shortened is left as it is; false
// when it cannot be written.
bool end_mp4_file(const std::wstring& path, std::span<const Chapter> chapters,
                  std::size_t k) {
  std::vector<std::uint8_t> moov;
  std::uint64_t at = 0;
  if (k + 1 == chapters.size() || !read_moov(path, moov, at)) return true;
  const std::uint64_t ms = chapters[k + 1].start_ms - chapters[k].start_ms;
  return !shorten_mp4(moov, ms) || platform::write_at(path, at, moov);
}

// What the last step of a split has done to one target.
struct Moved {
  bool aside = false;   // its earlier file is in the scratch folder
  bool placed = false;  // the new file is at its name
};

// Takes back the moves done, last first: a new file goes back into the
// scratch folder at `from`, and an earlier one to its name, over a new file
// that could not be taken out. False when an earlier file could not be put
// back; it is then still in the scratch folder.
bool undo_moves(std::span<const Moved> done, std::span<const std::wstring> from,
                std::span<const std::wstring> aside,
                std::span<const std::wstring> targets) {
  bool restored = true;
  for (std::size_t k = done.size(); k-- > 0;) {
    if (done[k].placed) platform::move_file(targets[k], from[k]);
    if (done[k].aside && !platform::move_file(aside[k], targets[k])) {
      restored = false;
    }
  }
  return restored;
}

// Moves each new file from `from` to its target, all or none: an earlier
// file at a target first goes aside into the scratch folder, which takes it
// away once every new file is in place. A failure, or an interruption (held
// back meanwhile), undoes every move. False once the reason is out.
bool move_into_place(std::span<const std::wstring> from,
                     std::span<const std::wstring> targets,
                     platform::ScratchFolder& scratch,
                     platform::Console& console) {
  std::vector<std::wstring> aside;
  for (std::size_t k = 0; k < targets.size(); ++k)
    aside.push_back(
        platform::path_in_folder(scratch.path(), numbered(L'e', k)));
  const platform::InterruptHold hold;
  std::vector<Moved> done;
  bool moved = true;
  for (std::size_t k = 0; k < targets.size() && moved; ++k) {
    if (hold.interrupted()) break;
    Moved& step = done.emplace_back();
    if (platform::is_regular_file(targets[k])) {
      moved = step.aside = platform::move_file(targets[k], aside[k]);
    }
    if (moved) moved = step.placed = platform::move_file(from[k], targets[k]);
  }
  if (moved && !hold.interrupted()) return true;
  if (!moved) console.write(msg::kEmbedCannotWrite);
  if (!undo_moves(done, from, aside, targets)) {
    console.write(msg::kFilesEarlierKept + scratch.path() + L"\n");
    scratch.keep();
  }
  return false;
}

// Refuses a file that would be replaced; false once the reason is out.
bool refuse_existing(std::wstring_view path, platform::Console& console) {
  console.write(msg::kOutputExists + std::wstring(path) +
                msg::kOutputExistsEnd);
  return false;
}

// What the files of a book are cut from: ffmpeg's arguments that open the
// audio (and the list of inputs they may name), the cover's picture and its
// MIME type, the file whose times are the book's (empty: several inputs
// joined), its frame grid for mp3, and so how each file is cut.
struct SplitSource {
  platform::ScratchFile list_file;
  std::vector<std::wstring> arguments;
  platform::ScratchFile picture;
  std::wstring mime;
  std::wstring book_file;
  std::optional<FrameGrid> grid;
  Cut cut = Cut::kPackets;
};

// Readies what the files are cut from, its files in folder; bytes is what
// the audio holds, or 0 when that is not known. False once the reason is out.
bool ready_source(const EmbedPlan& plan, std::span<const std::wstring> inputs,
                  EmbedEncoder& encoder, const std::wstring& folder,
                  SplitSource& source, std::uint64_t& bytes,
                  platform::Console& console) {
  if (!source_arguments(plan, inputs, encoder, folder, source.list_file,
                        source.arguments, bytes, console) ||
      !cover_picture(plan, folder, source.picture, source.mime, console)) {
    return false;
  }
  // One source file's times are the book's, so its files can start early.
  source.book_file = plan.route == EmbedRoute::kEncode ? encoder.audio.path()
                     : inputs.size() == 1              ? inputs[0]
                                                       : L"";
  if (plan.muxer == L"mp3" && !source.book_file.empty()) {
    source.grid = probe_frame_grid(source.book_file);
  }
  source.cut = cut_of(plan, source.book_file, source.grid);
  return true;
}

// Writes every chapter's file into folder (t000000, ...), kFilesPerRun of
// them to one ffmpeg, with the progress line meanwhile. False once the
// reason is out.
bool write_files(const EmbedPlan& plan, std::span<const Chapter> chapters,
                 const std::wstring& folder, const SplitSource& source,
                 Writing& writing, platform::Console& console) {
  if (console.is_terminal()) {
    progress_start(writing.progress, console, writing.book_seconds);
  }
  bool written = true;
  for (std::size_t k = 0; k < chapters.size() && written; k += kFilesPerRun) {
    const std::size_t last = std::min(chapters.size(), k + kFilesPerRun);
    written = write_group(plan, source.arguments, chapters, k, last, folder,
                          source.picture.path(), source.mime, source.cut,
                          source.grid, writing, console);
  }
  progress_end(writing.progress);
  return written;
}

// Ends each file in folder at the next chapter's start, where it was cut
// from earlier: an mp3 file in its LAME part, an mp4 file in its edit list.
// False once the reason is out.
bool end_files(std::span<const Chapter> chapters, const std::wstring& folder,
               const SplitSource& source, platform::Console& console) {
  if (source.cut == Cut::kPackets) return true;
  const std::uint32_t padding =
      source.cut == Cut::kLameTag ? book_delay(source.book_file).padding : 0;
  for (std::size_t k = 0; k < chapters.size(); ++k) {
    const std::wstring path =
        platform::path_in_folder(folder, numbered(L't', k));
    if (source.cut == Cut::kLameTag
            ? !set_file_delay(path, *source.grid, chapters, k, padding)
            : !end_mp4_file(path, chapters, k)) {
      console.write(msg::kEmbedCannotWrite);
      return false;
    }
  }
  return true;
}

// The names of the chapters' files, in targets. False, once the reason is
// out, when one names an input, or without overwrite a file that is there.
bool name_targets(std::span<const Chapter> chapters, std::wstring_view outfile,
                  std::span<const std::wstring> inputs, bool overwrite,
                  std::vector<std::wstring>& targets,
                  platform::Console& console) {
  for (std::size_t k = 0; k < chapters.size(); ++k) {
    targets.push_back(chapter_file_path(outfile, k + 1, chapters[k].title));
    // A file may have come since the check before the scan; and -y never
    // lets a chapter's file replace the book it was cut from.
    if (!overwrite && platform::is_regular_file(targets.back())) {
      return refuse_existing(targets.back(), console);
    }
    if (input_named_by(inputs, targets.back()) < inputs.size()) {
      console.write(msg::kEmbedSameAsInput);
      return false;
    }
  }
  return true;
}

}  // namespace

bool names_chapter_files(std::wstring_view outfile) {
  const std::wstring_view name = outfile.substr(name_start(outfile));
  for (std::size_t at = 0; at < name.size(); ++at) {
    if (name[at] != L'%') continue;
    const FieldAt f = field_at(name, at);
    if (f.field == Field::kNumber) return true;
    if (f.field == Field::kPercent) ++at;
  }
  return false;
}

bool check_chapter_files(std::wstring_view outfile,
                         platform::Console& console) {
  const std::wstring_view name = outfile.substr(name_start(outfile));
  const bool numbered = names_chapter_files(outfile);
  for (std::size_t at = 0; at < name.size(); ++at) {
    if (name[at] != L'%') continue;
    const FieldAt f = field_at(name, at);
    if (!numbered && f.field == Field::kTitle) {
      console.write(msg::kFilesNoNumber);
      return false;
    }
    if (numbered && f.field == Field::kBad) {
      console.write(msg::kFilesBadName);
      return false;
    }
    at += f.length - 1;
  }
  return true;
}

std::wstring safe_file_name(std::wstring_view name) {
  std::wstring safe;
  for (wchar_t c : name) {
    const bool unsafe =
        c < 0x20 || c == 0x7F ||
        std::wstring_view(L"/\\:*?\"<>|").find(c) != std::wstring_view::npos;
    safe += unsafe ? L'_' : c;
  }
  drop_trailing_dots_and_spaces(safe);
  if (safe.empty()) safe = L"_";
  if (is_device_name(safe)) safe.insert(0, 1, L'_');
  if (fits(safe)) return safe;
  // Too long: the title goes first, the ending stays.
  std::size_t dot = safe.rfind(L'.');
  if (dot == std::wstring::npos || safe.size() - dot > 16) dot = safe.size();
  const std::wstring ending = safe.substr(dot);
  std::wstring stem = safe.substr(0, std::min<std::size_t>(dot, 255));
  while (!stem.empty() && !fits(stem + ending))
    stem.resize(stem.size() - last_code_point(stem));
  drop_trailing_dots_and_spaces(stem);
  return (stem.empty() ? L"_" : stem) + ending;
}

std::wstring chapter_file_path(std::wstring_view outfile, std::uint64_t number,
                               std::string_view title) {
  const std::size_t start = name_start(outfile);
  const std::wstring_view name = outfile.substr(start);
  std::wstring file;
  for (std::size_t at = 0; at < name.size(); ++at) {
    const FieldAt f =
        name[at] == L'%' ? field_at(name, at) : FieldAt{Field::kBad, 1, 0};
    if (f.field == Field::kNumber) {
      std::wstring digits = std::to_wstring(number);
      if (digits.size() < static_cast<std::size_t>(f.width)) {
        file.append(static_cast<std::size_t>(f.width) - digits.size(), L'0');
      }
      file += digits;
    } else if (f.field == Field::kTitle) {
      std::wstring text = platform::widen_utf8(title);
      drop_trailing_dots_and_spaces(text);
      file += text;
    } else if (f.field == Field::kPercent) {
      file += L'%';
    } else {
      file += name[at];
    }
    at += f.length - 1;
  }
  return std::wstring(outfile.substr(0, start)) + safe_file_name(file);
}

bool check_new_output(std::wstring_view outfile, bool chapter_files,
                      bool overwrite, platform::Console& console) {
  if (overwrite) return true;
  if (!chapter_files) {
    return !platform::is_regular_file(outfile) ||
           refuse_existing(outfile, console);
  }
  const std::wstring folder = folder_of(outfile);
  std::vector<platform::FolderEntry> entries;
  // A folder that is not there yet holds nothing to replace.
  if (!platform::list_folder(folder.empty() ? L"." : folder, entries)) {
    return true;
  }
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return a.name < b.name; });
  const std::wstring_view pattern = outfile.substr(folder.size());
  for (const platform::FolderEntry& entry : entries) {
    if (entry.kind == platform::EntryKind::kFile &&
        matches(pattern, entry.name)) {
      return refuse_existing(folder + entry.name, console);
    }
  }
  return true;
}

bool make_chapter_folder(std::wstring_view outfile,
                         platform::Console& console) {
  const std::wstring folder = folder_of(outfile);
  if (folder.empty() || platform::make_folders(folder)) return true;
  console.write(msg::kFilesCannotMakeFolder + folder + L"\n");
  return false;
}

bool write_chapter_files(const EmbedPlan& plan,
                         std::span<const std::wstring> inputs,
                         EmbedEncoder& encoder,
                         std::span<const Chapter> chapters,
                         std::wstring_view outfile, bool overwrite,
                         platform::Console& console) {
  if (!make_chapter_folder(outfile, console)) return false;
  platform::ScratchFolder scratch;
  if (!scratch.create(folder_of(outfile))) {
    console.write(msg::kEmbedCannotWrite);
    return false;
  }
  SplitSource source;
  Writing writing;
  writing.book_seconds = chapters.back().end_ms / 1000.0;
  std::vector<std::wstring> targets;
  if (!ready_source(plan, inputs, encoder, scratch.path(), source,
                    writing.source_bytes, console) ||
      !write_files(plan, chapters, scratch.path(), source, writing, console) ||
      !end_files(chapters, scratch.path(), source, console) ||
      !name_targets(chapters, outfile, inputs, overwrite, targets, console)) {
    return false;
  }
  std::vector<std::wstring> files;
  for (std::size_t k = 0; k < chapters.size(); ++k)
    files.push_back(
        platform::path_in_folder(scratch.path(), numbered(L't', k)));
  if (!move_into_place(files, targets, scratch, console)) return false;
  console.write(msg::kFilesWritten + std::to_wstring(chapters.size()) +
                msg::kFilesWrittenEnd);
  return true;
}

}  // namespace hushmark
