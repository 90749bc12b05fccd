#ifndef HUSHMARK_EXTRACT_MESSAGES_H_
#define HUSHMARK_EXTRACT_MESSAGES_H_

// The texts of the core: the words of the progress line.

namespace hushmark::msg {

// The progress line on a terminal: "  42% 35倍速 残り 1:23".
inline constexpr wchar_t kProgressSpeed[] = L"倍速";       // after the speed
inline constexpr wchar_t kProgressTimeLeft[] = L" 残り ";  // the time left

}  // namespace hushmark::msg

#endif  // HUSHMARK_EXTRACT_MESSAGES_H_
