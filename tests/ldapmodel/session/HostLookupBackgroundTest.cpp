// Host names are looked up within the deadline and can be given up: a
// resolver that hangs (an unreachable name server) never holds the caller.

#include "session/HostLookup.h"
#include "support/ScriptedWaits.h"
#include "utilities/WaitService.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

using ldapmodel::HostAddress;
using ldapmodel::HostLookup;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::string textOf(const HostAddress& address)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (address.family == AF_INET)
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(address.address).sin_addr, text, sizeof text);
    else if (address.family == AF_INET6)
        ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(address.address).sin6_addr, text, sizeof text);
    return text;
}

int portOf(const HostAddress& address)
{
    return ntohs(address.family == AF_INET ? reinterpret_cast<const sockaddr_in&>(address.address).sin_port
                                           : reinterpret_cast<const sockaddr_in6&>(address.address).sin6_port);
}

// A name server that answers only when released; it outlives the test's
// lookups, as the real resolver outlives a lookup given up.
struct HangingResolver {
    struct State {
        std::mutex mutex;
        std::condition_variable released;
        bool open = false;
        bool finished = false;
        std::condition_variable done;
    };
    std::shared_ptr<State> state = std::make_shared<State>();

    HostLookup::Resolver resolver() const
    {
        return [state = state](const std::string&, const std::string&, std::vector<HostAddress>&) {
            std::unique_lock<std::mutex> lock(state->mutex);
            state->released.wait(lock, [&state] { return state->open; });
            state->finished = true;
            state->done.notify_all();
            return EAI_AGAIN;
        };
    }

    // Lets the helper end before the test does.
    ~HangingResolver()
    {
        std::unique_lock<std::mutex> lock(state->mutex);
        state->open = true;
        state->released.notify_all();
        state->done.wait_for(lock, std::chrono::seconds(5), [this] { return state->finished; });
    }
};

TEST(HostLookupBackgroundTest, AddressesAreTakenAtOnceAndNamesAskTheResolver)
{
    std::atomic<int> asked{0};
    HostLookup lookup([&asked](const std::string& host, const std::string& service, std::vector<HostAddress>& found) {
        ++asked;
        return HostLookup::systemResolver(host == "directory.example" ? "127.0.0.1" : host, service, found);
    });
    dirtest::ScriptedWaits waits;
    const auto deadline = Clock::now() + std::chrono::seconds(5);

    struct Case {
        std::string host;
        std::string address;
        int asked;
    };
    for (const Case& c : {Case{"127.0.0.1", "127.0.0.1", 0}, Case{"::1", "::1", 0},
                          Case{"directory.example", "127.0.0.1", 1}}) {
        SCOPED_TRACE(c.host);
        asked = 0;
        ASSERT_EQ(lookup.run(c.host, 389, deadline, L"Connecting..."), HostLookup::Outcome::Found);
        ASSERT_EQ(lookup.addresses().size(), 1u);
        EXPECT_EQ(textOf(lookup.addresses()[0]), c.address);
        EXPECT_EQ(portOf(lookup.addresses()[0]), 389);
        EXPECT_EQ(lookup.addresses()[0].socketType, SOCK_STREAM);
        EXPECT_EQ(asked.load(), c.asked);
    }
    // Only the name waited.
    EXPECT_EQ(waits.waits(), std::vector<std::wstring>{L"Connecting..."});
}

TEST(HostLookupBackgroundTest, TheSystemResolverFindsLocalhostAndNamesAnUnknownHost)
{
    HostLookup lookup;
    ASSERT_EQ(lookup.run("localhost", 636, Clock::now() + std::chrono::seconds(10), L"Connecting..."), HostLookup::Outcome::Found);
    std::vector<std::string> found;
    for (const HostAddress& address : lookup.addresses())
        found.push_back(textOf(address));
    EXPECT_NE(std::find(found.begin(), found.end(), "127.0.0.1"), found.end());

    HostLookup refusing([](const std::string&, const std::string&, std::vector<HostAddress>&) { return EAI_NONAME; });
    EXPECT_EQ(refusing.run("nowhere.invalid", 389, Clock::now() + std::chrono::seconds(10), L"Connecting..."),
              HostLookup::Outcome::Failed);
    EXPECT_EQ(refusing.diagnostic(), L"Name or service not known");
    EXPECT_TRUE(refusing.addresses().empty());
}

TEST(HostLookupBackgroundTest, AHangingResolverEndsAtTheDeadline)
{
    HangingResolver server;
    HostLookup lookup(server.resolver());
    const auto start = Clock::now();
    EXPECT_EQ(lookup.run("directory.example", 389, start + milliseconds(300), L"Connecting..."), HostLookup::Outcome::TimedOut);
    const auto took = Clock::now() - start;
    EXPECT_GE(took, milliseconds(300));
    EXPECT_LT(took, milliseconds(800));
}

TEST(HostLookupBackgroundTest, CancelGivesAHangingLookupUpWithinTheSecond)
{
    HangingResolver server;
    HostLookup lookup(server.resolver());
    dirtest::ScriptedWaits waits(util::WaitAnswer::Cancel, milliseconds(200));
    const auto start = Clock::now();
    EXPECT_EQ(lookup.run("directory.example", 389, start + std::chrono::seconds(30), L"Connecting to directory.example:389..."),
              HostLookup::Outcome::GivenUp);
    EXPECT_LT(Clock::now() - start, milliseconds(1000));
    EXPECT_EQ(waits.waits(), std::vector<std::wstring>{L"Connecting to directory.example:389..."});
}

} // namespace
