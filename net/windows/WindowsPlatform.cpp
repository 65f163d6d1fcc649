// The Windows platform: Windows Sockets for the library and the names, the
// ICMP helper of the IP Helper library for the echo requests.
//
// What differs from the Linux layer:
// - startup()/cleanup() are WSAStartup/WSACleanup and really can fail;
//   on Linux there is no sockets library and both always succeed.
// - The echo service is IcmpCreateFile/IcmpSendEcho: the system builds the
//   request, waits for the answer, writes the reply record and sets its
//   status (an IP_* code), and needs no privilege. On Linux the layer opens
//   an ICMP socket itself, builds and matches the packets, waits with poll
//   and maps ICMP errors to the same IP_* codes.
// - The reply record is the system's ICMP_ECHO_REPLY. On 64-bit Windows its
//   header is 40 bytes (it holds a data pointer) rather than 28, so the data
//   lands further into the area; address and status stay at bytes 0..7.
// - IcmpSendEcho ends at the first reply, from whichever address; a reply
//   from another address than the target is no answer (StatusFromTarget),
//   and the probe waits out its time-out as for a silent host. On Linux the
//   wait goes on for the target's own reply.
// - The payload and every name cross the API in the ANSI code page; the
//   layer converts from and to UTF-8. On Linux the bytes pass unchanged.
// - Names come from gethostbyaddr/gethostbyname, which keep their result in
//   per-thread storage; Linux uses getnameinfo and gethostbyname2_r. Both
//   layers bound a reverse look-up's time the same way (BoundedLookUp.h).
//   gethostbyname of the local host's own name lists the addresses of the
//   local interfaces, whatever the hosts file says.
// - The local host name is limited to 64 bytes, as Windows host names are;
//   Linux allows HOST_NAME_MAX.

// gethostbyaddr and gethostbyname are the calls meant here; MSVC flags them
// as deprecated. NOMINMAX keeps windows.h from defining min and max macros.
#ifndef _WINSOCK_DEPRECATED_NO_WARNINGS
#define _WINSOCK_DEPRECATED_NO_WARNINGS
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif

// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>
// clang-format on

#include "BoundedLookUp.h"
#include "EchoReplyRecord.h"
#include "IcmpPacket.h"
#include "IpStatus.h"
#include "NetPlatform.h"
#include "SystemCodePage.h"
#include "TextArguments.h"
#include "UserTexts.h"

#include <chrono>
#include <cstdint>
#include <cstring>
#include <limits>
#include <mutex>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace tobrik::net {

using tobrik::text::FromSystemCodePage;
using tobrik::text::ToSystemCodePage;
using tobrik::text::WideToUtf8;

namespace {

// Drops one of the endings the system puts after its sentence: the line
// break, a blank, the full stop (a Japanese system's too). False when none.
bool dropEnding(std::string& message) {
    for (const std::string_view end : {"\n", "\r", " ", ".", "。"})
        if (message.ends_with(end)) {
            message.resize(message.size() - end.size());
            return true;
        }
    return false;
}

// The text of a system error code in UTF-8, without its endings, with the
// code itself.
std::string describeError(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message;
    if (length > 0 && text != nullptr) {
        message = WideToUtf8(std::wstring(text, length));
        while (dropEnding(message)) {
        }
    }
    if (text != nullptr)
        LocalFree(text);
    if (message.empty())
        message = tobrik::text::kSystemError;
    return message + " (" + std::to_string(error) + ")";
}

class WindowsEchoHandle final : public EchoHandle {
  public:
    explicit WindowsEchoHandle(HANDLE handle) : handle_(handle) {}
    ~WindowsEchoHandle() override { IcmpCloseHandle(handle_); }
    WindowsEchoHandle(const WindowsEchoHandle&) = delete;
    WindowsEchoHandle& operator=(const WindowsEchoHandle&) = delete;

    std::int32_t sendEcho(std::uint32_t addr, const std::string& payload, std::uint8_t* replyArea,
                          std::size_t replySize, std::uint32_t timeoutMs) override {
        std::string request = ToSystemCodePage(payload);
        if (request.size() > std::numeric_limits<WORD>::max() ||
            replySize > std::numeric_limits<DWORD>::max())
            return IpStatus::GeneralFailure;

        // The system writes the record through an ICMP_ECHO_REPLY pointer.
        // An area that is not aligned for it goes through an aligned copy.
        const bool aligned =
            reinterpret_cast<std::uintptr_t>(replyArea) % alignof(ICMP_ECHO_REPLY) == 0;
        std::vector<ICMP_ECHO_REPLY> bounce;
        void* target = replyArea;
        if (!aligned) {
            bounce.resize((replySize + sizeof(ICMP_ECHO_REPLY) - 1) / sizeof(ICMP_ECHO_REPLY));
            std::memcpy(bounce.data(), replyArea, replySize);
            target = bounce.data();
        }

        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        const DWORD replies = IcmpSendEcho(handle_, static_cast<IPAddr>(addr), request.data(),
                                           static_cast<WORD>(request.size()), nullptr, target,
                                           static_cast<DWORD>(replySize), timeoutMs);
        const auto lastError = static_cast<std::int32_t>(replies == 0 ? GetLastError() : 0);
        if (!aligned)
            std::memcpy(replyArea, bounce.data(), replySize);
        // With no reply written the record may still hold an earlier probe's
        // status; the call's own error is the answer then.
        if (replies == 0)
            return lastError != 0 ? lastError : IpStatus::GeneralFailure;
        std::int32_t reported;
        std::uint32_t source;
        std::memcpy(&reported, replyArea + kReplyStatusOffset, sizeof reported);
        std::memcpy(&source, replyArea + kReplyAddressOffset, sizeof source);
        const std::int32_t status = StatusFromTarget(reported, source, addr);
        if (status != reported) {
            std::memcpy(replyArea + kReplyStatusOffset, &status, sizeof status);
            std::this_thread::sleep_until(deadline);
        }
        return status;
    }

  private:
    HANDLE handle_;
};

class WindowsPlatform final : public NetPlatform {
  public:
    int startup(std::uint16_t version) override {
        WSADATA data;
        return WSAStartup(version, &data);
    }

    int cleanup() override { return WSACleanup(); }

    std::unique_ptr<EchoHandle> openEcho() override {
        const HANDLE handle = IcmpCreateFile();
        const DWORD error = handle == INVALID_HANDLE_VALUE ? GetLastError() : 0;
        std::lock_guard lock(mutex_);
        if (handle == INVALID_HANDLE_VALUE) {
            reason_ = tobrik::text::WithArguments(tobrik::text::kEchoServiceNotOpened,
                                                  {describeError(error)});
            return nullptr;
        }
        return std::make_unique<WindowsEchoHandle>(handle);
    }

    std::string takeEchoProblem() override {
        std::lock_guard lock(mutex_);
        return std::exchange(reason_, {});
    }

    std::optional<std::string> hostNameOf(std::uint32_t addr) override {
        return BoundedLookUp([addr] { return resolverNameOf(addr); }, kReverseLookUpBound);
    }

    std::optional<std::string> localHostName() override {
        char name[kHostNameLimit + 1] = {};
        if (gethostname(name, kHostNameLimit) != 0)
            return std::nullopt;
        return FromSystemCodePage(name);
    }

    std::optional<std::uint32_t> firstIPv4Of(const std::string& name) override {
        const std::string systemName = ToSystemCodePage(name);
        const hostent* found = gethostbyname(systemName.c_str());
        if (found == nullptr || found->h_addrtype != AF_INET || found->h_length != 4 ||
            found->h_addr_list == nullptr || found->h_addr_list[0] == nullptr)
            return std::nullopt;
        std::uint32_t address = 0;
        std::memcpy(&address, found->h_addr_list[0], sizeof address);
        return address;
    }

  private:
    static constexpr int kHostNameLimit = 64;
    // The look-up's own start of the sockets library: version 2.2, the one
    // every Windows of today has; gethostbyaddr is the same in all.
    static constexpr WORD kLookUpSocketsVersion = MAKEWORD(2, 2);

    // gethostbyaddr, which may wait on name servers and NetBIOS; run with a
    // time limit on a thread of its own. The thread starts the sockets
    // library for itself, as an abandoned look-up outlives the caller's
    // start; the answer, in that thread's storage, is copied there.
    static std::optional<std::string> resolverNameOf(std::uint32_t addr) {
        WSADATA data;
        if (WSAStartup(kLookUpSocketsVersion, &data) != 0)
            return std::nullopt;
        in_addr address{};
        address.s_addr = addr;
        const hostent* found =
            gethostbyaddr(reinterpret_cast<const char*>(&address), sizeof address, AF_INET);
        std::optional<std::string> name;
        if (found != nullptr && found->h_name != nullptr)
            name = FromSystemCodePage(found->h_name);
        WSACleanup();
        return name;
    }

    mutable std::mutex mutex_;
    std::string reason_;
};

} // namespace

NetPlatform& nativePlatform() {
    static WindowsPlatform instance;
    return instance;
}

} // namespace tobrik::net
