#ifndef HUSHMARK_EXTRACT_INPUTS_H_
#define HUSHMARK_EXTRACT_INPUTS_H_

#include <cstddef>
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

// How many names a folder given as an input, with its folders, may hold.
// A book in parts is a few hundred files at most (the Bible read one chapter
// to a file is 1,189), with covers and notes beside them; a tree of tens of
// thousands is a disk or a system, whose walk would take minutes.
inline constexpr std::size_t kMaxNamesInFolder = 20000;

// Puts in place of each folder among inputs its recordings and those of its
// folders, in natural order, told by their first bytes; hidden names and
// links to folders are passed over, and so, with a kFolderSkipped notice, is
// a folder within that cannot be listed. Inputs named one by one keep their
// order, with a notice when it is not the natural one. kNoRecordingsInFolder,
// kCannotReadFolder or kTooManyNamesInFolder, naming the folder, when one
// holds no recording, cannot be listed, or holds more than max_names names
// (counted as listed, before any file in them is read).
CoreError expand_inputs(std::vector<std::wstring>& inputs,
                        const NoticeSink& notices,
                        std::size_t max_names = kMaxNamesInFolder);

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_INPUTS_H_
