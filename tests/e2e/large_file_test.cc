// Runs the extraction on files past the 32-bit limits, made sparse so that
// they cost little disk: unwritten stretches read back as zeros, which are
// digital silence, and a few loud frames end the silences where points belong.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "extract/silence_scan.h"
#include "extract/wave_reader.h"
#include "test_support.h"
#include "wave_bytes.h"

namespace hushmark {
namespace {

namespace fs = std::filesystem;
using testing::WaveBytes;

// A temp folder in memory when /dev/shm is there: reading a hole from tmpfs
// costs the kernel next to nothing, from a disk file system seconds per 4 GiB.
class SparseDir {
 public:
  SparseDir() {
    fs::path base = access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm")
                                                  : fs::temp_directory_path();
    std::string pattern = (base / "hushmark-large-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~SparseDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  fs::path operator/(const char* name) const { return path_ / name; }

 private:
  fs::path path_;
};

// Writes head at the start of a file of `size` bytes, and one loud frame at
// each of the given offsets; everything else stays a hole.
void make_sparse(const fs::path& path, const std::string& head,
                 std::uint64_t size,
                 std::initializer_list<std::uint64_t> loud_at = {}) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, static_cast<off_t>(size)), 0);
  ASSERT_EQ(pwrite(fd, head.data(), head.size(), 0),
            static_cast<ssize_t>(head.size()));
  const std::string frame = testing::frames_of({testing::loud(1)});
  for (std::uint64_t at : loud_at) {
    ASSERT_EQ(pwrite(fd, frame.data(), frame.size(), static_cast<off_t>(at)),
              4);
  }
  close(fd);
}

// The extraction of dir's in.wav with the point at this cut position.
testing::Extraction extract(const SparseDir& dir,
                            std::int32_t cut_position = 0) {
  Settings s;
  s.cut_position = cut_position;
  return testing::extract_file(dir / "in.wav", s);
}

// The header of a 44.1 kHz file whose data chunk declares `data_size` bytes.
std::string cd_header(std::uint32_t data_size) {
  WaveBytes w;
  w.fmt(44100).raw("data").u32(data_size);
  return w.bytes();
}

TEST(LargeFile, ScansTheLargestDataChunkToItsLastFrame) {
  // 4,294,967,292 bytes: 1,073,741,823 frames, 6 h 45 min at 44.1 kHz. Loud
  // frames at frame 1, one second before the end and at the very last frame.
  constexpr std::uint64_t kFrames = 1'073'741'823;
  const std::string head = cd_header(static_cast<std::uint32_t>(kFrames * 4));
  const std::uint64_t data = head.size();
  auto frame_at = [&](std::uint64_t n) { return data + (n - 1) * 4; };
  SparseDir dir;
  make_sparse(dir / "in.wav", head, data + kFrames * 4,
              {frame_at(1), frame_at(kFrames - 44100), frame_at(kFrames)});
  // Cutting at the end of each silence puts both points past six hours.
  testing::Extraction out = extract(dir, 2);
  EXPECT_TRUE(out.ok);
  EXPECT_EQ(out.console, "06:45:46.887  24346.887秒\n06:45:47.887  1.000秒\n");
  EXPECT_EQ(out.chapters, "06:45:46.887\r\n06:45:47.887\r\n");
}

TEST(LargeFile, ReadsChunksThatStartBeyond4GiB) {
  // An odd LIST chunk of almost 4 GiB and its pad byte, then fmt and data.
  WaveBytes head;
  head.raw("LIST").u32(0xFFFFFFF1);
  WaveBytes tail;
  tail.fmt(44100).data(
      {testing::loud(1), testing::quiet(8820), testing::loud(1)});
  std::string tail_bytes = tail.bytes().substr(12);  // without its RIFF header
  const std::uint64_t tail_at = head.bytes().size() + 0xFFFFFFF2ull;
  SparseDir dir;
  make_sparse(dir / "in.wav", head.bytes(), tail_at + tail_bytes.size());
  int fd = open((dir / "in.wav").c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(pwrite(fd, tail_bytes.data(), tail_bytes.size(),
                   static_cast<off_t>(tail_at)),
            static_cast<ssize_t>(tail_bytes.size()));
  close(fd);
  testing::Extraction out = extract(dir);
  EXPECT_TRUE(out.ok);
  EXPECT_EQ(out.console,
            "未対応chunkID:LIST size:4294967281\n00:00:00.000  0.200秒\n");
  EXPECT_EQ(out.chapters, "00:00:00.000\r\n");
}

TEST(LargeFile, KeepsThePointsOfALargestDataSizeThatRunsShort) {
  // 3 MiB and 3 stray bytes of a declared 4,294,967,295, at 4,000 frames a
  // second: loud frames every 10 s make silences that cross many buffer fills.
  WaveBytes w;
  w.fmt_raw(1, 2, 16000, 16).raw("data").u32(0xFFFFFFFF);
  const std::string head = w.bytes();
  const std::uint64_t data = head.size();
  const std::uint64_t present = 3 * 1024 * 1024 + 3;
  SparseDir dir;
  make_sparse(dir / "in.wav", head, data + present);
  int fd = open((dir / "in.wav").c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  const std::string loud = testing::frames_of({testing::loud(1)});
  std::string console, chapters;
  for (std::uint64_t k = 1; k * 40000 * 4 <= present; ++k) {
    off_t at = static_cast<off_t>(data + (k * 40000 - 1) * 4);
    ASSERT_EQ(pwrite(fd, loud.data(), 4, at), 4);
    std::string time = format_time((k - 1) * 10'000);
    console += time + "  10.000秒\n";
    chapters += time + "\r\n";
  }
  close(fd);
  testing::Extraction out = extract(dir);
  EXPECT_FALSE(out.ok);
  EXPECT_EQ(out.console, console + "データ読み取りに失敗\n");
  EXPECT_EQ(out.chapters, chapters);
}

}  // namespace
}  // namespace hushmark
