// The result log: line format, path, output mode and failures.

#include "ResultLog.h"
#include "LogLine.h"
#include "SystemCodePage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#ifdef __linux__
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using tobrik::log::FormatLogLine;
using tobrik::log::LogLine;
using tobrik::log::ResultLog;

namespace {

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ResultLogFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("tobrik-log-test-" +
               std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        path = dir / "tobrik.log";
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path dir;
    fs::path path;
    std::string error;
};

} // namespace

TEST(LogLineFormat, FieldsJoinedByCommasAndEndedByCrLf) {
    EXPECT_EQ(FormatLogLine({"2007/12/04 14:40:56", "192.168.1.20", "--> OK", "PC01"}),
              "2007/12/04 14:40:56,192.168.1.20,--> OK,PC01\r\n");
    // No name: the line ends with ",".
    EXPECT_EQ(FormatLogLine({"2007/12/04 14:40:57", "192.168.1.21", "--> NG", ""}),
              "2007/12/04 14:40:57,192.168.1.21,--> NG,\r\n");
    // The address is written exactly as composed, leading zeros included.
    EXPECT_EQ(FormatLogLine({"t", "10.010.0.1", "--> NG", ""}), "t,10.010.0.1,--> NG,\r\n");
}

TEST(LogLineFormat, PathJoinsTheDirectoryAsItStands) {
#ifdef _WIN32
    EXPECT_EQ(tobrik::log::LogPathIn("C:\\Tools"), "C:\\Tools\\tobrik.log");
    EXPECT_EQ(tobrik::log::LogPathIn("C:\\"), "C:\\\\tobrik.log");
#else
    EXPECT_EQ(tobrik::log::LogPathIn("/opt/tobrik"), "/opt/tobrik/tobrik.log");
    EXPECT_EQ(tobrik::log::LogPathIn("/"), "//tobrik.log");
#endif
}

TEST_F(ResultLogFile, EveryOpenEmptiesTheFile) {
    ResultLog log;
    ASSERT_TRUE(log.open(path.string(), error)) << error;
    ASSERT_TRUE(log.write("first sweep\r\n", error));
    ASSERT_TRUE(log.write("first sweep again\r\n", error));
    log.close();
    ASSERT_TRUE(log.open(path.string(), error)) << error;
    ASSERT_TRUE(log.write("second sweep\r\n", error));
    log.close();
    EXPECT_EQ(readAll(path), "second sweep\r\n");
}

TEST_F(ResultLogFile, LinesAreOnDiskBeforeTheLogCloses) {
    ResultLog log;
    ASSERT_TRUE(log.open(path.string(), error));
    ASSERT_TRUE(log.write(FormatLogLine({"t", "127.0.0.1", "--> OK", "ホスト"}), error));
    // Read by another reader while still open: nothing is held back. The
    // bytes are in the system code page (UTF-8 itself outside Windows).
    EXPECT_EQ(readAll(path),
              tobrik::net::ToSystemCodePage(FormatLogLine({"t", "127.0.0.1", "--> OK", "ホスト"})));
}

TEST_F(ResultLogFile, ClosedLogWritesNothingAndClosingTwiceIsHarmless) {
    ResultLog log;
    EXPECT_FALSE(log.write("x\r\n", error));
    ASSERT_TRUE(log.open(path.string(), error));
    log.close();
    log.close();
    EXPECT_FALSE(log.isOpen());
    EXPECT_FALSE(log.write("late\r\n", error));
    EXPECT_EQ(readAll(path), "");
}

TEST_F(ResultLogFile, OpenFailureNamesTheReasonAndLeavesTheLogClosed) {
    fs::create_directories(path); // the log's path is a directory
    ResultLog log;
    EXPECT_FALSE(log.open(path.string(), error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(log.isOpen());
}

#ifdef __linux__
TEST(ResultLogDevice, WriteFailureOnAFullDeviceIsReported) {
    ResultLog log;
    std::string error;
    ASSERT_TRUE(log.open("/dev/full", error)) << error;
    EXPECT_FALSE(log.write("2026/01/01 00:00:00,127.0.0.1,--> OK,\r\n", error));
    EXPECT_NE(error.find("space"), std::string::npos) << error;
    EXPECT_TRUE(log.isOpen());
    // Nothing of the failed line waits to be written at close.
    error.clear();
    EXPECT_TRUE(log.close(error)) << error;
}

// A disk that fills up in the middle of a line (here: the file size limit)
// takes part of it; the log holds whole lines only, also after closing.
TEST_F(ResultLogFile, ALineCutShortIsTakenBack) {
    ResultLog log;
    ASSERT_TRUE(log.open(path.string(), error));
    ASSERT_TRUE(log.write("first line\r\n", error));
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 20;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = log.write("second line, too long to fit\r\n", error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(written);
    EXPECT_EQ(readAll(path), "first line\r\n");
    // The log goes on after the failed line.
    ASSERT_TRUE(log.write("third line\r\n", error)) << error;
    EXPECT_TRUE(log.close(error)) << error;
    EXPECT_EQ(readAll(path), "first line\r\nthird line\r\n");
}

// The system reports a failure at close (here: the descriptor is gone).
TEST_F(ResultLogFile, AFailingCloseIsReported) {
    ResultLog log;
    ASSERT_TRUE(log.open(path.string(), error));
    ASSERT_TRUE(log.write("line\r\n", error));
    int descriptor = -1;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ignored;
        if (fs::read_symlink(entry.path(), ignored) == path)
            descriptor = std::stoi(entry.path().filename().string());
    }
    ASSERT_GE(descriptor, 0);
    ASSERT_EQ(::close(descriptor), 0);
    error.clear();
    EXPECT_FALSE(log.close(error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(log.isOpen());
    EXPECT_TRUE(log.close(error)); // closing again does nothing
}
#endif
