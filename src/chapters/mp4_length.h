#ifndef HUSHMARK_CHAPTERS_MP4_LENGTH_H_
#define HUSHMARK_CHAPTERS_MP4_LENGTH_H_

#include <cstdint>
#include <span>

namespace hushmark {

// Shortens, in moov (an mp4 file's moov box, its header included), the
// edit list of each sound track with one edit, its track's length and the
// movie's, to ms milliseconds: players then stop there, within the last
// packet. Lengths already no longer stay. False when moov is not such a box.
bool shorten_mp4(std::span<std::uint8_t> moov, std::uint64_t ms);

}  // namespace hushmark

#endif  // HUSHMARK_CHAPTERS_MP4_LENGTH_H_
