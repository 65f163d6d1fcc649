#pragma once
// Every text the program shows or writes that its code sets: captions,
// messages and their titles, the stop text, the log's results, what the
// programs write to a terminal and what a screen reader says. The captions
// that never change are in ui/frmMain.ui. This header includes nothing, so
// that the window, the log, the network module and the echo helper all
// take their texts from here. A %1 or %2 is a place that WithArguments
// (TextArguments.h) or QString::arg fills.

namespace tobrik::text {

// The title of a message box that has none of its own.
inline constexpr const char* kApplicationTitle = "dorIzezovedivu";

// ---- The sweep ----------------------------------------------------------
inline constexpr const char* kStartCaption = "開始";
inline constexpr const char* kStopCaption = "中止";
inline constexpr const char* kConfirmPrompt = "チェックを開始します。";
inline constexpr const char* kConfirmTitle = "処理の確認";
// The clipboard text that stops a running sweep, whichever program puts it there.
inline constexpr const char* kStopSignal = "Tobrik STOP";
inline constexpr const char* kInputTitle = "入力の確認";
inline constexpr const char* kStartInvalid = "開始IPアドレスの指定が不正です";
inline constexpr const char* kEndInvalid = "終了IPアドレスの指定が不正です";

// ---- Probes and the sockets library -----------------------------------
inline constexpr const char* kPingErrorTitle = "PingError";
inline constexpr const char* kSocketsStartFailed = "Windows Sockets for 32 bit Windows "
                                                   "environments is not successfully responding.";
inline constexpr const char* kSocketsCleanupFailed = "Windows Sockets error occurred in Cleanup.";
inline constexpr const char* kEchoUnavailable =
    "ICMP エコーを送信できません。結果はすべて NG になります。";
// Why, after kEchoUnavailable, for a range of multicast or reserved addresses.
inline constexpr const char* kEchoGroupRefused =
    "マルチキャスト アドレスと予約済みアドレス（224.0.0.0～255.255.255.255）には "
    "ICMP エコーを送信しません。";
// Why no echo can be sent, after kEchoUnavailable: one of these, why the
// ping socket was refused, why the echo helper does not serve, and what
// would allow it.
inline constexpr const char* kEchoNotPermitted =
    "このプログラムには ICMP エコーの送信が許可されていません。";
inline constexpr const char* kNoIcmpSocket = "ICMP ソケットを開けません。";
// %1 and %2: the commands that allow it.
inline constexpr const char* kAllowByGroupRange =
    "許可するには、ping グループの範囲を広げてください（例: %1）。";
inline constexpr const char* kAllowByCapability =
    "許可するには、エコー ヘルパーに raw ソケットの権限を与えてください（%1）。";
inline constexpr const char* kAllowByEither =
    "許可するには、ping グループの範囲を広げる（例: %1）か、"
    "エコー ヘルパーに raw ソケットの権限を与えてください（%2）。";
// Why the ping socket was refused; %1 the range or the system's reason.
inline constexpr const char* kPingSocketsNotAllowed =
    "このユーザーのグループには、特権なしの ICMP ソケットが許可されていません。";
inline constexpr const char* kPingSocketsNotAllowedInRange =
    "このユーザーのグループには、特権なしの ICMP ソケットが許可されていません"
    "（net.ipv4.ping_group_range は \"%1\"）。";
inline constexpr const char* kNoPingSockets =
    "このカーネルには特権なしの ICMP ソケットがありません。";
inline constexpr const char* kTooManyFilesForSocket =
    "開いているファイルが多すぎるため、ICMP ソケットを作れません。";
inline constexpr const char* kNoMemoryForSocket =
    "メモリが足りないため、ICMP ソケットを作れません。";
inline constexpr const char* kPingSocketRefused = "特権なしの ICMP ソケットを作れません（%1）。";
// The ping socket failed during a sweep (%1: the system's reason), then
// what the probes go on through, or that nothing can take its place.
inline constexpr const char* kPingSocketFailed =
    "確認用のデータグラム ICMP ソケットが使えなくなりました（%1）。";
inline constexpr const char* kGoingOnThroughHelper =
    "以降の確認はエコー ヘルパーを通して続けます。";
inline constexpr const char* kGoingOnThroughNewSocket =
    "以降の確認は新しいデータグラム ICMP ソケットで続けます。";
inline constexpr const char* kNoReplacement = "代わりの送信手段を用意できません。";
inline constexpr const char* kHelperDataOnly = "エコー ヘルパーは自身のデータしか送信しません。";

// Why the echo helper does not serve; %1 is its path, %2 the system's reason.
enum class EchoHelperFault {
    NoChannel,
    Missing,
    CannotStart,
    SocketFailed,
    RequestRefused,
    NoCapability,
    NoRawSocket,
    CapabilitiesKept,
    NotNarrowed,
    DescriptorsKept,
    UnexpectedAnswer,
    Ended,
    NoAnswerInTime,
};
constexpr const char* EchoHelperFaultText(EchoHelperFault fault) {
    switch (fault) {
    case EchoHelperFault::NoChannel:
        return "エコー ヘルパーとの通信路を作れません（%2）。";
    case EchoHelperFault::Missing:
        return "エコー ヘルパー %1 がありません。";
    case EchoHelperFault::CannotStart:
        return "エコー ヘルパー %1 を起動できません（%2）。";
    case EchoHelperFault::SocketFailed:
        return "エコー ヘルパーの raw ICMP ソケットが使えなくなりました（%2）。";
    case EchoHelperFault::RequestRefused:
        return "エコー ヘルパー %1 が要求を拒否しました。";
    case EchoHelperFault::NoCapability:
        return "エコー ヘルパー %1 には CAP_NET_RAW の権限がありません。";
    case EchoHelperFault::NoRawSocket:
        return "エコー ヘルパーが raw ICMP ソケットを開けません（%2）。";
    case EchoHelperFault::CapabilitiesKept:
        return "エコー ヘルパー %1 が権限を手放せません。";
    case EchoHelperFault::NotNarrowed:
        return "エコー ヘルパーが raw ICMP ソケットを自身への応答だけに絞れません（%2）。";
    case EchoHelperFault::DescriptorsKept:
        return "エコー ヘルパーが引き継いだディスクリプターを閉じられません（%2）。";
    case EchoHelperFault::UnexpectedAnswer:
        return "エコー ヘルパー %1 の応答が想定と異なります。";
    case EchoHelperFault::Ended:
        return "エコー ヘルパー %1 が予期せず終了しました。";
    case EchoHelperFault::NoAnswerInTime:
        return "エコー ヘルパー %1 が時間内に応答しないため、停止しました。";
    }
    return "";
}
// What the echo helper writes when started by hand rather than by the program.
inline constexpr const char* kEchoHelperByHand =
    "tobrik-echo: Tobrik のエコー ヘルパーです。起動は Tobrik が行います。\n";

// Windows: the echo service could not be opened (%1: the system's reason),
// and the reason when the system has no text for its error code.
inline constexpr const char* kEchoServiceNotOpened = "ICMP エコー サービスを開けません（%1）。";
inline constexpr const char* kSystemError = "システム エラー";

// ---- Start-up -----------------------------------------------------------
inline constexpr const char* kLoadErrorTitle = "ロードエラー";
inline constexpr const char* kAlreadyRunning = "このアプリケーションはすでに開かれています。";
// Written to the terminal where no display is found; %1 is the program.
inline constexpr const char* kNoDisplay =
    "tobrik: ディスプレイが見つかりません（X11 には DISPLAY、Wayland には WAYLAND_DISPLAY "
    "が必要で、QT_QPA_PLATFORM でどちらかを選べます）。画面なしで実行するには: xvfb-run -a %1\n";

// ---- The log ------------------------------------------------------------
// A probe's result, shown in lblResult and written into the log line.
inline constexpr const char* kAnswered = "--> OK";
inline constexpr const char* kNotAnswered = "--> NG";
inline constexpr const char* kLogErrorTitle = "ログエラー";
inline constexpr const char* kLogOpenFailed = "ログファイルを開けません。";
// The reasons of a failed write or close where the system gives none.
inline constexpr const char* kLogNotOpen = "ログファイルが開かれていません";
inline constexpr const char* kUnknownError = "不明なエラー";
inline constexpr const char* kLogWriteFailed =
    "ログファイルに書き込めません。チェックを終了します。";
inline constexpr const char* kViewerFailed = "ログを表示するプログラムを起動できません。";
// How the viewer's launcher ended, when it says it found no viewer.
inline constexpr const char* kViewerExitStatus = "終了コード %1";
inline constexpr const char* kLogIsAt = "ログファイルは次の場所にあります。";
// A log that is not written where it was to be: why, then where instead.
inline constexpr const char* kLogIsLink = "次のログファイルはリンクのため、使用しません。";
inline constexpr const char* kLogIsNotAFile =
    "次のログファイルは通常のファイルではないため、使用しません。";
inline constexpr const char* kLogIsAnotherUsers =
    "次のログファイルは他のユーザーのファイルのため、使用しません。";
inline constexpr const char* kLogInUse =
    "次のログファイルは他のプログラムが使用中のため、書き込めません。";
// Why no log can be written at all, after kLogOpenFailed and the path.
inline constexpr const char* kNoUserLogFolder =
    "このフォルダーにはログを書き込まず、"
    "ユーザーのフォルダーもわからないため、ログファイルを作れません。";
inline constexpr const char* kLogWrittenInstead = "ログは次の場所に書き込みます。";
inline constexpr const char* kLogWrittenByAnother =
    "次のログファイルには、すでに開かれている同じアプリケーションが書き込んでいます。";

// ---- What a screen reader says ------------------------------------------
// Names of the controls whose captions do not say what they are; nothing on
// the screen shows them. %1 is the octet's number, 1 to 4.
inline constexpr const char* kStartOctetName = "スタートIP 第%1オクテット";
inline constexpr const char* kEndOctetName = "エンドIP 第%1オクテット";
inline constexpr const char* kNameGroupName = "コンピュータ名の取得";
inline constexpr const char* kLocalAddressName = "IPアドレス";
inline constexpr const char* kLocalNameName = "コンピュータ名";
inline constexpr const char* kCheckedAddressName = "確認中のIPアドレス";
inline constexpr const char* kResultName = "確認結果";

// ---- Qt's own texts in Japanese ----------------------------------------
// The texts of Qt that the window can show, for a Japanese desktop where
// no catalog of Qt's translations is installed (the Windows program ships
// none): the message-box buttons and the octet boxes' context menu, each
// under the context and source text that Qt asks for.
struct QtText {
    const char* context;
    const char* source;
    const char* japanese;
};
inline constexpr QtText kQtTextsJapanese[] = {
    {"QPlatformTheme", "OK", "OK"},
    {"QPlatformTheme", "Cancel", "キャンセル"},
    {"QLineEdit", "&Undo", "元に戻す(&U)"},
    {"QLineEdit", "&Redo", "やり直す(&R)"},
    {"QLineEdit", "Cu&t", "切り取り(&T)"},
    {"QLineEdit", "&Copy", "コピー(&C)"},
    {"QLineEdit", "&Paste", "貼り付け(&P)"},
    {"QLineEdit", "Delete", "削除"},
    {"QLineEdit", "Select All", "すべてを選択"},
};

} // namespace tobrik::text
