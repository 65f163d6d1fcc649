#pragma once
// The log's places on the real file system, with an environment and an
// account's home of the test's own (empty unless set: no test writes into a
// real user's folder) and folders whose files cannot be opened, though the
// system may say they can be written. Every path an open was asked for is
// recorded.

#include "LogFolderAccess.h"

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
    // Another who may write every folder, beside what the system's records
    // say: a member of its group (Linux), a SID allowed to add files there
    // (Windows); none when empty.
    std::string otherWriter;
    bool realEnvironment = false; // the variables of the process's environment

    std::string variable(const std::string& name) override {
        if (realEnvironment)
            return LogFolderAccess::variable(name);
        const auto found = environment.find(name);
        return found == environment.end() ? std::string() : found->second;
    }
    std::string accountHome() override { return home; }
    bool mayWrite(const std::string& folder) override {
        return isRefused(folder) || LogFolderAccess::mayWrite(folder);
    }
    bool open(log::ResultLog& log, const std::string& path, std::string& error) override {
        tried.push_back(path);
        if (isRefused(path)) {
            error = "Permission denied";
            return false;
        }
        return LogFolderAccess::open(log, path, error);
    }
#ifdef _WIN32
    std::vector<unsigned char> security(const std::string& folder) override {
        std::vector<unsigned char> real = LogFolderAccess::security(folder);
        wchar_t* text = nullptr;
        if (otherWriter.empty() || real.empty() ||
            !ConvertSecurityDescriptorToStringSecurityDescriptorW(
                real.data(), SDDL_REVISION_1,
                OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, nullptr))
            return real;
        const std::wstring grown =
            text + (L"(A;;0x2;;;" + std::wstring(otherWriter.begin(), otherWriter.end()) + L")");
        LocalFree(text);
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ULONG size = 0;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(grown.c_str(), SDDL_REVISION_1,
                                                                  &descriptor, &size))
            return {};
        const auto* bytes = static_cast<const unsigned char*>(descriptor);
        std::vector<unsigned char> scripted(bytes, bytes + size);
        LocalFree(descriptor);
        return scripted;
    }
#else
    log::GroupEntry group(unsigned gid) override {
        log::GroupEntry entry = LogFolderAccess::group(gid);
        if (!otherWriter.empty())
            entry.members.push_back(otherWriter);
        return entry;
    }
#endif

  private:
    bool isRefused(const std::string& path) const {
        for (const auto& folder : refused) {
            if (path.rfind(folder, 0) == 0)
                return true;
        }
        return false;
    }
};

} // namespace tobrik::test
