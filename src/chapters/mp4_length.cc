#include "chapters/mp4_length.h"

#include <optional>

namespace hushmark {
namespace {

std::uint64_t be(std::span<const std::uint8_t> bytes) {
  std::uint64_t value = 0;
  for (std::uint8_t b : bytes)
    value = value << 8 | b;
  return value;
}

void put_be(std::span<std::uint8_t> bytes, std::uint64_t value) {
  for (std::size_t i = bytes.size(); i-- > 0; value >>= 8)
    bytes[i] = static_cast<std::uint8_t>(value);
}

// A box within a parent's body: its type and its body.
struct Box {
  std::uint32_t type = 0;
  std::span<std::uint8_t> body;
};

constexpr std::uint32_t fourcc(const char (&id)[5]) {
  return std::uint32_t{static_cast<std::uint8_t>(id[0])} << 24 |
         std::uint32_t{static_cast<std::uint8_t>(id[1])} << 16 |
         std::uint32_t{static_cast<std::uint8_t>(id[2])} << 8 |
         static_cast<std::uint8_t>(id[3]);
}

// The box that starts at at in bytes, and where the next starts; none when
// its size does not fit.
std::optional<Box> box_at(std::span<std::uint8_t> bytes, std::size_t& at) {
  if (bytes.size() - at < 8) return std::nullopt;
  std::uint64_t size = be(bytes.subspan(at, 4));
  std::size_t header = 8;
  if (size == 1) {
    if (bytes.size() - at < 16) return std::nullopt;
    size = be(bytes.subspan(at + 8, 8));
    header = 16;
  } else if (size == 0) {
    size = bytes.size() - at;  // to the end of its parent
  }
  if (size < header || size > bytes.size() - at) return std::nullopt;
  Box box{static_cast<std::uint32_t>(be(bytes.subspan(at + 4, 4))),
          bytes.subspan(at + header, static_cast<std::size_t>(size) - header)};
  at += static_cast<std::size_t>(size);
  return box;
}

// The first box of type in body; none when there is none.
std::optional<Box> child(std::span<std::uint8_t> body, std::uint32_t type) {
  std::size_t at = 0;
  while (std::optional<Box> box = box_at(body, at)) {
    if (box->type == type) return box;
  }
  return std::nullopt;
}

// Sets the length in a full box (mvhd, tkhd) whose version-0 length lies
// at offset0 and version-1 at offset1 (each after version and flags).
bool set_length(std::span<std::uint8_t> body, std::size_t offset0,
                std::size_t offset1, std::uint64_t length) {
  if (body.empty()) return false;
  const bool wide = body[0] == 1;
  const std::size_t at = 4 + (wide ? offset1 : offset0);
  const std::size_t width = wide ? 8 : 4;
  if (body.size() < at + width) return false;
  if (be(body.subspan(at, width)) > length)
    put_be(body.subspan(at, width), length);
  return true;
}

// Shortens the one edit of a sound track to length; false when trak is not
// such a track.
bool shorten_track(std::span<std::uint8_t> trak, std::uint64_t length) {
  const std::optional<Box> mdia = child(trak, fourcc("mdia"));
  const std::optional<Box> hdlr =
      mdia ? child(mdia->body, fourcc("hdlr")) : std::nullopt;
  if (!hdlr || hdlr->body.size() < 12 ||
      be(hdlr->body.subspan(8, 4)) != fourcc("soun"))
    return false;
  const std::optional<Box> edts = child(trak, fourcc("edts"));
  const std::optional<Box> elst =
      edts ? child(edts->body, fourcc("elst")) : std::nullopt;
  const std::optional<Box> tkhd = child(trak, fourcc("tkhd"));
  if (!elst || !tkhd || elst->body.size() < 8 ||
      be(elst->body.subspan(4, 4)) != 1)
    return false;
  // elst: version and flags, the count, then the edit's length first.
  const std::size_t width = elst->body[0] == 1 ? 8 : 4;
  if (elst->body.size() < 8 + width) return false;
  const std::span<std::uint8_t> edit = elst->body.subspan(8, width);
  if (be(edit) > length) put_be(edit, length);
  return set_length(tkhd->body, 16, 24, length);
}

}  // namespace

bool shorten_mp4(std::span<std::uint8_t> moov, std::uint64_t ms) {
  std::size_t at = 0;
  const std::optional<Box> box = box_at(moov, at);
  if (!box || box->type != fourcc("moov")) return false;
  const std::optional<Box> mvhd = child(box->body, fourcc("mvhd"));
  if (!mvhd || mvhd->body.size() < 4 + 28) return false;
  const bool wide = mvhd->body[0] == 1;
  const std::uint64_t scale = be(mvhd->body.subspan(wide ? 20 : 12, 4));
  const std::uint64_t length = (ms * scale + 500) / 1000;
  bool shortened = false;
  at = 0;
  while (std::optional<Box> trak = box_at(box->body, at)) {
    if (trak->type == fourcc("trak"))
      shortened |= shorten_track(trak->body, length);
  }
  return shortened && set_length(mvhd->body, 12, 20, length);
}

}  // namespace hushmark
