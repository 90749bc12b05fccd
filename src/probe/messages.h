#ifndef HUSHMARK_PROBE_MESSAGES_H_
#define HUSHMARK_PROBE_MESSAGES_H_

// Every text hushmark-probe prints of its own; those the three programs
// share, the core's failures among them, are in cli/messages.h.

namespace hushmark::msg {

inline constexpr wchar_t kProbeVersion[] =
    L"hushmark-probe v" HUSHMARK_VERSION_TEXT L"\n";

inline constexpr wchar_t kProbeUsage[] =
    L"hushmark-probe 無音範囲しらべ v" HUSHMARK_VERSION_TEXT L" \n"
    L"usage : hushmark-probe [options] -i input [input2 ...]\n"
    L"  -i in.wav   入力ファイル名 (WAVE以外はffmpegで読む、-は標準入力)\n"
    L"\n"
    L"  -s 0        無音範囲 -mごとの一覧に使う(省略時とautoはおすすめの-s)\n"
    L"  -m 200      無音時間 200ms以上無音が続けば区切る\n"
    L"  -h          ヘルプ\n"
    L"無音範囲(-s)ごとの区切り数を一覧にして、おすすめの-sを示します。\n"
    L"続いて無音時間(-m)ごとの区切り数を一覧にして、章の区切りに"
    L"おすすめの-mを示します。\n";

inline constexpr wchar_t kProbeTableHeader[] =
    L"    -s    dBFS  区切り数    無音の合計\n";
inline constexpr wchar_t kProbeSuggestion[] = L"おすすめ: -s ";   // threshold
inline constexpr wchar_t kProbeSuggestionPoints[] = L" (区切り";  // count
inline constexpr wchar_t kProbeSuggestionEnd[] = L"か所)\n";
inline constexpr wchar_t kProbeSplitting[] = L"※ -s ";  // threshold
inline constexpr wchar_t kProbeSplittingPoints[] = L" では区切りが";  // count
inline constexpr wchar_t kProbeSplittingEnd[] =
    L"か所に増えます。雑音が無音を分けています。\n";
inline constexpr wchar_t kProbeNoSuggestion[] =
    L"おすすめ: なし (区切り数が落ち着く-sがありません)\n";
inline constexpr wchar_t kProbeMinTitle[] =
    L"無音時間(-m)ごとの区切り数 (-s ";  // threshold, ")\n"
inline constexpr wchar_t kProbeMinTableHeader[] =
    L"    -m  区切り数    無音の合計\n";
inline constexpr wchar_t kProbeMinSuggestion[] =
    L"章の区切りのおすすめ: -m ";                                 // ms
inline constexpr wchar_t kProbeMinSuggestionPoints[] = L" (-s ";  // threshold
inline constexpr wchar_t kProbeMinSuggestionCount[] = L" で区切り";  // count
inline constexpr wchar_t kProbeMinFiles[] =
    L"章の区切りのおすすめ: -F (ファイルごとに1チャプター。"
    L"ファイルの中に章の区切りの無音がないか、見出しがファイルの始めに続きます)"
    L"\n";
inline constexpr wchar_t kProbeMinNoSuggestion[] =
    L"章の区切りのおすすめ: なし (ほかより長く目立つ無音がありません)\n";
inline constexpr wchar_t kProbeExactCount[] =
    L"※ 区切りの数を決めて選ぶには hushmark-chapters -n を使います。\n";
inline constexpr wchar_t kProbeLaterData[] = L"※ dataチャンクが";  // count
inline constexpr wchar_t kProbeLaterDataEnd[] =
    L"個あります。数えるのは最初のdataチャンクだけです。\n";
inline constexpr wchar_t kProbeNoMinTable[] =
    L"無音時間(-m)ごとの区切り数: おすすめの-sがないため省きます。"
    L"-sを指定してください。\n";

}  // namespace hushmark::msg

#endif  // HUSHMARK_PROBE_MESSAGES_H_
