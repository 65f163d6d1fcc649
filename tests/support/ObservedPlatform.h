#pragma once
// The native network platform, watched: every call goes through to it, and
// the test reads how many packets reached the echo handles while they
// waited, and whether each descriptor that opening the echo service created
// is closed on exec. Linux only (reads /proc/self/fd).

#include "NetPlatform.h"

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

class ObservedPlatform : public net::NetPlatform {
  public:
    std::uint64_t packetsRead = 0;
    std::vector<bool> closeOnExec; // per descriptor that openEcho created

    int startup(std::uint16_t version) override { return real().startup(version); }
    int cleanup() override { return real().cleanup(); }
    std::unique_ptr<net::EchoHandle> openEcho() override {
        const auto before = OpenDescriptors();
        auto inner = real().openEcho();
        for (const int descriptor : OpenDescriptors())
            if (before.count(descriptor) == 0)
                closeOnExec.push_back((fcntl(descriptor, F_GETFD) & FD_CLOEXEC) != 0);
        if (!inner)
            return nullptr;
        return std::make_unique<Handle>(std::move(inner), packetsRead);
    }
    std::string echoUnavailableReason() const override {
        return net::nativePlatform().echoUnavailableReason();
    }
    std::optional<std::string> hostNameOf(std::uint32_t addr) override {
        return real().hostNameOf(addr);
    }
    std::optional<std::string> localHostName() override { return real().localHostName(); }
    std::optional<std::uint32_t> firstIPv4Of(const std::string& name) override {
        return real().firstIPv4Of(name);
    }

  private:
    static net::NetPlatform& real() { return net::nativePlatform(); }

    class Handle : public net::EchoHandle {
      public:
        Handle(std::unique_ptr<net::EchoHandle> inner, std::uint64_t& packetsRead)
            : inner_(std::move(inner)), packetsRead_(packetsRead) {}
        net::EchoOutcome sendEcho(std::uint32_t addr, const std::string& payload,
                                  std::uint8_t* area, std::size_t size,
                                  std::uint32_t timeoutMs) override {
            const auto outcome = inner_->sendEcho(addr, payload, area, size, timeoutMs);
            packetsRead_ += outcome.packetsRead;
            return outcome;
        }

      private:
        std::unique_ptr<net::EchoHandle> inner_;
        std::uint64_t& packetsRead_;
    };
};

} // namespace tobrik::test
