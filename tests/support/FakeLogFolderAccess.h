#pragma once
// The log's places on the real file system, with an environment and an
// account's home of the test's own (empty unless set: no test writes into a
// real user's folder) and folders whose files cannot be opened, though they
// count as writable. Every path an open was asked for is recorded.

#include "LogFolderAccess.h"

#include <algorithm>
#include <map>
#include <vector>

#ifdef _WIN32
#include <windows.h>
// After windows.h:
#include <sddl.h>
#endif

namespace tobrik::test {

class FakeLogFolderAccess : public log::LogFolderAccess {
  public:
    std::map<std::string, std::string> environment;
    std::vector<std::string> refused;
    std::vector<std::string> tried;
    std::string home; // the account's home folder
    // The records of every folder, scripted: another member of its group
    // (Linux), its owner and access list in SDDL (Windows).
    std::string scripted;

    std::string variable(const std::string& name) override {
        const auto found = environment.find(name);
        if (found != environment.end() && found->second == "!")
            return LogFolderAccess::variable(name); // the process's own environment
        return found == environment.end() ? std::string() : found->second;
    }
    std::string accountHome() override { return home; }
    bool mayWrite(const std::string& folder) override {
        return std::any_of(refused.begin(), refused.end(),
                           [&](const auto& refusal) { return folder.rfind(refusal, 0) == 0; }) ||
               LogFolderAccess::mayWrite(folder);
    }
    bool open(log::ResultLog& log, const std::string& path, std::string& error) override {
        tried.push_back(path);
        for (const auto& folder : refused) {
            if (path.rfind(folder, 0) == 0) {
                error = "Permission denied";
                return false;
            }
        }
        return LogFolderAccess::open(log, path, error);
    }
#ifdef _WIN32
    std::vector<unsigned char> security(const std::string& folder) override {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ULONG size = 0;
        if (scripted.empty() || !ConvertStringSecurityDescriptorToSecurityDescriptorA(
                                    scripted.c_str(), SDDL_REVISION_1, &descriptor, &size))
            return LogFolderAccess::security(folder);
        const auto* bytes = static_cast<const unsigned char*>(descriptor);
        std::vector<unsigned char> records(bytes, bytes + size);
        LocalFree(descriptor);
        return records;
    }
#else
    log::GroupEntry group(unsigned gid) override {
        log::GroupEntry entry = LogFolderAccess::group(gid);
        if (!scripted.empty())
            entry.members.push_back(scripted);
        return entry;
    }
#endif
};

} // namespace tobrik::test
