#include "extract/inputs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace hushmark {
namespace {

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

}  // namespace
}  // namespace hushmark
