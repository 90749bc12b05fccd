#ifndef HUSHMARK_TESTS_FUZZ_EXTRACT_CHECKS_H_
#define HUSHMARK_TESTS_FUZZ_EXTRACT_CHECKS_H_

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace hushmark::fuzz {

// Every option the extraction targets take comes first in their input: the
// threshold and the minimum silence as little-endian 32-bit numbers, then one
// byte that each target reads in its own way.
inline constexpr std::size_t kOptionBytes = 9;

// A little-endian 32-bit number.
inline std::int32_t le32(const std::uint8_t* p) {
  return static_cast<std::int32_t>(
      std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 |
      std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24);
}

// True when the output ends with the line that says why the run failed, as
// every failure must.
inline bool ends_with_a_failure_message(std::string_view out) {
  static const std::array<const char*, 10> kMessages = {
      "WAVEファイルを開けませんでした。\n",
      "CHAPTERファイルを書き出しできませんでした。\n",
      "入力ファイルと同じファイルにはCHAPTERファイルを書き出せません。\n",
      "WAVEファイルではありません。\n",
      "WAVEが壊れています？\n",
      "未対応のWAVEです。(wFormatTag!=1)\n",
      "未対応のWAVEです。(nChannels!=2)\n",
      "未対応のWAVEです。(wBitsPerSample!=16)\n",
      "未対応のWAVEです。(nAvgBytesPerSec==0)\n",
      "データ読み取りに失敗\n"};
  for (const char* m : kMessages) {
    if (out.ends_with(m)) return true;
  }
  return false;
}

// The chapter file a run must leave: the time of each point the console
// showed, one line each.
inline std::string chapters_shown(std::string_view out) {
  std::string chapters;
  while (!out.empty()) {
    std::size_t end = out.find('\n');
    std::string_view line = out.substr(0, end);
    out.remove_prefix(end == out.npos ? out.size() : end + 1);
    if (line.ends_with("秒")) {
      chapters += line.substr(0, line.find("  "));
      chapters += "\r\n";
    }
  }
  return chapters;
}

}  // namespace hushmark::fuzz

#endif  // HUSHMARK_TESTS_FUZZ_EXTRACT_CHECKS_H_
