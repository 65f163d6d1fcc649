#include "LogLine.h"

namespace tobrik::log {

std::string FormatLogLine(const LogLine& line) {
    return line.timestamp + ',' + line.address + ',' + line.result + ',' + line.hostName + "\r\n";
}

std::string LogPathIn(const std::string& executableDirectory) {
#ifdef _WIN32
    return executableDirectory + "\\" + kLogFileName;
#else
    return executableDirectory + "/" + kLogFileName;
#endif
}

} // namespace tobrik::log
