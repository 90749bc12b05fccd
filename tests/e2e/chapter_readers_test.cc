// Hands the chapter files that hushmark-chapters writes for the bundled
// recording to the programs that read them, and compares what those programs
// read with the times and titles that were asked for.
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <regex>
#include <set>
#include <span>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "chapters/chapter_list.h"
#include "chapters/embed.h"
#include "chapters/formats.h"
#include "e2e/end_to_end.h"
#include "test_support.h"
#include "wave_bytes.h"

namespace hushmark {
namespace {

namespace fs = std::filesystem;

using testing::CapturedConsole;
using testing::listing;
using testing::read_file;
using testing::run_in;
using testing::TempDir;
using testing::write_file;

// Start and end in milliseconds, and title, of each chapter; the end is 0
// where the format holds none.
using Chapters =
    std::vector<std::tuple<std::int64_t, std::int64_t, std::string>>;

// Where the bundled recording's chapters start, and where it ends.
constexpr std::int64_t kStarts[] = {0, 1257, 2624, 4461, 6794};
constexpr std::int64_t kEnd = 8566;

// Runs hushmark-chapters in dir with args on a terminal of its own, raw so
// that its bytes arrive as they were sent, under C.UTF-8 with extra
// environment entries; what the terminal received.
std::string run_on_terminal(const TempDir& dir,
                            const std::vector<std::string>& args,
                            const std::vector<std::string>& extra_env) {
  int master = -1;
  const pid_t child = ::forkpty(&master, nullptr, nullptr, nullptr);
  if (child == 0) {
    termios mode;
    ::tcgetattr(STDOUT_FILENO, &mode);
    ::cfmakeraw(&mode);
    ::tcsetattr(STDOUT_FILENO, TCSANOW, &mode);
    ::unsetenv("LC_ALL");
    ::setenv("LANG", "C.UTF-8", 1);
    for (const std::string& entry : extra_env)
      ::putenv(const_cast<char*>(entry.c_str()));
    std::vector<char*> argv = {const_cast<char*>(HUSHMARK_CHAPTERS_BINARY)};
    for (const std::string& arg : args)
      argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    if (::chdir(dir.path().c_str()) == 0) ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  std::string bytes;
  char block[256];
  ssize_t n;
  // The master reads EIO once the program and its children have closed it.
  while (child > 0 && (n = ::read(master, block, sizeof block)) > 0)
    bytes.append(block, static_cast<std::size_t>(n));
  ::close(master);
  int status = 0;
  if (child > 0) ::waitpid(child, &status, 0);
  return bytes;
}

// Runs hushmark-chapters in dir with args and extra environment entries, its
// output discarded, and stops it with signal_number once the file marker
// exists; true when that signal ended it. A run that ends first is not
// stopped.
bool stopped_once_marked(const TempDir& dir,
                         const std::vector<std::string>& args,
                         const std::vector<std::string>& extra_env,
                         const fs::path& marker, int signal_number) {
  const pid_t child = ::fork();
  if (child == 0) {
    for (const std::string& entry : extra_env)
      ::putenv(const_cast<char*>(entry.c_str()));
    std::vector<char*> argv = {const_cast<char*>(HUSHMARK_CHAPTERS_BINARY)};
    for (const std::string& arg : args)
      argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    if (::freopen("/dev/null", "w", stdout) && ::chdir(dir.path().c_str()) == 0)
      ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  // As long as any run may take on a loaded machine.
  for (int k = 0; k < 1200 && !fs::exists(marker); ++k) {
    if (::waitpid(child, &status, WNOHANG) == child) return false;
    ::usleep(100000);
  }
  ::kill(child, signal_number);
  ::waitpid(child, &status, 0);
  return WIFSIGNALED(status) && WTERMSIG(status) == signal_number;
}

// Writes the bundled recording's chapters to dir/chapters.<format>, titled by
// title, which holds %02d once; returns what a reader must give back.
Chapters write_chapters(const TempDir& dir, const std::string& format,
                        const std::string& title) {
  fs::copy_file(fs::path(HUSHMARK_EXAMPLES) / "talk.wav", dir / "talk.wav",
                fs::copy_options::overwrite_existing);
  testing::ToolRun run = testing::run_chapters(
      dir.path(), {"-i", "talk.wav", "-m", "200", "-f", format, "-t", title,
                   "-o", "chapters." + format});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  Chapters chapters;
  for (std::size_t k = 0; k < std::size(kStarts); ++k) {
    std::string name = title;
    name.replace(name.find("%02d"), 4, "0" + std::to_string(k + 1));
    std::int64_t end = k + 1 < std::size(kStarts) ? kStarts[k + 1] : kEnd;
    chapters.emplace_back(kStarts[k], end, name);
  }
  return chapters;
}

std::string percent_decoded(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned byte = 0;
    const char* hex = text.data() + i + 1;
    if (text[i] == '%' && i + 2 < text.size() &&
        std::from_chars(hex, hex + 2, byte, 16).ptr == hex + 2) {
      out += static_cast<char>(byte);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The chapters in lines of "start end title", the title percent-encoded, as
// the page and the scripts below write them.
Chapters decoded_chapters(const std::string& lines) {
  Chapters chapters;
  std::istringstream in(lines);
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::int64_t start = -1, end = -1;
    std::string title;
    fields >> start >> end >> title;
    chapters.emplace_back(start, end, percent_decoded(title));
  }
  return chapters;
}

// ffprobe's chapters as lines for decoded_chapters, times kept exact.
constexpr char kReduceFfprobe[] = R"(import json, sys, urllib.parse
from fractions import Fraction
for c in json.loads(sys.stdin.buffer.read())["chapters"]:
    ms = Fraction(c["time_base"]) * 1000
    print(c["start"] * ms, c["end"] * ms,
          urllib.parse.quote(c["tags"]["title"], safe=""))
)";

// The version, then each chapter as a line for decoded_chapters with an end
// of 0; a time that is not a whole millisecond shows as a fraction.
constexpr char kReducePodcastJson[] = R"(import json, sys, urllib.parse
from fractions import Fraction
doc = json.loads(sys.stdin.buffer.read(), parse_float=Fraction)
print(doc["version"])
for c in doc["chapters"]:
    print(c["startTime"] * 1000, 0, urllib.parse.quote(c["title"], safe=""))
)";

// mkvextract's simple form: CHAPTER01=00:00:01.253 and CHAPTER01NAME=Title.
Chapters simple_chapters(const std::string& text) {
  Chapters chapters;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (line.substr(0, eq).ends_with("NAME") && !chapters.empty()) {
      std::get<2>(chapters.back()) = line.substr(eq + 1);
      continue;
    }
    int h = 0, m = 0, s = 0, ms = 0;
    if (std::sscanf(line.c_str() + eq + 1, "%d:%d:%d.%d", &h, &m, &s, &ms) != 4)
      ms = -1;
    chapters.emplace_back(((h * 60 + m) * 60 + s) * 1000 + ms, 0, "");
  }
  return chapters;
}

TEST(ChapterReaders, FfmpegReadsTheFfmetadataChaptersAndTitles) {
  SKIP_WITHOUT("ffmpeg");
  SKIP_WITHOUT("python3");
  TempDir dir;
  const Chapters expected =
      write_chapters(dir, "ffmetadata", "A=B;C#D\\E \"q\" 's' 講義\n\r %02d");
  write_file(dir / "reduce.py", kReduceFfprobe);
  // An m4a holds AAC; an mka, ffmpeg's default codec for it.
  for (const std::string out : {"out.m4a", "out.mka"}) {
    ASSERT_TRUE(run_in(dir,
                       "ffmpeg -nostdin -v error -i talk.wav -i "
                       "chapters.ffmetadata -map 0:a -map_metadata 1 "
                       "-map_chapters 1 " +
                           out));
    ASSERT_TRUE(run_in(dir, "ffprobe -v error -show_chapters -of json " + out +
                                " > probe.json"));
    ASSERT_TRUE(run_in(dir, "python3 reduce.py < probe.json > chapters.txt"));
    EXPECT_EQ(decoded_chapters(read_file(dir / "chapters.txt")), expected)
        << out << ":\n"
        << read_file(dir / "probe.json");
  }
}

TEST(ChapterReaders, MkvmergeReadsTheCueAndOgmChaptersAndTitles) {
  SKIP_WITHOUT("mkvmerge");
  SKIP_WITHOUT("mkvextract");
  TempDir dir;
  const std::string title = "A=B;C#D\\E \"q\" 's' 講義 %02d";
  // A CUE sheet counts in 1/75 s, rounded down, and holds no double quote.
  Chapters cue = write_chapters(dir, "cue", title);
  for (auto& [start, end, name] : cue) {
    start = start * 75 / 1000 * 1000 / 75;
    end = 0;
    std::replace(name.begin(), name.end(), '"', '\'');
  }
  Chapters ogm = write_chapters(dir, "ogm", title);
  for (auto& chapter : ogm)
    std::get<1>(chapter) = 0;
  // mkvmerge reads a chapter file, and mkvextract writes one, in the locale's
  // character set: under C both drop what is not ASCII.
  for (const auto& [file, expected] :
       {std::pair{"chapters.cue", cue}, std::pair{"chapters.ogm", ogm}}) {
    ASSERT_TRUE(run_in(dir,
                       "env LC_ALL=C.UTF-8 mkvmerge -q -o out.mka "
                       "--cue-chapter-name-format %t --chapters " +
                           std::string(file) + " talk.wav"));
    ASSERT_TRUE(
        run_in(dir,
               "env LC_ALL=C.UTF-8 mkvextract out.mka chapters --simple "
               "- > out.txt"));
    EXPECT_EQ(simple_chapters(read_file(dir / "out.txt")), expected) << file;
  }
}

// Shows the chapter cues of chapters.vtt, as a player's script reads them,
// in lines for decoded_chapters.
constexpr char kChaptersPage[] = R"(<!DOCTYPE html>
<meta charset="utf-8">
<video><track id="t" kind="chapters" src="chapters.vtt"></video>
<pre id="out"></pre>
<script>
const t = document.getElementById("t");
t.track.mode = "hidden";
t.addEventListener("load", () => {
  const lines = [];
  for (const c of t.track.cues) {
    lines.push([Math.round(c.startTime * 1000), Math.round(c.endTime * 1000),
                encodeURIComponent(c.getCueAsHTML().textContent)].join(" "));
  }
  document.getElementById("out").textContent = lines.join("\n");
});
</script>
)";

TEST(ChapterReaders, ChromiumReadsTheVttChapterCues) {
  SKIP_WITHOUT("chromium");
  TempDir dir;
  const Chapters expected = write_chapters(
      dir, "vtt", "<b>x</b> & y --> z \"q\" 's' 講義 &amp; %02d");
  write_file(dir / "page.html", kChaptersPage);
  ASSERT_TRUE(run_in(
      dir,
      "chromium --headless --no-sandbox --disable-gpu --disable-dev-shm-usage "
      "--disable-quic --no-first-run --disable-background-networking "
      "--disable-component-update --disable-sync --user-data-dir=profile "
      "--allow-file-access-from-files --virtual-time-budget=5000 --dump-dom "
      "'file://" +
          (dir / "page.html").string() + "' > dom.html 2> chromium.log"))
      << read_file(dir / "chromium.log");
  const std::string dom = read_file(dir / "dom.html");
  const std::size_t from = dom.find("<pre id=\"out\">") + 14;
  EXPECT_EQ(decoded_chapters(dom.substr(from, dom.find("</pre>") - from)),
            expected)
      << dom;
}

TEST(ChapterReaders, PythonReadsThePodcastJsonChapters) {
  SKIP_WITHOUT("python3");
  TempDir dir;
  Chapters expected = write_chapters(
      dir, "json", "\"q\" \\ 's' 講義 \n\r\t\x01\x1f\x7f / %02d");
  for (auto& chapter : expected)
    std::get<1>(chapter) = 0;
  write_file(dir / "reduce.py", kReducePodcastJson);
  ASSERT_TRUE(run_in(dir, "python3 reduce.py < chapters.json > out.txt"));
  const std::string out = read_file(dir / "out.txt");
  EXPECT_TRUE(out.starts_with("1.2.0\n")) << out;
  EXPECT_EQ(decoded_chapters(out.substr(out.find('\n') + 1)), expected) << out;
}

// Chapters with titles that every format must escape, for embed_chapters.
const std::vector<Chapter> kEmbedded = {
    {0, 700, 0, "A=B;C#D\\E \"q\" 's' 講義"},
    {700, 1500, 0, "#x ;y= \\"},
    {1500, 2500, 0, "終"}};

Chapters expected_chapters(const std::vector<Chapter>& chapters) {
  Chapters out;
  for (const Chapter& c : chapters) {
    out.emplace_back(c.start_ms, c.end_ms,
                     carried_title(ChapterFormat::kFfmetadata, c.title));
  }
  return out;
}

// What a command run in dir writes on its standard output.
std::string output_of(const TempDir& dir, const std::string& command) {
  EXPECT_TRUE(run_in(dir, command + " > captured.out")) << command;
  return read_file(dir / "captured.out");
}

// A 2.5 s recording in dir/name, encoded by ffmpeg with codec_args.
void make_recording(const TempDir& dir, const std::string& name,
                    const std::string& codec_args) {
  std::mt19937 rng(7);
  const std::int32_t levels[] = {0, 3000, 12000};
  write_file(dir / "source.wav",
             testing::WaveBytes()
                 .fmt(44100)
                 .data(testing::ladder_frames(rng, 110250, levels))
                 .bytes());
  ASSERT_TRUE(run_in(dir, "ffmpeg -nostdin -v error -y -i source.wav " +
                              codec_args + " 'file:" + name + "'"));
}

// The hash of each packet of a file's audio, in order, side data aside.
std::vector<std::string> audio_packets(const TempDir& dir,
                                       const std::string& name) {
  std::istringstream in(
      output_of(dir, "ffmpeg -nostdin -v error -i 'file:" + name +
                         "' -map 0:a -c copy -f framemd5 -"));
  std::vector<std::string> hashes;
  for (std::string line; std::getline(in, line);) {
    // "0, dts, pts, duration, size, hash", then any side data.
    std::istringstream fields(line);
    std::string field;
    for (int k = 0; k < 6; ++k)
      std::getline(fields, field, ',');
    if (!line.starts_with('#')) hashes.push_back(field);
  }
  return hashes;
}

Chapters probed_chapters(const TempDir& dir, const std::string& name) {
  write_file(dir / "reduce.py", kReduceFfprobe);
  return decoded_chapters(
      output_of(dir, "ffprobe -v error -show_chapters -of json 'file:" + name +
                         "' | python3 reduce.py"));
}

// The copy as hushmark-chapters makes it: planned, then written.
bool copy_chapters(std::span<const std::wstring> inputs,
                   std::span<const Chapter> chapters, std::wstring_view out,
                   platform::Console& console) {
  EmbedPlan plan;
  return make_embed_plan(inputs, out, std::nullopt, plan, console) &&
         embed_chapters(plan, inputs, chapters, out, console);
}

TEST(EmbedChapters, EveryContainerGetsTheChaptersAndKeepsThePackets) {
  SKIP_WITHOUT("ffmpeg");
  SKIP_WITHOUT("python3");
  TempDir dir;
  // m4b and mp3 carry cover art, which must survive too.
  write_file(dir / "cover.ppm", "P6 2 2 255\n" + std::string(12, '\x7f'));
  const std::string cover =
      "-i cover.ppm -map 0 -map 1 -c:v mjpeg -disposition:v attached_pic ";
  const std::pair<std::string, std::string> kinds[] = {
      {"in.m4b", cover + "-c:a aac"}, {"in.m4a", "-c:a aac"},
      {"in.mp4", "-c:a aac"},         {"in.mov", "-c:a aac"},
      {"in.mka", "-c:a aac"},         {"in.mkv", "-c:a libmp3lame"},
      {"in.webm", "-c:a libopus"},    {"in.mp3", cover + "-c:a libmp3lame"}};
  for (const auto& [in, codec_args] : kinds) {
    make_recording(dir, in, codec_args);
    const std::string before = read_file(dir / in), out = "out" + in.substr(2);
    CapturedConsole console;
    const std::wstring inputs[] = {testing::wide(dir / in)};
    ASSERT_TRUE(copy_chapters(inputs, kEmbedded, testing::wide(dir / out),
                              console.console()))
        << in << ": " << console.text();
    EXPECT_EQ(probed_chapters(dir, out), expected_chapters(kEmbedded)) << in;
    // The same chapters read back as a list to align.
    std::vector<ListedChapter> listed;
    EXPECT_TRUE(
        read_chapter_list(testing::wide(dir / out), listed, console.console()))
        << in << ": " << console.text();
    std::vector<ListedChapter> embedded;
    for (const Chapter& c : kEmbedded) {
      embedded.push_back(
          {c.start_ms, carried_title(ChapterFormat::kFfmetadata, c.title)});
    }
    EXPECT_EQ(listed, embedded) << in;
    EXPECT_EQ(audio_packets(dir, out), audio_packets(dir, in)) << in;
    EXPECT_EQ(output_of(dir, "ffmpeg -v error -i " + out +
                                 " -map 0:v? -c copy -f md5 -"),
              output_of(dir, "ffmpeg -v error -i " + in +
                                 " -map 0:v? -c copy -f md5 -"))
        << in;
    EXPECT_EQ(read_file(dir / in), before) << in;
    // Chapters replaced in a file that has some: an m4b's chapter track is a
    // data stream that ffmpeg cannot copy into an m4b.
    const std::vector<Chapter> two(kEmbedded.begin(), kEmbedded.begin() + 2);
    ASSERT_TRUE(copy_chapters(std::vector{testing::wide(dir / out)}, two,
                              testing::wide(dir / ("again" + out.substr(3))),
                              console.console()))
        << in << ": " << console.text();
    EXPECT_EQ(probed_chapters(dir, "again" + out.substr(3)),
              expected_chapters(two));
  }
}

TEST(EmbedChapters, RefusesOrFailsLeavingInputAndEarlierOutputAsTheyWere) {
  SKIP_WITHOUT("ffmpeg");
  TempDir dir;
  make_recording(dir, "in.m4b", "-c:a aac");
  fs::create_symlink("in.m4b", dir / "link.m4b");
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  write_file(dir / "out.m4b", "earlier");
  const std::string before = read_file(dir / "in.m4b");
  const auto names = listing(dir.path());
  const std::wstring m4b[] = {testing::wide(dir / "in.m4b")};
  const std::wstring wave[] = {testing::wide(dir / "source.wav")};
  const std::wstring fifo[] = {testing::wide(dir / "fifo")};
  const std::wstring standard_input[] = {L"-"};
  // The inputs are checked in order: the first fault is the one said.
  const std::wstring m4b_fifo[] = {m4b[0], fifo[0]};
  const std::wstring fifo_m4b[] = {fifo[0], m4b[0]};
  // The PCM of a WAVE file has no place in an m4b: ffmpeg fails.
  const struct {
    std::span<const std::wstring> inputs;
    const char* out;
    std::string message;
  } cases[] = {
      {m4b, "link.m4b", "入力ファイルと同じファイルには書き出せません。\n"},
      {m4b_fifo, "link.m4b",
       "入力ファイルと同じファイルには書き出せません。\n"},
      {fifo_m4b, "link.m4b",
       "入力がファイルではないので、チャプターを書き込めません。\n"},
      {m4b, "in.OPUS",
       "この形式(ogg,oga,opus,flac)にはffmpegがチャプターを正しく書き込めませ"
       "ん。m4b,m4a,mka,mp3などで指定してください。\n"},
      {wave, "out.m4b",
       "ffmpegが失敗しました: Error initializing output stream 0:0 --\n"},
      {fifo, "out.m4b",
       "入力がファイルではないので、チャプターを書き込めません。\n"},
      {standard_input, "out.m4b",
       "入力がファイルではないので、チャプターを書き込めません。\n"},
      {wave, "out.txt",
       "チャプターを書き込める出力形式ではありません。"
       "(m4b,m4a,mp4,mov,mka,mkv,webm,mp3)\n"}};
  for (const auto& c : cases) {
    CapturedConsole console;
    EXPECT_FALSE(copy_chapters(c.inputs, kEmbedded, testing::wide(dir / c.out),
                               console.console()));
    EXPECT_EQ(console.text(), c.message);
  }
  setenv("HUSHMARK_FFMPEG", (dir / "missing").c_str(), 1);
  CapturedConsole console;
  EXPECT_FALSE(copy_chapters(m4b, kEmbedded, testing::wide(dir / "out.m4b"),
                             console.console()));
  unsetenv("HUSHMARK_FFMPEG");
  EXPECT_EQ(console.text(),
            "ffmpegが見つかりません。ffmpegをインストールするか、環境変数"
            "HUSHMARK_FFMPEGにffmpegの場所を指定してください。\n");
  EXPECT_EQ(read_file(dir / "in.m4b"), before);
  EXPECT_EQ(read_file(dir / "out.m4b"), "earlier");
  EXPECT_EQ(listing(dir.path()), names);
}

TEST(ChapterLists, SayWhyAMediaFilesChaptersCannotBeRead) {
  SKIP_WITHOUT("ffmpeg");
  TempDir dir;
  make_recording(dir, "in.m4b", "-c:a aac");
  write_file(dir / "bad.m4b", std::string("\0\0\0 ftypM4B ", 12));
  const struct {
    const char* name;
    const char* ffmpeg;  // HUSHMARK_FFMPEG, whose ffprobe is beside it
    std::string message;
  } cases[] = {
      {"in.m4b", nullptr, "チャプター一覧にチャプターがありません: in.m4b\n"},
      {"bad.m4b", nullptr,
       "ffprobeが失敗しました: bad.m4b: Invalid data found when processing "
       "input\n"},
      {"in.m4b", "missing/ffmpeg",
       "ffprobeが見つかりません。ffprobeをインストールするか、環境変数"
       "HUSHMARK_FFPROBEにffprobeの場所を指定してください。\n"}};
  const fs::path cwd = fs::current_path();
  fs::current_path(dir.path());  // so that the messages name the files alone
  for (const auto& c : cases) {
    if (c.ffmpeg) setenv("HUSHMARK_FFMPEG", c.ffmpeg, 1);
    CapturedConsole console;
    std::vector<ListedChapter> listed;
    EXPECT_FALSE(
        read_chapter_list(testing::wide(c.name), listed, console.console()));
    unsetenv("HUSHMARK_FFMPEG");
    EXPECT_EQ(console.text(), c.message);
  }
  fs::current_path(cwd);
}

TEST(EmbedChapters, OpensAwkwardNamesAsFilesAndJoinsLikeInputs) {
  SKIP_WITHOUT("ffmpeg");
  SKIP_WITHOUT("python3");
  TempDir dir;
  make_recording(dir, "-x.m4b", "-c:a aac");
  make_recording(dir, "http:x.mp3", "-c:a libmp3lame");
  // To ffprobe only the profile differs; the packets would not join.
  make_recording(dir, "http:y.m4a", "-c:a aac -profile:a aac_ltp -strict -2");
  fs::copy_file(dir / "-x.m4b", dir / "it's.m4b");
  // A replaced output keeps its mode, and a link to it stays a link.
  fs::create_directory(dir / "real");
  write_file(dir / "real/concat:a.m4b", "earlier");
  fs::permissions(dir / "real/concat:a.m4b", fs::perms(0640));
  fs::create_symlink("real/concat:a.m4b", dir / "concat:b.m4b");
  const fs::path cwd = fs::current_path();
  fs::current_path(dir.path());
  const std::pair<std::vector<std::wstring>, std::wstring> runs[] = {
      {{L"http:x.mp3"}, L"-y.mp3"},
      {{L"-x.m4b", L"it's.m4b"}, L"concat:b.m4b"}};
  for (const auto& [inputs, out] : runs) {
    CapturedConsole console;
    EXPECT_TRUE(copy_chapters(inputs, kEmbedded, out, console.console()))
        << console.text();
  }
  // Parts that cannot be joined as they are go the encode route.
  CapturedConsole console;
  EmbedPlan mixed;
  EXPECT_TRUE(
      make_embed_plan(std::vector<std::wstring>{L"-x.m4b", L"http:y.m4a"},
                      L"mixed.m4b", std::nullopt, mixed, console.console()));
  EXPECT_EQ(mixed.route, EmbedRoute::kEncode);
  // Without ffprobe there is nothing to encode by: they are refused.
  setenv("HUSHMARK_FFPROBE", "missing", 1);
  EXPECT_FALSE(
      make_embed_plan(std::vector<std::wstring>{L"-x.m4b", L"http:y.m4a"},
                      L"mixed.m4b", std::nullopt, mixed, console.console()));
  unsetenv("HUSHMARK_FFPROBE");
  fs::current_path(cwd);
  EXPECT_EQ(
      console.text(),
      "入力ファイルのコーデックがそろっていないため、そのままではつなげられ"
      "ません。1つのファイルに再エンコードしてから入力にしてください。(例: "
      "ffmpeg -i 1.mp3 -i 2.m4a -filter_complex concat=n=2:v=0:a=1 -c:a "
      "aac -b:a 128k book.m4b)\n");
  EXPECT_EQ(probed_chapters(dir, "-y.mp3"), expected_chapters(kEmbedded));
  EXPECT_EQ(audio_packets(dir, "-y.mp3"), audio_packets(dir, "http:x.mp3"));
  EXPECT_TRUE(fs::is_symlink(dir / "concat:b.m4b"));
  EXPECT_EQ(fs::status(dir / "real/concat:a.m4b").permissions(),
            fs::perms(0640));
  EXPECT_EQ(probed_chapters(dir, "concat:b.m4b"), expected_chapters(kEmbedded));
  const std::vector<std::string> one = audio_packets(dir, "-x.m4b");
  std::vector<std::string> joined = one;
  joined.insert(joined.end(), one.begin(), one.end());
  EXPECT_EQ(audio_packets(dir, "concat:b.m4b"), joined);
  EXPECT_FALSE(fs::exists(dir / "mixed.m4b"));
}

}  // namespace
}  // namespace hushmark

namespace hushmark {
namespace {

using testing::run_chapters;
using testing::run_probe;

// The bundled recording cut into parts anywhere, one cut inside a pause, in
// FLAC and WAVE; under awkward names; as mono 24-bit; through a pipe: each
// gives the whole file's chapters to the millisecond.
TEST(DecodedInputs, GiveTheWholeRecordingsChaptersHoweverItComes) {
  SKIP_WITHOUT("ffmpeg");
  TempDir dir;
  fs::copy_file(fs::path(HUSHMARK_EXAMPLES) / "talk.wav", dir / "talk.wav");
  auto cut = [&](const std::string& range, const std::string& out) {
    ASSERT_TRUE(run_in(dir, "ffmpeg -nostdin -v error -i talk.wav -af atrim=" +
                                range + " file:" + out));
  };
  cut("end_sample=44100", "-p1.flac");
  cut("start_sample=44100:end_sample=211680", "p2.wav");  // 4.8 s: a pause
  cut("start_sample=211680", "concat:p3.flac");
  ASSERT_TRUE(run_in(dir,
                     "ffmpeg -nostdin -v error -i talk.wav -ac 1 -c:a "
                     "pcm_s24le mono24.wav"));
  for (const char* p : {"0", "1", "2"}) {
    ASSERT_EQ(run_chapters(dir.path(), {"-i", "talk.wav", "-m", "200", "-o",
                                        "whole.txt", "-p", p})
                  .status,
              0);
    const std::string whole = read_file(dir / "whole.txt");
    testing::ToolRun parts =
        run_chapters(dir.path(), {"-o", "parts.txt", "-m", "200", "-p", p, "--",
                                  "-p1.flac", "p2.wav", "concat:p3.flac"});
    EXPECT_EQ(parts.status, 0) << parts.out;
    EXPECT_EQ(read_file(dir / "parts.txt"), whole) << p;
    ASSERT_EQ(run_chapters(dir.path(), {"-i", "mono24.wav", "-m", "200", "-o",
                                        "mono.txt", "-p", p})
                  .status,
              0);
    EXPECT_EQ(read_file(dir / "mono.txt"), whole) << p;
  }
  const std::string flac = read_file(dir / "concat:p3.flac");
  testing::ToolRun piped =
      run_chapters(dir.path(), {"-i", "-", "-m", "200", "-o", "piped.txt"},
                   "C.UTF-8", &flac);
  testing::ToolRun named = run_chapters(
      dir.path(), {"-o", "named.txt", "-m", "200", "concat:p3.flac"});
  EXPECT_EQ(piped.status, 0) << piped.out;
  EXPECT_EQ(read_file(dir / "piped.txt"), read_file(dir / "named.txt"));
  // -F: every file starts a chapter, titled by its name.
  testing::ToolRun files = run_chapters(
      dir.path(), {"-F", "-m", "200", "-t", "%f %d", "-o", "files.txt", "--",
                   "-p1.flac", "p2.wav", "concat:p3.flac"});
  EXPECT_EQ(files.status, 0) << files.out;
  EXPECT_EQ(read_file(dir / "files.txt"),
            "00:00:00.000 -p1\n00:00:01.000 p2\n00:00:01.257 p2 3\n"
            "00:00:02.624 p2 4\n00:00:04.461 p2 5\n00:00:04.800 concat:p3\n"
            "00:00:06.794 concat:p3 7\n");
  // -F alone: a chapter at every file and no other.
  ASSERT_EQ(run_chapters(dir.path(), {"-F", "-o", "alone.txt", "--", "-p1.flac",
                                      "p2.wav", "concat:p3.flac"})
                .status,
            0);
  EXPECT_EQ(read_file(dir / "alone.txt"),
            "00:00:00.000 -p1\n00:00:01.000 p2\n00:00:04.800 concat:p3\n");
}

// A file at another rate than the first is resampled to the first one's: the
// chapters stay within a millisecond of the recording made at one rate (the
// resampler blurs a silence's edge by a few samples).
TEST(DecodedInputs, ResampleAFileAtAnotherRateToTheFirstOnes) {
  SKIP_WITHOUT("ffmpeg");
  TempDir dir;
  fs::copy_file(fs::path(HUSHMARK_EXAMPLES) / "talk.wav", dir / "talk.wav");
  ASSERT_TRUE(run_in(dir,
                     "ffmpeg -nostdin -v error -i talk.wav -ar 48000 -t 3 "
                     "a.flac && ffmpeg -nostdin -v error -i talk.wav -ss 3 "
                     "b.wav && ffmpeg -nostdin -v error -i talk.wav -ar 48000 "
                     "whole.flac"));
  testing::ToolRun parts = run_chapters(
      dir.path(), {"-f", "ogm", "-o", "parts.txt", "a.flac", "b.wav"});
  ASSERT_EQ(parts.status, 0) << parts.out;
  ASSERT_EQ(
      run_chapters(dir.path(), {"-f", "ogm", "-o", "whole.txt", "whole.flac"})
          .status,
      0);
  const Chapters got = simple_chapters(read_file(dir / "parts.txt"));
  const Chapters want = simple_chapters(read_file(dir / "whole.txt"));
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t k = 0; k < got.size(); ++k) {
    EXPECT_NEAR(std::get<0>(got[k]), std::get<0>(want[k]), 1) << k;
  }
}

// A list whose times drift (shifted by seconds, scaled by 0.2 %, jittered by
// half a second) lands on the chapter pauses, given as txt, FFMETADATA,
// Audible's JSON or an m4b's chapters, and keeps its titles.
TEST(AlignedLists, LandEveryChapterOnItsPauseFromEveryKindOfList) {
  SKIP_WITHOUT("ffmpeg");
  TempDir dir;
  // 12 chapters of 40 s at 8 kHz: sentence pauses of 0.3 to 0.9 s every 5 s,
  // chapter pauses of 2.5 s.
  std::string frames;
  std::vector<std::uint64_t> pause_starts;  // frame index from 1
  std::mt19937 rng(23);
  for (int chapter = 0; chapter < 12; ++chapter) {
    if (chapter > 0) {
      pause_starts.push_back(frames.size() / 4 + 1);
      frames += testing::frames_of({testing::quiet(20000)});
    }
    for (int sentence = 0; sentence < 8; ++sentence) {
      frames += testing::frames_of({testing::loud(40000 - rng() % 8000)});
      if (sentence < 7) {
        frames += testing::frames_of({testing::quiet(2400 + rng() % 4800)});
      }
    }
  }
  write_file(dir / "book.wav",
             testing::WaveBytes().fmt(8000).data(frames).bytes());
  std::string txt, ffmetadata = ";FFMETADATA1\n", json = "{\"chapters\":[";
  for (std::size_t k = 0; k <= pause_starts.size(); ++k) {
    const double truth = k == 0 ? 0 : (pause_starts[k - 1] + 10000) / 8.0;
    const auto given = static_cast<std::uint64_t>(
        k == 0 ? 0 : (truth - 3200) / 1.002 + (k % 2 ? 480 : -470));
    const std::string title = "Kapitel " + std::to_string(k + 1);
    char line[64];
    std::snprintf(line, sizeof line, "%02d:%02d:%02d.%03d ",
                  int(given / 3600000), int(given / 60000 % 60),
                  int(given / 1000 % 60), int(given % 1000));
    txt += line + title + "\n";
    ffmetadata += "[CHAPTER]\nTIMEBASE=1/1000\nSTART=" + std::to_string(given) +
                  "\nEND=" + std::to_string(given + 1) + "\ntitle=" + title +
                  "\n";
    json += std::string(k ? "," : "") +
            "{\"startOffsetMs\":" + std::to_string(given) +
            ",\"lengthMs\":1,\"title\":\"" + title + "\"}";
  }
  write_file(dir / "list.txt", txt);
  write_file(dir / "list.ffmetadata", ffmetadata);
  write_file(dir / "list.json", json + "]}");
  ASSERT_TRUE(run_in(dir,
                     "ffmpeg -nostdin -v error -f lavfi -i "
                     "anullsrc=r=8000:cl=mono -i list.ffmetadata -t 500 "
                     "-map 0 -map_chapters 1 -c:a aac list.m4b"));
  for (const char* p : {"0", "1"}) {
    std::string expected = "00:00:00.000 Kapitel 1\n";
    for (std::size_t k = 0; k < pause_starts.size(); ++k) {
      const std::uint64_t cut = pause_starts[k] + (p[0] == '1' ? 10000 : 0);
      const std::uint64_t ms = cut / 8;
      char line[64];
      std::snprintf(line, sizeof line, "%02d:%02d:%02d.%03d Kapitel %zu\n",
                    int(ms / 3600000), int(ms / 60000 % 60),
                    int(ms / 1000 % 60), int(ms % 1000), k + 2);
      expected += line;
    }
    for (const char* list :
         {"list.txt", "list.ffmetadata", "list.json", "list.m4b"}) {
      testing::ToolRun run = run_chapters(
          dir.path(),
          {"-i", "book.wav", "-p", p, "-a", list, "-o", "aligned.txt"});
      EXPECT_EQ(run.status, 0) << run.out;
      EXPECT_EQ(read_file(dir / "aligned.txt"), expected)
          << list << " -p " << p << "\n"
          << run.out;
    }
  }
}

// One command puts into a copy of the book the chapters that the FFMETADATA
// route, three commands long, put there.
TEST(DecodedInputs, OneCommandPutsTheChaptersIntoTheBook) {
  SKIP_WITHOUT("ffmpeg");
  SKIP_WITHOUT("python3");
  TempDir dir;
  make_recording(dir, "book.m4b", "-c:a aac");
  const std::string book = read_file(dir / "book.m4b");
  const std::vector<std::string> args = {"-i", "book.m4b", "-m",
                                         "3",  "-n",       "3"};
  auto with_output = [&](const std::string& name) {
    std::vector<std::string> all = args;
    all.insert(all.end(), {"-o", name});
    return all;
  };
  testing::ToolRun run =
      run_chapters(dir.path(), with_output("Book Chaptered.M4B"));
  ASSERT_EQ(run.status, 0) << run.out;
  ASSERT_EQ(run_chapters(dir.path(), with_output("book.ffmetadata")).status, 0);
  ASSERT_TRUE(run_in(dir,
                     "ffmpeg -nostdin -v error -i book.m4b -i book.ffmetadata "
                     "-map 0 -map_metadata 1 -map_chapters 1 -c copy old.m4b"));
  const Chapters chapters = probed_chapters(dir, "Book Chaptered.M4B");
  EXPECT_GE(chapters.size(), 2u);
  EXPECT_EQ(chapters, probed_chapters(dir, "old.m4b"));
  EXPECT_EQ(audio_packets(dir, "Book Chaptered.M4B"),
            audio_packets(dir, "book.m4b"));
  EXPECT_EQ(read_file(dir / "book.m4b"), book);
}

// A copy joined from parts plays each part's encoder delay and padding: its
// chapters fall where a player, decoding the copy, hears the pauses.
TEST(DecodedInputs, AJoinedCopysChaptersFallWhereItsPlayersHearThePauses) {
  SKIP_WITHOUT("ffmpeg");
  SKIP_WITHOUT("python3");
  TempDir dir;
  fs::copy_file(fs::path(HUSHMARK_EXAMPLES) / "talk.wav", dir / "talk.wav");
  for (const std::string ext : {".m4b", ".mp3"}) {
    ASSERT_TRUE(run_in(dir, "ffmpeg -nostdin -v error -y -i talk.wav -t 3 a" +
                                ext +
                                " && ffmpeg -nostdin -v error -y -ss 3 "
                                "-i talk.wav b" +
                                ext));
    ASSERT_EQ(
        run_chapters(dir.path(), {"-o", "joined" + ext, "a" + ext, "b" + ext})
            .status,
        0);
    ASSERT_TRUE(run_in(
        dir, "ffmpeg -nostdin -v error -y -i joined" + ext + " played.wav"));
    ASSERT_EQ(run_chapters(dir.path(),
                           {"-i", "played.wav", "-o", "played.ffmetadata"})
                  .status,
              0);
    ASSERT_TRUE(run_in(dir, "ffmpeg -nostdin -v error -y -i joined" + ext +
                                " -i played.ffmetadata -map 0:a -c copy "
                                "-map_chapters 1 expected" +
                                ext));
    EXPECT_EQ(probed_chapters(dir, "joined" + ext),
              probed_chapters(dir, "expected" + ext))
        << ext;
  }
}

// Read directly, each format gives what the pipe route gave: ffmpeg's WAVE
// on standard input. So does the probe.
TEST(DecodedInputs, GiveWhatTheirWaveThroughAPipeGives) {
  SKIP_WITHOUT("ffmpeg");
  TempDir dir;
  fs::copy_file(fs::path(HUSHMARK_EXAMPLES) / "talk.wav", dir / "talk.wav");
  for (const std::string ext : {".mp3", ".m4a", ".opus", ".wma"}) {
    ASSERT_TRUE(run_in(dir, "ffmpeg -nostdin -v error -y -i talk.wav book" +
                                ext +
                                " && ffmpeg -nostdin -v error -y -i book" +
                                ext + " -c:a pcm_s16le -f wav piped.wav"));
    const std::string piped = read_file(dir / "piped.wav");
    testing::ToolRun direct = run_chapters(
        dir.path(), {"-i", "book" + ext, "-o", "direct.txt", "-s", "64"});
    testing::ToolRun pipe =
        run_chapters(dir.path(), {"-i", "-", "-o", "pipe.txt", "-s", "64"},
                     "C.UTF-8", &piped);
    EXPECT_EQ(direct.status, 0) << direct.out;
    EXPECT_EQ(read_file(dir / "direct.txt"), read_file(dir / "pipe.txt"))
        << ext;
    if (ext == ".mp3") {
      testing::ToolRun probe = run_probe(dir.path(), {"-i", "book.mp3"});
      testing::ToolRun probe_pipe = run_probe(dir.path(), {"-i", "-"}, &piped);
      // The WAVE file read natively has its LIST chunk reported first.
      EXPECT_EQ(probe.out.substr(probe.out.find("    -s")),
                probe_pipe.out.substr(probe_pipe.out.find("    -s")));
    }
  }
}

// mp3 parts, each with its encoder's delay and padding, give what ffmpeg's
// concat filter makes of the same parts.
TEST(DecodedInputs, JoinMp3PartsAsFfmpegsConcatFilterDoes) {
  SKIP_WITHOUT("ffmpeg");
  TempDir dir;
  fs::copy_file(fs::path(HUSHMARK_EXAMPLES) / "talk.wav", dir / "talk.wav");
  ASSERT_TRUE(run_in(dir,
                     "ffmpeg -nostdin -v error -i talk.wav -t 3 a.mp3 && "
                     "ffmpeg -nostdin -v error -ss 3 -i talk.wav b.mp3 && "
                     "ffmpeg -nostdin -v error -i a.mp3 -i b.mp3 "
                     "-filter_complex concat=n=2:v=0:a=1 -c:a pcm_s16le "
                     "joined.wav"));
  for (const char* p : {"0", "2"}) {
    testing::ToolRun parts = run_chapters(
        dir.path(),
        {"-p", p, "-f", "ffmetadata", "-o", "parts.txt", "a.mp3", "b.mp3"});
    testing::ToolRun joined = run_chapters(
        dir.path(),
        {"-p", p, "-f", "ffmetadata", "-o", "joined.txt", "joined.wav"});
    EXPECT_EQ(parts.status, 0) << parts.out;
    EXPECT_EQ(read_file(dir / "parts.txt"), read_file(dir / "joined.txt"));
    EXPECT_NE(read_file(dir / "parts.txt").find("[CHAPTER]"),
              std::string::npos);
  }
}

// What ffprobe says of a file: "key=value" lines of its streams, their
// attached_pic flags, its chapters' starts and its tags.
std::string probed(const TempDir& dir, const std::string& name) {
  return output_of(dir,
                   "ffprobe -v error -show_entries "
                   "stream=codec_type,codec_name:stream_disposition="
                   "attached_pic:chapter=start_time:format_tags -of "
                   "default=nw=1 '" +
                       name + "'");
}

// The samples that a player decodes from a file, in frames.
std::int64_t played_frames(const TempDir& dir, const std::string& name) {
  return static_cast<std::int64_t>(
      output_of(dir, "ffmpeg -nostdin -v error -i '" + name +
                         "' -map 0:a -ac 1 -f s16le -")
          .size() /
      2);
}

// mp3 parts into an m4b are encoded once, as one stream: the book plays the
// parts' samples end to end, each chapter starting on a join; it takes the
// parts' tags and the first cover, which stays a picture.
TEST(EncodedBooks, PlayThePartsEndToEndWithTheirTagsAndCover) {
  SKIP_WITHOUT("ffmpeg");
  TempDir dir;
  fs::copy_file(fs::path(HUSHMARK_EXAMPLES) / "talk.wav", dir / "talk.wav");
  write_file(dir / "cover.ppm", "P6 2 2 255\n" + std::string(12, '\x7f'));
  ASSERT_TRUE(run_in(
      dir,
      "ffmpeg -nostdin -v error -i talk.wav -i cover.ppm -t 3 -map 0 -map 1 "
      "-c:v mjpeg -disposition:v attached_pic -ac 1 -metadata album=Book "
      "-metadata artist=Someone -metadata title=One a.mp3 && "
      "ffmpeg -nostdin -v error -ss 3 -t 2.5 -i talk.wav -metadata "
      "composer=Else -metadata album=Other b.mp3 && "
      "ffmpeg -nostdin -v error -ss 5.5 -i talk.wav c.mp3"));
  testing::ToolRun run = run_chapters(
      dir.path(), {"-F", "-o", "book.m4b", "a.mp3", "b.mp3", "c.mp3"});
  ASSERT_EQ(run.status, 0) << run.out;
  const std::string said = probed(dir, "book.m4b");
  EXPECT_NE(said.find("codec_name=aac\ncodec_type=audio\n"
                      "DISPOSITION:attached_pic=0\n"),
            std::string::npos)
      << said;
  // One picture, a cover; an m4b's chapter track is data, not video.
  EXPECT_EQ(said.find("codec_type=audio", said.find("codec_type=audio") + 1),
            std::string::npos);
  EXPECT_NE(said.find("codec_type=video\nDISPOSITION:attached_pic=1"),
            std::string::npos);
  EXPECT_EQ(said.find("attached_pic=1"), said.rfind("attached_pic=1"));
  for (const char* tag : {"TAG:album=Book\n", "TAG:artist=Someone\n",
                          "TAG:composer=Else\n", "TAG:title=Book\n"}) {
    EXPECT_NE(said.find(tag), std::string::npos) << tag << said;
  }
  const std::int64_t a = played_frames(dir, "a.mp3"),
                     b = played_frames(dir, "b.mp3"),
                     c = played_frames(dir, "c.mp3");
  // The edit list gives the length, which ffmpeg's own AAC encoding of the
  // same samples leaves 17 short; ffmpeg decodes the last packet whole.
  const std::string length =
      output_of(dir,
                "ffprobe -v error -select_streams a -show_entries "
                "stream=duration_ts -of csv=p=0 book.m4b");
  EXPECT_NEAR(std::stoll(length), a + b + c, 44);
  EXPECT_LT(played_frames(dir, "book.m4b") - (a + b + c), 1024);
  const Chapters chapters = probed_chapters(dir, "book.m4b");
  ASSERT_EQ(chapters.size(), 3u);
  const std::int64_t joins[] = {0, a, a + b};
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_NEAR(std::get<0>(chapters[k]), joins[k] * 1000 / 44100, 25) << k;
  }
  EXPECT_EQ(std::get<2>(chapters[0]), "One");
}

// FLAC parts are copied into Matroska, which holds them as they are, and
// encoded into an mp3.
TEST(EncodedBooks, CopyWhereTheContainerHoldsTheCodecAndEncodeElsewhere) {
  SKIP_WITHOUT("ffmpeg");
  TempDir dir;
  fs::copy_file(fs::path(HUSHMARK_EXAMPLES) / "talk.wav", dir / "talk.wav");
  ASSERT_TRUE(run_in(dir,
                     "ffmpeg -nostdin -v error -i talk.wav -t 4 a.flac && "
                     "ffmpeg -nostdin -v error -ss 4 -i talk.wav b.flac"));
  for (const auto& [out, codec] : {std::pair{"book.mka", "codec_name=flac\n"},
                                   std::pair{"book.mp3", "codec_name=mp3\n"}}) {
    testing::ToolRun run =
        run_chapters(dir.path(), {"-F", "-o", out, "a.flac", "b.flac"});
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(probed(dir, out).starts_with(codec)) << probed(dir, out);
    const Chapters chapters = probed_chapters(dir, out);
    ASSERT_EQ(chapters.size(), 2u) << out;
    EXPECT_NEAR(std::get<0>(chapters[1]), 4000, 25) << out;
  }
  // A file per chapter is encoded once too, and cut at the join.
  testing::ToolRun run = run_chapters(
      dir.path(), {"-F", "-o", "files/%d.mp3", "a.flac", "b.flac"});
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(probed(dir, "files/1.mp3").starts_with("codec_name=mp3\n"));
  EXPECT_NEAR(played_frames(dir, "files/1.mp3"), 4 * 44100, 1152);
  EXPECT_EQ(listing(dir / "files"), (std::set<std::string>{"1.mp3", "2.mp3"}));
}

// AAC parts are copied, not encoded, yet take the book's tags and cover as
// an encoded book does: into an m4b one picture, into Matroska an attachment.
TEST(EncodedBooks, CopiedPartsTakeTheBooksTagsAndCover) {
  SKIP_WITHOUT("ffmpeg");
  TempDir dir;
  fs::copy_file(fs::path(HUSHMARK_EXAMPLES) / "talk.wav", dir / "talk.wav");
  write_file(dir / "cover.ppm", "P6 2 2 255\n" + std::string(12, '\x7f'));
  ASSERT_TRUE(run_in(
      dir,
      "ffmpeg -nostdin -v error -i talk.wav -i cover.ppm -t 3 -map 0 -map 1 "
      "-c:v mjpeg -disposition:v attached_pic -c:a aac -metadata album=Book "
      "-metadata title=One a.m4a && ffmpeg -nostdin -v error -ss 3 -i "
      "talk.wav -c:a aac -metadata artist=Someone -metadata title=Two b.m4a"));
  std::vector<std::string> packets = audio_packets(dir, "a.m4a");
  for (const std::string& p : audio_packets(dir, "b.m4a"))
    packets.push_back(p);
  for (const char* out : {"book.m4b", "book.mka"}) {
    testing::ToolRun run =
        run_chapters(dir.path(), {"-F", "-o", out, "a.m4a", "b.m4a"});
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(audio_packets(dir, out), packets) << out;
    // Matroska's tags are in capitals; ffprobe shows its attached picture
    // as a video stream, which a video track would be too, but not attached.
    std::string said = probed(dir, out);
    for (char& c : said)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* tag :
         {"tag:album=book\n", "tag:artist=someone\n", "tag:title=book\n"}) {
      EXPECT_NE(said.find(tag), std::string::npos) << tag << said;
    }
    const std::size_t video =
        said.find("codec_type=video\ndisposition:attached_pic=1\n");
    EXPECT_NE(video, std::string::npos) << said;
    EXPECT_EQ(said.find("codec_type=video"), said.rfind("codec_type=video"))
        << said;
  }
}

// An encoder that fails, and a run stopped by SIGTERM or SIGINT while it
// encodes, leave the earlier output as it was and no file of the run behind;
// the failure says what went wrong.
TEST(EncodedBooks,
     AFailedOrStoppedRunLeavesTheEarlierOutputAndNoTemporaryFile) {
  SKIP_WITHOUT("ffmpeg");
  TempDir dir;
  fs::copy_file(fs::path(HUSHMARK_EXAMPLES) / "talk.wav", dir / "talk.wav");
  ASSERT_TRUE(
      run_in(dir, "ffmpeg -nostdin -v error -i talk.wav -ac 1 part.mp3"));
  fs::create_directory(dir / "bin");
  // The encoder run is the one that reads raw samples. Told to stall, it
  // notes its process id once it has read them all, and waits.
  write_file(dir / "bin/ffmpeg",
             "#!/bin/sh\ncase \"$*\" in *'-f f32le'*) cat > /dev/null; "
             "[ -n \"$STALL\" ] && echo $$ > bin/pid && mv bin/pid bin/stalled "
             "&& exec sleep 60; "
             "echo 'No space left on device' >&2; exit 1;; esac\n"
             "exec ffmpeg \"$@\"\n");
  fs::permissions(dir / "bin/ffmpeg", fs::perms(0755));
  ASSERT_TRUE(run_in(dir, "ln -s \"$(command -v ffprobe)\" bin/ffprobe"));
  write_file(dir / "book.m4b", "earlier");
  const auto names = listing(dir.path());
  const std::string ffmpeg = "HUSHMARK_FFMPEG=" + (dir / "bin/ffmpeg").string();
  testing::ToolRun run =
      run_chapters(dir.path(), {"-y", "-o", "book.m4b", "part.mp3"}, "C.UTF-8",
                   nullptr, {ffmpeg});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(
      run.out.ends_with("エンコードに失敗しました: No space left on device\n"))
      << run.out;
  const fs::path stalled = dir / "bin/stalled";
  for (int signal_number : {SIGTERM, SIGINT}) {
    EXPECT_TRUE(stopped_once_marked(dir, {"-y", "-o", "book.m4b", "part.mp3"},
                                    {ffmpeg, "STALL=1"}, stalled,
                                    signal_number));
    // The stalled encoder is waited for no longer.
    if (fs::exists(stalled)) {
      ::kill(std::stoi(read_file(stalled)), SIGKILL);
      fs::remove(stalled);
    }
    EXPECT_EQ(listing(dir.path()), names) << signal_number;
  }
  EXPECT_EQ(read_file(dir / "book.m4b"), "earlier");
}

// The names in a folder of chapter files, in order.
std::vector<std::string> sorted_listing(const fs::path& dir) {
  const std::set<std::string> names = listing(dir);
  return {names.begin(), names.end()};
}

// The chapters' starts in ms, as the console lists them.
std::vector<std::int64_t> listed_starts(const std::string& out) {
  std::vector<std::int64_t> starts;
  std::istringstream shown(out);
  for (std::string line; std::getline(shown, line);) {
    int number = 0, h = 0, m = 0, s = 0, ms = 0;
    if (std::sscanf(line.c_str(), "%d %d:%d:%d.%d", &number, &h, &m, &s, &ms) ==
        5)
      starts.push_back((h * 3600 + m * 60 + s) * 1000 + ms);
  }
  return starts;
}

// The samples, mono, that a player decodes from a file.
std::vector<std::int16_t> played(const TempDir& dir, const std::string& name) {
  const std::string bytes =
      output_of(dir, "ffmpeg -nostdin -v error -i '" + name +
                         "' -map 0:a -ac 1 -f s16le -");
  std::vector<std::int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

// The most that file's samples differ from book's from its chapter's start
// (ms) on: AAC's noise substitution draws them a few hundred apart, a
// start a frame off tens of thousands.
int start_difference(const std::vector<std::int16_t>& book,
                     const std::vector<std::int16_t>& file,
                     std::int64_t start_ms) {
  const auto at = static_cast<std::size_t>((start_ms * 44100 + 500) / 1000);
  if (file.empty() || at + file.size() > book.size()) return 65536;
  int most = 0;
  for (std::size_t i = 0; i < file.size(); ++i)
    most = std::max(most, std::abs(file[i] - book[at + i]));
  return most;
}

// An mp3 book split at its chapters: each file plays from its chapter's
// sample to the next's, decodes without an error, and carries its title, its
// number, the book's tags and cover, and no chapters; nothing else is left in
// the folder.
TEST(ChapterFiles, AnMp3BookSplitsIntoTaggedFilesThatPlayItsChapters) {
  SKIP_WITHOUT("ffmpeg");
  TempDir dir;
  fs::copy_file(fs::path(HUSHMARK_EXAMPLES) / "talk.wav", dir / "talk.wav");
  write_file(dir / "cover.ppm", "P6 2 2 255\n" + std::string(12, '\x7f'));
  ASSERT_TRUE(run_in(
      dir,
      "ffmpeg -nostdin -v error -i talk.wav -i cover.ppm -map 0 -map 1 "
      "-c:v mjpeg -disposition:v attached_pic -metadata title=Book -metadata "
      "artist=Someone -metadata genre=Talk -metadata date=2024 book.mp3"));
  testing::ToolRun run =
      run_chapters(dir.path(), {"-i", "book.mp3", "-m", "200", "-t",
                                "Part: %d?", "-o", "Book/%02d %t.mp3"});
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(run.out.ends_with("ファイル5個を書き出しました。\n")) << run.out;
  const std::vector<std::string> names = sorted_listing(dir / "Book");
  ASSERT_EQ(names, (std::vector<std::string>{
                       "01 Part_ 1_.mp3", "02 Part_ 2_.mp3", "03 Part_ 3_.mp3",
                       "04 Part_ 4_.mp3", "05 Part_ 5_.mp3"}));
  // Each file plays the book's samples from its chapter's start to the
  // next's, its first frame included, and together they play the book.
  const std::vector<std::int64_t> starts = listed_starts(run.out);
  ASSERT_EQ(starts.size(), names.size()) << run.out;
  const std::vector<std::int16_t> book = played(dir, "book.mp3");
  std::size_t total = 0;
  for (std::size_t k = 0; k < names.size(); ++k) {
    const std::string file = "Book/" + names[k];
    const std::vector<std::int16_t> samples = played(dir, file);
    EXPECT_EQ(start_difference(book, samples, starts[k]), 0) << file;
    total += samples.size();
    EXPECT_EQ(output_of(dir, "ffmpeg -nostdin -v error -i '" + file +
                                 "' -f null - 2>&1"),
              "")
        << file;
  }
  EXPECT_EQ(total, book.size());
  // A book without a LAME tag gives a first file without one, which no
  // player shortens by the decoder's delay.
  ASSERT_TRUE(run_in(
      dir, "ffmpeg -nostdin -v error -i talk.wav -write_xing 0 bare.mp3"));
  run = run_chapters(dir.path(), {"-i", "bare.mp3", "-o", "Bare/%d.mp3"});
  ASSERT_EQ(run.status, 0) << run.out;
  const std::vector<std::int16_t> bare = played(dir, "bare.mp3");
  const std::vector<std::int64_t> bare_starts = listed_starts(run.out);
  ASSERT_FALSE(bare_starts.empty()) << run.out;
  for (std::size_t k = 0; k < bare_starts.size(); ++k) {
    const std::string file = "Bare/" + std::to_string(k + 1) + ".mp3";
    EXPECT_EQ(start_difference(bare, played(dir, file), bare_starts[k]), 0)
        << file;
  }
  const std::string said = probed(dir, "Book/02 Part_ 2_.mp3");
  for (const char* tag :
       {"TAG:title=Part: 2?\n", "TAG:track=2/5\n", "TAG:album=Book\n",
        "TAG:artist=Someone\n", "TAG:genre=Talk\n", "TAG:date=2024\n",
        "codec_type=video\nDISPOSITION:attached_pic=1\n"}) {
    EXPECT_NE(said.find(tag), std::string::npos) << tag << said;
  }
  EXPECT_EQ(said.find("start_time"), std::string::npos) << said;
}

// An m4b into m4a files, its own chapters with -c, and CD tracks into mp3
// files across their join: every file copied, together the book's packets
// in order; an m4a file plays from its chapter's sample, and the files'
// lengths add up to the book's. -c copies the chapters into one file too,
// retitled by -T, and refuses a book without chapters.
TEST(ChapterFiles, AnM4bAndCdTracksSplitIntoCopiedFiles) {
  SKIP_WITHOUT("ffmpeg");
  SKIP_WITHOUT("python3");
  TempDir dir;
  fs::copy_file(fs::path(HUSHMARK_EXAMPLES) / "talk.wav", dir / "talk.wav");
  fs::create_directory(dir / "CD");
  ASSERT_TRUE(run_in(dir,
                     "ffmpeg -nostdin -v error -i talk.wav -c:a aac book.m4b "
                     "&& ffmpeg -nostdin -v error -i talk.wav -t 3 CD/1.mp3 "
                     "&& ffmpeg -nostdin -v error -ss 3 -i talk.wav CD/2.mp3"));
  ASSERT_EQ(run_chapters(dir.path(), {"-i", "book.m4b", "-m", "200", "-t",
                                      "第%d章", "-o", "own.m4b"})
                .status,
            0);
  const struct {
    std::vector<std::string> args;
    std::vector<std::string> sources;
    const char* folder;
  } runs[] = {
      {{"-m", "200", "-i", "book.m4b", "-o", "m4a/%d.m4a"},
       {"book.m4b"},
       "m4a"},
      {{"-c", "-i", "own.m4b", "-o", "c/%t %02d.m4a"}, {"book.m4b"}, "c"},
      {{"-m", "200", "-o", "cd/%d.mp3", "CD"}, {"CD/1.mp3", "CD/2.mp3"}, "cd"}};
  const std::vector<std::int16_t> book = played(dir, "book.m4b");
  const auto seconds = [&](const std::string& name) {
    return std::stod(output_of(dir,
                               "ffprobe -v error -show_entries format=duration "
                               "-of csv=p=0 '" +
                                   name + "'"));
  };
  for (const auto& r : runs) {
    testing::ToolRun run = run_chapters(dir.path(), r.args);
    ASSERT_EQ(run.status, 0) << run.out;
    std::vector<std::string> expected, joined;
    for (const std::string& source : r.sources) {
      const std::vector<std::string> p = audio_packets(dir, source);
      expected.insert(expected.end(), p.begin(), p.end());
    }
    const std::vector<std::string> names = sorted_listing(dir / r.folder);
    const std::vector<std::int64_t> starts = listed_starts(run.out);
    ASSERT_EQ(names.size(), 5u) << r.folder;
    ASSERT_EQ(starts.size(), 5u) << run.out;
    double total = 0;
    for (std::size_t k = 0; k < names.size(); ++k) {
      const std::string file = std::string(r.folder) + "/" + names[k];
      const std::vector<std::string> p = audio_packets(dir, file);
      // An mp4 file starts with the packets that prime its first: its edit
      // list makes it play from its chapter's first sample.
      if (r.sources[0] == "book.m4b") {
        EXPECT_LE(start_difference(book, played(dir, file), starts[k]), 1024)
            << file;
        EXPECT_EQ(output_of(dir, "ffmpeg -nostdin -v error -i '" + file +
                                     "' -f null - 2>&1"),
                  "")
            << file;
        // Its packets are a run of the book's that leaves none out.
        const auto at = static_cast<std::size_t>(
            std::search(expected.begin(), expected.end(), p.begin(), p.end()) -
            expected.begin());
        ASSERT_LE(at, joined.size()) << file;
        const std::size_t end = std::max(joined.size(), at + p.size());
        joined.assign(expected.begin(), expected.begin() + end);
        // Its edit list ends it at the next chapter's start.
        total += seconds(file);
      } else {
        joined.insert(joined.end(), p.begin(), p.end());
      }
    }
    EXPECT_EQ(joined, expected) << r.folder;
    if (r.sources[0] == "book.m4b") {
      EXPECT_NEAR(total, seconds("book.m4b"), 0.002) << r.folder;
    }
  }
  EXPECT_EQ(sorted_listing(dir / "c").front(), "第1章 01.m4a");
  write_file(dir / "titles.txt", "One\nTwo\n");
  ASSERT_EQ(run_chapters(dir.path(), {"-c", "-T", "titles.txt", "-i", "own.m4b",
                                      "-o", "retitled.m4b"})
                .status,
            0);
  const Chapters own = probed_chapters(dir, "own.m4b");
  Chapters retitled = own;
  std::get<2>(retitled[0]) = "One";
  std::get<2>(retitled[1]) = "Two";
  EXPECT_EQ(probed_chapters(dir, "retitled.m4b"), retitled);
  testing::ToolRun none =
      run_chapters(dir.path(), {"-c", "-i", "book.m4b", "-o", "none.m4b"});
  EXPECT_EQ(none.status, 1);
  EXPECT_TRUE(none.out.ends_with(
      "入力ファイルにチャプターがありません: book.m4b\n-cは入力ファイルが持つ"
      "チャプターを使います。無音から選ぶときは-cを付けずに実行してください。"
      "\n"))
      << none.out;
}

// Without -y no media output replaces a file, and the run says so before
// the scan; a split that fails or is stopped leaves no file of its own and
// the earlier files as they were.
TEST(ChapterFiles, NothingIsReplacedWithoutYAndAFailedRunLeavesNothing) {
  SKIP_WITHOUT("ffmpeg");
  TempDir dir;
  fs::copy_file(fs::path(HUSHMARK_EXAMPLES) / "talk.wav", dir / "talk.wav");
  ASSERT_TRUE(run_in(dir, "ffmpeg -nostdin -v error -i talk.wav book.mp3"));
  fs::create_directory(dir / "Book");
  write_file(dir / "Book/03 Old.mp3", "earlier");
  write_file(dir / "out.m4b", "earlier");
  for (const char* out : {"Book/%02d %t.mp3", "out.m4b"}) {
    testing::ToolRun run =
        run_chapters(dir.path(), {"-i", "book.mp3", "-o", out});
    EXPECT_EQ(run.status, 1);
    const std::string named = out[0] == 'B' ? "Book/03 Old.mp3" : out;
    EXPECT_TRUE(run.out.ends_with("出力ファイルがすでにあります: " + named +
                                  "\n置き換えるときは-yを指定してください。\n"))
        << run.out;
  }
  // A folder that cannot be made is known before the scan too.
  testing::ToolRun folder =
      run_chapters(dir.path(), {"-i", "book.mp3", "-o", "out.m4b/%d.mp3"});
  EXPECT_EQ(folder.status, 1);
  EXPECT_TRUE(folder.out.ends_with("フォルダを作れませんでした: out.m4b/\n"))
      << folder.out;
  fs::create_directory(dir / "bin");
  write_file(dir / "bin/ffmpeg",
             "#!/bin/sh\ncase \"$*\" in *'-progress pipe:1'*) "
             "[ -n \"$STALL\" ] && echo $$ > bin/pid && mv bin/pid bin/stalled "
             "&& exec sleep 60; "
             "echo 'No space left on device' >&2; exit 1;; esac\n"
             "exec ffmpeg \"$@\"\n");
  fs::permissions(dir / "bin/ffmpeg", fs::perms(0755));
  ASSERT_TRUE(run_in(dir, "ln -s \"$(command -v ffprobe)\" bin/ffprobe"));
  const std::string ffmpeg = "HUSHMARK_FFMPEG=" + (dir / "bin/ffmpeg").string();
  const auto names = listing(dir.path());
  testing::ToolRun run = run_chapters(
      dir.path(), {"-y", "-m", "200", "-o", "Book/%d.mp3", "book.mp3"},
      "C.UTF-8", nullptr, {ffmpeg});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.out.ends_with("No space left on device\n")) << run.out;
  // Stopped while its first file is written.
  const fs::path stalled = dir / "bin/stalled";
  EXPECT_TRUE(stopped_once_marked(
      dir, {"-y", "-m", "200", "-o", "Book/%d.mp3", "book.mp3"},
      {ffmpeg, "STALL=1"}, stalled, SIGINT));
  if (fs::exists(stalled)) {
    ::kill(std::stoi(read_file(stalled)), SIGKILL);
    fs::remove(stalled);
  }
  EXPECT_EQ(listing(dir.path()), names);
  // Even with -y, no chapter's file replaces the book.
  fs::copy_file(dir / "book.mp3", dir / "Book/1.mp3");
  const std::string book = read_file(dir / "Book/1.mp3");
  run = run_chapters(dir.path(),
                     {"-y", "-m", "200", "-o", "Book/%d.mp3", "Book/1.mp3"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(
      run.out.ends_with("入力ファイルと同じファイルには書き出せません。\n"))
      << run.out;
  EXPECT_EQ(read_file(dir / "Book/1.mp3"), book);
  fs::remove(dir / "Book/1.mp3");
  EXPECT_EQ(listing(dir / "Book"), std::set<std::string>{"03 Old.mp3"});
  EXPECT_EQ(read_file(dir / "Book/03 Old.mp3"), "earlier");
  // The second file cannot be moved over a folder: the first file moved in
  // goes out again and the earlier files keep their bytes.
  write_file(dir / "Book/1.mp3", "one");
  fs::create_directories(dir / "Book/2.mp3/kept");
  write_file(dir / "Book/3.mp3", "three");
  run = run_chapters(dir.path(),
                     {"-y", "-m", "200", "-o", "Book/%d.mp3", "book.mp3"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.out.ends_with("出力ファイルを書き出しできませんでした。\n"))
      << run.out;
  EXPECT_EQ(listing(dir / "Book"),
            (std::set<std::string>{"03 Old.mp3", "1.mp3", "2.mp3", "2.mp3/kept",
                                   "3.mp3"}));
  EXPECT_EQ(read_file(dir / "Book/1.mp3"), "one");
  EXPECT_EQ(read_file(dir / "Book/3.mp3"), "three");
  EXPECT_TRUE(fs::is_directory(dir / "Book/2.mp3/kept"));
}

TEST(DecodedInputs, SayWhatFfmpegCouldNotReadAndKeepTheEarlierOutput) {
  SKIP_WITHOUT("ffmpeg");
  TempDir dir;
  write_file(dir / "text.mp3", "not a recording\n");
  write_file(dir / "out.txt", "earlier\n");
  ASSERT_TRUE(run_in(dir,
                     "ffmpeg -nostdin -v error -f lavfi -i "
                     "testsrc=d=1:s=32x32 -c:v ffv1 video.mkv"));
  testing::ToolRun text =
      run_chapters(dir.path(), {"-i", "text.mp3", "-o", "out.txt"});
  EXPECT_EQ(text.status, 1);
  // ffmpeg's own last line follows, without the "file:" it was given.
  EXPECT_NE(text.out.find("ffmpegで読み取れませんでした: text.mp3\n"
                          "ffmpeg: text.mp3: "),
            std::string::npos)
      << text.out;
  testing::ToolRun video = run_probe(dir.path(), {"-i", "video.mkv"});
  EXPECT_EQ(video.status, 1);
  EXPECT_TRUE(video.out.ends_with("音声がありません: video.mkv\n"))
      << video.out;
  EXPECT_EQ(read_file(dir / "out.txt"), "earlier\n");
}

TEST(DecodedInputs, ShowTheirProgressOnATerminalAndNothingElsewhere) {
  SKIP_WITHOUT("ffmpeg");
  SKIP_WITHOUT("ffprobe");
  TempDir dir;
  // An ffmpeg that decodes at real time makes the scan last 3.5 s. The line
  // shows from 1.5 s on, when the run asks ffprobe for the length; told to
  // hold, ffmpeg starts only once ffprobe has answered (or after two minutes,
  // so that a run that never asks fails instead of hanging), so that the
  // share shows however long ffprobe takes.
  write_file(dir / "ffmpeg",
             "#!/bin/sh\nn=0\nif [ -n \"$HOLD\" ]; then\n"
             "  while [ ! -e probed ] && [ $n -lt 2400 ]; do\n"
             "    sleep 0.05; n=$((n + 1))\n  done\nfi\n"
             "exec ffmpeg -re \"$@\"\n");
  write_file(dir / "ffprobe",
             "#!/bin/sh\nffprobe \"$@\"\nstatus=$?\n"
             "case \"$*\" in *format=duration*) : > probed;; esac\n"
             "exit $status\n");
  fs::permissions(dir / "ffmpeg", fs::perms::owner_all);
  fs::permissions(dir / "ffprobe", fs::perms::owner_all);
  ASSERT_TRUE(run_in(dir,
                     "ffmpeg -nostdin -v error -f lavfi -i sine=d=3.5 -ac 2 "
                     "book.mp3"));
  const std::vector<std::string> env = {
      "HUSHMARK_FFMPEG=" + (dir / "ffmpeg").string(),
      "HUSHMARK_FFPROBE=" + (dir / "ffprobe").string()};
  const std::vector<std::string> args = {"-F", "-o", "book.txt", "book.mp3"};
  std::vector<std::string> held = env;
  held.push_back("HOLD=1");
  const std::string shown = run_on_terminal(dir, args, held);
  testing::ToolRun piped =
      testing::run_chapters(dir.path(), args, "C.UTF-8", nullptr, env);
  ASSERT_EQ(piped.status, 0) << piped.out;
  EXPECT_EQ(piped.out.find('\r'), std::string::npos) << piped.out;
  // The line shows a share of the whole, and goes before anything else is
  // written; without it, the terminal shows what a pipe receives.
  const std::regex line("\r(  [^\r\n\x1B]*)?\x1B\\[K");
  EXPECT_TRUE(std::regex_search(shown, std::regex("\r  [0-9]+% "))) << shown;
  EXPECT_EQ(std::regex_replace(shown, line, ""), piped.out) << shown;
  // Files per chapter are written after the list: the line shows again.
  const std::string split =
      run_on_terminal(dir, {"-F", "-o", "files/%d.mp3", "book.mp3"}, env);
  const std::size_t listed = split.find("か所から)");
  ASSERT_NE(listed, std::string::npos) << split;
  EXPECT_TRUE(
      std::regex_search(split.substr(listed), std::regex("\r  [0-9]+% ")))
      << split;
  EXPECT_TRUE(split.ends_with("ファイル1個を書き出しました。\n")) << split;
}

}  // namespace
}  // namespace hushmark
