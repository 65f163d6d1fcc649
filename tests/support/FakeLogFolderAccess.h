#pragma once
// The log's places on the real file system, with an environment and an
// account's home of the test's own (empty unless set: no test writes into a
// real user's folder) and folders whose files cannot be opened, as if the
// user could not write them. Every path an open was asked for is recorded.

#include "LogFolderAccess.h"

#include <map>
#include <vector>

namespace tobrik::test {

class FakeLogFolderAccess : public log::LogFolderAccess {
  public:
    std::map<std::string, std::string> environment;
    std::vector<std::string> refused;
    std::vector<std::string> tried;
    std::string home; // the account's home folder

    std::string variable(const std::string& name) override {
        const auto found = environment.find(name);
        return found == environment.end() ? std::string() : found->second;
    }
    std::string accountHome() override { return home; }
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
};

} // namespace tobrik::test
