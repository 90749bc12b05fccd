// A stand-in for the decoder that hushmark-chapters and hushmark-probe start,
// so that their decoded route runs where no decoder is installed (a Windows
// one under Wine). It takes exactly the command line the tools give,
//   -hide_banner -nostdin -loglevel error -i INPUT -map 0:a:0 -c:a pcm_s16le
//   (or pcm_f32le, for an encoded copy's samples)
//   [-ar RATE] [-ac CHANNELS] -f wav -flush_packets 0 -blocksize 1048576 pipe:1
// with INPUT file:PATH or pipe:0, reads a 16-bit PCM WAVE file of any channel
// count and writes its samples to standard output as a WAVE stream of unknown
// length. It plays the rest of an encoded copy's runs too, as plain files
// that show what they were given:
//   -v error -show_streams -show_format -of json file:PATH  (ffprobe) lists
//     a WAVE file's audio stream;
//   ... -f f32le ... -i pipe:0 ... file:OUT  (the encoder) writes its
//     arguments, then the samples, to OUT; with STAND_IN_FAIL_ENCODE set, it
//     reads them and fails as a full disk does;
//   ... -i file:AUDIO -f ffmetadata -i pipe:0 ... file:OUT  (the remux)
//     writes its arguments, AUDIO's bytes, then the chapters to OUT.
// And the run that writes one file per chapter:
//   -progress pipe:1 ... -i file:SOURCE, then for each file
//   -map 0:a:0 ... [-ss START] [-to END] ... -f MUXER file:OUT
//     writes each file's arguments, then its packets: SOURCE's samples from
//     START to END when it is a WAVE file, else all of SOURCE's bytes. For
//     the mp4 writers (ipod, mp4, mov) they go in free and mdat boxes,
//     followed by a moov box whose lengths and edit list are END - START, as
//     the split shortens them in place. With STAND_IN_FAIL_SPLIT set, it
//     writes the first file whole and half of the second, and fails as a
//     full disk does.
// Anything else gets a one-line message and status 1.
//
// Windows: x86_64-w64-mingw32-g++ -std=c++20 -municode -static -O2
// Linux:   g++ -std=c++20 -O2
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace {

#ifdef _WIN32
using Text = std::wstring;

std::string utf8(const Text& text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(),
                                 static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                      out.data(), size, nullptr, nullptr);
  return out;
}

std::FILE* open_file(const Text& path) {
  return _wfopen(path.c_str(), L"rb");
}
#else
using Text = std::string;

std::string utf8(const Text& text) {
  return text;
}

std::FILE* open_file(const Text& path) {
  return std::fopen(path.c_str(), "rb");
}
#endif

// True when text is the ASCII word, character for character.
bool is(const Text& text, std::string_view word) {
  return text.size() == word.size() &&
         std::equal(word.begin(), word.end(), text.begin(),
                    [](char a, auto b) { return a == b; });
}

bool starts_with(const Text& text, std::string_view word) {
  return text.size() >= word.size() && is(text.substr(0, word.size()), word);
}

struct Request {
  Text input;
  std::uint32_t rate = 0;      // 0: -ar was not given
  std::uint32_t channels = 0;  // 0: -ac was not given
  bool to_float = false;       // pcm_f32le in place of pcm_s16le
};

bool parse_rate(const Text& text, std::uint32_t& rate) {
  std::uint64_t value = 0;
  for (auto c : text) {
    if (c < '0' || c > '9' || value > 1000000) return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  rate = static_cast<std::uint32_t>(value);
  return !text.empty() && value > 0;
}

// Matches args against the tools' command line; INPUT and RATE stand for
// their values, and "-ar RATE" may be left out.
bool parse(const std::vector<Text>& args, Request& request) {
  static const char* const kExpected[] = {
      "-hide_banner", "-nostdin",       "-loglevel", "error",      "-i",
      "INPUT",        "-map",           "0:a:0",     "-c:a",       "pcm_s16le",
      "-ar",          "RATE",           "-ac",       "CHANNELS",   "-f",
      "wav",          "-flush_packets", "0",         "-blocksize", "1048576",
      "pipe:1"};
  std::size_t at = 0;
  for (std::size_t i = 0; i < std::size(kExpected); ++i) {
    std::string_view want = kExpected[i];
    if ((want == "-ar" || want == "-ac") &&
        (at == args.size() || !is(args[at], want))) {
      ++i;
      continue;
    }
    if (at == args.size()) return false;
    const Text& arg = args[at++];
    if (want == "INPUT") {
      request.input = arg;
    } else if (want == "RATE") {
      if (!parse_rate(arg, request.rate)) return false;
    } else if (want == "CHANNELS") {
      if (!parse_rate(arg, request.channels)) return false;
    } else if (want == "pcm_s16le" && is(arg, "pcm_f32le")) {
      request.to_float = true;
    } else if (!is(arg, want)) {
      return false;
    }
  }
  return at == args.size();
}

int fail(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  return 1;
}

bool read_exact(std::FILE* in, std::uint8_t* out, std::size_t n) {
  return std::fread(out, 1, n, in) == n;
}

// Reads and drops n bytes: standard input cannot seek.
bool skip(std::FILE* in, std::uint64_t n) {
  std::uint8_t sink[4096];
  while (n > 0) {
    std::size_t want =
        n < sizeof sink ? static_cast<std::size_t>(n) : sizeof sink;
    if (!read_exact(in, sink, want)) return false;
    n -= want;
  }
  return true;
}

std::uint32_t le16(const std::uint8_t* p) {
  return p[0] | p[1] << 8;
}

std::uint32_t le32(const std::uint8_t* p) {
  return le16(p) | static_cast<std::uint32_t>(le16(p + 2)) << 16;
}

void put32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<char>(v >> (8 * i)));
}

struct Format {
  std::uint32_t tag = 0, channels = 0, rate = 0, bits = 0;
};

// The header of a WAVE stream whose length is not known when it starts: its
// samples 16-bit, or 32-bit float.
std::string stream_header(const Format& f, bool to_float) {
  const std::uint32_t bytes = to_float ? 4 : 2;
  std::string out = "RIFF\xff\xff\xff\xffWAVEfmt ";
  put32(out, 16);
  put32(out, (to_float ? 3 : 1) | f.channels << 16);
  put32(out, f.rate);
  put32(out, f.rate * f.channels * bytes);
  put32(out, f.channels * bytes | bytes * 8 << 16);
  out += "data\xff\xff\xff\xff";
  return out;
}

// The 16-bit samples as floats that turn back into the same samples.
std::vector<std::uint8_t> widened(const std::uint8_t* p, std::size_t n) {
  std::vector<std::uint8_t> out(n * 2);
  for (std::size_t k = 0; k + 1 < n; k += 2) {
    const float x = static_cast<std::int16_t>(le16(p + k)) / 32768.0f;
    std::memcpy(&out[k * 2], &x, 4);
  }
  return out;
}

// Writes the header and then the data chunk's whole frames, up to its size
// or the end of the input.
bool copy_samples(std::FILE* in, std::uint64_t size, const Format& f,
                  bool to_float) {
  std::string header = stream_header(f, to_float);
  if (std::fwrite(header.data(), 1, header.size(), stdout) != header.size()) {
    return false;
  }
  std::size_t frame = f.channels * 2;
  std::vector<std::uint8_t> buffer(1 << 16);
  std::size_t held = 0;  // bytes of a frame not yet whole
  while (size > 0) {
    std::size_t want = buffer.size() - held;
    if (want > size) want = static_cast<std::size_t>(size);
    std::size_t got = std::fread(buffer.data() + held, 1, want, in);
    if (got == 0) break;
    size -= got;
    held += got;
    std::size_t whole = held - held % frame;
    if (to_float) {
      const std::vector<std::uint8_t> out = widened(buffer.data(), whole);
      if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size()) {
        return false;
      }
    } else if (std::fwrite(buffer.data(), 1, whole, stdout) != whole) {
      return false;
    }
    std::memmove(buffer.data(), buffer.data() + whole, held - whole);
    held -= whole;
  }
  return std::fflush(stdout) == 0;
}

// Walks the chunks to the data chunk and copies it out.
int decode(std::FILE* in, const Request& request, const std::string& name) {
  std::string invalid = name + ": Invalid data found when processing input";
  std::uint8_t head[16];
  if (!read_exact(in, head, 12) || std::memcmp(head, "RIFF", 4) != 0 ||
      std::memcmp(head + 8, "WAVE", 4) != 0) {
    return fail(invalid);
  }
  Format f;
  while (read_exact(in, head, 8)) {
    std::uint32_t size = le32(head + 4);
    if (std::memcmp(head, "data", 4) == 0) {
      if (f.tag != 1 || f.bits != 16 || f.channels == 0 || f.rate == 0) {
        return fail(invalid);
      }
      if (request.channels != 0 && request.channels != f.channels) {
        return fail("stand-in decoder: cannot mix channels");
      }
      if (request.rate != 0 && request.rate != f.rate) {
        return fail("stand-in decoder: cannot resample " +
                    std::to_string(f.rate) + " Hz to " +
                    std::to_string(request.rate) + " Hz");
      }
      return copy_samples(in, size, f, request.to_float)
                 ? 0
                 : fail("pipe:1: Broken pipe");
    }
    std::uint64_t rest = std::uint64_t{size} + (size & 1);
    if (std::memcmp(head, "fmt ", 4) == 0) {
      if (size < 16 || !read_exact(in, head, 16)) return fail(invalid);
      f = {le16(head), le16(head + 2), le32(head + 4), le16(head + 14)};
      rest -= 16;
      // More than two channels come as an extensible format, whose sub-format
      // starts with the tag.
      if (f.tag == 0xFFFE && size >= 40) {
        if (!read_exact(in, head, 10)) return fail(invalid);
        f.tag = le16(head + 8);
        rest -= 10;
      }
    }
    if (!skip(in, rest)) return fail(invalid);
  }
  return fail(invalid);
}

// The first argument that is word, or args.size().
std::size_t find(const std::vector<Text>& args, std::string_view word) {
  std::size_t k = 0;
  while (k < args.size() && !is(args[k], word))
    ++k;
  return k;
}

std::FILE* open_output(const Text& path) {
#ifdef _WIN32
  return _wfopen(path.c_str(), L"wb");
#else
  return std::fopen(path.c_str(), "wb");
#endif
}

// Copies everything from in to out; false on a failed write.
bool copy_all(std::FILE* in, std::FILE* out) {
  char block[1 << 16];
  for (std::size_t n; (n = std::fread(block, 1, sizeof block, in)) > 0;) {
    if (std::fwrite(block, 1, n, out) != n) return false;
  }
  return true;
}

// ffprobe's JSON of a 16-bit PCM WAVE file, as much as the tools read of it.
int probe(const Text& input) {
  std::FILE* in = open_file(input.substr(5));
  if (in == nullptr) return fail(utf8(input) + ": No such file or directory");
  std::uint8_t head[36];
  const bool read = read_exact(in, head, sizeof head);
  std::fclose(in);
  if (!read || std::memcmp(head, "RIFF", 4) != 0) {
    return fail(utf8(input) + ": Invalid data found when processing input");
  }
  const std::uint32_t channels = le16(head + 22), rate = le32(head + 24);
  std::printf(
      "{\"streams\": [{\"index\": 0, \"codec_type\": \"audio\", "
      "\"codec_name\": \"pcm_s16le\", \"sample_rate\": \"%u\", "
      "\"channels\": %u, \"bit_rate\": \"%u\"}], \"format\": {}}\n",
      static_cast<unsigned>(rate), static_cast<unsigned>(channels),
      static_cast<unsigned>(rate * channels * 16));
  return 0;
}

// The encoder and the remux: the arguments between the program's common
// ones and the output, then what they were given, go to the output.
int write_run(const std::vector<Text>& args, const Text* audio) {
  if (std::getenv("STAND_IN_FAIL_ENCODE") && audio == nullptr) {
    char block[1 << 16];
    while (std::fread(block, 1, sizeof block, stdin) > 0) {
    }
    return fail("No space left on device");
  }
  const Text& target = args.back();
  if (!starts_with(target, "file:")) return fail("stand-in: no output file");
  std::FILE* out = open_output(target.substr(5));
  if (out == nullptr) return fail(utf8(target) + ": Permission denied");
  std::string said;
  for (std::size_t k = 4; k + 1 < args.size(); ++k) {
    said += starts_with(args[k], "file:") ? "FILE" : utf8(args[k]);
    said += '\n';
  }
  bool ok = std::fwrite(said.data(), 1, said.size(), out) == said.size();
  if (audio != nullptr) {
    std::FILE* in = open_file(audio->substr(5));
    ok = ok && in != nullptr && copy_all(in, out);
    if (in) std::fclose(in);
  }
  ok = copy_all(stdin, out) && ok;
  ok = std::fclose(out) == 0 && ok;
  return ok ? 0 : fail("stand-in: cannot write the output");
}

// The bytes of the file at path, all of them; false when it cannot be read.
bool read_whole(const Text& path, std::string& bytes) {
  std::FILE* in = open_file(path);
  if (in == nullptr) return false;
  char block[1 << 16];
  for (std::size_t n; (n = std::fread(block, 1, sizeof block, in)) > 0;)
    bytes.append(block, n);
  const bool ok = !std::ferror(in);
  std::fclose(in);
  return ok;
}

// "12.345" as 12345 ms; false when it is not such a number.
bool parse_ms(const Text& text, std::uint64_t& ms) {
  std::uint64_t whole = 0, fraction = 0;
  int digits = -1;  // -1 before the point
  for (auto c : text) {
    if (c == '.' && digits < 0) {
      digits = 0;
    } else if (c >= '0' && c <= '9' && whole < 100000000 && digits < 3) {
      if (digits < 0) {
        whole = whole * 10 + static_cast<unsigned>(c - '0');
      } else {
        fraction = fraction * 10 + static_cast<unsigned>(c - '0');
        ++digits;
      }
    } else {
      return false;
    }
  }
  for (; digits < 3; ++digits)
    fraction *= 10;
  ms = whole * 1000 + fraction;
  return !text.empty();
}

// Where a WAVE file's samples lie in bytes, and how they are laid out.
struct Samples {
  std::size_t at = 0, size = 0;
  std::uint32_t rate = 0, block = 0;
};

// Finds the fmt and data chunks of a 16-bit PCM WAVE file in bytes; false
// when it is not one.
bool find_samples(const std::string& bytes, Samples& samples) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 ||
      bytes.compare(8, 4, "WAVE") != 0) {
    return false;
  }
  for (std::size_t at = 12; at + 8 <= bytes.size();) {
    const std::size_t size = le32(p + at + 4);
    if (bytes.compare(at, 4, "fmt ") == 0 && size >= 16 &&
        at + 24 <= bytes.size()) {
      samples.rate = le32(p + at + 12);
      samples.block = le16(p + at + 20);
    } else if (bytes.compare(at, 4, "data") == 0) {
      samples.at = at + 8;
      samples.size = std::min(size, bytes.size() - samples.at);
      return samples.rate > 0 && samples.block > 0;
    }
    at += 8 + size + (size & 1);
  }
  return false;
}

// The byte within samples at ms on their timeline, at a frame's start.
std::size_t byte_at(const Samples& samples, std::uint64_t ms) {
  if (ms > UINT64_MAX / 1000000) return samples.size;  // to the end
  const std::uint64_t frame = (ms * samples.rate + 500) / 1000;
  return static_cast<std::size_t>(
      std::min<std::uint64_t>(frame * samples.block, samples.size));
}

void put_be32(std::string& out, std::uint64_t v) {
  for (int i = 3; i >= 0; --i)
    out.push_back(static_cast<char>(v >> (8 * i) & 0xFF));
}

// A box of type around body.
std::string box(const char* type, const std::string& body) {
  std::string out;
  put_be32(out, 8 + body.size());
  return out + type + body;
}

// A full box's version 0 and flags, then count 32-bit values.
std::string fields(std::initializer_list<std::uint64_t> values) {
  std::string out(4, '\0');
  for (std::uint64_t v : values)
    put_be32(out, v);
  return out;
}

// An mp4 file of one sound track that lasts ms (0: not known), with its
// arguments in a free box and its packets in mdat, then a moov box as the mp4
// writer ends its files with: a movie header, and a track header, an edit list
// of one edit and a sound handler, all lengths in ms.
std::string mp4_file(const std::string& said, std::string_view packets,
                     std::uint64_t ms) {
  const std::uint64_t length = std::min<std::uint64_t>(ms, 0xFFFFFFFF);
  // mvhd: times, scale, length, rate, volume, reserved, matrix, next track.
  std::string mvhd = fields({0, 0, 1000, length, 0x10000, 0x1000000, 0, 0});
  mvhd += fields({0x10000, 0, 0, 0, 0x10000, 0, 0, 0, 0x40000000,  //
                  0, 0, 0, 0, 0, 0, 2})
              .substr(4);
  // tkhd: times, track 1, reserved, length, then layers, volume, matrix and
  // size, all 0 here.
  std::string tkhd =
      fields({0, 0, 1, 0, length, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  const std::string elst = fields({1, length, 0, 0x10000});
  const std::string hdlr = fields({0, 0x736F756E, 0, 0, 0}) + '\0';
  const std::string trak = box("tkhd", tkhd) + box("edts", box("elst", elst)) +
                           box("mdia", box("hdlr", hdlr));
  return box("free", said) + box("mdat", std::string(packets)) +
         box("moov", box("mvhd", mvhd) + box("trak", trak));
}

// One file per chapter, from one source read once, each file's arguments
// ending in -f MUXER file:OUT.
int split_run(const std::vector<Text>& args) {
  const std::size_t input = find(args, "-i");
  if (input + 1 >= args.size() || !starts_with(args[input + 1], "file:")) {
    return fail("stand-in: no source file");
  }
  const Text& source = args[input + 1];
  std::string bytes;
  if (!read_whole(source.substr(5), bytes)) {
    return fail(utf8(source) + ": No such file or directory");
  }
  Samples samples;
  const bool wave = find_samples(bytes, samples);
  const bool fail_midway = std::getenv("STAND_IN_FAIL_SPLIT") != nullptr;
  std::uint64_t written = 0;
  std::size_t files = 0;
  for (std::size_t from = input + 2; from < args.size(); ++files) {
    // This file's arguments run to the one after -f MUXER.
    std::size_t to = from;
    while (to + 2 < args.size() && !is(args[to], "-f"))
      ++to;
    if (to + 2 >= args.size() || !starts_with(args[to + 2], "file:")) {
      return fail("stand-in: a file without -f MUXER file:OUT");
    }
    std::string said;
    std::uint64_t start = 0, end = UINT64_MAX;
    for (std::size_t k = from; k < to + 2; ++k) {
      said += starts_with(args[k], "file:") ? "FILE" : utf8(args[k]);
      said += '\n';
      const bool ss = is(args[k], "-ss"), until = is(args[k], "-to");
      if ((ss || until) && !parse_ms(args[k + 1], ss ? start : end)) {
        return fail("stand-in: a time it cannot read");
      }
    }
    std::string_view packets = bytes;
    if (wave) {
      const std::size_t a = byte_at(samples, start), b = byte_at(samples, end);
      packets = packets.substr(samples.at + a, b > a ? b - a : 0);
    }
    const Text& muxer = args[to + 1];
    std::string file =
        is(muxer, "ipod") || is(muxer, "mp4") || is(muxer, "mov")
            ? mp4_file(said, packets,
                       end == UINT64_MAX || end < start ? 0 : end - start)
            : said + std::string(packets);
    const Text& target = args[to + 2];
    std::FILE* out = open_output(target.substr(5));
    if (out == nullptr) return fail(utf8(target) + ": Permission denied");
    if (fail_midway && files == 1) {
      // Part of the file is there when the disk fills.
      std::fwrite(file.data(), 1, file.size() / 2, out);
      std::fclose(out);
      return fail("No space left on device");
    }
    bool ok = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    ok = std::fclose(out) == 0 && ok;
    if (!ok) return fail("stand-in: cannot write the output");
    written += file.size();
    std::printf("total_size=%llu\nprogress=continue\n",
                static_cast<unsigned long long>(written));
    std::fflush(stdout);
    from = to + 3;
  }
  if (fail_midway) return fail("No space left on device");
  std::printf("progress=end\n");
  return std::fflush(stdout) == 0 ? 0 : 1;
}

int run(const std::vector<Text>& args) {
  if (!args.empty() && is(args[0], "-progress")) return split_run(args);
  const std::size_t show = find(args, "-show_streams");
  if (show < args.size() && !args.empty()) return probe(args.back());
  if (find(args, "f32le") < args.size()) return write_run(args, nullptr);
  const std::size_t chapters = find(args, "ffmetadata");
  if (chapters < args.size() && chapters >= 2) {
    return write_run(args, &args[chapters - 2]);
  }
  Request request;
  if (!parse(args, request)) {
    return fail("stand-in decoder: not the command line the tools give");
  }
  if (is(request.input, "pipe:0")) return decode(stdin, request, "pipe:0");
  if (!starts_with(request.input, "file:")) {
    return fail(utf8(request.input) + ": Protocol not found");
  }
  std::FILE* in = open_file(request.input.substr(5));
  if (in == nullptr) {
    return fail(utf8(request.input) + ": No such file or directory");
  }
  int status = decode(in, request, utf8(request.input));
  std::fclose(in);
  return status;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  return run(std::vector<Text>(argv + 1, argv + argc));
}
#else
int main(int argc, char** argv) {
  return run(std::vector<Text>(argv + 1, argv + argc));
}
#endif
