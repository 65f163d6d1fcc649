// The network procedures, over the platform in use.

#include "mdlKorvantiser.h"

#include "Ipv4Address.h"
#include "NetPlatform.h"
#include "UserTexts.h"

#include <cstdio>
#include <utility>

namespace tobrik::mdlKorvantiser {

using tobrik::net::platform;

namespace {

// The message box style of the cleanup error: MB_ICONEXCLAMATION | MB_OK.
constexpr int kExclamationStyle = 0x30;

MessageBoxFunction& messageBoxFunction() {
    static MessageBoxFunction function;
    return function;
}

void showMessage(const std::string& text, int style, const std::string& title) {
    if (messageBoxFunction())
        messageBoxFunction()(text, style, title);
    else
        std::fprintf(stderr, "%s\n", text.c_str());
}

// Runs lookUp between a start and a stop of the sockets library. A library
// that does not start gives "" and is not stopped; the stop's result is
// ignored, as the look-ups never report an error.
template <typename LookUp> std::string withSocketsStarted(LookUp lookUp) {
    if (platform().startup(kSocketsVersion) != 0)
        return {};
    std::string result = lookUp();
    platform().cleanup();
    return result;
}

} // namespace

void SetMessageBoxFunction(MessageBoxFunction function) {
    messageBoxFunction() = std::move(function);
}

bool SocketsInitialize() {
    return platform().startup(kSocketsVersion) == 0;
}

void SocketsCleanup() {
    if (platform().cleanup() != 0)
        showMessage(tobrik::text::kSocketsCleanupFailed, kExclamationStyle, "");
}

std::int32_t PingHost(const std::string& strIPAddr, const std::string& strData,
                      EchoReplyRecord& udtReply) {
    const auto address = tobrik::net::ParseIPv4(strIPAddr);
    if (!address)
        return -1;
    auto handle = platform().openEcho();
    if (!handle)
        return -1;
    return handle->sendEcho(*address, strData, udtReply.area.data(), udtReply.area.size(),
                            kEchoTimeoutMs);
}

std::string GetHostNameByIP(const std::string& strIPAddr) {
    const auto address = tobrik::net::ParseIPv4(strIPAddr);
    if (!address)
        return {};
    return withSocketsStarted([&] { return platform().hostNameOf(*address).value_or(""); });
}

std::string GetLocalIPAddress() {
    return withSocketsStarted([] {
        const auto name = platform().localHostName();
        if (!name)
            return std::string();
        const auto address = platform().firstIPv4Of(*name);
        return address ? tobrik::net::FormatIPv4(*address) : std::string();
    });
}

std::string EchoServiceProblem() {
    return platform().takeEchoProblem();
}

} // namespace tobrik::mdlKorvantiser
