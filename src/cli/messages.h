#ifndef HUSHMARK_CLI_MESSAGES_H_
#define HUSHMARK_CLI_MESSAGES_H_

// Every text the program prints of its own, in one place.

namespace hushmark::msg {

inline constexpr wchar_t kNoInput[] = L"WAVEファイルを指定してください。\n";
inline constexpr wchar_t kBadCutPosition[] =
    L"区切り位置(-p)は0,1,2で指定してください。\n";
inline constexpr wchar_t kPathTooLong[] = L"ファイル名が長すぎます。\n";

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

inline constexpr wchar_t kEchoInfile[] = L"infile = ";
inline constexpr wchar_t kEchoFileChapters[] =
    L"ファイルごとにチャプターを始めます。\n";
inline constexpr wchar_t kEchoOutfile[] = L"outfile = ";
inline constexpr wchar_t kEchoThreshold[] = L"無音範囲:";    // threshold
inline constexpr wchar_t kEchoMinSilence[] = L"無音時間が";  // ms, suffix
inline constexpr wchar_t kEchoMinSilenceSuffix[] = L"ms以上で区切ります。\n";

inline constexpr wchar_t kChaptersBadFormat[] =
    L"出力形式(-f)はtxt,ffmetadata,cue,audacity,vtt,json,ogmのどれかで"
    L"指定してください。\n";
inline constexpr wchar_t kChaptersBadCount[] =
    L"チャプター数(-n)は1以上で指定してください。\n";
inline constexpr wchar_t kChaptersBadLength[] =
    L"チャプターの長さ(-l)は0以上の秒数で指定してください。\n";
inline constexpr wchar_t kChaptersBadTitle[] =
    L"タイトル(-t)に使える%は%d,%02d,%03d,%f,%%だけです。\n";
inline constexpr wchar_t kChaptersUnreadableTitle[] =
    L"タイトル(-t)の文字を読み取れません。\n";
inline constexpr wchar_t kChaptersNoSound[] =
    L"チャプターにする音声データがありません。\n";
inline constexpr wchar_t kChaptersOutOfMemory[] = L"メモリが足りません。\n";
inline constexpr wchar_t kChaptersLaterData[] = L"※ dataチャンクが";  // count
inline constexpr wchar_t kChaptersLaterDataEnd[] =
    L"個あります。チャプターは最初のdataチャンクだけで作ります。\n";
inline constexpr wchar_t kChaptersManyTracks[] =
    L"※ CUEシートのトラックは99までしか読めないプレーヤーが多くあります。"
    L"(-n 99で99個までにできます)\n";
inline constexpr wchar_t kChaptersTotal[] = L"チャプター";  // chapters
inline constexpr wchar_t kChaptersTotalCandidates[] =
    L"個 (候補の無音";  // candidates
inline constexpr wchar_t kChaptersTotalEnd[] = L"か所から)\n";

inline constexpr wchar_t kEchoCutPosition[] = L"区切り位置:";        // 0, 1, 2
inline constexpr wchar_t kEchoFormat[] = L"出力形式:";               // name
inline constexpr wchar_t kEchoMaxChapters[] = L"チャプター数:最大";  // count
inline constexpr wchar_t kEchoMinChapter[] = L"チャプターの長さ:";   // seconds
inline constexpr wchar_t kEchoMinChapterSuffix[] = L"秒以上\n";
inline constexpr wchar_t kEchoTitle[] = L"タイトル:";  // template

inline constexpr wchar_t kChaptersUsage[] =
    L"hushmark-chapters 無音でチャプター v0.02 \n"
    L"usage : hushmark-chapters [options] -i input -o output [input2 ...]\n"
    L"  -i in.wav   入力ファイル名 (WAVE以外はffmpegで読む、-は標準入力)\n"
    L"  -o out      出力ファイル名\n"
    L"  -f txt      出力形式 txt ffmetadata cue audacity vtt json ogm\n"
    L"\n"
    L"  -s 0        無音範囲 お好みで調整(0～32767)\n"
    L"  -m 200      無音時間 200ms以上無音が続けば区切る\n"
    L"  -p 0        区切り位置 0=無音開始 1=中間 2=無音終了\n"
    L"  -n 24       チャプター数の上限 長い無音から選ぶ\n"
    L"  -l 300      チャプターの最短の長さ(秒)\n"
    L"  -t 題名     タイトル 既定はChapter %d (%d=番号 %02d "
    L"%03d=桁をそろえた番号 %f=ファイルのタイトル)\n"
    L"  -F          ファイルごとにチャプターを始める\n"
    L"  -h          ヘルプ\n"
    L"入力ファイルを続けて並べると、その順につないで1つの録音として扱います。"
    L"\n";

inline constexpr wchar_t kUsage[] =
    L"hushmark 無音区切り v0.02 \n"
    L"usage : hushmark [options] -i input.wav -o output_chapter.txt\n"
    L"  -i in.wav   入力WAVEファイル名\n"
    L"  -o out.txt  出力チャプターファイル名\n"
    L"\n"
    L"  -s 0        無音範囲 お好みで調整(0～32767)\n"
    L"  -m 200      無音時間 200ms以上無音が続けば区切る\n"
    L"  -p 0        区切り位置 0=無音開始 1=中間 2=無音終了\n"
    L"  -h          ヘルプ\n";

inline constexpr wchar_t kProbeUsage[] =
    L"hushmark-probe 無音範囲しらべ v0.02 \n"
    L"usage : hushmark-probe [options] -i input [input2 ...]\n"
    L"  -i in.wav   入力ファイル名 (WAVE以外はffmpegで読む、-は標準入力)\n"
    L"\n"
    L"  -s 0        無音範囲 -mごとの一覧に使う(省略時はおすすめの-s)\n"
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
inline constexpr wchar_t kProbeMinNoSuggestion[] =
    L"章の区切りのおすすめ: なし (ほかより長く目立つ無音がありません)\n";
inline constexpr wchar_t kProbeExactCount[] =
    L"※ 区切りの数を決めて選ぶには hushmark-chapters -n を使います。\n";
inline constexpr wchar_t kProbeNoMinTable[] =
    L"無音時間(-m)ごとの区切り数: おすすめの-sがないため省きます。"
    L"-sを指定してください。\n";

// Reading a recording through ffmpeg.
inline constexpr wchar_t kDecoderMissing[] =
    L"ffmpegが見つかりません。WAVE以外のファイルを読むにはffmpegを"
    L"インストールしてください。(環境変数HUSHMARK_FFMPEGで指定することも"
    L"できます)\n";
inline constexpr wchar_t kDecoderNotStarted[] =
    L"ffmpegを起動できませんでした。\n";
inline constexpr wchar_t kCannotDecode[] =
    L"ffmpegで読み取れませんでした: ";                        // path
inline constexpr wchar_t kNoAudio[] = L"音声がありません: ";  // path
inline constexpr wchar_t kRatesDiffer[] =
    L"サンプリング周波数の違うファイルはつなげません: ";  // path
inline constexpr wchar_t kDecoderSaid[] = L"ffmpeg: ";    // its last line

}  // namespace hushmark::msg

#endif  // HUSHMARK_CLI_MESSAGES_H_
