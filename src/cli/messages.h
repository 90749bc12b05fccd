#ifndef HUSHMARK_CLI_MESSAGES_H_
#define HUSHMARK_CLI_MESSAGES_H_

// Every text hushmark prints of its own: its usage, its option refusals and
// its echo. The core's texts are in extract/messages.h.

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

}  // namespace hushmark::msg

#endif  // HUSHMARK_CLI_MESSAGES_H_
