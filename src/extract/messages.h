#ifndef HUSHMARK_EXTRACT_MESSAGES_H_
#define HUSHMARK_EXTRACT_MESSAGES_H_

// The texts of the core: failures to open, read or write, what the chunk walk
// says, the unit of the lengths it shows, and what running ffmpeg says.

namespace hushmark::msg {

inline constexpr wchar_t kCannotOpenInput[] =
    L"WAVEファイルを開けませんでした。\n";
inline constexpr wchar_t kCannotWriteChapters[] =
    L"CHAPTERファイルを書き出しできませんでした。\n";
inline constexpr wchar_t kChaptersSameAsInput[] =
    L"入力ファイルと同じファイルにはCHAPTERファイルを書き出せません。\n";

inline constexpr wchar_t kNotWave[] = L"WAVEファイルではありません。\n";
inline constexpr wchar_t kBrokenFmt[] = L"WAVEが壊れています？\n";
inline constexpr wchar_t kBadFormatTag[] =
    L"未対応のWAVEです。(wFormatTag!=1)\n";
inline constexpr wchar_t kBadChannels[] = L"未対応のWAVEです。(nChannels!=2)\n";
inline constexpr wchar_t kBadBitsPerSample[] =
    L"未対応のWAVEです。(wBitsPerSample!=16)\n";
inline constexpr wchar_t kZeroByteRate[] =
    L"未対応のWAVEです。(nAvgBytesPerSec==0)\n";
inline constexpr wchar_t kUnsupportedChunk[] =
    L"未対応chunkID:";  // id, " size:", size
inline constexpr wchar_t kReadFailed[] = L"データ読み取りに失敗\n";
inline constexpr wchar_t kSeconds[] = L"秒";

// Running ffmpeg to read a recording (a decode); its failure to start is
// worded alike wherever ffmpeg runs.
inline constexpr wchar_t kDecoderMissing[] =
    L"ffmpegが見つかりません。WAVE以外のファイルを読むにはffmpegを"
    L"インストールしてください。(環境変数HUSHMARK_FFMPEGで指定することも"
    L"できます)\n";
inline constexpr wchar_t kFfmpegNotStarted[] =
    L"ffmpegを起動できませんでした。\n";
inline constexpr wchar_t kCannotDecode[] =
    L"ffmpegで読み取れませんでした: ";                        // path
inline constexpr wchar_t kNoAudio[] = L"音声がありません: ";  // path
inline constexpr wchar_t kRatesDiffer[] =
    L"サンプリング周波数の違うファイルはつなげません: ";  // path
inline constexpr wchar_t kDecoderSaid[] = L"ffmpeg: ";    // its last line

// A folder as input, and inputs named one by one out of the order of their
// names.
inline constexpr wchar_t kNoRecordingsInFolder[] =
    L"音声ファイルが見つかりません: ";  // folder
inline constexpr wchar_t kCannotReadFolder[] =
    L"読み取れませんでした: ";  // folder
inline constexpr wchar_t kInputsInGivenOrder[] =
    L"※ 入力ファイルは指定された順につなぎます(名前の順とは違います)。\n";

// The progress line on a terminal: "  42% 35倍速 残り 1:23".
inline constexpr wchar_t kProgressSpeed[] = L"倍速";       // after the speed
inline constexpr wchar_t kProgressTimeLeft[] = L" 残り ";  // the time left

// Regions whose floor lies so near the voice that no threshold tells their
// pauses: both programs name them by their times.
inline constexpr wchar_t kUnservedRegions[] =
    L"※ 雑音が声に近く、どの -s でも無音を見分けられない区間があります:";
inline constexpr wchar_t kUnservedTo[] = L"-";

}  // namespace hushmark::msg

#endif  // HUSHMARK_EXTRACT_MESSAGES_H_
