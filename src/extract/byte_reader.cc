#include "extract/byte_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace hushmark {
namespace {

// The kernel copies from its page cache fastest when the destination has the
// same alignment as the file offset, so every read lands at an address
// congruent to its offset modulo this many bytes. bench/read_bench finds a
// misaligned destination about 12% slower, while congruence modulo 4096 or
// reads from page-aligned file offsets gain nothing over 64.
constexpr std::size_t kAlign = 64;
constexpr std::size_t kFallbackBytes = 4096;

}  // namespace

ByteReader::ByteReader(platform::InputFile& file) : file_(&file) {
  std::size_t want = kBufferBytes + 2 * kAlign + kMaxCarry;
  storage_.reset(new (std::nothrow) std::uint8_t[want]);
  if (!storage_) {
    // Without the big buffer the run still works, only with smaller reads.
    want = kFallbackBytes;
    storage_.reset(new (std::nothrow) std::uint8_t[want]);
  }
  if (!storage_) want = 0;
  auto addr = reinterpret_cast<std::uintptr_t>(storage_.get());
  std::size_t lead = (kAlign - addr % kAlign) % kAlign;
  base_ = storage_.get() + std::min(lead, want);
  capacity_ = want - std::min(lead, want);
}

ByteReader::ByteReader(platform::InputFile& file,
                       std::span<const std::uint8_t> head)
    : ByteReader(file) {
  if (capacity_ < kMaxCarry + kAlign + head.size()) {
    // Only after the large buffer could not be had: the head must fit.
    std::size_t want = kMaxCarry + 2 * kAlign + head.size();
    storage_.reset(new std::uint8_t[want]);
    auto addr = reinterpret_cast<std::uintptr_t>(storage_.get());
    base_ = storage_.get() + (kAlign - addr % kAlign) % kAlign;
    capacity_ = want - static_cast<std::size_t>(base_ - storage_.get());
  }
  // The head goes where fill() would have read it, so that later reads keep
  // their alignment.
  std::memcpy(base_ + kMaxCarry, head.data(), head.size());
  pos_ = kMaxCarry;
  end_ = kMaxCarry + head.size();
  file_offset_ = head.size();
}

ByteReader::ByteReader(std::span<const std::uint8_t> bytes, bool as_stream)
    : memory_(bytes), memory_is_stream_(as_stream) {}

std::span<const std::uint8_t> ByteReader::fill(std::size_t min_bytes) {
  if (file_ == nullptr) return memory_.subspan(pos_);
  if (end_ - pos_ >= min_bytes || capacity_ < kAlign + kMaxCarry) {
    return {base_ + pos_, end_ - pos_};
  }
  // Keep the unread tail just before where the next read lands.
  std::size_t carry = end_ - pos_;
  std::size_t dest = kMaxCarry + file_offset_ % kAlign;
  std::memmove(base_ + dest - carry, base_ + pos_, carry);
  pos_ = dest - carry;
  end_ = dest;
  while (end_ - pos_ < min_bytes && end_ < capacity_) {
    std::size_t got = file_->read({base_ + end_, capacity_ - end_});
    if (got == 0) break;
    end_ += got;
    file_offset_ += got;
  }
  return {base_ + pos_, end_ - pos_};
}

std::size_t ByteReader::read(std::span<std::uint8_t> out) {
  std::size_t done = 0;
  while (done < out.size()) {
    std::span<const std::uint8_t> have =
        fill(std::min(out.size() - done, kMaxCarry));
    if (have.empty()) break;
    std::size_t n = std::min(have.size(), out.size() - done);
    std::memcpy(out.data() + done, have.data(), n);
    consume(n);
    done += n;
  }
  return done;
}

void ByteReader::skip(std::uint64_t n) {
  if (file_ == nullptr) {
    pos_ += static_cast<std::size_t>(
        std::min<std::uint64_t>(n, memory_.size() - pos_));
    return;
  }
  std::size_t buffered = end_ - pos_;
  if (n <= buffered) {
    pos_ += static_cast<std::size_t>(n);
    return;
  }
  n -= buffered;
  pos_ = end_ = 0;
  file_->skip(n);
  file_offset_ += n;
}

}  // namespace hushmark
