#include "platform/files.h"

// What reading and writing files means apart from the system calls, which
// files_posix.cc and files_win32.cc provide.

namespace hushmark::platform {
namespace {

constexpr std::size_t kOutputBufferBytes = 64 * 1024;

}  // namespace

void InputFile::skip(std::uint64_t n) {
  if (fd_ < 0 || n == 0 || seek_forward(n)) return;
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

std::vector<std::uint8_t> read_head(InputFile& file, std::size_t count) {
  std::vector<std::uint8_t> head(count);
  std::size_t got = 0;
  while (got < head.size()) {
    const std::size_t n = file.read(std::span(head).subspan(got));
    if (n == 0) break;
    got += n;
  }
  head.resize(got);
  return head;
}

OutputFile::~OutputFile() {
  if (fd_ < 0) return;
  if (begun_) {
    close();
  } else if (created_ && regular_) {
    close_and_remove();
  } else {
    close_descriptor();
  }
}

void OutputFile::begin() {
  begun_ = true;
  // Pipes and devices cannot be shortened, and /dev/stdout must not be.
  if (regular_ && !truncate()) failed_ = true;
}

void OutputFile::write(std::string_view bytes) {
  if (!begun_) begin();
  buffer_.append(bytes);
  if (buffer_.size() >= kOutputBufferBytes) flush();
}

void OutputFile::open_in_memory(std::string& sink) {
  memory_ = &sink;
  failed_ = false;
  buffer_.clear();
}

void OutputFile::flush() {
  if (memory_ != nullptr) {
    memory_->append(buffer_);
    buffer_.clear();
    return;
  }
  std::string_view rest = buffer_;
  while (!failed_ && !rest.empty()) {
    long long n = write_some(rest);
    if (n > 0) {
      rest.remove_prefix(static_cast<std::size_t>(n));
    } else {
      failed_ = true;
    }
  }
  buffer_.clear();
}

bool OutputFile::close() {
  if (memory_ != nullptr) {
    flush();
    memory_ = nullptr;
    return !failed_;
  }
  if (fd_ < 0) return !failed_;
  // A run that found no point still leaves an empty file.
  if (!begun_) begin();
  flush();
  if (!close_descriptor()) failed_ = true;
  fd_ = -1;
  return !failed_;
}

}  // namespace hushmark::platform
