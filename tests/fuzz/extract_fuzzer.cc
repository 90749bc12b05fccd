// Runs the whole extraction on one input, through real files: after the
// options (see extract_checks.h) the ninth byte picks the cut position, the
// chapter path and whether an earlier chapter file is there; the rest is the
// WAVE file. It is the slower target, kept for what needs files; the walk and
// the scan are fuzzed faster in memory by extract_memory.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "cli/echo.h"
#include "cli/extraction.h"
#include "cli/settings.h"
#include "extract/wave_reader.h"
#include "fuzz/extract_checks.h"
#include "fuzz/fuzz_check.h"
#include "platform/console.h"

namespace hushmark::fuzz {
namespace {

constexpr std::string_view kEarlierChapters = "00:01:02.003\r\nearlier\r\n";

struct Workspace {
  std::string dir;
  std::string infile;
  std::string outfile;
  std::string symlink;    // points at infile
  std::string hard_link;  // another name of infile
};

void remove_workspace();

// One folder per process, in memory when /dev/shm is there. Never destroyed,
// so that the exit handler can still use it.
Workspace& workspace() {
  static Workspace& w = *new Workspace([] {
    std::setlocale(LC_ALL, "C.UTF-8");
    Workspace made;
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    made.dir = make_work_folder(base);
    check(!made.dir.empty(), "cannot make a temp folder");
    made.infile = made.dir + "/in.wav";
    made.outfile = made.dir + "/out.txt";
    made.symlink = made.dir + "/link.wav";
    made.hard_link = made.dir + "/hard.wav";
    int fd = open(made.infile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    check(fd >= 0, "cannot create the input");
    close(fd);
    check(::symlink("in.wav", made.symlink.c_str()) == 0,
          "cannot make a symlink");
    check(link(made.infile.c_str(), made.hard_link.c_str()) == 0,
          "cannot make a hard link");
    return made;
  }());
  static bool registered = std::atexit(remove_workspace) == 0;
  (void)registered;
  return w;
}

void remove_workspace() {
  Workspace& w = workspace();
  unlink(w.infile.c_str());
  unlink(w.outfile.c_str());
  unlink(w.symlink.c_str());
  unlink(w.hard_link.c_str());
  rmdir(w.dir.c_str());
}

// Mostly a file of its own; sometimes the input by name, by another spelling
// or through a link, which the run must refuse without touching the input.
std::string chapter_path(std::uint8_t pick) {
  const Workspace& w = workspace();
  switch (pick / 3 % 8) {
  case 1:
    return w.infile;
  case 2:
    return w.dir + "/./in.wav";
  case 3:
    return w.symlink;
  case 4:
    return w.hard_link;
  default:
    return w.outfile;
  }
}

Settings settings_from(const std::uint8_t* data) {
  Settings s;
  s.threshold = le32(data);
  s.min_silence_ms = le32(data + 4);
  s.cut_position = data[8] % 3;  // validate_settings refuses the others earlier
  s.infile.assign(workspace().infile.begin(), workspace().infile.end());
  std::string outfile = chapter_path(data[8]);
  s.outfile.assign(outfile.begin(), outfile.end());
  return s;
}

void write_file(const std::string& path, std::string_view bytes) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  check(fd >= 0, "cannot create a file");
  check(write(fd, bytes.data(), bytes.size()) ==
            static_cast<ssize_t>(bytes.size()),
        "cannot write a file");
  close(fd);
}

// The whole file, or nothing when it is not there.
std::optional<std::string> read_file(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return std::nullopt;
  std::string bytes;
  char buf[4096];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0)
    bytes.append(buf, static_cast<std::size_t>(n));
  close(fd);
  return bytes;
}

}  // namespace
}  // namespace hushmark::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace hushmark;
  std::array<std::uint8_t, fuzz::kOptionBytes> options{};
  if (size > 0)
    std::memcpy(options.data(), data, std::min(size, options.size()));
  Settings settings = fuzz::settings_from(options.data());
  std::string_view wave;
  if (size > options.size()) {
    wave = {reinterpret_cast<const char*>(data) + options.size(),
            size - options.size()};
  }
  const fuzz::Workspace& w = fuzz::workspace();
  fuzz::write_file(w.infile, wave);
  const bool own_chapters = std::string(settings.outfile.begin(),
                                        settings.outfile.end()) == w.outfile;
  const bool earlier = options[8] / 24 % 2 == 1;
  if (earlier) {
    fuzz::write_file(w.outfile, fuzz::kEarlierChapters);
  } else {
    unlink(w.outfile.c_str());
  }

  char* text = nullptr;
  std::size_t text_size = 0;
  std::FILE* out = open_memstream(&text, &text_size);
  fuzz::check(out != nullptr, "cannot open a memory stream");
  bool ok;
  {
    platform::Console console(out);
    echo_settings(settings, console);
    ok = run_extraction(settings, console);
  }
  std::fclose(out);
  std::string_view shown(text, text_size);
  fuzz::check(ok || fuzz::ends_with_a_failure_message(shown),
              "failure without its message");
  std::string chapters = fuzz::chapters_shown(shown);
  std::free(text);
  fuzz::check(fuzz::read_file(w.infile) == wave, "the input changed");
  std::optional<std::string> left = fuzz::read_file(w.outfile);
  if (!own_chapters) {
    // A refused run never opens it.
    fuzz::check(earlier ? left == fuzz::kEarlierChapters : !left,
                "a chapter file that was not named changed");
  } else if (!ok && chapters.empty()) {
    fuzz::check(earlier ? left == fuzz::kEarlierChapters : !left,
                "a failure before the first point changed the chapter file");
  } else {
    fuzz::check(left == chapters, "the chapter file is not the points shown");
  }
  return 0;
}
