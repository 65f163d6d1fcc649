// Text in the Japanese ANSI code page (932, Shift-JIS) and back. The log
// written in it, under a folder named in Japanese: tests/e2e/e2e.sh under wine.

#include "SystemCodePage.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

using tobrik::text::FromSystemCodePage;
using tobrik::text::ToSystemCodePage;

// "ホスト名" and "ソフト表" in Shift-JIS; the second holds 0x5C ("\") as a
// trail byte twice.
const std::string kHostSjis = "\x83\x7a\x83\x58\x83\x67\x96\xbc";
const std::string kTrailBackslashSjis = "\x83\x5c\x83\x74\x83\x67\x95\x5c";

// ctest runs it with LC_ALL=ja_JP.UTF-8, which gives wine the code page 932.
class ShiftJisText : public testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(GetACP(), 932u) << "run with LC_ALL=ja_JP.UTF-8 under wine"; }
};

TEST_F(ShiftJisText, ConvertsBothWays) {
    EXPECT_EQ(ToSystemCodePage("ホスト名"), kHostSjis);
    EXPECT_EQ(FromSystemCodePage(kHostSjis), "ホスト名");
    EXPECT_EQ(ToSystemCodePage("ソフト表"), kTrailBackslashSjis);
    EXPECT_EQ(FromSystemCodePage(kTrailBackslashSjis), "ソフト表");
    EXPECT_EQ(ToSystemCodePage("lab-host-abcde"), "lab-host-abcde");
}

} // namespace
