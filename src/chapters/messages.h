#ifndef HUSHMARK_CHAPTERS_MESSAGES_H_
#define HUSHMARK_CHAPTERS_MESSAGES_H_

// Every text hushmark-chapters prints of its own; those the three programs
// share (the core's failures, the option refusals) are in cli/messages.h.

#include "chapters/ffmpeg_runs.h"
#include "cli/messages.h"

namespace hushmark::msg {

inline constexpr wchar_t kChaptersBadFormat[] =
    L"出力形式(-f)は";  // the names, separated by commas
inline constexpr wchar_t kChaptersBadFormatEnd[] =
    L"のどれかで指定してください。\n";
inline constexpr wchar_t kChaptersBadCount[] =
    L"チャプター数(-n)は1以上で指定してください。\n";
inline constexpr wchar_t kChaptersBadLength[] =
    L"チャプターの長さ(-l)は0以上の秒数で指定してください。\n";
inline constexpr wchar_t kChaptersBadTitle[] =
    L"タイトル(-t)に使える%は%d,%02d,%03d,%f,%%だけです。\n";
inline constexpr wchar_t kChaptersUnreadableTitle[] =
    L"タイトル(-t)の文字を読み取れません。\n";
inline constexpr wchar_t kChaptersBadWindow[] =
    L"チャプターを動かせる幅(-w)は0～3600の秒数で指定してください。\n";
inline constexpr wchar_t kChaptersBadLeadIn[] =
    L"音の前の間(-b)は0以上のミリ秒数で指定してください。\n";
inline constexpr wchar_t kChaptersBadSplit[] =
    L"チャプターを分ける長さ(-x)は目安を1以上の秒数で、最長を目安以上で"
    L"指定してください。(例: -x 300,420)\n";
inline constexpr wchar_t kChaptersBadBitRate[] =
    L"ビットレート(-k)は8～512のkbit/sで指定してください。\n";
inline constexpr wchar_t kTitlesCannotRead[] =
    L"タイトルファイルを読み込めませんでした: ";  // name, "\n"
inline constexpr wchar_t kTitlesNotText[] =
    L"タイトルファイルにUTF-8で読めない文字があります: ";  // name
inline constexpr wchar_t kTitlesLine[] = L" ";             // line number
inline constexpr wchar_t kTitlesLineEnd[] = L"行目\n";
inline constexpr wchar_t kTitlesEmpty[] =
    L"タイトルファイルにタイトルがありません: ";             // name, "\n"
inline constexpr wchar_t kTitlesTooFew[] = L"※ タイトルは";  // lines
inline constexpr wchar_t kTitlesTooFewMiddle[] = L"行で、チャプターは";
inline constexpr wchar_t kTitlesTooFewEnd[] =
    L"個です。残りのチャプターは-tのタイトルにします。\n";
inline constexpr wchar_t kTitlesTooMany[] = L"※ タイトルは";  // lines
inline constexpr wchar_t kTitlesTooManyMiddle[] = L"行で、チャプターは";
inline constexpr wchar_t kTitlesTooManyEnd[] =
    L"個です。残りのタイトルは使いません。\n";
inline constexpr wchar_t kSplitKeptLong[] = L"※ チャプター";  // number
inline constexpr wchar_t kSplitKeptLongMiddle[] =
    L"は分けられる無音がないため、";  // seconds
inline constexpr wchar_t kSplitKeptLongEnd[] = L"秒より長いままです。\n";
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

// What was chosen from the recording itself, in one line.
inline constexpr wchar_t kChoiceHead[] = L"自動で選びました:";
inline constexpr wchar_t kChoiceThreshold[] = L" -s ";     // threshold
inline constexpr wchar_t kChoiceFloor[] = L" (間の雑音 ";  // dB
inline constexpr wchar_t kChoiceFloorEnd[] = L"dBFS、";
inline constexpr wchar_t kChoiceFloorTo[] = L"から";  // the loudest floor, dB

inline constexpr wchar_t kChoiceDigitalFloor[] = L" (間はデジタル無音、";
inline constexpr wchar_t kChoiceVoice[] = L"声 ";  // dB
inline constexpr wchar_t kChoiceVoiceEnd[] = L"dBFS)";
inline constexpr wchar_t kChoiceNoThreshold[] =
    L" -s 0 (無音と声の境目が見つかりません)";
inline constexpr wchar_t kChoicePauses[] = L" -m ";                   // ms
inline constexpr wchar_t kChoiceShortest[] = L" (章の区切りの無音 ";  // s
inline constexpr wchar_t kChoiceShortestEnd[] = L"秒以上";
inline constexpr wchar_t kChoiceLongestLeft[] = L"、ほかは ";  // seconds
inline constexpr wchar_t kChoiceLongestLeftEnd[] = L"秒まで";
inline constexpr wchar_t kChoiceThin[] = L" ※差が小さいので確かめてください";
inline constexpr wchar_t kChoiceNoChapterPauses[] =
    L"※ ほかより長く目立つ無音がないため、1チャプターにしました。"
    L"分けるには -x 300 (約300秒ごと) か -n 10 (10チャプター) を使います。\n";

inline constexpr wchar_t kChoiceHeadings[] =
    L"※ 長さだけでは決まらないため、見出し (無音のあとの短い声) "
    L"が続く無音を章の区切りにしました: ";                     // count
inline constexpr wchar_t kChoiceHeadingsOf[] = L"か所のうち";  // count
inline constexpr wchar_t kChoiceHeadingsEnd[] = L"か所に見出しが続きます。\n";

// Whether a book's files were taken as its chapters, and why.
inline constexpr wchar_t kFilesChapters[] =
    L"※ ファイルごとに1チャプターにしました: ";
inline constexpr wchar_t kFilesNoInnerPauses[] =
    L"ファイルの中に章の区切りの無音がありません。\n";
inline constexpr wchar_t kFilesHeadingsAtJoins[] =
    L"見出しはファイルの始めに続き、ファイルの中の長い無音には続きません。\n";
inline constexpr wchar_t kFilesTitles[] =
    L"ファイルの題名が番号のほかにも違います。\n";
inline constexpr wchar_t kFilesLengths[] =
    L"ファイルの長さが章のようにばらばらです (最長は最短の2倍以上)。\n";
inline constexpr wchar_t kFilesCuts[] =
    L"※ ファイルの区切りではなく、章の区切りの無音で分けました: ";
inline constexpr wchar_t kFilesInnerPauses[] =
    L"ファイルの中に章の区切りの無音が";  // count
inline constexpr wchar_t kFilesInnerHeaded[] =
    L"か所あり、見出しが続くのは";  // count
inline constexpr wchar_t kFilesInnerEnd[] = L"か所です。";
inline constexpr wchar_t kFilesJoinsInSound[] =
    L"ファイルのつなぎ目の多くが音の途中です (つなぎ目";  // count
inline constexpr wchar_t kFilesJoinsOf[] =
    L"か所のうち無音にあるのは";  // count
inline constexpr wchar_t kFilesJoinsEnd[] = L"か所)。";
inline constexpr wchar_t kFilesUseF[] =
    L"ファイルごとに分けるには -F を使います。\n";

// A given chapter list moved onto the silences.
inline constexpr wchar_t kAlignNoSilence[] = L"※無音なし";
inline constexpr wchar_t kAlignTotal[] = L"リストのチャプター";  // count
inline constexpr wchar_t kAlignTotalPlaced[] = L"個のうち";      // count
inline constexpr wchar_t kAlignTotalPlacedEnd[] = L"個を無音に置きました。";
inline constexpr wchar_t kAlignTotalUnplaced[] = L"※無音なしの";  // count
inline constexpr wchar_t kAlignTotalUnplacedEnd[] =
    L"個はリストの時間を補正した位置のままです。";
inline constexpr wchar_t kAlignDrift[] = L"(補正 開始";     // signed seconds
inline constexpr wchar_t kAlignDriftScale[] = L"秒、長さ";  // signed percent
inline constexpr wchar_t kAlignDriftEnd[] = L"%)\n";

// Running ffmpeg to write a copy with chapters, or ffprobe to read a media
// file's chapters; ffmpeg's failure to start is worded as the core words it.
inline constexpr wchar_t kFfmpegMissing[] =
    L"ffmpegが見つかりません。ffmpegをインストールするか、"
    L"環境変数HUSHMARK_FFMPEGにffmpegの場所を指定してください。\n";
inline constexpr wchar_t kFfprobeMissing[] =
    L"ffprobeが見つかりません。ffprobeをインストールするか、"
    L"環境変数HUSHMARK_FFPROBEにffprobeの場所を指定してください。\n";
inline constexpr wchar_t kFfprobeNotStarted[] =
    L"ffprobeを起動できませんでした。\n";
inline constexpr wchar_t kFfmpegFailed[] =
    L"ffmpegが失敗しました: ";  // its last line of errors, "\n"
inline constexpr wchar_t kFfprobeFailed[] =
    L"ffprobeが失敗しました: ";  // its last line of errors, "\n"

// Chapters written into a copy of the recording, through ffmpeg.
// The endings that keep chapters follow, as "(m4b,m4a)", then "\n".
inline constexpr wchar_t kEmbedNotMedia[] =
    L"チャプターを書き込める出力形式ではありません。";
// The endings whose chapters are lost follow, as "(ogg,oga)".
inline constexpr wchar_t kEmbedChaptersLost[] = L"この形式";
inline constexpr wchar_t kEmbedChaptersLostEnd[] =
    L"にはffmpegがチャプターを正しく書き込めません。"
    L"m4b,m4a,mka,mp3などで指定してください。\n";
inline constexpr wchar_t kEmbedSameAsInput[] =
    L"入力ファイルと同じファイルには書き出せません。\n";
inline constexpr wchar_t kEmbedCannotOpenInput[] =
    L"入力ファイルを開けませんでした: ";  // name, "\n"
inline constexpr wchar_t kEmbedStreamInput[] =
    L"入力がファイルではないので、チャプターを書き込めません。\n";
inline constexpr wchar_t kEmbedLineBreakInName[] =
    L"改行を含むファイル名はつなげられません: ";  // name, "\n"
inline constexpr wchar_t kEmbedDifferentCodecs[] =
    L"入力ファイルのコーデックがそろっていないため、そのままではつなげられませ"
    L"ん。1つのファイルに再エンコードしてから入力にしてください。"
    L"(例: ffmpeg -i 1.mp3 -i 2.m4a -filter_complex concat=n=2:v=0:a=1 "
    L"-c:a aac -b:a 128k book.m4b)\n";
inline constexpr wchar_t kEmbedEncodeFailed[] =
    L"エンコードに失敗しました: ";  // ffmpeg's last line, "\n"
inline constexpr wchar_t kEmbedCannotWrite[] =
    L"出力ファイルを書き出しできませんでした。\n";

// An output that is there already, and one file per chapter.
inline constexpr wchar_t kOutputExists[] =
    L"出力ファイルがすでにあります: ";  // name
inline constexpr wchar_t kOutputExistsEnd[] =
    L"\n置き換えるときは-yを指定してください。\n";
inline constexpr wchar_t kFilesBadName[] =
    L"チャプターごとのファイル名(-o)に使える%は%d,%02d,%03d,%t,%%だけです。\n";
inline constexpr wchar_t kFilesNoNumber[] =
    L"%tを使うときは、チャプター番号(%d,%02d,%03d)もファイル名(-o)に入れて"
    L"ください。\n";
inline constexpr wchar_t kFilesNotMedia[] =
    L"チャプターごとのファイルは音声ファイルの形式で指定してください。"
    L"(mp3,m4a,m4b,opus,ogg,mka,flacなど)\n";
inline constexpr wchar_t kFilesCannotMakeFolder[] =
    L"フォルダを作れませんでした: ";  // name, "\n"
inline constexpr wchar_t kOwnChaptersNone[] =
    L"入力ファイルにチャプターがありません: ";  // name
inline constexpr wchar_t kOwnChaptersNoneEnd[] =
    L"\n-cは入力ファイルが持つチャプターを使います。"
    L"無音から選ぶときは-cを付けずに実行してください。\n";
inline constexpr wchar_t kOwnChaptersOneInput[] =
    L"-cで使える入力ファイルは1つだけです。\n";
inline constexpr wchar_t kFilesWritten[] = L"ファイル";  // count
inline constexpr wchar_t kFilesWrittenEnd[] = L"個を書き出しました。\n";
inline constexpr wchar_t kFilesEarlierKept[] =
    L"置き換える前のファイルはこのフォルダに残してあります: ";  // folder, "\n"

// A chapter list read to be aligned; each message is followed by the file's
// name, then the line where that is known (" 12" and kListLine).
inline constexpr wchar_t kListCannotOpen[] =
    L"チャプター一覧を開けませんでした: ";
inline constexpr wchar_t kListCannotRead[] =
    L"チャプター一覧を読み取れませんでした: ";
inline constexpr wchar_t kListTooLarge[] = L"チャプター一覧が大きすぎます: ";
inline constexpr wchar_t kListUnknownFormat[] =
    L"チャプター一覧の形式が分かりません: ";
inline constexpr wchar_t kListBadJson[] =
    L"チャプター一覧をJSONとして読み取れません: ";
inline constexpr wchar_t kListEmpty[] =
    L"チャプター一覧にチャプターがありません: ";
inline constexpr wchar_t kListBadTime[] =
    L"チャプター一覧の時間を読み取れません: ";
inline constexpr wchar_t kListBadTitle[] =
    L"チャプター一覧のタイトルがUTF-8ではありません: ";
inline constexpr wchar_t kListBackwards[] =
    L"チャプター一覧の時間が順に並んでいません: ";
inline constexpr wchar_t kListLine[] = L"行目";

inline constexpr wchar_t kEchoCutPosition[] = L"区切り位置:";        // 0, 1, 2
inline constexpr wchar_t kEchoFormat[] = L"出力形式:";               // name
inline constexpr wchar_t kEchoMaxChapters[] = L"チャプター数:最大";  // count
inline constexpr wchar_t kEchoMinChapter[] = L"チャプターの長さ:";   // seconds
inline constexpr wchar_t kEchoMinChapterSuffix[] = L"秒以上\n";
inline constexpr wchar_t kEchoTitle[] = L"タイトル:";               // template
inline constexpr wchar_t kEchoTitlesFile[] = L"タイトルファイル:";  // name
inline constexpr wchar_t kEchoAlignFile[] = L"チャプターリスト:";   // name
inline constexpr wchar_t kEchoAlignWindow[] = L"動かせる幅:";       // s
inline constexpr wchar_t kEchoAlignWindowSuffix[] = L"秒\n";
inline constexpr wchar_t kEchoLeadIn[] = L"区切り位置:音の";  // ms
inline constexpr wchar_t kEchoLeadInSuffix[] = L"ms前\n";
inline constexpr wchar_t kEchoSplit[] = L"長いチャプターを分けます:目安";
inline constexpr wchar_t kEchoSplitMax[] = L"秒 最長";  // seconds
inline constexpr wchar_t kEchoSplitEnd[] = L"秒\n";
inline constexpr wchar_t kEchoFileChapters[] =
    L"ファイルごとにチャプターを始めます。\n";

inline constexpr wchar_t kChaptersVersion[] =
    L"hushmark-chapters v" HUSHMARK_VERSION_TEXT L"\n";

inline constexpr wchar_t kChaptersUsage[] =
    L"hushmark-chapters 無音でチャプター v" HUSHMARK_VERSION_TEXT L" \n"
    L"usage : hushmark-chapters [options] -i input -o output [input2 ...]\n"
    L"  -i in.wav   入力ファイル名 (WAVE以外はffmpegで読む、-は標準入力)\n"
    L"  -o out      出力ファイル名\n"
    L"  -f txt      出力形式";  // each name after a space
inline constexpr wchar_t kChaptersUsageEnd[] =
    L"\n"
    L"\n"
    L"  -s 362      無音範囲 0～32767 (省略時は録音から選ぶ)\n"
    L"  -m 2000     無音時間 この長さ以上の無音で区切る (省略時は章の区切りを"
    L"録音から選ぶ)\n"
    L"  -p 0        区切り位置 0=無音開始 1=中間 2=無音終了\n"
    L"  -n 24       チャプター数の上限 長い無音から選ぶ\n"
    L"  -l 300      チャプターの最短の長さ(秒)\n"
    L"  -t 題名     タイトル 既定はChapter %d (%d=番号 %02d "
    L"%03d=桁をそろえた番号 %f=ファイルのタイトル)\n"
    L"  -F          ファイルごとにチャプターを始める\n"
    L"  -T file     タイトルファイル 1行に1つ(UTF-8) -nがなければ行数が"
    L"チャプター数\n"
    L"  -b 250      "
    L"区切りを音の始まる250ms前に置く(無音の始まりより前にはしない)"
    L"\n"
    L"  -x 300,420  長いチャプターを無音で分ける 目安300秒 最長420秒"
    L"(既定は目安の1.5倍)\n"
    L"  -a list     チャプターリストのずれを直して無音に合わせる"
    L"(txt,ffmetadata,cue,json,m4bなど)\n"
    L"  -w 10       -aでチャプターを動かせる幅(秒)\n"
    L"  -k 64       再エンコードするときのビットレート(kbit/s) 既定は入力の"
    L"ビットレート(1チャンネル64まで)\n"
    L"  -c          "
    L"入力ファイルが持つチャプターをそのまま使う(無音は探さない)\n"
    L"  -y          出力の音声ファイルがすでにあれば置き換える\n"
    L"  -h          ヘルプ\n"
    L"入力ファイルを続けて並べると、その順につないで1つの録音として扱います。"
    L"\n"
    L"フォルダを指定すると、中の音声ファイルを名前の順につなぎます。\n";

}  // namespace hushmark::msg

namespace hushmark {

// ffmpeg writes a copy with chapters, or lists an input's audio.
inline constexpr FfmpegRun kEmbedRun = {
    false, msg::kFfmpegMissing, msg::kFfmpegNotStarted, msg::kFfmpegFailed};

// ffprobe lists a media file's chapters.
inline constexpr FfmpegRun kProbeRun = {
    true, msg::kFfprobeMissing, msg::kFfprobeNotStarted, msg::kFfprobeFailed};

}  // namespace hushmark

#endif  // HUSHMARK_CHAPTERS_MESSAGES_H_
