// One line of the result log, as it is written.

#include "LogLine.h"

namespace tobrik::log {

std::string FormatLogLine(const LogLine& line) {
    return line.timestamp + ',' + line.address + ',' + line.result + ',' + line.hostName + "\r\n";
}

} // namespace tobrik::log
