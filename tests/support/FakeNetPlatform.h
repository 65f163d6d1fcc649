#pragma once
// A scriptable network platform for tests that cannot use the real one:
// counts every call and answers what the test sets.

#include "EchoReplyRecord.h"
#include "IpStatus.h"
#include "Ipv4Address.h"
#include "NetPlatform.h"

#include <functional>
#include <map>
#include <utility>
#include <vector>

namespace tobrik::test {

class FakeNetPlatform : public net::NetPlatform {
  public:
    // Status of the echo for a dotted address; unset addresses time out.
    std::map<std::string, std::int32_t> echoStatus;
    std::map<std::string, std::string> names;
    std::optional<std::string> hostName = "fake-host";
    std::map<std::string, std::uint32_t> addressOfName;
    bool echoAvailable = true;
    std::string echoNotice; // the echo service's problem: handed out once, then ""
    // Start-up results in call order; once used up, 0.
    std::vector<int> startupResults;
    int cleanupResult = 0;
    // Called before each echo with the dotted address probed.
    std::function<void(const std::string&)> beforeEcho;

    int startups = 0, cleanups = 0, opens = 0, echoes = 0, reverseLookups = 0, forwardLookups = 0;
    std::uint16_t startupVersion = 0;
    std::vector<std::string> probed;
    std::uint32_t echoTimeoutMs = 0; // the last echo's time-out

    int startup(std::uint16_t version) override {
        startupVersion = version;
        const int result = startups < static_cast<int>(startupResults.size())
                               ? startupResults[static_cast<std::size_t>(startups)]
                               : 0;
        ++startups;
        return result;
    }
    int cleanup() override {
        ++cleanups;
        return cleanupResult;
    }
    std::unique_ptr<net::EchoHandle> openEcho() override {
        ++opens;
        if (!echoAvailable) {
            echoNotice = "no ICMP for this test";
            return nullptr;
        }
        return std::make_unique<Handle>(*this);
    }
    std::string takeEchoProblem() override { return std::exchange(echoNotice, {}); }
    std::optional<std::string> hostNameOf(std::uint32_t addr) override {
        ++reverseLookups;
        const auto found = names.find(net::FormatIPv4(addr));
        if (found == names.end())
            return std::nullopt;
        return found->second;
    }
    std::optional<std::string> localHostName() override { return hostName; }
    std::optional<std::uint32_t> firstIPv4Of(const std::string& name) override {
        ++forwardLookups;
        const auto found = addressOfName.find(name);
        if (found == addressOfName.end())
            return std::nullopt;
        return found->second;
    }

  private:
    class Handle : public net::EchoHandle {
      public:
        explicit Handle(FakeNetPlatform& owner) : owner_(owner) {}
        std::int32_t sendEcho(std::uint32_t addr, const std::string&, std::uint8_t* area,
                              std::size_t, std::uint32_t timeoutMs) override {
            const auto text = net::FormatIPv4(addr);
            ++owner_.echoes;
            owner_.echoTimeoutMs = timeoutMs;
            owner_.probed.push_back(text);
            if (owner_.beforeEcho)
                owner_.beforeEcho(text);
            const auto found = owner_.echoStatus.find(text);
            if (found == owner_.echoStatus.end())
                return net::IpStatus::RequestTimedOut;
            std::memcpy(area + net::kReplyStatusOffset, &found->second, sizeof found->second);
            return found->second;
        }

      private:
        FakeNetPlatform& owner_;
    };
};

} // namespace tobrik::test
