#ifndef HUSHMARK_CLI_MESSAGES_H_
#define HUSHMARK_CLI_MESSAGES_H_

// Every text hushmark prints: its usage, its option refusals and its echo,
// and the words that the three programs share: what the core's failures and
// notices say (worded by cli/core_words.h), the unit of a length, and the
// regions no threshold serves.

namespace hushmark::msg {

inline constexpr wchar_t kNoInput[] = L"WAVEファイルを指定してください。\n";
inline constexpr wchar_t kBadCutPosition[] =
    L"区切り位置(-p)は0,1,2で指定してください。\n";
inline constexpr wchar_t kPathTooLong[] = L"ファイル名が長すぎます。\n";
// Follows a long option that the program does not take, as given.
inline constexpr wchar_t kNoLongOption[] =
    L" は使えません。指定は -i のような1文字で、一覧は -h で見られます。\n";

inline constexpr wchar_t kEchoInfile[] = L"infile = ";
inline constexpr wchar_t kEchoOutfile[] = L"outfile = ";
inline constexpr wchar_t kEchoThreshold[] = L"無音範囲:";    // threshold
inline constexpr wchar_t kEchoMinSilence[] = L"無音時間が";  // ms, suffix
inline constexpr wchar_t kEchoMinSilenceSuffix[] = L"ms以上で区切ります。\n";

inline constexpr wchar_t kVersion[] = L"hushmark v" HUSHMARK_VERSION_TEXT L"\n";

inline constexpr wchar_t kUsage[] =
    L"hushmark 無音区切り v" HUSHMARK_VERSION_TEXT L" \n"
    L"usage : hushmark [options] -i input.wav -o output_chapter.txt\n"
    L"  -i in.wav   入力WAVEファイル名\n"
    L"  -o out.txt  出力チャプターファイル名\n"
    L"\n"
    L"  -s 0        無音範囲 お好みで調整(0～32767)\n"
    L"  -m 200      無音時間 200ms以上無音が続けば区切る\n"
    L"  -p 0        区切り位置 0=無音開始 1=中間 2=無音終了\n"
    L"  -h          ヘルプ\n";

// What the core's failures and notices say.
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
inline constexpr wchar_t kTooManyNamesInFolder[] =
    L"ファイルが多すぎて、1冊の本のフォルダとは思えません: ";  // folder
inline constexpr wchar_t kFolderSkipped[] =
    L"※ 読み取れないフォルダを飛ばしました: ";  // folder
inline constexpr wchar_t kInputsInGivenOrder[] =
    L"※ 入力ファイルは指定された順につなぎます(名前の順とは違います)。\n";

// Regions whose floor lies so near the voice that no threshold tells their
// pauses: both programs name them by their times.
inline constexpr wchar_t kUnservedRegions[] =
    L"※ 雑音が声に近く、どの -s でも無音を見分けられない区間があります:";
inline constexpr wchar_t kUnservedTo[] = L"-";

}  // namespace hushmark::msg

#endif  // HUSHMARK_CLI_MESSAGES_H_
