#pragma once
// The network procedures: starting and stopping the sockets library, one
// ICMP echo request, reverse look-up and the local address. The module
// keeps no state; every platform call goes through NetPlatform.
// Texts are UTF-8; the platform layer converts them where it must.

#include "EchoReplyRecord.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tobrik::mdlKorvantiser {

using tobrik::net::EchoReplyRecord;

// Shows a modal message: text, platform style value, title ("" for the
// application's title). Returns the button pressed.
using MessageBoxFunction =
    std::function<int(const std::string& text, int style, const std::string& title)>;

// Where SocketsCleanup reports a failing stop; the window installs its
// message box here. Without one the message goes to standard error.
void SetMessageBoxFunction(MessageBoxFunction function);

// Start and stop the sockets library around each probe, as the window does:
// every probe then stands on its own, and a library that fails to start
// fails that probe alone. A failing stop is reported in a message box.
bool SocketsInitialize();
void SocketsCleanup();

// Sends one echo request carrying strData to strIPAddr and waits at most
// 500 ms. Returns 0 when an echo reply came back, -1 when nothing could be
// sent (not an address, or no echo service), any other value otherwise.
std::int32_t PingHost(const std::string& strIPAddr, const std::string& strData,
                      EchoReplyRecord& udtReply);

// Host name of a dotted address through the system resolver; "" when the
// text is not an address or no name is found.
std::string GetHostNameByIP(const std::string& strIPAddr);

// The first IPv4 address of the local host as dotted text; "" on failure.
std::string GetLocalIPAddress();

// What went wrong with the echo service since the last call, for the user:
// why the last probe could not be sent, or which part failed and what took
// its place; "" when nothing did. Asks the platform only, never opening
// the echo service again.
std::string EchoServiceProblem();

// Windows Sockets 1.1, the version the procedures ask for: the oldest that
// has every call they make.
inline constexpr std::uint16_t kSocketsVersion = 0x0101; // MAKEWORD(1, 1)
inline constexpr std::uint32_t kEchoTimeoutMs = 500;

} // namespace tobrik::mdlKorvantiser
