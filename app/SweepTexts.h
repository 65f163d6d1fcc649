#pragma once
// The fixed texts of the main window's messages and captions.

namespace tobrik::app::texts {

inline constexpr const char* kStartCaption = "開始";
inline constexpr const char* kStopCaption = "中止";
inline constexpr const char* kConfirmPrompt = "チェックを開始します。";
inline constexpr const char* kConfirmTitle = "処理の確認";
inline constexpr const char* kStopSignal = "Tobrik STOP";
inline constexpr const char* kEchoPayload = "Korvantis";
inline constexpr const char* kAnswered = "--> OK";
inline constexpr const char* kNotAnswered = "--> NG";
inline constexpr const char* kInputTitle = "入力の確認";
inline constexpr const char* kStartInvalid = "開始IPアドレスの指定が不正です";
inline constexpr const char* kEndInvalid = "終了IPアドレスの指定が不正です";
inline constexpr const char* kSocketsStartFailed = "Windows Sockets for 32 bit Windows "
                                                   "environments is not successfully responding.";
inline constexpr const char* kPingErrorTitle = "PingError";
inline constexpr const char* kAlreadyRunning = "このアプリケーションはすでに開かれています。";
inline constexpr const char* kLoadErrorTitle = "ロードエラー";
inline constexpr const char* kLogErrorTitle = "ログエラー";
inline constexpr const char* kLogOpenFailed = "ログファイルを開けません。";
inline constexpr const char* kLogWriteFailed =
    "ログファイルに書き込めません。チェックを終了します。";
inline constexpr const char* kViewerFailed = "ログを表示するプログラムを起動できません。";
inline constexpr const char* kEchoUnavailable =
    "ICMP エコーを送信できません。結果はすべて NG になります。";

} // namespace tobrik::app::texts
