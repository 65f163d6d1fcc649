// The result log: line format, place, output mode and failures.

#include "ResultLog.h"
#include "FakeLogFolderAccess.h"
#include "LogLine.h"
#include "LogLocation.h"
#include "SystemCodePage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <vector>

#ifdef _WIN32
#include <windows.h>
// After windows.h:
#include <aclapi.h>
#include <sddl.h>
#endif
#ifdef __linux__
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/xattr.h>
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
    std::vector<std::string> refused = {}; // folders whose files cannot be opened
    std::vector<std::string> tried;        // paths opened or tried, in order
    bool opened;
    std::string created = "";     // a folder created for the user alone; "" when none is made
    std::string accountHome = ""; // the home folder of the user's account
    // The log beside the program planted as a "symbolic" or "hard" link to a
    // file of the row's, which keeps its text.
    std::string link = "";
    // Who else may write the program's folder, for real: "group" (mode 0775;
    // its group is the user's own) or "acl" (an access list entry for another
    // user) on Linux, an entry of its access list for this SID on Windows.
    std::string writableBy = "";
    // Another who may write it as far as the seam tells: a member of the
    // folder's group (Linux), an entry letting this SID add files (Windows).
    std::string scriptedWriter = "";
    // The environment set in the process's own, read through the system.
    bool realEnvironment = false;
    // The log the user is told was refused; by default the first path tried
    // when a second one was tried.
    std::string told = "";
};

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
    {.name = "Everyone may write the folder: the local application data",
     .executableDirectory = "@/app", .environment = {{"LOCALAPPDATA", "@/local"}},
     .tried = {"@/local/Tobrik/tobrik.log"}, .opened = true, .created = "@/local/Tobrik",
     .writableBy = "S-1-1-0"},
    // Wine keeps no entry for Users: it maps them to the Unix mode's group.
    {.name = "Users may write the folder (scripted)", .executableDirectory = "@/app",
     .environment = {{"LOCALAPPDATA", "@/local"}}, .tried = {"@/local/Tobrik/tobrik.log"},
     .opened = true, .created = "@/local/Tobrik", .scriptedWriter = "S-1-5-32-545"},
    {.name = "a profile folder in Japanese and other letters, with a space",
     .executableDirectory = "@/app", .environment = {{"LOCALAPPDATA", "@/山田 é/AppData/Local"}},
     .refused = {"@/app"},
     .tried = {"@/app/tobrik.log", "@/山田 é/AppData/Local/Tobrik/tobrik.log"}, .opened = true,
     .created = "@/山田 é/AppData/Local/Tobrik", .realEnvironment = true},
    {.name = "a hard link in the log's place: refused, told", .executableDirectory = "@/app",
     .environment = {{"LOCALAPPDATA", "@/local"}}, .tried = {"@/local/Tobrik/tobrik.log"},
     .opened = true, .created = "@/local/Tobrik", .link = "hard", .told = "@/app/tobrik.log"},
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
    {.name = "group-writable, the group the user's own: beside", .executableDirectory = "@/app",
     .environment = {{"XDG_STATE_HOME", "@/state"}}, .tried = {"@/app/tobrik.log"}, .opened = true,
     .writableBy = "group"},
    {.name = "group-writable, another member in the group", .executableDirectory = "@/app",
     .environment = {{"XDG_STATE_HOME", "@/state"}}, .tried = {"@/state/tobrik/tobrik.log"},
     .opened = true, .created = "@/state/tobrik", .writableBy = "group",
     .scriptedWriter = "tobrik-other"},
    {.name = "an access list lets another user write", .executableDirectory = "@/app",
     .environment = {{"XDG_STATE_HOME", "@/state"}}, .tried = {"@/state/tobrik/tobrik.log"},
     .opened = true, .created = "@/state/tobrik", .writableBy = "acl"},
    {.name = "a symbolic link in the log's place: refused, told", .executableDirectory = "@/app",
     .environment = {{"XDG_STATE_HOME", "@/state"}}, .tried = {"@/state/tobrik/tobrik.log"},
     .opened = true, .created = "@/state/tobrik", .link = "symbolic", .told = "@/app/tobrik.log"},
    {.name = "a hard link in the log's place: refused, told", .executableDirectory = "@/app",
     .environment = {{"XDG_STATE_HOME", "@/state"}}, .tried = {"@/state/tobrik/tobrik.log"},
     .opened = true, .created = "@/state/tobrik", .link = "hard", .told = "@/app/tobrik.log"},
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

// Sets the variable in the process's environment; unsets it for nullptr.
void setVariable(const std::string& name, const char* value) {
#ifdef _WIN32
    SetEnvironmentVariableW(tobrik::net::Utf8ToWide(name).c_str(),
                            value ? tobrik::net::Utf8ToWide(value).c_str() : nullptr);
#else
    value ? ::setenv(name.c_str(), value, 1) : ::unsetenv(name.c_str());
#endif
}

// The row's link in the log's place, to a file that must keep its text.
void plantLink(const std::string& kind, const fs::path& log, const fs::path& target) {
    std::ofstream(target) << "kept";
    if (kind == "symbolic")
        fs::create_symlink(target, log);
    else
        fs::create_hard_link(target, log);
}

#ifdef _WIN32
// An entry of folder's access list that lets sid add files.
void letWrite(const std::string& sid, const std::string& folder) {
    const std::wstring path = tobrik::net::Utf8ToWide(folder);
    PACL list = nullptr, grown = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PSID trustee = nullptr;
    ASSERT_EQ(GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, &list, nullptr, &descriptor),
              ERROR_SUCCESS);
    ASSERT_TRUE(ConvertStringSidToSidW(tobrik::net::Utf8ToWide(sid).c_str(), &trustee));
    EXPLICIT_ACCESSW entry{FILE_ADD_FILE, GRANT_ACCESS, NO_INHERITANCE, {}};
    BuildTrusteeWithSidW(&entry.Trustee, trustee);
    EXPECT_EQ(SetEntriesInAclW(1, &entry, list, &grown), ERROR_SUCCESS);
    EXPECT_EQ(SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION, nullptr, nullptr, grown, nullptr),
              ERROR_SUCCESS);
    LocalFree(grown);
    LocalFree(trustee);
    LocalFree(descriptor);
}
#else
// Mode 0775 ("group"), or the same through an access list entry that lets
// the user nobody write ("acl"; the group bits then show the list's mask).
void letWrite(const std::string& who, const std::string& folder) {
    if (who == "group") {
        fs::permissions(folder, fs::perms(0775));
        return;
    }
    // Version 2, then tag, permissions and id of each entry: the owner,
    // nobody, the group, the mask and the others.
    const auto entry = [](std::uint32_t tag, std::uint32_t perms) { return tag | perms << 16; };
    const std::uint32_t list[] = {2,   entry(1, 7),  ~0u, entry(2, 7),  65534, entry(4, 5),
                                  ~0u, entry(16, 7), ~0u, entry(32, 5), ~0u};
    ASSERT_EQ(::setxattr(folder.c_str(), "system.posix_acl_access", list, sizeof list, 0), 0)
        << std::strerror(errno);
}
#endif

#ifdef _WIN32
// The folder, made if missing, as its short (8.3) path names it.
std::string shortPath(const std::string& folder) {
    fs::create_directories(folder);
    const std::wstring wide = tobrik::net::Utf8ToWide(folder);
    std::wstring shorter(32768, L'\0');
    const DWORD length = GetShortPathNameW(wide.c_str(), shorter.data(), 32768);
    EXPECT_GT(length, 0u);
    shorter.resize(length);
    EXPECT_NE(shorter, wide) << "no short names on this volume";
    return tobrik::net::WideToUtf8(shorter);
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
        for (const auto& [name, value] : row.environment)
            places.environment[name] = place(value);
        for (const auto& folder : row.refused)
            places.refused.push_back(place(folder));
        places.home = row.accountHome.empty() ? std::string() : place(row.accountHome);
        if (!row.link.empty())
            plantLink(row.link, own / "app" / "tobrik.log", own / "target");
        if (!row.writableBy.empty())
            letWrite(row.writableBy, place("@/app"));
        places.otherWriter = row.scriptedWriter;
        if (row.realEnvironment) {
            places.realEnvironment = true;
            for (const auto& [name, value] : places.environment)
                setVariable(name, value.c_str());
        }
        ResultLog log;
        tobrik::log::LogPlace chosen =
            tobrik::log::ChooseLogPlace(place(row.executableDirectory), places);
        const std::string lockedPath = chosen.path;
        const auto opening = tobrik::log::OpenChosenLog(log, chosen, places,
                                                        [](const std::string&) { return true; });

        std::vector<std::string> tried;
        for (const auto& path : row.tried)
            tried.push_back(place(path));
        EXPECT_EQ(places.tried, tried);
        EXPECT_EQ(opening.path, tried.back());
        EXPECT_EQ(opening.opened, row.opened) << opening.error;
        EXPECT_EQ(log.isOpen(), row.opened);
        EXPECT_EQ(fs::exists(u8(opening.path)), row.opened);
        // A reason is given only for a log that could not be opened.
        EXPECT_EQ(opening.error, row.opened ? "" : "Permission denied");
        // Where the system alone refuses, the log chosen before it is opened
        // (which keys the one-instance lock) is the one opened.
        if (row.refused.empty()) {
            EXPECT_EQ(lockedPath, opening.path);
        }
        // The user hears of a log refused, or one that failed and moved.
        const std::string told = !row.told.empty()  ? place(row.told)
                                 : tried.size() > 1 ? tried[0]
                                                    : "";
        EXPECT_EQ(opening.move.from, told);
#ifndef _WIN32
        if (!row.created.empty()) {
            EXPECT_EQ(fs::status(place(row.created)).permissions(), fs::perms::owner_all);
        }
#endif
        if (row.created.empty()) {
            EXPECT_FALSE(fs::exists(own / "state") || fs::exists(own / "local")) << "nothing made";
        }
        if (!row.link.empty()) {
            EXPECT_EQ(readAll(own / "target"), "kept");
        }
        for (const auto& [name, value] : places.environment)
            if (row.realEnvironment)
                setVariable(name, nullptr);
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
    const std::string line = "t,127.0.0.1,--> OK,PC01\r\n"; // code page 932: Win32CodePageTest
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

TEST_F(ResultLogFile, OpenFailureNamesTheReasonAndLeavesTheLogClosed) {
    fs::create_directories(path); // the log's path is a directory
    ResultLog log;
    EXPECT_FALSE(log.open(path.string(), error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(log.isOpen());
#ifdef __linux__
    // A link where the log is to be is not followed: its target keeps its text.
    const fs::path link = dir / "link.log";
    std::ofstream(dir / "other") << "kept";
    fs::create_symlink(dir / "other", link);
    error.clear();
    EXPECT_FALSE(log.open(link.string(), error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(readAll(dir / "other"), "kept");
#endif
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
