#ifndef HUSHMARK_EXTRACT_INPUTS_H_
#define HUSHMARK_EXTRACT_INPUTS_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "extract/errors.h"

namespace hushmark {

// Compares two paths in natural order, a component at a time: "part 2"
// before "part 10", a run of digits by its value (of equal values, the
// shorter run first), other characters with ASCII letters in either case
// alike, and bytewise between paths still equal, so that the order is total.
// Negative, zero or positive as a comes before, is, or comes after b.
int compare_natural(std::wstring_view a, std::wstring_view b);

// Whether the first bytes of a file look like a recording's: RIFF/WAVE (or
// RF64), ID3 or an MPEG audio frame, FLAC, Ogg, MP4, Matroska/WebM, ADTS AAC,
// AIFF, CAF or ASF.
bool looks_like_audio(std::span<const std::uint8_t> head);

// Puts in place of each folder among inputs its recordings and those of its
// folders, in natural order, told by their first bytes; hidden names and
// links to folders are passed over. Inputs named one by one keep their order,
// with a notice when it is not the natural one. kNoRecordingsInFolder or
// kCannotReadFolder, naming the folder, when one holds no recording or
// cannot be read.
CoreError expand_inputs(std::vector<std::wstring>& inputs,
                        const NoticeSink& notices);

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_INPUTS_H_
