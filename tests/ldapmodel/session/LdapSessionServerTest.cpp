#include "records/LDAPAttributeValue.h"
#include "records/LDAPEntry.h"
#include "session/LdapModList.h"
#include "session/LdapSearchMessage.h"
#include "session/LdapSession.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"
#include "utilities/Util.h"

#include <ldap.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

using dirtest::TestDirectoryServer;
using ldapmodel::LDAPAttributeValue;
using ldapmodel::LDAPEntry;
using ldapmodel::LdapModList;
using ldapmodel::LdapModOperation;
using ldapmodel::LdapSearchMessage;
using ldapmodel::LdapSession;
using memorylib::gc_ptr;

std::wstring wide(const std::string& text) { return util::fromUtf8(text); }

std::wstring libraryText(int code) { return wide(ldap_err2string(code)); }

TestDirectoryServer& server() { return TestDirectoryServer::shared(); }

std::wstring host() { return wide(server().host()); }

std::wstring peopleDn() { return wide(dirtest::sample::kPeopleDn); }

int connectAsAdmin(LdapSession& session)
{
    return session.connect(host(), server().port(), wide(TestDirectoryServer::adminDn()),
                           wide(TestDirectoryServer::adminPassword()), false);
}

// A local port nobody listens on.
int closedPort()
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

TEST(LdapSessionServerTest, AnonymousBindIgnoresTheBindDn)
{
    dirtest::ScriptedMessageBoxes boxes;
    LdapSession session;
    ASSERT_EQ(session.connect(host(), server().port(), wide(TestDirectoryServer::adminDn()), L"wrong",
                              true),
              0);
    EXPECT_TRUE(session.isConnected());
    std::wstring identity = L"unset";
    EXPECT_EQ(session.whoAmI(identity), 0);
    EXPECT_EQ(identity, L"");

    // Anonymous may read but not write.
    EXPECT_TRUE(session.entryExists(wide(dirtest::sample::kUser01Dn)));
    LdapModList changes;
    changes.addRecord(LdapModOperation::Add, L"description", new LDAPAttributeValue(std::wstring(L"anon")));
    EXPECT_NE(session.modifyEntry(wide(dirtest::sample::kUser01Dn), changes), 0);
    EXPECT_TRUE(TestDirectoryServer::ldifValues(server().entryLdif(dirtest::sample::kUser01Dn), "description")
                    .size() == 3);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST(LdapSessionServerTest, SimpleBindUsesTheBindDn)
{
    LdapSession session;
    ASSERT_EQ(connectAsAdmin(session), 0);
    std::wstring identity;
    EXPECT_EQ(session.whoAmI(identity), 0);
    EXPECT_EQ(identity, L"dn:" + wide(TestDirectoryServer::adminDn()));

    ASSERT_EQ(session.connect(host(), server().port(), wide(TestDirectoryServer::readerDn()),
                              wide(TestDirectoryServer::readerPassword()), false),
              0);
    EXPECT_EQ(session.whoAmI(identity), 0);
    EXPECT_EQ(identity, L"dn:" + wide(TestDirectoryServer::readerDn()));
    session.disconnect();
    EXPECT_FALSE(session.isConnected());
    EXPECT_FALSE(session.hasHandle());
    EXPECT_EQ(session.whoAmI(identity), -1);
}

TEST(LdapSessionServerTest, WrongPasswordReportsAndAFreshBindWorks)
{
    dirtest::ScriptedMessageBoxes boxes;
    LdapSession session;
    EXPECT_EQ(session.connect(host(), server().port(), wide(TestDirectoryServer::adminDn()), L"wrong", false),
              -1);
    EXPECT_FALSE(session.isConnected());
    EXPECT_FALSE(session.hasHandle());
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, L"Bind to server. LDAPError 49: " + libraryText(LDAP_INVALID_CREDENTIALS));
    EXPECT_EQ(boxes.boxes()[0].caption, L"LDAP Message");
    EXPECT_EQ(boxes.boxes()[0].icon, util::BoxIcon::Warning);
    EXPECT_EQ(boxes.boxes()[0].buttons, util::BoxButtons::Ok);
    session.disconnect();

    boxes.clear();
    EXPECT_EQ(connectAsAdmin(session), 0);
    EXPECT_TRUE(session.isConnected());
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST(LdapSessionServerTest, EmptyPasswordIsSentAsAnEmptyPassword)
{
    // A bind DN with an empty password is an unauthenticated bind, which the
    // server refuses; it is not turned into an anonymous bind.
    dirtest::ScriptedMessageBoxes boxes;
    LdapSession session;
    EXPECT_EQ(session.connect(host(), server().port(), wide(TestDirectoryServer::adminDn()), L"", false), -1);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    // The server's diagnostic message follows on a second line.
    EXPECT_EQ(boxes.boxes()[0].text, L"Bind to server. LDAPError 53: " + libraryText(LDAP_UNWILLING_TO_PERFORM) +
                                         L"\nunauthenticated bind (DN with no password) disallowed");
}

TEST(LdapSessionServerTest, UnreachableServerReportsCode81)
{
    dirtest::ScriptedMessageBoxes boxes;
    LdapSession session;
    EXPECT_EQ(session.connect(L"127.0.0.1", closedPort(), L"", L"", true), -1);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, L"Bind to server. LDAPError 81: " + libraryText(LDAP_SERVER_DOWN));
    EXPECT_FALSE(session.hasHandle());

    boxes.clear();
    EXPECT_EQ(session.connect(L"bad host/?x", server().port(), L"", L"", true), -1);
    EXPECT_EQ(session.connect(host(), 0, L"", L"", true), -1);
    EXPECT_EQ(session.connect(host(), 70000, L"", L"", true), -1);
    ASSERT_EQ(boxes.boxes().size(), 3u);
    for (const auto& box : boxes.boxes())
        EXPECT_EQ(box.text, L"Cannot create a connection. LDAPError 81: " + libraryText(LDAP_SERVER_DOWN));
}

TEST(LdapSessionServerTest, SearchEntriesKeepsPartialResultsOnSizeLimit)
{
    LdapSession session;
    ASSERT_EQ(connectAsAdmin(session), 0);
    std::vector<gc_ptr<LDAPEntry>> entries;
    EXPECT_EQ(session.searchEntries(peopleDn(), LdapSession::SCOPE_ONELEVEL, L"objectclass=*", {L""}, true, 0,
                                    entries),
              0);
    EXPECT_EQ(entries.size(), static_cast<std::size_t>(dirtest::sample::kPeopleChildCount));
    for (const auto& entry : entries)
        EXPECT_EQ(entry->getUserAttributeCount(), 0);

    entries.clear();
    EXPECT_EQ(session.searchEntries(peopleDn(), LdapSession::SCOPE_ONELEVEL, L"objectclass=*", {L"*"}, false, 5,
                                    entries),
              LDAP_SIZELIMIT_EXCEEDED);
    EXPECT_EQ(entries.size(), 5u);

    entries.clear();
    EXPECT_EQ(session.searchEntries(wide(dirtest::sample::kUser01Dn), LdapSession::SCOPE_BASE, L"objectclass=*",
                                    {L"createTimestamp", L"modifyTimestamp", L"*"}, false, 0, entries),
              0);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0]->getDN(), wide(dirtest::sample::kUser01Dn));
    ASSERT_NE(entries[0]->getAttribute(L"mail").getObject(), nullptr);
    EXPECT_EQ(entries[0]->getAttribute(L"mail")->getValue(0)->toString(), wide(dirtest::sample::kUser01Mail1));
    EXPECT_EQ(entries[0]->getAttribute(L"mail")->getValue(1)->toString(), wide(dirtest::sample::kUser01Mail2));
    EXPECT_NE(entries[0]->getAttribute(L"createTimestamp").getObject(), nullptr);

    entries.clear();
    EXPECT_EQ(session.searchEntries(wide(dirtest::sample::kDeptDn), LdapSession::SCOPE_SUBTREE,
                                    L"objectclass=*", {}, true, 0, entries),
              0);
    EXPECT_EQ(entries.size(), static_cast<std::size_t>(dirtest::sample::kDeptSubtreeCount));
}

TEST(LdapSessionServerTest, SearchFailuresGiveTheirCodes)
{
    LdapSession session;
    std::vector<gc_ptr<LDAPEntry>> entries;
    EXPECT_EQ(session.searchEntries(peopleDn(), 1, L"objectclass=*", {}, true, 0, entries), -1);
    ASSERT_EQ(connectAsAdmin(session), 0);
    EXPECT_EQ(session.searchEntries(L"ou=missing," + wide(TestDirectoryServer::baseDn()), 0, L"objectclass=*", {},
                                    true, 0, entries),
              LDAP_NO_SUCH_OBJECT);
    // A filter libldap cannot encode comes back as 87, not as -7.
    EXPECT_EQ(session.searchEntries(peopleDn(), 1, L"(((", {}, true, 0, entries), 87);
    EXPECT_TRUE(entries.empty());
}

TEST(LdapSessionServerTest, EntryExists)
{
    LdapSession session;
    EXPECT_FALSE(session.entryExists(wide(TestDirectoryServer::baseDn())));
    ASSERT_EQ(connectAsAdmin(session), 0);
    EXPECT_TRUE(session.entryExists(wide(TestDirectoryServer::baseDn())));
    EXPECT_TRUE(session.entryExists(dirtest::sample::kJoseDnWide));
    EXPECT_FALSE(session.entryExists(L"cn=nobody," + peopleDn()));
    EXPECT_FALSE(session.entryExists(L"not a dn"));
}

TEST(LdapSessionServerTest, UnicodeDnsRoundTrip)
{
    LdapSession session;
    ASSERT_EQ(connectAsAdmin(session), 0);
    for (const wchar_t* dn : {dirtest::sample::kJoseDnWide, dirtest::sample::kLukaszDnWide}) {
        std::vector<gc_ptr<LDAPEntry>> entries;
        EXPECT_EQ(session.searchEntries(dn, LdapSession::SCOPE_BASE, L"objectclass=*", {L"cn"}, false, 0, entries),
                  0);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0]->getDN(), dn);
        ASSERT_NE(entries[0]->getAttribute(L"cn").getObject(), nullptr);
        EXPECT_EQ(L"cn=" + entries[0]->getAttribute(L"cn")->getValue(0)->toString() + L"," + peopleDn(), dn);
    }
}

TEST(LdapSessionServerTest, AsynchronousSearchDeliversOneMessageAtATime)
{
    LdapSession session;
    ASSERT_EQ(connectAsAdmin(session), 0);
    int messageId = 0;
    ASSERT_EQ(session.searchAsync(peopleDn(), LdapSession::SCOPE_ONELEVEL, L"objectclass=*", {L""}, true, 0,
                                  messageId),
              0);
    EXPECT_GT(messageId, 0);
    std::vector<std::wstring> dns;
    LdapSearchMessage message;
    int type = 0;
    while ((type = session.nextResult(messageId, false, LdapSession::WAIT_FOREVER, message)) > 0) {
        if (type == LdapSession::MESSAGE_SEARCH_ENTRY) {
            EXPECT_TRUE(message.hasDn);
            EXPECT_EQ(message.entry.getObject(), nullptr);
            dns.push_back(message.dn);
        }
        if (type == LdapSession::MESSAGE_SEARCH_RESULT)
            break;
    }
    EXPECT_EQ(type, LdapSession::MESSAGE_SEARCH_RESULT);
    EXPECT_EQ(message.resultCode, 0);
    EXPECT_EQ(dns.size(), static_cast<std::size_t>(dirtest::sample::kPeopleChildCount));
    EXPECT_NE(std::find(dns.begin(), dns.end(), std::wstring(dirtest::sample::kLukaszDnWide)), dns.end());
}

TEST(LdapSessionServerTest, AsynchronousSearchReportsTheSizeLimitAndGivesValues)
{
    LdapSession session;
    ASSERT_EQ(connectAsAdmin(session), 0);
    int messageId = 0;
    ASSERT_EQ(session.searchAsync(peopleDn(), LdapSession::SCOPE_ONELEVEL, L"(uid=user0*)", {L"uid", L"mail"},
                                  false, 3, messageId),
              0);
    int entries = 0;
    LdapSearchMessage message;
    int type = 0;
    while ((type = session.nextResult(messageId, true, 5000, message)) > 0) {
        if (type == LdapSession::MESSAGE_SEARCH_ENTRY) {
            ++entries;
            ASSERT_NE(message.entry.getObject(), nullptr);
            EXPECT_EQ(message.entry->getDN(), message.dn);
            EXPECT_NE(message.entry->getAttribute(L"uid").getObject(), nullptr);
            EXPECT_EQ(message.entry->getAttribute(L"cn").getObject(), nullptr);
        }
        if (type == LdapSession::MESSAGE_SEARCH_RESULT)
            break;
    }
    EXPECT_EQ(type, LdapSession::MESSAGE_SEARCH_RESULT);
    EXPECT_EQ(message.resultCode, LDAP_SIZELIMIT_EXCEEDED);
    EXPECT_EQ(entries, 3);
}

TEST(LdapSessionServerTest, WorkerThreadStopsAndAbandons)
{
    LdapSession session;
    ASSERT_EQ(connectAsAdmin(session), 0);
    ASSERT_EQ(session.setTimeLimit(30), 0);
    EXPECT_EQ(session.getTimeLimit(), 30u);
    int messageId = 0;
    ASSERT_EQ(session.searchAsync(wide(TestDirectoryServer::baseDn()), LdapSession::SCOPE_SUBTREE,
                                  L"objectclass=*", {L""}, true, 0, messageId),
              0);
    std::atomic<bool> stop{false};
    std::atomic<int> taken{0};
    int abandonCode = -100;
    int lastType = 0;
    // The worker owns the loop; this thread only raises the flag.
    std::thread worker([&] {
        LdapSearchMessage message;
        for (;;) {
            int type = session.nextResult(messageId, false, 100, message);
            if (type < 0)
                break;
            if (stop) {
                abandonCode = session.abandon(messageId);
                break;
            }
            if (type == 0)
                continue;
            lastType = type;
            ++taken;
            if (type == LdapSession::MESSAGE_SEARCH_RESULT)
                break;
            if (taken == 2)
                stop = true;
        }
    });
    worker.join();
    EXPECT_EQ(abandonCode, 0);
    EXPECT_EQ(taken, 2);
    EXPECT_EQ(lastType, LdapSession::MESSAGE_SEARCH_ENTRY);
    LdapSearchMessage after;
    EXPECT_LE(session.nextResult(messageId, false, 200, after), 0);
    // The session goes on working after the abandon.
    EXPECT_TRUE(session.entryExists(wide(TestDirectoryServer::baseDn())));
}

TEST(LdapSessionServerTest, NextResultWithoutASearch)
{
    LdapSession session;
    LdapSearchMessage message;
    EXPECT_EQ(session.nextResult(1, false, 0, message), -1);
    ASSERT_EQ(connectAsAdmin(session), 0);
    // An id that no search has: nothing comes within the wait.
    EXPECT_EQ(session.nextResult(12345, false, 100, message), 0);
}

TEST(LdapSessionServerTest, AddModifyRenameDelete)
{
    dirtest::ScriptedMessageBoxes boxes;
    LdapSession session;
    ASSERT_EQ(connectAsAdmin(session), 0);
    const std::wstring dept = wide(dirtest::sample::kDeptDn);
    const std::wstring dn = L"cn=\u017Baba Test," + dept;

    LdapModList entry;
    entry.addRecord(LdapModOperation::Add, L"objectClass", new LDAPAttributeValue(std::wstring(L"device")));
    entry.addRecord(LdapModOperation::Add, L"cn", new LDAPAttributeValue(std::wstring(L"\u017Baba Test")));
    entry.addRecord(LdapModOperation::Add, L"description",
                    {new LDAPAttributeValue(std::wstring(L"one")), new LDAPAttributeValue(std::wstring(L"two"))});
    ASSERT_EQ(session.addEntry(dn, entry), 0);
    EXPECT_TRUE(server().entryExists(util::toUtf8(dn)));
    EXPECT_EQ(session.addEntry(dn, entry), LDAP_ALREADY_EXISTS);

    LdapModList replace;
    replace.addRecord(LdapModOperation::Replace, L"description", new LDAPAttributeValue(std::wstring(L"three")));
    EXPECT_EQ(session.modifyEntry(dn, replace), 0);
    EXPECT_EQ(TestDirectoryServer::ldifValues(server().entryLdif(util::toUtf8(dn)), "description"),
              std::vector<std::string>{"three"});
    LdapModList removeAll;
    removeAll.addRecord(LdapModOperation::Delete, L"description", std::vector<gc_ptr<LDAPAttributeValue>>());
    EXPECT_EQ(session.modifyEntry(dn, removeAll), 0);
    EXPECT_TRUE(TestDirectoryServer::ldifValues(server().entryLdif(util::toUtf8(dn)), "description").empty());

    const std::wstring renamed = L"cn=Renamed," + dept;
    EXPECT_EQ(session.renameEntry(dn, L"cn=Renamed"), 0);
    EXPECT_FALSE(server().entryExists(util::toUtf8(dn)));
    std::string renamedLdif = server().entryLdif(util::toUtf8(renamed));
    EXPECT_EQ(TestDirectoryServer::ldifValues(renamedLdif, "cn"), std::vector<std::string>{"Renamed"});

    EXPECT_EQ(session.deleteEntry(wide(dirtest::sample::kSubDn)), LDAP_NOT_ALLOWED_ON_NONLEAF);
    EXPECT_EQ(session.deleteEntry(renamed), 0);
    EXPECT_FALSE(server().entryExists(util::toUtf8(renamed)));
    EXPECT_EQ(session.deleteEntry(renamed), LDAP_NO_SUCH_OBJECT);
    // Write requests leave the reporting to their callers.
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST(LdapSessionServerTest, ReadAttributesOfOneEntry)
{
    LdapSession session;
    ASSERT_EQ(connectAsAdmin(session), 0);
    std::vector<gc_ptr<ldapmodel::LDAPAttribute>> attributes;
    EXPECT_EQ(session.readAttributes(L"", {L"namingContexts", L"subschemaSubentry"}, 0, attributes), 0);
    ASSERT_EQ(attributes.size(), 2u);
    EXPECT_EQ(attributes[0]->getName(), L"namingContexts");
    EXPECT_EQ(attributes[0]->getValue(0)->toString(), wide(TestDirectoryServer::baseDn()));
    attributes.clear();
    EXPECT_EQ(session.readAttributes(L"cn=none," + peopleDn(), {}, 0, attributes), LDAP_NO_SUCH_OBJECT);
    EXPECT_TRUE(attributes.empty());
}

} // namespace
