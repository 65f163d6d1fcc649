// The result log on Windows with the Japanese ANSI code page (932,
// Shift-JIS): lines reach the file as Shift-JIS bytes with CR LF endings,
// under a path built with a backslash. Runs only where GetACP() is 932;
// skipping fails when CI is "true".

#include "LogLine.h"
#include "LogLocation.h"
#include "ResultLog.h"
#include "SystemCodePage.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using tobrik::log::FormatLogLine;
using tobrik::log::LogPathIn;
using tobrik::log::ResultLog;
using tobrik::net::FromSystemCodePage;
using tobrik::net::ToSystemCodePage;

// "ホスト名" and "ソフト表" in Shift-JIS; the second holds 0x5C ("\") as a
// trail byte twice.
const std::string kHostSjis = "\x83\x7a\x83\x58\x83\x67\x96\xbc";
const std::string kTrailBackslashSjis = "\x83\x5c\x83\x74\x83\x67\x95\x5c";

std::wstring wide(const std::string& utf8) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, text.data(), length);
    text.resize(static_cast<std::size_t>(length) - 1);
    return text;
}

std::string utf8(const std::wstring& text) {
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes.data(), length, nullptr, nullptr);
    bytes.resize(static_cast<std::size_t>(length) - 1);
    return bytes;
}

std::string readAll(const std::string& path) {
    std::string bytes;
    if (FILE* file = _wfopen(wide(path).c_str(), L"rb")) {
        char buffer[512];
        std::size_t count;
        while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            bytes.append(buffer, count);
        std::fclose(file);
    }
    return bytes;
}

class ShiftJisLog : public testing::Test {
  protected:
    void SetUp() override {
        if (GetACP() != 932) {
            // A continuous integration run must not pass by skipping.
            if (const char* ci = std::getenv("CI"); ci && std::string(ci) == "true")
                FAIL() << "the ANSI code page is " << GetACP() << ", not 932";
            GTEST_SKIP() << "the ANSI code page is " << GetACP()
                         << ", not 932; run with LC_ALL=ja_JP.UTF-8 under wine";
        }
        wchar_t temp[MAX_PATH + 1];
        ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
        // A directory name outside ASCII: the path must reach the file
        // system as it stands.
        dir = utf8(temp) + "tobrik-ログ-" + std::to_string(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryW(wide(dir).c_str(), nullptr));
        path = LogPathIn(dir);
    }
    void TearDown() override {
        if (!path.empty())
            DeleteFileW(wide(path).c_str());
        if (!dir.empty())
            RemoveDirectoryW(wide(dir).c_str());
    }

    std::string dir;
    std::string path;
    std::string error;
};

TEST_F(ShiftJisLog, TextConvertsBothWays) {
    EXPECT_EQ(ToSystemCodePage("ホスト名"), kHostSjis);
    EXPECT_EQ(FromSystemCodePage(kHostSjis), "ホスト名");
    EXPECT_EQ(ToSystemCodePage("ソフト表"), kTrailBackslashSjis);
    EXPECT_EQ(FromSystemCodePage(kTrailBackslashSjis), "ソフト表");
    EXPECT_EQ(ToSystemCodePage("lab-host-abcde"), "lab-host-abcde");
}

TEST_F(ShiftJisLog, LinesAreWrittenInShiftJisWithCrLf) {
    ResultLog log;
    ASSERT_TRUE(log.open(path, error)) << error;
    for (const char* name : {"ホスト名", "ソフト表", ""})
        ASSERT_TRUE(
            log.write(FormatLogLine({"2024/01/02 03:04:05", "127.0.0.1", "--> OK", name}), error))
            << error;
    log.close();
    const std::string line = "2024/01/02 03:04:05,127.0.0.1,--> OK,";
    EXPECT_EQ(readAll(path),
              line + kHostSjis + "\r\n" + line + kTrailBackslashSjis + "\r\n" + line + "\r\n");
}

} // namespace
