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

int run(const std::vector<Text>& args) {
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
