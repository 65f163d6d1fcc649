#pragma once
// The Linux network platform over counting system calls: how many packets
// reached the echo socket while a request waited, and whether each
// descriptor that opening the echo service made is closed on exec.

#include "NetPlatform.h"
#include "linux/LinuxPlatform.h"
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
// socket while a request waits for its answer (the answer included), not
// those discarded before the request was sent.
class CountingSocketCalls : public net::linux_net::SocketCalls {
  public:
    explicit CountingSocketCalls(std::uint64_t& packetsRead) : packetsRead_(packetsRead) {}

    // Between a request's sending and the end of its probe.
    bool waiting = false;

    ssize_t sendTo(int fd, const void* data, size_t length, int flags, const sockaddr* to,
                   socklen_t toLength) override {
        const ssize_t sent = SocketCalls::sendTo(fd, data, length, flags, to, toLength);
        waiting = waiting || sent >= 0;
        return sent;
    }
    ssize_t receiveFrom(int fd, void* buffer, size_t length, int flags, sockaddr* from,
                        socklen_t* fromLength) override {
        return counted(SocketCalls::receiveFrom(fd, buffer, length, flags, from, fromLength));
    }
    ssize_t receiveMessage(int fd, msghdr* message, int flags) override {
        return counted(SocketCalls::receiveMessage(fd, message, flags));
    }

  private:
    ssize_t counted(ssize_t length) {
        if (length >= 0 && waiting)
            ++packetsRead_;
        return length;
    }
    std::uint64_t& packetsRead_;
};

// The real Linux platform over the counting calls, with a socket of its own.
class ObservedPlatform : public net::NetPlatform {
  public:
    std::uint64_t packetsRead = 0;
    std::vector<bool> closeOnExec; // per descriptor that openEcho created

    int startup(std::uint16_t version) override { return real_.startup(version); }
    int cleanup() override { return real_.cleanup(); }
    std::unique_ptr<net::EchoHandle> openEcho() override {
        const auto before = OpenDescriptors();
        auto handle = real_.openEcho();
        for (const int descriptor : OpenDescriptors())
            if (before.count(descriptor) == 0)
                closeOnExec.push_back((fcntl(descriptor, F_GETFD) & FD_CLOEXEC) != 0);
        if (!handle)
            return nullptr;
        return std::make_unique<Handle>(std::move(handle), calls_);
    }
    std::string takeEchoProblem() override { return real_.takeEchoProblem(); }
    std::optional<std::string> hostNameOf(std::uint32_t addr) override {
        return real_.hostNameOf(addr);
    }
    std::optional<std::string> localHostName() override { return real_.localHostName(); }
    std::optional<std::uint32_t> firstIPv4Of(const std::string& name) override {
        return real_.firstIPv4Of(name);
    }

  private:
    // Marks where a probe ends for the count.
    class Handle : public net::EchoHandle {
      public:
        Handle(std::unique_ptr<net::EchoHandle> real, CountingSocketCalls& calls)
            : real_(std::move(real)), calls_(calls) {}
        std::int32_t sendEcho(std::uint32_t addr, const std::string& payload, std::uint8_t* area,
                              std::size_t size, std::uint32_t timeoutMs) override {
            const auto status = real_->sendEcho(addr, payload, area, size, timeoutMs);
            calls_.waiting = false;
            return status;
        }

      private:
        std::unique_ptr<net::EchoHandle> real_;
        CountingSocketCalls& calls_;
    };

    CountingSocketCalls calls_{packetsRead};
    net::linux_net::LinuxPlatform real_{calls_, net::linux_net::EchoHelperPath()};
};

} // namespace tobrik::test
