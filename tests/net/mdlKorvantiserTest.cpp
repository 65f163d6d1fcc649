// The network procedures over a scripted platform, and the time bound of
// a reverse look-up.

#include "mdlKorvantiser.h"
#include "BoundedLookUp.h"
#include "FakeNetPlatform.h"
#include "IpStatus.h"
#include "Ipv4Address.h"
#include "NetPlatform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace tobrik::net;
using tobrik::mdlKorvantiser::EchoReplyRecord;
using tobrik::test::FakeNetPlatform;

class Procedures : public testing::Test {
  protected:
    void SetUp() override {
        tobrik::mdlKorvantiser::SetMessageBoxFunction(
            [this](const std::string& text, int style, const std::string& title) {
                messages.push_back(text + "|" + std::to_string(style) + "|" + title);
                return 1;
            });
    }
    void TearDown() override { tobrik::mdlKorvantiser::SetMessageBoxFunction(nullptr); }

    FakeNetPlatform fake;
    ScopedPlatform scope{fake};
    std::vector<std::string> messages; // text|style|title
    EchoReplyRecord record;
};

TEST_F(Procedures, PingHostRefusesNonAddressesWithoutOpeningAnything) {
    for (const char* text : {"", "abc", "1.2.3", "1.2.3.999", "255.255.255.255", " 1.2.3.4"})
        EXPECT_EQ(tobrik::mdlKorvantiser::PingHost(text, "Korvantis", record), -1) << text;
    EXPECT_EQ(fake.opens, 0);
}

// Each probe waits 500 ms for its answer and reports its own outcome: a
// stale record of an earlier answer never turns a failed probe into a
// success, and asking why a probe failed never opens the echo service again.
TEST_F(Procedures, PingHostReportsOnlyItsOwnOutcome) {
    struct Case {
        const char* address;
        bool echoAvailable;
        std::int32_t expected;
        const char* problem;
    };
    fake.echoStatus = {{"10.0.0.1", 0}, {"10.0.0.3", IpStatus::DestHostUnreachable}};
    const Case cases[] = {
        {"10.0.0.1", true, 0, ""},
        {"10.0.0.2", true, IpStatus::RequestTimedOut, ""},
        {"10.0.0.3", true, IpStatus::DestHostUnreachable, ""},
        {"10.0.0.1", false, -1, "no ICMP for this test"},
        {"10.0.0.1", true, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        fake.echoAvailable = c.echoAvailable;
        EXPECT_EQ(tobrik::mdlKorvantiser::PingHost(c.address, "Korvantis", record), c.expected);
        const int opens = fake.opens;
        EXPECT_EQ(tobrik::mdlKorvantiser::EchoServiceProblem(), c.problem);
        EXPECT_EQ(fake.opens, opens);
    }
    EXPECT_EQ(fake.echoTimeoutMs, 500u);
}

// The library is asked for version 1.1; a start counts only with 0, and
// every failing stop, but no successful one, shows the design's message.
TEST_F(Procedures, SocketsStartAndStopReportTheirFailures) {
    fake.startupResults = {1, -1, 10091, 10092, 0x7FFFFFFF, 0};
    for (int value : {1, -1, 10091, 10092, 0x7FFFFFFF})
        EXPECT_FALSE(tobrik::mdlKorvantiser::SocketsInitialize()) << value;
    EXPECT_TRUE(tobrik::mdlKorvantiser::SocketsInitialize());
    EXPECT_EQ(fake.startupVersion, 0x0101);

    tobrik::mdlKorvantiser::SocketsCleanup();
    EXPECT_TRUE(messages.empty());
    fake.cleanupResult = 10093;
    tobrik::mdlKorvantiser::SocketsCleanup();
    tobrik::mdlKorvantiser::SocketsCleanup();
    const std::string warning = "Windows Sockets error occurred in Cleanup.|48|";
    EXPECT_EQ(messages, std::vector<std::string>(2, warning)); // style 0x30, the program's title
    EXPECT_EQ(fake.cleanups, 3);
}

// A look-up runs between a start and a stop of the library and returns the
// whole name; without a start it asks nothing and stops nothing, and for a
// text that is no address it does not even start.
TEST_F(Procedures, GetHostNameByIPPairsStartupAndCleanup) {
    struct Case {
        int startup;
        const char* address;
        std::string expected;
        int startups, lookUps, cleanups; // after this row
    };
    fake.names = {{"10.77.0.1", std::string(14, 'n')},
                  {"10.77.0.2", std::string(15, 'n')},
                  {"10.77.0.3", std::string(70, 'n')}};
    const Case cases[] = {
        {0, "", "", 0, 0, 0},
        {0, "1.2.3.999", "", 0, 0, 0},
        {10091, "10.77.0.1", "", 1, 0, 0},
        {0, "10.77.0.1", std::string(14, 'n'), 2, 1, 1},
        {0, "10.77.0.2", std::string(15, 'n'), 3, 2, 2},
        {0, "10.77.0.3", std::string(70, 'n'), 4, 3, 3},
        {0, "10.77.0.50", "", 5, 4, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        fake.startupResults.assign(static_cast<std::size_t>(fake.startups), 0);
        fake.startupResults.push_back(c.startup);
        EXPECT_EQ(tobrik::mdlKorvantiser::GetHostNameByIP(c.address), c.expected);
        EXPECT_EQ(fake.startups, c.startups);
        EXPECT_EQ(fake.reverseLookups, c.lookUps);
        EXPECT_EQ(fake.cleanups, c.cleanups);
    }
}

TEST_F(Procedures, GetLocalIPAddressFormatsTheFirstAddressOrGivesNothing) {
    fake.hostName = "tobrik-ten";
    fake.addressOfName = {{"tobrik-ten", *ParseIPv4("10.0.0.1")}};
    EXPECT_EQ(tobrik::mdlKorvantiser::GetLocalIPAddress(), "10.0.0.1");
    EXPECT_EQ(fake.cleanups, 1);

    // A failing cleanup changes nothing and shows nothing.
    fake.cleanupResult = 10093;
    EXPECT_EQ(tobrik::mdlKorvantiser::GetLocalIPAddress(), "10.0.0.1");
    EXPECT_TRUE(messages.empty());

    // Nothing for a name without an address, no name, or no library.
    fake.hostName = "unknown";
    EXPECT_EQ(tobrik::mdlKorvantiser::GetLocalIPAddress(), "");
    EXPECT_EQ(fake.cleanups, 3);
    fake.hostName.reset();
    EXPECT_EQ(tobrik::mdlKorvantiser::GetLocalIPAddress(), "");
    EXPECT_EQ(fake.cleanups, 4);
    EXPECT_EQ(fake.forwardLookups, 3);
    fake.startupResults = {0, 0, 0, 0, 1};
    fake.hostName = "tobrik-ten";
    EXPECT_EQ(tobrik::mdlKorvantiser::GetLocalIPAddress(), "");
    EXPECT_EQ(fake.cleanups, 4);
}

// Memory running out on demand: the allocation of this thread after
// allocationsLeft more fails with std::bad_alloc; -1: never.
thread_local int allocationsLeft = -1;

// Running out of memory anywhere while a look-up is handed to a worker (the
// job, its queue, the worker thread): no exception reaches the caller, no
// job stays queued without a worker to run it later, and the next look-up
// works. It runs before any other look-up, so that a new worker is started.
TEST(BoundedLookUpMemory, RunningOutLeavesNoStrandedJob) {
    auto runs = std::make_shared<std::atomic<int>>(0);
    const auto lookUp = [runs] {
        ++*runs;
        return std::optional<std::string>("found");
    };
    int answered = 0;
    for (int allocations = 0; allocations < 16; ++allocations) {
        std::optional<std::string> name;
        LookUp job = lookUp; // the test's own allocation, before any fails
        allocationsLeft = allocations;
        EXPECT_NO_THROW(name = BoundedLookUp(std::move(job), kReverseLookUpBound)) << allocations;
        allocationsLeft = -1;
        answered += name.has_value();
    }
    EXPECT_GT(answered, 0);
    EXPECT_EQ(BoundedLookUp(lookUp, kReverseLookUpBound), "found");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(runs->load(), answered + 1);
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

// The platforms bound a reverse look-up by kReverseLookUpBound: 2 s.
struct BoundCase {
    const char* what;
    std::chrono::milliseconds answerAfter;
    std::optional<std::string> name;
};

class BoundedReverseLookUp : public testing::TestWithParam<BoundCase> {};

TEST_P(BoundedReverseLookUp, KeepsAnAnswerOnlyWithinTwoSeconds) {
    const auto& c = GetParam();
    auto resolver = std::make_shared<SlowResolver>();
    const auto name = BoundedLookUp(
        [resolver, delay = c.answerAfter] { return resolver->answer(delay); }, kReverseLookUpBound);
    EXPECT_EQ(name, c.name) << c.what;
    resolver->release();
}

INSTANTIATE_TEST_SUITE_P(
    Resolver, BoundedReverseLookUp,
    testing::Values(BoundCase{"after 1.5 s", std::chrono::milliseconds(1500), "answered"},
                    BoundCase{"after 2.5 s", std::chrono::milliseconds(2500), std::nullopt}));

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
    EXPECT_LE(threadCount(), before + kRunningLookUpLimit);
    // Every worker is stuck: a further look-up gives no name at once.
    const auto instant = [] { return std::optional<std::string>("back"); };
    EXPECT_EQ(BoundedLookUp(instant, kReverseLookUpBound), std::nullopt);

    // Once the resolver answers again, the workers are free and names come
    // back, without another thread.
    resolver->release();
    std::optional<std::string> name;
    for (int i = 0; i < 200 && !name; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        name = BoundedLookUp(instant, kReverseLookUpBound);
    }
    EXPECT_EQ(name, "back");
    const int workers = threadCount();
    EXPECT_EQ(BoundedLookUp(instant, kReverseLookUpBound), "back");
    EXPECT_EQ(threadCount(), workers);
}

} // namespace

// GCC takes the free of memory from this operator new for a mismatch.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
    if (allocationsLeft == 0) {
        allocationsLeft = -1;
        throw std::bad_alloc();
    }
    if (allocationsLeft > 0)
        --allocationsLeft;
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept {
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
