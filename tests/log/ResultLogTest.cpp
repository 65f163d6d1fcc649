// The result log: line format, place, output mode and failures.

#include "ResultLog.h"
#include "FakeLogFolderAccess.h"
#include "LogLine.h"
#include "LogLocation.h"
#include "SystemCodePage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <vector>

#ifdef _WIN32
#include <windows.h>
// After windows.h:
#include <sddl.h>
#endif
#ifdef __linux__
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using tobrik::log::FormatLogLine;
using tobrik::log::LogLine;
using tobrik::log::LogRefusal;
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

// Where the log goes. "@" is a folder of the row's own, "/" the platform's
// separator; on Windows a leading "~" gives the folder (made then) in its
// short 8.3 form, and "\\?\" stays a prefix. Nothing is written outside "@".
struct PlaceRow {
    const char* name;
    std::string executableDirectory;
    std::map<std::string, std::string> environment;
    std::vector<std::string> refused; // folders whose files cannot be opened
    std::vector<std::string> tried;   // paths opened or tried, in order
    bool opened;
    std::string created;          // a folder created for the user alone; "" when none is made
    std::string accountHome = ""; // the home folder of the user's account
    std::string link = "";        // in the log's place: "symbolic", "hard", "fifo" or "another's"
    // Others may write the program's folder: for real by its group (0775) or
    // a SID's access entry, or by the records scripted (FakeLogFolderAccess).
    std::string writableBy = "", scripted = "";
};

// The program in "@/app": the log beside it, or else in the user's own folder.
PlaceRow ownRow(const char* name, bool beside, std::string link, std::string writableBy = "",
                std::string scripted = "") {
#ifdef _WIN32
    const std::string variable = "LOCALAPPDATA", folder = "@/local", own = "@/local/Tobrik";
#else
    const std::string variable = "XDG_STATE_HOME", folder = "@/state", own = "@/state/tobrik";
#endif
    PlaceRow row{name, "@/app", {{variable, folder}}, {}, {own + "/tobrik.log"}, true, own};
    if (beside)
        row.tried = {"@/app/tobrik.log"}, row.created = "";
    row.link = link, row.writableBy = writableBy, row.scripted = scripted;
    return row;
}

// clang-format off
const std::vector<PlaceRow> kPlaceRows = {
#ifdef _WIN32
    {"portable copy: beside the executable", "@/app", {{"LOCALAPPDATA", "@/local"}}, {},
     {"@/app/tobrik.log"}, true, ""},
    {"folder that cannot be written: the local application data", "@/app",
     {{"LOCALAPPDATA", "@/local"}}, {"@/app"},
     {"@/app/tobrik.log", "@/local/Tobrik/tobrik.log"}, true, "@/local/Tobrik"},
    {"a Program Files folder, whatever its case and slashes", "q:/program FILES (x86)/Tobrik",
     {{"LOCALAPPDATA", "@/local"}, {"ProgramFiles(x86)", "Q:\\Program Files (x86)\\"}}, {"Q:"},
     {"@/local/Tobrik/tobrik.log"}, true, "@/local/Tobrik"},
    {"a folder named like Program Files is not one", "Q:/Program Files Tools",
     {{"LOCALAPPDATA", "@/local"}, {"ProgramW6432", "Q:\\Program Files"}}, {"Q:"},
     {"Q:/Program Files Tools/tobrik.log", "@/local/Tobrik/tobrik.log"}, true, "@/local/Tobrik"},
    {"a Program Files folder in its short form", "~@/Program Files/Tobrik",
     {{"LOCALAPPDATA", "@/local"}, {"ProgramFiles", "@/Program Files"}}, {},
     {"@/local/Tobrik/tobrik.log"}, true, "@/local/Tobrik"},
    {"a Program Files folder behind \\\\?\\, the variable short", "\\\\?\\@/Program Files/Tobrik",
     {{"LOCALAPPDATA", "@/local"}, {"ProgramFiles", "~@/Program Files"}}, {},
     {"@/local/Tobrik/tobrik.log"}, true, "@/local/Tobrik"},
    {"both refused: the last path tried fails", "@/app", {{"LOCALAPPDATA", "@/local"}}, {"@"},
     {"@/app/tobrik.log", "@/local/Tobrik/tobrik.log"}, false, "@/local/Tobrik"},
    // Not marked read-only, yet no file can be made: an ACL on Windows, sysfs under wine.
    {"a folder where no file can be made", "Z:/sys/kernel", {{"LOCALAPPDATA", "@/local"}}, {},
     {"@/local/Tobrik/tobrik.log"}, true, "@/local/Tobrik"},
    // "!": set in the process's own environment, read through the system.
    {"a profile folder in Japanese and other letters, with a space", "@/app",
     {{"LOCALAPPDATA", "!@/山田 é/AppData/Local"}}, {"@/app"},
     {"@/app/tobrik.log", "@/山田 é/AppData/Local/Tobrik/tobrik.log"}, true,
     "@/山田 é/AppData/Local/Tobrik"},
    ownRow("Everyone may write the folder", false, "", "WD"),
    // Wine keeps no entry for Users (it makes it the Unix mode's group) and
    // no owner but the file's Unix one: the records are scripted.
    ownRow("Users may write the folder", false, "", "", "O:BAD:(A;;FA;;;BA)(A;;0x2;;;BU)"),
    ownRow("another user owns the folder", false, "", "", "O:S-1-5-21-1-2-3-1001D:(A;;FA;;;BA)"),
    ownRow("the user's own hard link in a folder of the user's: written", true, "hard"),
#else
    {"portable copy: beside the executable", "@/app", {{"XDG_STATE_HOME", "@/state"}}, {},
     {"@/app/tobrik.log"}, true, ""},
    {"folder that cannot be written: the state folder, created private", "@/app",
     {{"XDG_STATE_HOME", "@/state"}}, {"@/app"},
     {"@/app/tobrik.log", "@/state/tobrik/tobrik.log"}, true, "@/state/tobrik"},
    {"under /usr: the state folder, even for root", "/usr/bin",
     {{"XDG_STATE_HOME", "@/state"}}, {"/usr"},
     {"@/state/tobrik/tobrik.log"}, true, "@/state"},
    {"a relative XDG_STATE_HOME counts for nothing", "/usr/local/bin",
     {{"XDG_STATE_HOME", "state"}, {"HOME", "@/home"}}, {"/usr"},
     {"@/home/.local/state/tobrik/tobrik.log"}, true, "@/home/.local/state"},
    {"XDG_STATE_HOME unset: ~/.local/state", "@/app", {{"HOME", "@/home"}}, {"@/app"},
     {"@/app/tobrik.log", "@/home/.local/state/tobrik/tobrik.log"}, true,
     "@/home/.local/state/tobrik"},
    {"HOME unset: the home folder of the account", "/usr/bin", {}, {"/usr"},
     {"@/account/.local/state/tobrik/tobrik.log"}, true, "@/account/.local/state/tobrik",
     "@/account"},
    {"trailing slashes are dropped", "/usr/bin", {{"XDG_STATE_HOME", "@/state//"}}, {"/usr"},
     {"@/state/tobrik/tobrik.log"}, true, "@/state/tobrik"},
    {"a folder others may write counts as the system's", "/var/tmp",
     {{"XDG_STATE_HOME", "@/state"}}, {"/var/tmp"}, {"@/state/tobrik/tobrik.log"}, true, "@/state"},
    {"a folder named like /usr is not under it", "/usrx", {{"HOME", "@/home"}}, {"/usrx"},
     {"/usrx/tobrik.log", "@/home/.local/state/tobrik/tobrik.log"}, true,
     "@/home/.local/state/tobrik"},
    {"both refused: the last path tried fails", "@/app", {{"XDG_STATE_HOME", "@/state"}}, {"@"},
     {"@/app/tobrik.log", "@/state/tobrik/tobrik.log"}, false, "@/state/tobrik"},
    {"no folder of the user's own: nothing is written under /usr", "/usr/bin", {}, {"/usr"}, {},
     false, ""},
    ownRow("group-writable, the group the user's own: beside", true, "", "group"),
    ownRow("group-writable, another member in the group", false, "", "group", "tobrik-other"),
    ownRow("a symbolic link in the log's place: refused, told", false, "symbolic"),
    ownRow("the user's own hard link in a folder of the user's: written", true, "hard"),
    ownRow("a FIFO without a reader in the log's place: refused at once, told", false, "fifo"),
    ownRow("another owner's file in a folder of the user's (NFS): written", true, "another's"),
#endif
};
// clang-format on

namespace {

// Paths are UTF-8 texts here, as the log's code has them.
std::string placeIn(const fs::path& own, std::string text) {
    if (text.rfind("@", 0) == 0)
        text = own.string() + text.substr(1);
    std::replace(text.begin(), text.end(), '/', static_cast<char>(fs::path::preferred_separator));
    return text;
}

fs::path u8(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

// Puts a link to target, a FIFO or a copy of target that another user owns at path.
void putInPlace(const std::string& kind, const fs::path& target, const fs::path& path) {
    if (kind == "hard")
        fs::create_hard_link(target, path);
    if (kind == "symbolic")
        fs::create_symlink(target, path);
#ifndef _WIN32
    if (kind == "fifo")
        ::mkfifo(path.c_str(), 0600);
    const bool copied = kind == "another's" && fs::copy_file(target, path);
    ASSERT_FALSE(copied && ::chown(path.c_str(), 65534, 65534) != 0) << "needs root";
#endif
}

// Lets its group (Linux: 0775) or the SID (Windows: by an access list) write folder.
void letWrite([[maybe_unused]] const std::string& sid, const std::string& folder) {
#ifdef _WIN32
    PSECURITY_DESCRIPTOR list = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        tobrik::text::Utf8ToWide("D:(A;OICI;FA;;;" + sid + ")").c_str(), SDDL_REVISION_1, &list,
        nullptr));
    EXPECT_TRUE(SetFileSecurityW(tobrik::text::Utf8ToWide(folder).c_str(),
                                 DACL_SECURITY_INFORMATION, list));
    LocalFree(list);
#else
    fs::permissions(folder, fs::perms(0775));
#endif
}

#ifdef _WIN32
// The folder, made if missing, as its short (8.3) path names it.
std::string shortPath(const std::string& folder) {
    fs::create_directories(folder);
    const std::wstring wide = tobrik::text::Utf8ToWide(folder);
    std::wstring shorter(32768, L'\0');
    const DWORD length = GetShortPathNameW(wide.c_str(), shorter.data(), 32768);
    EXPECT_GT(length, 0u);
    shorter.resize(length);
    EXPECT_NE(shorter, wide) << "no short names on this volume";
    return tobrik::text::WideToUtf8(shorter);
}
#endif

} // namespace

TEST_F(ResultLogFile, ThePlaceIsBesideTheExecutableOrTheUsersOwn) {
    for (std::size_t i = 0; i < kPlaceRows.size(); ++i) {
        const PlaceRow& row = kPlaceRows[i];
        SCOPED_TRACE(row.name);
        const fs::path own = dir / std::to_string(i);
        fs::create_directories(own / "app");
        const auto place = [&own](std::string text) {
#ifdef _WIN32
            if (text.rfind("\\\\?\\", 0) == 0)
                return text.substr(0, 4) + placeIn(own, text.substr(4));
            if (text.rfind("~", 0) == 0)
                return shortPath(placeIn(own, text.substr(1)));
#endif
            return placeIn(own, text);
        };
        tobrik::test::FakeLogFolderAccess places;
        for (const auto& [name, value] : row.environment) {
            places.environment[name] = value[0] == '!' ? "!" : place(value);
#ifdef _WIN32
            if (value[0] == '!')
                SetEnvironmentVariableW(tobrik::text::Utf8ToWide(name).c_str(),
                                        tobrik::text::Utf8ToWide(place(value.substr(1))).c_str());
#endif
        }
        for (const auto& folder : row.refused)
            places.refused.push_back(place(folder));
        places.home = row.accountHome.empty() ? std::string() : place(row.accountHome);
        if (!row.link.empty() && std::ofstream(own / "target") << "kept")
            putInPlace(row.link, own / "target", own / "app/tobrik.log");
        if (!row.writableBy.empty())
            letWrite(row.writableBy, place("@/app"));
        places.scripted = row.scripted;
        ResultLog log;
        tobrik::log::LogPlace chosen =
            tobrik::log::ChooseLogPlace(place(row.executableDirectory), places);
        const auto opening = tobrik::log::OpenChosenLog(log, chosen, places,
                                                        [](const std::string&) { return true; });

        std::vector<std::string> tried;
        for (const auto& path : row.tried)
            tried.push_back(place(path));
        EXPECT_EQ(places.tried, tried);
        EXPECT_EQ(opening.path,
                  tried.empty() ? place(row.executableDirectory) + "/tobrik.log" : tried.back());
        EXPECT_EQ(opening.opened, row.opened) << opening.error;
        EXPECT_EQ(log.isOpen(), row.opened);
        EXPECT_EQ(fs::exists(u8(opening.path)), row.opened);
        // A reason is given only for a log that could not be opened.
        EXPECT_EQ(opening.error, row.opened || tried.empty() ? "" : "Permission denied");
        EXPECT_EQ(opening.refusal == LogRefusal::NoUserFolder, tried.empty());
        // Where the system alone refuses, the place predicted before the
        // log is opened (which keys the one-instance lock) is the same.
        if (row.refused.empty()) {
            EXPECT_EQ(chosen.path, opening.path);
        }
        // The user hears of a link refused, or of a log that failed and moved.
        const bool refused = !row.link.empty() && !row.created.empty();
        EXPECT_EQ(opening.move.from, refused            ? place("@/app/tobrik.log")
                                     : tried.size() > 1 ? tried[0]
                                                        : "");
#ifndef _WIN32
        if (!row.created.empty()) {
            EXPECT_EQ(fs::status(place(row.created)).permissions(), fs::perms::owner_all);
        }
#endif
        if (row.created.empty()) {
            EXPECT_FALSE(fs::exists(own / "state") || fs::exists(own / "local")) << "nothing made";
        }
        if (!row.link.empty()) { // another's file, or a link's target, is not emptied
            EXPECT_EQ(readAll(own / (row.link == "another's" ? "app/tobrik.log" : "target")),
                      refused ? "kept" : "");
        }
    }
}

// A line is on disk at once, for another reader while the log is open; a
// closed log writes nothing, closing twice is harmless, and every open
// empties the file.
TEST_F(ResultLogFile, WritesAtOnceWhileOpenAndEveryOpenEmptiesTheFile) {
    ResultLog log;
    EXPECT_FALSE(log.write("x\r\n", error));
    ASSERT_TRUE(log.open(path.string(), error)) << error;
#ifdef _WIN32
    const std::string line = "t,127.0.0.1,--> OK,PC01\r\n"; // code page 932: e2e.sh under wine
#else
    const std::string line = "t,127.0.0.1,--> OK,ホスト\r\n"; // UTF-8 stays UTF-8
#endif
    ASSERT_TRUE(log.write(line, error));
    EXPECT_EQ(readAll(path), line);
    log.close();
    log.close();
    EXPECT_FALSE(log.isOpen());
    EXPECT_FALSE(log.write("late\r\n", error));
    EXPECT_EQ(readAll(path), line);
    ASSERT_TRUE(log.open(path.string(), error)) << error;
    EXPECT_EQ(readAll(path), "");
}

// What is not a file of the user's own to write is refused, not followed nor
// written, by the open and by the look taken before it alike.
TEST_F(ResultLogFile, WhatIsNoLogOfTheUsersIsRefused) {
    std::ofstream(dir / "target") << "kept";
    fs::create_directories(path);
    std::vector<std::pair<fs::path, LogRefusal>> rows = {{path, LogRefusal::NotAFile}};
#ifdef __linux__
    fs::create_directories(dir / "shared"); // another member of its group may write
    fs::permissions(dir / "shared", fs::perms(0775));
    putInPlace("hard", dir / "target", dir / "shared/tobrik.log");
    putInPlace("another's", dir / "target", dir / "shared/another's");
    putInPlace("fifo", {}, dir / "fifo");
    ::open((dir / "fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); // a reader, open to the end
    rows.insert(rows.end(), {{dir / "shared/tobrik.log", LogRefusal::Link},
                             {dir / "shared/another's", LogRefusal::NotOwn},
                             {dir / "fifo", LogRefusal::NotAFile},
                             {"/dev/full", LogRefusal::NotAFile}});
#endif
    tobrik::test::FakeLogFolderAccess access;
    access.scripted = "tobrik-other";
    for (const auto& [at, refusal] : rows) {
        SCOPED_TRACE(at.string());
        ResultLog log;
        EXPECT_FALSE(access.open(log, at.string(), error) || log.isOpen());
        EXPECT_EQ(log.refusal(), refusal);
        EXPECT_EQ(access.refusal(at.string()), refusal);
    }
    EXPECT_EQ(readAll(dir / "target"), "kept");
}

#ifdef __linux__
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
