#ifndef HUSHMARK_EXTRACT_BYTE_READER_H_
#define HUSHMARK_EXTRACT_BYTE_READER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/files.h"

namespace hushmark {

// A little-endian 16-bit field of a file.
inline std::uint16_t le16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

// A little-endian 32-bit field of a file.
inline std::uint32_t le32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 |
         std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

// Reads an input file through one large buffer of the program's own, so that
// headers cost no system call and sample data arrives in big blocks; or reads
// bytes already in memory, which need no buffer.
class ByteReader {
 public:
  static constexpr std::size_t kBufferBytes = 512 * 1024;

  explicit ByteReader(platform::InputFile& file);
  // Reads the file, whose first bytes, head, have already been read from it.
  ByteReader(platform::InputFile& file, std::span<const std::uint8_t> head);
  // Reads these bytes, which must outlive the reader; with as_stream set it
  // answers is_stream() as a pipe would.
  explicit ByteReader(std::span<const std::uint8_t> bytes,
                      bool as_stream = false);
  ByteReader(const ByteReader&) = delete;
  ByteReader& operator=(const ByteReader&) = delete;

  // Copies up to out.size() bytes; fewer come only at the end of the file.
  std::size_t read(std::span<std::uint8_t> out);

  // Moves forward by n bytes; past the end of the file is allowed.
  void skip(std::uint64_t n);

  // The bytes buffered now, after reading more from the file when fewer than
  // min_bytes are buffered (min_bytes is at most kMaxCarry). Fewer than
  // min_bytes come back only at the end of the file.
  std::span<const std::uint8_t> fill(std::size_t min_bytes);

  // Marks n of the buffered bytes as read.
  void consume(std::size_t n) { pos_ += n; }

  // True once the file has failed to read for a reason other than its end;
  // never for bytes in memory.
  bool failed() const { return file_ != nullptr && file_->failed(); }

  // True when the file is a pipe, a FIFO or a character device, or when the
  // bytes in memory were given as a stream.
  bool is_stream() const {
    return file_ != nullptr ? file_->is_stream() : memory_is_stream_;
  }

  // The most bytes fill() may be asked to gather at once.
  static constexpr std::size_t kMaxCarry = 64;

 private:
  platform::InputFile* file_ = nullptr;  // nullptr when reading memory_
  std::span<const std::uint8_t> memory_;
  bool memory_is_stream_ = false;
  std::unique_ptr<std::uint8_t[]> storage_;
  std::uint8_t* base_ = nullptr;   // aligned start of the usable buffer
  std::size_t capacity_ = 0;       // usable bytes from base_
  std::size_t pos_ = 0;            // next unread byte, from base_ or memory_
  std::size_t end_ = 0;            // end of the buffered bytes
  std::uint64_t file_offset_ = 0;  // where the next read from the file starts
};

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_BYTE_READER_H_
