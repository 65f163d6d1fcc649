#include "BoundedLookUp.h"
#include "IpStatus.h"
#include "NetPlatform.h"
#include "mdlKorvantiser.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace tobrik::net;
using mdlKorvantiser::EchoReplyRecord;

// What the fake echo handle answers to the next request.
struct EchoScript {
    EchoOutcome outcome;
    std::optional<std::int32_t> writtenStatus; // a record written with this status
};

struct FakeEcho : EchoHandle {
    explicit FakeEcho(const EchoScript& script) : script(script) {}
    EchoOutcome sendEcho(std::uint32_t, const std::string&, std::uint8_t* area, std::size_t,
                         std::uint32_t) override {
        if (script.writtenStatus)
            std::memcpy(area + 4, &*script.writtenStatus, 4);
        return script.outcome;
    }
    EchoScript script;
};

struct FakePlatform : NetPlatform {
    int startupResult = 0;
    int cleanupResult = 0;
    bool echoAvailable = true;
    EchoScript echo;
    std::optional<std::string> reverseName;
    std::optional<std::string> localName;
    std::optional<std::uint32_t> localAddress;

    int startups = 0, cleanups = 0, opens = 0, reverseLookUps = 0, forwardLookUps = 0;

    int startup(std::uint16_t) override {
        ++startups;
        return startupResult;
    }
    int cleanup() override {
        ++cleanups;
        return cleanupResult;
    }
    std::unique_ptr<EchoHandle> openEcho() override {
        ++opens;
        if (!echoAvailable)
            return nullptr;
        return std::make_unique<FakeEcho>(echo);
    }
    std::string echoUnavailableReason() const override { return "no echo here"; }
    std::optional<std::string> hostNameOf(std::uint32_t) override {
        ++reverseLookUps;
        return reverseName;
    }
    std::optional<std::string> localHostName() override { return localName; }
    std::optional<std::uint32_t> firstIPv4Of(const std::string&) override {
        ++forwardLookUps;
        return localAddress;
    }
};

struct MessageBoxCall {
    std::string text;
    int style;
    std::string title;
};

class Procedures : public testing::Test {
  protected:
    void SetUp() override {
        mdlKorvantiser::SetMessageBoxFunction(
            [this](const std::string& text, int style, const std::string& title) {
                messages.push_back({text, style, title});
                return 1;
            });
    }
    void TearDown() override { mdlKorvantiser::SetMessageBoxFunction(nullptr); }

    FakePlatform fake;
    ScopedPlatform scope{fake};
    std::vector<MessageBoxCall> messages;
    EchoReplyRecord record;
};

TEST_F(Procedures, PingHostRefusesNonAddressesWithoutOpeningAnything) {
    for (const char* text : {"", "abc", "1.2.3", "1.2.3.999", "255.255.255.255", " 1.2.3.4"})
        EXPECT_EQ(mdlKorvantiser::PingHost(text, "Korvantis", record), -1) << text;
    EXPECT_EQ(fake.opens, 0);
}

TEST_F(Procedures, PingHostGivesMinusOneWhenNoEchoServiceEvenAfterASuccess) {
    fake.echo = {{1, 0}, IpStatus::Success};
    ASSERT_EQ(mdlKorvantiser::PingHost("127.0.0.1", "Korvantis", record), 0);
    fake.echoAvailable = false;
    EXPECT_EQ(record.Status(), 0); // left over from the answered probe
    EXPECT_EQ(mdlKorvantiser::PingHost("127.0.0.1", "Korvantis", record), -1);
    EXPECT_EQ(mdlKorvantiser::EchoServiceProblem(), "no echo here");
}

TEST_F(Procedures, PingHostReportsOnlyItsOwnOutcome) {
    fake.echo = {{1, 0}, IpStatus::Success};
    EXPECT_EQ(mdlKorvantiser::PingHost("10.0.0.1", "Korvantis", record), 0);

    // No reply written: the outcome's error counts, not the stale Status 0.
    fake.echo = {{0, IpStatus::RequestTimedOut}, std::nullopt};
    EXPECT_EQ(mdlKorvantiser::PingHost("10.0.0.1", "Korvantis", record), IpStatus::RequestTimedOut);

    fake.echo = {{1, 0}, IpStatus::DestHostUnreachable};
    EXPECT_EQ(mdlKorvantiser::PingHost("10.0.0.1", "Korvantis", record),
              IpStatus::DestHostUnreachable);

    fake.echo = {{1, 0}, IpStatus::Success};
    EXPECT_EQ(mdlKorvantiser::PingHost("10.0.0.1", "Korvantis", record), 0);

    // No reply and no error code still is no success.
    fake.echo = {{0, 0}, std::nullopt};
    EXPECT_NE(mdlKorvantiser::PingHost("10.0.0.1", "Korvantis", record), 0);
    EXPECT_EQ(mdlKorvantiser::EchoServiceProblem(), "");
}

TEST_F(Procedures, SocketsInitializeIsTrueOnlyForZero) {
    for (int value : {1, -1, 10091, 10092, 0x7FFFFFFF}) {
        fake.startupResult = value;
        EXPECT_FALSE(mdlKorvantiser::SocketsInitialize()) << value;
    }
    fake.startupResult = 0;
    EXPECT_TRUE(mdlKorvantiser::SocketsInitialize());
}

TEST_F(Procedures, SocketsCleanupReportsEachFailure) {
    mdlKorvantiser::SocketsCleanup();
    EXPECT_TRUE(messages.empty());

    fake.cleanupResult = 10093;
    mdlKorvantiser::SocketsCleanup();
    mdlKorvantiser::SocketsCleanup();
    ASSERT_EQ(messages.size(), 2u);
    for (const auto& m : messages) {
        EXPECT_EQ(m.text, "Windows Sockets error occurred in Cleanup.");
        EXPECT_EQ(m.style, 0x30);
        EXPECT_EQ(m.title, "");
    }
    EXPECT_EQ(fake.cleanups, 3);
}

TEST_F(Procedures, GetHostNameByIPReturnsWholeNames) {
    for (std::size_t length : {14u, 15u, 70u}) {
        const std::string name(length, 'n');
        fake.reverseName = name;
        EXPECT_EQ(mdlKorvantiser::GetHostNameByIP("10.77.0.1"), name);
    }
    fake.reverseName.reset();
    EXPECT_EQ(mdlKorvantiser::GetHostNameByIP("10.77.0.50"), "");
    EXPECT_EQ(fake.startups, 4);
    EXPECT_EQ(fake.cleanups, 4);
}

TEST_F(Procedures, GetHostNameByIPSkipsThePlatformForNonAddresses) {
    fake.reverseName = "never";
    EXPECT_EQ(mdlKorvantiser::GetHostNameByIP(""), "");
    EXPECT_EQ(mdlKorvantiser::GetHostNameByIP("1.2.3.999"), "");
    EXPECT_EQ(fake.startups + fake.cleanups + fake.reverseLookUps, 0);
}

TEST_F(Procedures, GetHostNameByIPPairsStartupAndCleanup) {
    fake.startupResult = 10091;
    fake.reverseName = "name";
    EXPECT_EQ(mdlKorvantiser::GetHostNameByIP("10.77.0.1"), "");
    EXPECT_EQ(fake.reverseLookUps, 0);
    EXPECT_EQ(fake.cleanups, 0);

    fake.startupResult = 0;
    fake.reverseName.reset();
    EXPECT_EQ(mdlKorvantiser::GetHostNameByIP("10.77.0.1"), "");
    EXPECT_EQ(fake.cleanups, 1);
}

TEST_F(Procedures, GetLocalIPAddressFormatsTheFirstAddress) {
    fake.localName = "tobrik-ten";
    const std::uint8_t bytes[] = {10, 0, 0, 1};
    std::uint32_t address;
    std::memcpy(&address, bytes, 4);
    fake.localAddress = address;
    EXPECT_EQ(mdlKorvantiser::GetLocalIPAddress(), "10.0.0.1");
    EXPECT_EQ(fake.cleanups, 1);

    // A failing cleanup changes nothing and shows nothing.
    fake.cleanupResult = 10093;
    EXPECT_EQ(mdlKorvantiser::GetLocalIPAddress(), "10.0.0.1");
    EXPECT_TRUE(messages.empty());
}

TEST_F(Procedures, GetLocalIPAddressFailures) {
    fake.localName = "unknown";
    EXPECT_EQ(mdlKorvantiser::GetLocalIPAddress(), "");
    EXPECT_EQ(fake.cleanups, 1);

    fake.localName.reset();
    EXPECT_EQ(mdlKorvantiser::GetLocalIPAddress(), "");
    EXPECT_EQ(fake.cleanups, 2);
    EXPECT_EQ(fake.forwardLookUps, 1);

    fake.startupResult = 1;
    fake.localName = "tobrik-ten";
    fake.localAddress = 0x0100000A;
    EXPECT_EQ(mdlKorvantiser::GetLocalIPAddress(), "");
    EXPECT_EQ(fake.cleanups, 2);
}

// A resolver that answers after a delay, or not before it is released.
struct SlowResolver {
    std::mutex mutex;
    std::condition_variable changed;
    bool released = false;

    std::optional<std::string> answer(std::optional<std::chrono::milliseconds> delay) {
        std::unique_lock lock(mutex);
        if (delay)
            changed.wait_for(lock, *delay, [this] { return released; });
        else
            changed.wait(lock, [this] { return released; });
        return "answered";
    }
    void release() {
        {
            std::lock_guard lock(mutex);
            released = true;
        }
        changed.notify_all();
    }
};

struct BoundCase {
    const char* what;
    std::optional<std::chrono::milliseconds> answerAfter; // nothing: never
    std::optional<std::string> name;
};

class BoundedReverseLookUp : public testing::TestWithParam<BoundCase> {};

TEST_P(BoundedReverseLookUp, KeepsAnAnswerOnlyWithinTheBound) {
    const auto& c = GetParam();
    auto resolver = std::make_shared<SlowResolver>();
    // Should the bound fail, the look-up ends anyway and the test with it.
    std::thread([resolver] {
        std::this_thread::sleep_for(kReverseLookUpBound + std::chrono::seconds(8));
        resolver->release();
    }).detach();
    const auto name = BoundedLookUp(
        [resolver, delay = c.answerAfter] { return resolver->answer(delay); }, kReverseLookUpBound);
    EXPECT_EQ(name, c.name) << c.what;
    resolver->release();
}

INSTANTIATE_TEST_SUITE_P(
    Resolver, BoundedReverseLookUp,
    testing::Values(BoundCase{"at once", std::chrono::milliseconds(0), "answered"},
                    BoundCase{"after 1 s", std::chrono::milliseconds(1000), "answered"},
                    BoundCase{"never", std::nullopt, std::nullopt}));

int threadCount() {
    int count = 0;
#ifdef __linux__
    for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        ++count;
#endif
    return count;
}

TEST(BoundedReverseLookUp, AbandonedLookUpsLeaveTheThreadCountBounded) {
    auto resolver = std::make_shared<SlowResolver>();
    std::thread([resolver] {
        std::this_thread::sleep_for(std::chrono::seconds(20));
        resolver->release();
    }).detach();
    const int before = threadCount();
    for (int i = 0; i < 4 * kRunningLookUpLimit; ++i)
        EXPECT_EQ(BoundedLookUp([resolver] { return resolver->answer(std::nullopt); },
                                std::chrono::milliseconds(5)),
                  std::nullopt);
    EXPECT_EQ(BusyLookUpThreads(), kRunningLookUpLimit);
    EXPECT_LE(LookUpThreads(), kRunningLookUpLimit);
    EXPECT_LE(threadCount(), before + kRunningLookUpLimit);

    // Once the resolver answers again, the workers are free and names come
    // back, without another thread.
    resolver->release();
    for (int i = 0; i < 200 && BusyLookUpThreads() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(BusyLookUpThreads(), 0);
    const int workers = LookUpThreads();
    EXPECT_EQ(BoundedLookUp([] { return std::optional<std::string>("back"); }, kReverseLookUpBound),
              "back");
    EXPECT_EQ(LookUpThreads(), workers);
}

} // namespace
