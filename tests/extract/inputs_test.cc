#include "extract/inputs.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/core_words.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "test_support.h"

namespace hushmark {
namespace {

namespace fs = std::filesystem;

// Root lists any folder whatever its mode, unless it sets aside the two
// capabilities that override modes; false when that cannot be done.
bool override_modes(bool on) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  if (::syscall(SYS_capget, &header, data) != 0) return false;
  const std::uint32_t bits =
      (1U << CAP_DAC_OVERRIDE) | (1U << CAP_DAC_READ_SEARCH);
  data[0].effective = on ? data[0].effective | (data[0].permitted & bits)
                         : data[0].effective & ~bits;
  return ::syscall(SYS_capset, &header, data) == 0;
}

std::wstring wide(const fs::path& path) {
  return platform::widen_argument(path.c_str());
}

TEST(Inputs, CompareInNaturalOrderAComponentAtATime) {
  // Each path comes strictly before every one after it, and the comparison
  // says so both ways round.
  const std::vector<std::wstring> order = {
      L"book/CD1/part 1.mp3",
      L"book/CD1/part 01.mp3",
      L"book/CD1/part 2.mp3",
      L"book/CD1/Part 10.mp3",
      L"book/CD1/part 10.mp3",
      L"book/CD1/part 10a.mp3",
      L"book/CD2/part 1.mp3",
      L"book/CD10/part 1.mp3",
      L"book/cd10/part 1.mp3",
      L"book/intro.mp3",
      L"book/part 99999999999999999999.mp3",
      L"book/part 100000000000000000000.mp3",
      L"book a/part 1.mp3",
      L"booka/part 1.mp3"};
  for (std::size_t i = 0; i < order.size(); ++i) {
    EXPECT_EQ(compare_natural(order[i], order[i]), 0) << i;
    for (std::size_t j = i + 1; j < order.size(); ++j) {
      EXPECT_LT(compare_natural(order[i], order[j]), 0) << i << " " << j;
      EXPECT_GT(compare_natural(order[j], order[i]), 0) << i << " " << j;
    }
  }
}

TEST(Inputs, TellRecordingsByTheirFirstBytes) {
  struct Row {
    std::string head;
    bool audio;
  };
  const Row rows[] = {
      {std::string("RIFF\0\0\0\0WAVEfmt ", 16), true},
      {std::string("RIFF\0\0\0\0AVI LIST", 16), false},
      {"ID3\x04", true},
      {"\xFF\xFB\x90\x64", true},   // MPEG-1 layer III
      {"\xFF\xF1\x50\x80", true},   // ADTS AAC
      {"\xFF\xFB\xF0\x64", false},  // a bitrate that no frame has
      {"\xFF\xD8\xFF\xE0", false},  // JPEG
      {"fLaC", true},
      {"OggS", true},
      {std::string("\0\0\0\x20"
                   "ftypM4B ",
                   12),
       true},
      {"\x1A\x45\xDF\xA3", true},
      {std::string("FORM\0\0\0\0AIFC", 12), true},
      {"caff", true},
      {std::string("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62"
                   "\xCE\x6C",
                   16),
       true},
      {"FILE \"book.wav\" WAVE", false},  // a cue sheet
      {"#EXTM3U", false},
      {"", false}};
  for (const Row& row : rows) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(row.head.data());
    EXPECT_EQ(looks_like_audio({bytes, row.head.size()}), row.audio)
        << row.head;
  }
}

// A FIFO whose writer sends nothing would hold a walk that reads it forever;
// this one carries a recording's first bytes, so that such a walk takes it
// for a recording instead of hanging the test.
TEST(Inputs, AFolderGivesOnlyRegularFilesOnItsOwnFileSystem) {
  testing::TempDir dir;
  const std::string head("RIFF\0\0\0\0WAVEfmt ", 16);
  testing::write_file(dir / "part 1.wav", head);
  const fs::path fifo = dir / "part 2.wav";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_symlink(fifo, dir / "part 3.wav");
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
  ASSERT_GE(writer, 0);
  for (int k = 0; k < 4; ++k)
    ASSERT_EQ(::write(writer, head.data(), head.size()), 16);
  // A link to a file on another file system: /dev/shm, where it is one.
  const fs::path away =
      "/dev/shm/hushmark-inputs-" + std::to_string(::getpid()) + ".wav";
  struct stat here, shm;
  const bool apart = ::stat(dir.path().c_str(), &here) == 0 &&
                     ::stat("/dev/shm", &shm) == 0 && here.st_dev != shm.st_dev;
  if (apart) {
    testing::write_file(away, head);
    fs::create_symlink(away, dir / "part 4.wav");
  }
  std::vector<std::wstring> inputs = {
      platform::widen_argument(dir.path().c_str())};
  EXPECT_EQ(expand_inputs(inputs, [](const Notice&) {}).failure,
            Failure::kNone);
  EXPECT_EQ(inputs, std::vector<std::wstring>{platform::widen_argument(
                        (dir / "part 1.wav").c_str())});
  // Nor is a FIFO that turns up between the listing and the opening waited on.
  platform::InputFile file;
  EXPECT_FALSE(file.open_to_peek(platform::widen_argument(fifo.c_str())));
  if (apart) fs::remove(away);
  ::close(writer);
  ::close(reader);
}

// A USB stick's `System Volume Information` is passed over with a line and the
// parts beside it are read; the folder given must be readable, and a tree of
// more names than a book holds ends the walk before any file is read.
TEST(Inputs, AFolderPassesOverFoldersItCannotListAndEndsPastItsBound) {
  testing::TempDir dir;
  const fs::path book = dir / "Book";
  const std::string head("RIFF\0\0\0\0WAVEfmt ", 16);
  fs::create_directories(book / "CD2");
  fs::create_directories(book / "System Volume Information");
  testing::write_file(book / "CD1.wav", head);
  testing::write_file(book / "CD2" / "part.wav", head);
  testing::write_file(book / "System Volume Information" / "x.wav", head);
  ::chmod((book / "System Volume Information").c_str(), 0);
  if (!override_modes(false)) GTEST_SKIP() << "cannot set modes over root";
  std::vector<std::wstring> told;
  const NoticeSink notices = [&told](const Notice& notice) {
    told.push_back(word_notice(notice));
  };
  std::vector<std::wstring> inputs = {wide(book)};
  const CoreError skipped = expand_inputs(inputs, notices, 5);
  ::chmod(book.c_str(), 0);
  std::vector<std::wstring> locked = {wide(book)};
  const CoreError refused = expand_inputs(locked, notices);
  override_modes(true);
  ::chmod(book.c_str(), 0755);
  ::chmod((book / "System Volume Information").c_str(), 0755);

  EXPECT_EQ(skipped.failure, Failure::kNone);
  EXPECT_EQ(inputs, (std::vector<std::wstring>{wide(book / "CD1.wav"),
                                               wide(book / "CD2/part.wav")}));
  EXPECT_EQ(told, std::vector<std::wstring>{
                      L"※ 読み取れないフォルダを飛ばしました: " +
                      wide(book / "System Volume Information") + L"\n"});
  EXPECT_EQ(word_error(refused),
            L"読み取れませんでした: " + wide(book) + L"\n");
  // Three names in the book and one in each of its folders.
  for (std::size_t max_names : {std::size_t{5}, std::size_t{4}}) {
    inputs = {wide(book)};
    const CoreError bounded = expand_inputs(inputs, notices, max_names);
    EXPECT_EQ(word_error(bounded),
              max_names == 5
                  ? L""
                  : L"ファイルが多すぎて、1冊の本のフォルダとは思えません: " +
                        wide(book) + L"\n");
  }
}

}  // namespace
}  // namespace hushmark
