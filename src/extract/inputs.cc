#include "extract/inputs.h"

#include <algorithm>
#include <array>
#include <type_traits>

#include "extract/recording.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/utf8.h"

namespace hushmark {
namespace {

constexpr std::array<std::uint8_t, 16> kAsfMark = {
    0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
    0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
// Enough of a file to tell a recording by: ASF's mark is the longest.
constexpr std::size_t kMarkBytes = kAsfMark.size();

bool is_digit(wchar_t c) {
  return c >= L'0' && c <= L'9';
}

// Where a character sorts outside a run of digits: a separator before
// everything, so that the paths compare a component at a time, and ASCII
// letters in either case alike. Wide enough that no character, not even the
// last of wchar_t's range, wraps round to a separator's rank.
std::uint64_t rank_of(wchar_t c) {
  if (platform::is_path_separator(c)) return 0;
  using Unit = std::make_unsigned_t<wchar_t>;
  return std::uint64_t{static_cast<Unit>(platform::ascii_lower(c))} + 1;
}

// The end of the run of digits that starts at `at`.
std::size_t digits_end(std::wstring_view text, std::size_t at) {
  while (at < text.size() && is_digit(text[at]))
    ++at;
  return at;
}

// The start of a run of digits without its leading zeros; a run of zeros
// keeps its last.
std::size_t value_start(std::wstring_view text, std::size_t at,
                        std::size_t end) {
  while (at + 1 < end && text[at] == L'0')
    ++at;
  return at;
}

int sign_of(std::uint64_t a, std::uint64_t b) {
  return a < b ? -1 : a > b ? 1 : 0;
}

bool holds(std::span<const std::uint8_t> head, std::size_t at,
           std::string_view bytes) {
  return head.size() >= at + bytes.size() &&
         std::equal(bytes.begin(), bytes.end(), head.begin() + at,
                    [](char a, std::uint8_t b) {
                      return static_cast<std::uint8_t>(a) == b;
                    });
}

// An MPEG audio frame header (layer I to III), or ADTS AAC's (layer 0).
bool is_frame_sync(std::span<const std::uint8_t> head) {
  if (head.size() < 3 || head[0] != 0xFF || (head[1] & 0xE0) != 0xE0) {
    return false;
  }
  if ((head[1] & 0xF6) == 0xF0) return true;
  const bool version = ((head[1] >> 3) & 3) != 1;
  const bool layer = ((head[1] >> 1) & 3) != 0;
  const bool bitrate = (head[2] >> 4) != 0xF;
  const bool rate = ((head[2] >> 2) & 3) != 3;
  return version && layer && bitrate && rate;
}

std::vector<std::uint8_t> first_bytes(std::wstring_view path) {
  platform::InputFile file;
  if (!file.open_to_peek(path)) return {};
  return platform::read_head(file, kMarkBytes);
}

// A walk through a folder given as an input.
struct Walk {
  const std::wstring& input;  // the folder given
  const NoticeSink& notices;
  std::size_t names_left;  // how many more names it may list
  std::vector<std::wstring> found;
};

// Adds the recordings among the entries of folder, and those of its folders,
// to walk.found in the order the system lists them. A folder within that
// cannot be listed is passed over with a notice: a USB stick's `System
// Volume Information` refuses everyone but the system.
CoreError collect_recordings(const std::wstring& folder,
                             std::span<const platform::FolderEntry> entries,
                             Walk& walk) {
  // Counted before any file is read, so that a walk over a whole disk ends
  // after a bounded number of listings, not after reading every file.
  if (entries.size() > walk.names_left) {
    return {Failure::kTooManyNamesInFolder, walk.input};
  }
  walk.names_left -= entries.size();
  for (const platform::FolderEntry& entry : entries) {
    if (entry.name.starts_with(L'.')) continue;  // hidden
    std::wstring path = platform::path_in_folder(folder, entry.name);
    if (entry.kind == platform::EntryKind::kFolder) {
      std::vector<platform::FolderEntry> inner;
      if (!platform::list_folder(path, inner)) {
        walk.notices({NoticeKind::kFolderSkipped, 0, 0, std::move(path)});
      } else if (CoreError e = collect_recordings(path, inner, walk)) {
        return e;
      }
    } else if (entry.kind == platform::EntryKind::kFile &&
               looks_like_audio(first_bytes(path))) {
      walk.found.push_back(std::move(path));
    }
  }
  return {};
}

// The recordings of the folder input, in natural order.
CoreError collect_in_order(const std::wstring& input, const NoticeSink& notices,
                           std::size_t max_names,
                           std::vector<std::wstring>& found) {
  std::vector<platform::FolderEntry> entries;
  if (!platform::list_folder(input, entries)) {
    return {Failure::kCannotReadFolder, input};
  }
  Walk walk{input, notices, max_names, {}};
  if (CoreError e = collect_recordings(input, entries, walk)) return e;
  if (walk.found.empty()) return {Failure::kNoRecordingsInFolder, input};
  found = std::move(walk.found);
  std::sort(found.begin(), found.end(),
            [](const std::wstring& a, const std::wstring& b) {
              return compare_natural(a, b) < 0;
            });
  return {};
}

bool in_natural_order(std::span<const std::wstring> paths) {
  for (std::size_t k = 1; k < paths.size(); ++k) {
    if (compare_natural(paths[k - 1], paths[k]) > 0) return false;
  }
  return true;
}

}  // namespace

int compare_natural(std::wstring_view a, std::wstring_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  int zeros = 0;  // the first run of digits whose leading zeros differ
  while (i < a.size() && j < b.size()) {
    if (is_digit(a[i]) && is_digit(b[j])) {
      const std::size_t a_end = digits_end(a, i);
      const std::size_t b_end = digits_end(b, j);
      const std::size_t a_value = value_start(a, i, a_end);
      const std::size_t b_value = value_start(b, j, b_end);
      // Without leading zeros, the longer run holds the larger number.
      int order = sign_of(a_end - a_value, b_end - b_value);
      if (order == 0) {
        order = a.substr(a_value, a_end - a_value)
                    .compare(b.substr(b_value, b_end - b_value));
      }
      if (order != 0) return order < 0 ? -1 : 1;
      if (zeros == 0) zeros = sign_of(a_end - i, b_end - j);
      i = a_end;
      j = b_end;
      continue;
    }
    const int order = sign_of(rank_of(a[i]), rank_of(b[j]));
    if (order != 0) return order;
    ++i;
    ++j;
  }
  if (i < a.size() || j < b.size()) return i < a.size() ? 1 : -1;
  if (zeros != 0) return zeros;
  const int order = a.compare(b);
  return order < 0 ? -1 : order > 0 ? 1 : 0;
}

bool looks_like_audio(std::span<const std::uint8_t> head) {
  for (std::string_view riff : {"RIFF", "RF64", "BW64"}) {
    if (holds(head, 0, riff) && holds(head, 8, "WAVE")) return true;
  }
  for (std::string_view mark : {"ID3", "fLaC", "OggS", "caff"}) {
    if (holds(head, 0, mark)) return true;
  }
  if (holds(head, 0, "FORM") &&
      (holds(head, 8, "AIFF") || holds(head, 8, "AIFC"))) {
    return true;
  }
  return holds(head, 4, "ftyp") || holds(head, 0, "\x1A\x45\xDF\xA3") ||
         (head.size() >= kAsfMark.size() &&
          std::equal(kAsfMark.begin(), kAsfMark.end(), head.begin())) ||
         is_frame_sync(head);
}

CoreError expand_inputs(std::vector<std::wstring>& inputs,
                        const NoticeSink& notices, std::size_t max_names) {
  std::vector<std::wstring> expanded;
  for (const std::wstring& input : inputs) {
    if (input == kStandardInputName || !platform::is_folder(input)) {
      expanded.push_back(input);
      continue;
    }
    std::vector<std::wstring> found;
    if (CoreError e = collect_in_order(input, notices, max_names, found)) {
      return e;
    }
    expanded.insert(expanded.end(), found.begin(), found.end());
  }
  if (!in_natural_order(inputs))
    notices({NoticeKind::kInputsInGivenOrder, 0, 0, {}});
  inputs = std::move(expanded);
  return {};
}

}  // namespace hushmark
