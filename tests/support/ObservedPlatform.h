#pragma once
// The native network platform, watched: every call goes through to it or,
// for the echo service, to the Linux echo socket over counting system calls;
// the test reads how many packets reached the echo sockets while they
// waited, and whether each descriptor that opening the echo service created
// is closed on exec. Linux only (reads /proc/self/fd).

#include "NetPlatform.h"
#include "linux/IcmpSocket.h"
#include "linux/LinuxEchoHandle.h"
#include "linux/SocketCalls.h"

#include <cstdint>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <set>
#include <vector>

namespace tobrik::test {

// The descriptors open in this process.
inline std::set<int> OpenDescriptors() {
    std::set<int> descriptors;
    DIR* listing = opendir("/proc/self/fd");
    if (listing == nullptr)
        return descriptors;
    const int own = dirfd(listing);
    while (const dirent* entry = readdir(listing)) {
        if (entry->d_name[0] == '.')
            continue;
        const int descriptor = std::atoi(entry->d_name);
        if (descriptor != own)
            descriptors.insert(descriptor);
    }
    closedir(listing);
    return descriptors;
}

// The socket calls of the system, counting the packets that reach an echo
// socket once its request is out: those read while waiting for the answer
// (the answer included), not those discarded before the request was sent.
class CountingSocketCalls : public net::linux_net::SocketCalls {
  public:
    explicit CountingSocketCalls(std::uint64_t& packetsRead) : packetsRead_(packetsRead) {}

    ssize_t sendTo(int fd, const void* data, size_t length, int flags, const sockaddr* to,
                   socklen_t toLength) override {
        const ssize_t sent = SocketCalls::sendTo(fd, data, length, flags, to, toLength);
        if (sent >= 0)
            waiting_.insert(fd);
        return sent;
    }
    ssize_t receiveFrom(int fd, void* buffer, size_t length, int flags, sockaddr* from,
                        socklen_t* fromLength) override {
        return counted(fd, SocketCalls::receiveFrom(fd, buffer, length, flags, from, fromLength));
    }
    ssize_t receiveMessage(int fd, msghdr* message, int flags) override {
        return counted(fd, SocketCalls::receiveMessage(fd, message, flags));
    }
    int closeSocket(int fd) override {
        waiting_.erase(fd);
        return SocketCalls::closeSocket(fd);
    }

  private:
    ssize_t counted(int fd, ssize_t length) {
        if (length >= 0 && waiting_.count(fd) != 0)
            ++packetsRead_;
        return length;
    }
    std::uint64_t& packetsRead_;
    std::set<int> waiting_;
};

class ObservedPlatform : public net::NetPlatform {
  public:
    std::uint64_t packetsRead = 0;
    std::vector<bool> closeOnExec; // per descriptor that openEcho created

    int startup(std::uint16_t version) override { return real().startup(version); }
    int cleanup() override { return real().cleanup(); }
    // The Linux echo service, as the native platform opens it, over the
    // counting calls.
    std::unique_ptr<net::EchoHandle> openEcho() override {
        const auto before = OpenDescriptors();
        const auto socket = net::linux_net::OpenIcmpSocket(calls_);
        for (const int descriptor : OpenDescriptors())
            if (before.count(descriptor) == 0)
                closeOnExec.push_back((fcntl(descriptor, F_GETFD) & FD_CLOEXEC) != 0);
        reason_ = socket.problem;
        if (socket.fd < 0)
            return nullptr;
        return std::make_unique<net::linux_net::LinuxEchoHandle>(socket.fd, socket.kind, calls_);
    }
    std::string echoUnavailableReason() const override { return reason_; }
    std::optional<std::string> hostNameOf(std::uint32_t addr) override {
        return real().hostNameOf(addr);
    }
    std::optional<std::string> localHostName() override { return real().localHostName(); }
    std::optional<std::uint32_t> firstIPv4Of(const std::string& name) override {
        return real().firstIPv4Of(name);
    }

  private:
    static net::NetPlatform& real() { return net::nativePlatform(); }

    CountingSocketCalls calls_{packetsRead};
    std::string reason_;
};

} // namespace tobrik::test
