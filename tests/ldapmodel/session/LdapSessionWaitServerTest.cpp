// How the session waits: connect and operation time-outs, Stop and Cancel
// from the wait service, and a connection that breaks.

#include "records/LDAPAttribute.h"
#include "records/LDAPEntry.h"
#include "session/LdapSession.h"
#include "support/FrozenServer.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/ScriptedWaits.h"
#include "support/SilentListener.h"
#include "support/TestDirectoryServer.h"
#include "utilities/Util.h"

#include <ldap.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

using dirtest::FrozenServer;
using dirtest::ScriptedMessageBoxes;
using dirtest::ScriptedWaits;
using dirtest::SilentListener;
using dirtest::TestDirectoryServer;
using ldapmodel::LDAPAttribute;
using ldapmodel::LDAPEntry;
using ldapmodel::LdapSession;
using util::WaitAnswer;
using Clock = std::chrono::steady_clock;
using AttributeList = std::vector<memorylib::gc_ptr<LDAPAttribute>>;

std::wstring wide(const std::string& text) { return util::fromUtf8(text); }

std::wstring libraryText(int code) { return wide(ldap_err2string(code)); }

TestDirectoryServer& server() { return TestDirectoryServer::shared(); }

const std::wstring kUser01 = wide(dirtest::sample::kUser01Dn);

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

int connectAsAdmin(LdapSession& session)
{
    return session.connect(wide(server().host()), server().port(), wide(TestDirectoryServer::adminDn()),
                           wide(TestDirectoryServer::adminPassword()), false);
}

TEST(LdapSessionWaitServerTest, SilentListenerFailsTheConnectWithinTheConnectTimeout)
{
    // Free: the TCP connect succeeds and the bind is never answered. Full:
    // the TCP connect itself never completes.
    for (SilentListener::Backlog backlog : {SilentListener::Backlog::Free, SilentListener::Backlog::Full}) {
        SCOPED_TRACE(backlog == SilentListener::Backlog::Free ? "free backlog" : "full backlog");
        ScriptedMessageBoxes boxes;
        ScriptedWaits waits;
        SilentListener listener(backlog);
        LdapSession session;
        session.setTimeouts({1, 30});
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(session.connect(L"127.0.0.1", listener.port(), L"", L"", true), -1);
        const double seconds = secondsSince(start);
        EXPECT_GE(seconds, 0.95);
        EXPECT_LT(seconds, 2.0);
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].text, L"Bind to server. LDAPError 85: " + libraryText(LDAP_TIMEOUT));
        EXPECT_EQ(session.getConnectResult(), 85);
        EXPECT_FALSE(session.hasHandle());
        EXPECT_EQ(waits.waits(), std::vector<std::wstring>{L"Connecting to 127.0.0.1:" +
                                                           std::to_wstring(listener.port()) + L"..."});
    }
}

TEST(LdapSessionWaitServerTest, FrozenServerFailsAnEntryReadWithinTheOperationTimeout)
{
    ScriptedMessageBoxes boxes;
    LdapSession session;
    session.setTimeouts({10, 1});
    ASSERT_EQ(connectAsAdmin(session), 0);
    LDAPEntry entry;
    entry.setDN(kUser01);
    {
        FrozenServer frozen(server());
        ASSERT_TRUE(frozen.frozen());
        const Clock::time_point start = Clock::now();
        EXPECT_FALSE(entry.readFromServer(session, 0));
        const double seconds = secondsSince(start);
        EXPECT_GE(seconds, 0.95);
        EXPECT_LT(seconds, 2.0);
    }
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, L"Read entry from server. LDAPError 85: " + libraryText(LDAP_TIMEOUT));
    // The server is back: the same session goes on.
    EXPECT_TRUE(session.isConnected());
    EXPECT_TRUE(entry.readFromServer(session, 0));
    EXPECT_NE(entry.getAttribute(L"cn").getObject(), nullptr);
}

TEST(LdapSessionWaitServerTest, StopGivesTheRequestUpAndCancelDropsTheConnection)
{
    ScriptedMessageBoxes boxes;
    LdapSession session;
    ASSERT_EQ(connectAsAdmin(session), 0);
    std::vector<int> lost;
    session.setLostHandler([&lost](int code) { lost.push_back(code); });
    AttributeList attributes;
    {
        FrozenServer frozen(server());
        ASSERT_TRUE(frozen.frozen());
        {
            ScriptedWaits waits(WaitAnswer::Stop, std::chrono::milliseconds(200));
            const Clock::time_point start = Clock::now();
            EXPECT_EQ(session.readAttributes(kUser01, {L"*"}, 0, attributes), 88);
            EXPECT_LT(secondsSince(start), 1.0);
            EXPECT_TRUE(session.isConnected());
            EXPECT_TRUE(lost.empty());
        }
        {
            ScriptedWaits waits(WaitAnswer::Cancel, std::chrono::milliseconds(200));
            const Clock::time_point start = Clock::now();
            EXPECT_EQ(session.readAttributes(kUser01, {L"*"}, 0, attributes), 88);
            EXPECT_LT(secondsSince(start), 1.0);
            EXPECT_EQ(waits.waits(), std::vector<std::wstring>{L"Reading " + kUser01 + L"..."});
        }
    }
    EXPECT_TRUE(session.isLost());
    EXPECT_FALSE(session.isConnected());
    EXPECT_FALSE(session.hasHandle());
    EXPECT_EQ(lost, std::vector<int>{88});
    // Nothing goes out on a dropped connection, and nothing is shown.
    EXPECT_EQ(session.readAttributes(kUser01, {L"*"}, 0, attributes), -1);
    EXPECT_FALSE(session.entryExists(kUser01));
    EXPECT_TRUE(attributes.empty());
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST(LdapSessionWaitServerTest, BrokenConnectionIsNotOpenedAgainUnbound)
{
    LdapSession session;
    ASSERT_EQ(connectAsAdmin(session), 0);
    std::vector<int> lost;
    session.setLostHandler([&lost](int code) { lost.push_back(code); });
    ASSERT_TRUE(server().restart()) << server().lastError();
    // The restart broke the connection: the next request finds it gone, and
    // no later one reaches the server on a new, anonymous connection.
    std::wstring identity;
    EXPECT_EQ(session.whoAmI(identity), 81);
    EXPECT_EQ(session.whoAmI(identity), -1);
    EXPECT_EQ(identity, L"");
    EXPECT_TRUE(session.isLost());
    EXPECT_FALSE(session.hasHandle());
    EXPECT_EQ(lost, std::vector<int>{81});

    // A new connect is a new session.
    ASSERT_EQ(connectAsAdmin(session), 0);
    EXPECT_EQ(session.whoAmI(identity), 0);
    EXPECT_EQ(identity, L"dn:" + wide(TestDirectoryServer::adminDn()));
}

} // namespace
