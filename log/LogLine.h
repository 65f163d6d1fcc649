#pragma once
// One line of the result log: time stamp, address, result and host name,
// joined by "," without quoting, ended by CR LF.

#include <string>

namespace tobrik::log {

struct LogLine {
    std::string timestamp; // "yyyy/mm/dd hh:mm:ss"
    std::string address;   // the probed address as composed
    std::string result;    // "--> OK" or "--> NG"
    std::string hostName;  // empty when none was looked up or found
};

// The line as UTF-8 text, CR LF included.
std::string FormatLogLine(const LogLine& line);

} // namespace tobrik::log
