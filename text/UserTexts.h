#pragma once
// Every text the program shows or writes that its code sets: captions,
// messages and their titles, the stop text, the log's results and what a
// screen reader says. The captions that never change are in ui/frmMain.ui.
// This header includes nothing, so that the window, the log and the
// network module all take their texts from here.

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

// ---- Start-up -----------------------------------------------------------
inline constexpr const char* kLoadErrorTitle = "ロードエラー";
inline constexpr const char* kAlreadyRunning = "このアプリケーションはすでに開かれています。";

// ---- The log ------------------------------------------------------------
// A probe's result, shown in lblResult and written into the log line.
inline constexpr const char* kAnswered = "--> OK";
inline constexpr const char* kNotAnswered = "--> NG";
inline constexpr const char* kLogErrorTitle = "ログエラー";
inline constexpr const char* kLogOpenFailed = "ログファイルを開けません。";
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
