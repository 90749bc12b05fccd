#include "extract/recording.h"

#include <algorithm>
#include <atomic>

#include "extract/ffmpeg.h"
#include "extract/silence_scan.h"
#include "extract/time_base.h"
#include "extract/wave_reader.h"
#include "platform/paths.h"
#include "platform/utf8.h"

namespace hushmark {
namespace {

// Above this rate the byte rate of 16-bit stereo frames would not fit.
constexpr std::uint32_t kMaxSampleRate = 0x3FFFFFFF;

// Copies what has been read of standard input, then the rest of it, to the
// decoder, until either ends.
void feed_decoder(Source& source, std::vector<std::uint8_t> head) {
  bool open = source.decoder.write_input(head);
  std::vector<std::uint8_t> block(ByteReader::kBufferBytes);
  while (open) {
    std::size_t n = source.file.read(block);
    if (n == 0) break;
    open = source.decoder.write_input(std::span(block).first(n));
  }
  source.decoder.close_input();
}

CoreError start_decoder(Source& source, std::vector<std::uint8_t> head,
                        const DecodeRequest& request) {
  source.kind = HeadKind::kDecode;
  const bool from_stdin = source.path == kStandardInputName;
  const std::vector<std::wstring> args =
      decoder_arguments(from_stdin ? L"" : source.path, request);
  platform::InputFile& output = source.decoded_output;
  const platform::StartResult started = source.decoder.start(
      ffmpeg_program(), args, output,
      from_stdin ? platform::ChildInput::kPipe : platform::ChildInput::kNothing,
      platform::ChildOutput::kPipe);
  if (started != platform::StartResult::kStarted) {
    return decode_error(started, source.path, {});
  }
  if (from_stdin) {
    source.feeder =
        std::thread(feed_decoder, std::ref(source), std::move(head));
  } else {
    source.file.close();  // ffmpeg opens the file itself
  }
  source.reader = std::make_unique<ByteReader>(output);
  if (!read_decoded_header(*source.reader, source.decoded) ||
      source.decoded.sample_rate > kMaxSampleRate) {
    source.decoder.wait();
    return decode_error(platform::StartResult::kStarted, source.path,
                        source.decoder.error_text());
  }
  source.time_base = byte_rate_of(source.decoded.sample_rate);
  source.title = source.decoded.title;
  return {};
}

// Hands over a decoded stream's frames, folded to stereo, to its end.
CoreError read_decoded(Source& source, const FrameSink& sink) {
  ByteReader& in = *source.reader;
  const std::uint16_t channels = source.decoded.channels;
  const std::size_t sample_bytes = source.decoded.is_float ? 4 : 2;
  const std::size_t frame_bytes = std::size_t{channels} * sample_bytes;
  std::vector<std::uint8_t> folded;
  std::vector<std::uint8_t> narrowed;
  std::uint64_t frames = 0;
  sink.begin_chunk(source.time_base);
  for (;;) {
    std::span<const std::uint8_t> have = in.fill(frame_bytes);
    if (have.size() < frame_bytes) {
      in.consume(have.size());
      break;
    }
    std::span<const std::uint8_t> block =
        have.first(have.size() / frame_bytes * frame_bytes);
    in.consume(block.size());
    frames += block.size() / frame_bytes;
    if (sink.samples) sink.samples(block);
    if (source.decoded.is_float) {
      narrowed.resize(block.size() / 2);
      float_to_s16(block, narrowed.data());
      block = narrowed;
    }
    if (channels == 2) {
      sink.frames(block);
      continue;
    }
    folded.resize(block.size() / (std::size_t{channels} * 2) * kFrameBytes);
    fold_to_stereo(block, channels, folded.data());
    sink.frames(folded);
  }
  const bool read_failed = in.failed();
  const bool decoded = source.decoder.wait();
  if (source.feeder.joinable()) source.feeder.join();
  // ffmpeg ends well having decoded nothing when, for one, an MP4 file whose
  // index comes last arrives through a pipe; it says why.
  const bool nothing = frames == 0 && !source.decoder.error_text().empty();
  if (!decoded || read_failed || nothing) {
    return decode_error(platform::StartResult::kStarted, source.path,
                        source.decoder.error_text());
  }
  return {};
}

// What reading one file on a worker said: its notices, kept for its turn, and
// its failure.
struct KeptFile {
  std::vector<Notice> notices;
  CoreError error;
};

// Reads the files on workers, each from its own fresh source; the first one is
// already open. Each file's notices are kept, then told in order up to the
// first file that failed, whose failure is returned.
CoreError read_side_by_side(std::span<const std::wstring> paths,
                            DecodeRequest request, bool in_order,
                            std::unique_ptr<Source> first,
                            const SinkMaker& sink_for, const SourceEnded& ended,
                            const NoticeSink& notices) {
  const std::size_t n = paths.size();
  request.sample_rate = sample_rate_of(first->time_base);
  std::vector<KeptFile> kept(n);
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  auto read_one = [&](std::size_t k) {
    KeptFile& file = kept[k];
    std::unique_ptr<Source> source =
        k == 0 ? std::move(first) : std::make_unique<Source>();
    if (k > 0) file.error = open_source(paths[k], request, *source);
    if (!file.error) {
      auto keep = [&file](const Notice& notice) {
        file.notices.push_back(notice);
      };
      file.error = read_source(*source, sink_for(k, *source), keep);
    }
    source.reset();  // a decoder ends before its file's turn is told
    ended(k, file.error);
    return !file.error;
  };
  auto work = [&] {
    // A file once taken is read, so that every file before a taken one is
    // read too and the notices up to the first failure are all there.
    while (!failed) {
      const std::size_t k = next++;
      if (k >= n) break;
      if (!read_one(k)) failed = true;
    }
  };
  std::vector<std::thread> helpers;
  const std::size_t workers =
      in_order ? 1 : std::min<std::size_t>(platform::processor_count(), n);
  for (std::size_t w = 1; w < workers; ++w)
    helpers.emplace_back(work);
  work();
  for (std::thread& t : helpers)
    t.join();
  for (KeptFile& file : kept) {
    for (const Notice& notice : file.notices)
      notices(notice);
    if (file.error) return std::move(file.error);
  }
  return {};
}

}  // namespace

Source::~Source() {
  // A decoder no longer read from must not keep the feeder waiting.
  decoder.terminate();
  if (feeder.joinable()) feeder.join();
}

CoreError open_source(std::wstring_view path, const DecodeRequest& request,
                      Source& source) {
  source.path = path;
  const bool opened = path == kStandardInputName
                          ? source.file.open_standard_input()
                          : source.file.open(path);
  if (!opened) return {Failure::kCannotOpenInput};
  std::vector<std::uint8_t> head = platform::read_head(source.file, kHeadBytes);
  const HeadInfo info = classify_head(head);
  // A WAVE file at another rate than the book's is decoded to that rate, and
  // one whose channels are asked for is decoded to them.
  const bool same_rate = request.sample_rate == 0 || !info.time_base.known() ||
                         info.time_base == byte_rate_of(request.sample_rate);
  if (info.kind == HeadKind::kWave && same_rate && request.channels == 0) {
    source.kind = HeadKind::kWave;
    source.time_base = info.time_base;
    source.reader = std::make_unique<ByteReader>(source.file, head);
    return {};
  }
  return start_decoder(source, std::move(head), request);
}

CoreError read_source(Source& source, const FrameSink& sink,
                      const NoticeSink& notices) {
  if (source.kind == HeadKind::kDecode) return read_decoded(source, sink);
  auto handle = [&](ByteReader& data, std::uint32_t frame_count,
                    bool ends_with_input, TimeBase time_base) -> CoreError {
    sink.begin_chunk(time_base);
    auto pass = [&](std::span<const std::uint8_t> block) {
      sink.frames(block);
      return true;
    };
    if (read_chunk_frames(data, frame_count, ends_with_input, pass) ==
        ChunkFrames::kShortRead) {
      return {Failure::kDataEndedEarly};
    }
    return {};
  };
  return walk_wave(*source.reader, handle, notices);
}

CoreError read_sources(std::span<const std::wstring> paths,
                       const SinkMaker& sink_for, const SourceEnded& ended,
                       const NoticeSink& notices, const DecodeRequest& request,
                       bool in_order) {
  auto first = std::make_unique<Source>();
  DecodeRequest first_request = request;
  first_request.sample_rate = 0;
  if (CoreError e = open_source(paths[0], first_request, *first)) return e;
  if (paths.size() > 1) {
    return read_side_by_side(paths, request, in_order, std::move(first),
                             sink_for, ended, notices);
  }
  CoreError error = read_source(*first, sink_for(0, *first), notices);
  first.reset();
  ended(0, error);
  return error;
}

std::string source_name(std::wstring_view path) {
  std::size_t start = path.size();
  while (start > 0 && !platform::is_path_separator(path[start - 1]))
    --start;
  std::wstring_view name = path.substr(start);
  std::size_t dot = name.rfind(L'.');
  if (dot != std::wstring_view::npos && dot > 0) name = name.substr(0, dot);
  if (std::optional<std::string> text = platform::utf8_of(name)) return *text;
  return platform::narrow_path(name).value_or(std::string());
}

}  // namespace hushmark
