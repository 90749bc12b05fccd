#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "platform/files.h"
#include "platform/paths.h"

namespace hushmark::platform {
namespace {

constexpr std::size_t kOutputBufferBytes = 64 * 1024;

// Opens without blocking on a FIFO that has no peer yet, then goes back to
// ordinary blocking I/O.
int open_path(std::wstring_view path, int flags) {
  std::optional<std::string> bytes = narrow_path(path);
  if (!bytes || bytes->empty()) return -1;
  int fd;
  do {
    fd = ::open(bytes->c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  int fl = ::fcntl(fd, F_GETFL);
  if (fl >= 0) ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
  return fd;
}

}  // namespace

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool InputFile::open(std::wstring_view path) {
  int fd = open_path(path, O_RDONLY);
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

std::size_t InputFile::read(std::span<std::uint8_t> out) {
  if (fd_ < 0 || failed_) return 0;
  for (;;) {
    ssize_t n = ::read(fd_, out.data(), out.size());
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) {
      failed_ = true;
      return 0;
    }
  }
}

void InputFile::skip(std::uint64_t n) {
  if (fd_ < 0 || n == 0) return;
  if (n <= static_cast<std::uint64_t>(INT64_MAX) &&
      ::lseek(fd_, static_cast<off_t>(n), SEEK_CUR) >= 0) {
    return;
  }
  // A pipe cannot seek: read the bytes and drop them.
  std::uint8_t sink[64 * 1024];
  while (n > 0) {
    std::size_t want =
        n < sizeof sink ? static_cast<std::size_t>(n) : sizeof sink;
    std::size_t got = read(std::span(sink, want));
    if (got == 0) return;
    n -= got;
  }
}

bool InputFile::is_same_file(std::wstring_view path) const {
  std::optional<std::string> bytes = narrow_path(path);
  struct stat mine, other;
  if (fd_ < 0 || !bytes || ::fstat(fd_, &mine) != 0 ||
      ::stat(bytes->c_str(), &other) != 0) {
    return false;
  }
  return mine.st_dev == other.st_dev && mine.st_ino == other.st_ino;
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) close();
}

bool OutputFile::open(std::wstring_view path) {
  fd_ = open_path(path, O_WRONLY | O_CREAT | O_TRUNC);
  failed_ = false;
  buffer_.clear();
  return fd_ >= 0;
}

void OutputFile::write(std::string_view bytes) {
  buffer_.append(bytes);
  if (buffer_.size() >= kOutputBufferBytes) flush();
}

void OutputFile::flush() {
  std::size_t done = 0;
  while (!failed_ && done < buffer_.size()) {
    ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      failed_ = true;
    }
  }
  buffer_.clear();
}

bool OutputFile::close() {
  if (fd_ < 0) return !failed_;
  flush();
  if (::close(fd_) != 0) failed_ = true;
  fd_ = -1;
  return !failed_;
}

}  // namespace hushmark::platform
