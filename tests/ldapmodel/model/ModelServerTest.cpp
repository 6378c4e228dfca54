// Connection, entry cache, active entry and Server against the test slapd.

#include "ldapmodel/support/ModelTestSupport.h"
#include "model/Model.h"
#include "model/Server.h"
#include "schema/LDAPSchema.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using dirtest::TestDirectoryServer;
using ldapmodel::LDAPEntry;
using ldapmodel::Model;
using ldapmodel::Server;
using memorylib::gc_ptr;
using modeltest::wide;
namespace sample = dirtest::sample;

namespace {

const std::string kScratchDn = "ou=ModelScratch,dc=example,dc=com";

std::wstring boxText(const util::MessageBoxRequest& box) { return box.text; }

class ModelServerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::string output;
        TestDirectoryServer::shared().runLdapmodify(
            "dn: " + kScratchDn + "\nchangetype: add\nobjectClass: organizationalUnit\nou: ModelScratch\n",
            output);
    }
    static void TearDownTestSuite()
    {
        std::string output;
        TestDirectoryServer::runProcess({"ldapdelete", "-x", "-r", "-H", TestDirectoryServer::shared().uri(),
                                         "-D", TestDirectoryServer::adminDn(), "-w",
                                         TestDirectoryServer::adminPassword(), kScratchDn},
                                        "", output);
    }

    void SetUp() override
    {
        observer = modeltest::mainObserver();
        model = &Model::instance();
        model->disconnect();
        modeltest::pointAtServer(*model, TestDirectoryServer::shared());
        observer->clear();
        boxes.clear();
    }
    void TearDown() override
    {
        model->waitBackground();
        model->disconnect();
    }

    void connectAsAdmin()
    {
        ASSERT_EQ(model->connect(false), 0);
        observer->clear();
        boxes.clear();
    }

    static bool addScratchEntry(const std::string& rdn, const std::string& description)
    {
        std::string output;
        return TestDirectoryServer::shared().runLdapmodify("dn: " + rdn + "," + kScratchDn +
                                                               "\nchangetype: add\nobjectClass: device\n"
                                                               "description: " +
                                                               description + "\n",
                                                           output);
    }
    static void deleteScratchEntry(const std::string& rdn)
    {
        std::string output;
        TestDirectoryServer::shared().runLdapmodify("dn: " + rdn + "," + kScratchDn + "\nchangetype: delete\n",
                                                    output);
    }

    dirtest::ScriptedMessageBoxes boxes;
    gc_ptr<modeltest::RecordingObserver> observer;
    Model* model = nullptr;
};

// ---- connect and disconnect ----------------------------------------------------

TEST_F(ModelServerTest, ConnectReadsTheTopNotifiesAndLoadsTheSchema)
{
    ASSERT_EQ(model->connect(false), 0);
    EXPECT_TRUE(model->isConnected());
    EXPECT_EQ(observer->kinds(), (std::vector<int>{0}));
    EXPECT_EQ(model->getRootList(), (std::vector<std::wstring>{L"dc=com,dc=example"}));
    gc_ptr<LDAPEntry> base = model->findCachedEntry(wide(sample::kBaseDn));
    ASSERT_NE(base.getObject(), nullptr);
    ASSERT_NE(base->getAttribute(L"o").getObject(), nullptr);
    EXPECT_EQ(base->getAttribute(L"o")->getValue(0)->toString(), L"Example Corp");
    EXPECT_TRUE(base->getChildren().empty());
    ASSERT_NE(model->getSchema().getObject(), nullptr);
    EXPECT_TRUE(model->getSchema()->isLoaded());
    EXPECT_NE(model->getSchema()->findObjectClass(L"inetOrgPerson").getObject(), nullptr);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ModelServerTest, RootListReversesTheStoredBaseDN)
{
    model->setBaseDN(L" ou=People , dc=example,dc=com ");
    ASSERT_EQ(model->connect(false), 0);
    EXPECT_EQ(model->getRootList(), (std::vector<std::wstring>{L"dc=com,dc=example,ou=People"}));
    // The list given is appended to.
    std::vector<std::wstring> list{L"first"};
    model->getRootList(list);
    EXPECT_EQ(list, (std::vector<std::wstring>{L"first", L"dc=com,dc=example,ou=People"}));
}

TEST_F(ModelServerTest, WrongPasswordReportsTheBindThenAGoodOneConnects)
{
    model->setPassword(L"wrong");
    EXPECT_EQ(model->connect(false), -1);
    EXPECT_FALSE(model->isConnected());
    EXPECT_EQ(model->getSession(), nullptr);
    auto shown = boxes.boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, L"LDAP Message");
    EXPECT_EQ(shown[0].text.rfind(L"Bind to server. LDAPError 49: ", 0), 0u) << boxText(shown[0]);
    EXPECT_TRUE(observer->kinds().empty());

    model->setPassword(wide(TestDirectoryServer::adminPassword()));
    EXPECT_EQ(model->connect(false), 0);
    EXPECT_TRUE(model->isConnected());
}

TEST_F(ModelServerTest, AnonymousConnectIgnoresTheBindDN)
{
    model->setPassword(L"wrong");  // would fail a simple bind
    ASSERT_EQ(model->connect(true), 0);
    EXPECT_TRUE(model->isConnected());
    EXPECT_EQ(model->getRootList().size(), 1u);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ModelServerTest, AnAnonymousConnectionReconnectsWithoutCredentials)
{
    // The profile is anonymous but still holds the admin's DN and password.
    ASSERT_EQ(model->connect(true), 0);
    EXPECT_TRUE(model->isAnonymous());
    model->disconnect();
    boxes.clear();

    // The add connects again on its own: anonymously, so the server refuses
    // it (only the admin may write).
    const std::string dn = "cn=anonymousAdd," + kScratchDn;
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    entry->setDN(wide(dn));
    entry->addAttributeValue(L"objectClass", new ldapmodel::LDAPAttributeValue(std::wstring(L"device")));
    entry->addAttributeValue(L"cn", new ldapmodel::LDAPAttributeValue(std::wstring(L"anonymousAdd")));
    EXPECT_EQ(model->syn_addEntry(entry), -1);
    EXPECT_TRUE(model->isConnected());
    EXPECT_GT(model->getLastAddResult(), 0);  // anonymous writes are refused
    EXPECT_FALSE(TestDirectoryServer::shared().entryExists(dn));

    // A bound connection reconnects bound.
    ASSERT_EQ(model->connect(false), 0);
    EXPECT_FALSE(model->isAnonymous());
    model->disconnect();
    EXPECT_EQ(model->syn_addEntry(entry), 0);
    EXPECT_TRUE(TestDirectoryServer::shared().entryExists(dn));
    deleteScratchEntry("cn=anonymousAdd");
}

TEST_F(ModelServerTest, ConnectWhileConnectedStartsAfresh)
{
    connectAsAdmin();
    model->getEntry(wide(sample::kPeopleDn));
    EXPECT_EQ(model->getCacheSize(), 2u);
    ASSERT_EQ(model->connect(false), 0);
    // Disconnect (0), then the new connection (0); the cache holds the top only.
    EXPECT_EQ(observer->kinds(), (std::vector<int>{0, 0}));
    EXPECT_EQ(model->getCacheSize(), 1u);
}

TEST_F(ModelServerTest, DisconnectResetsLimitsFilterAndContents)
{
    connectAsAdmin();
    model->setSizeLimit(5);
    model->setTimeLimit(9);
    model->setFilter(L"(cn=*)");
    ASSERT_EQ(model->setActiveEntry(wide(sample::kUser01Dn)), 0);
    observer->clear();

    EXPECT_EQ(model->disconnect(), 0);
    EXPECT_FALSE(model->isConnected());
    EXPECT_EQ(model->getSession(), nullptr);
    EXPECT_EQ(model->getSizeLimit(), 0u);
    EXPECT_EQ(model->getTimeLimit(), 0u);
    EXPECT_EQ(model->getFilter(), L"objectclass=*");
    EXPECT_EQ(model->getLdifLineWidth(), 70);
    EXPECT_EQ(model->getCacheSize(), 0u);
    EXPECT_EQ(model->getActiveEntryDN(), L"");
    ASSERT_NE(model->getActiveEntry().getObject(), nullptr);
    EXPECT_FALSE(model->getSchema()->isLoaded());
    // The connection fields stay.
    EXPECT_EQ(model->getHost(), wide(TestDirectoryServer::shared().host()));
    EXPECT_EQ(model->getPort(), TestDirectoryServer::shared().port());
    EXPECT_EQ(model->getBaseDN(), wide(sample::kBaseDn));
    EXPECT_EQ(model->getBindDN(), wide(TestDirectoryServer::adminDn()));
    EXPECT_EQ(observer->kinds(), (std::vector<int>{0}));
}

TEST_F(ModelServerTest, ResetClearsWithoutNotifying)
{
    connectAsAdmin();
    model->setSizeLimit(4);
    model->reset();
    EXPECT_FALSE(model->isConnected());
    EXPECT_EQ(model->getCacheSize(), 0u);
    EXPECT_EQ(model->getSizeLimit(), 0u);
    EXPECT_TRUE(observer->kinds().empty());
}

// ---- limits --------------------------------------------------------------------

TEST_F(ModelServerTest, SizeLimitChangeWhileConnectedRereadsTheTop)
{
    connectAsAdmin();
    model->forgetEntry(wide(sample::kBaseDn));
    EXPECT_EQ(model->getCacheSize(), 0u);
    model->setSizeLimit(3);
    EXPECT_EQ(model->getSizeLimit(), 3u);
    EXPECT_NE(model->findCachedEntry(wide(sample::kBaseDn)).getObject(), nullptr);
}

TEST_F(ModelServerTest, LimitChangesWithoutConnectionOnlyStore)
{
    model->setTimeLimit(7);
    model->setSizeLimit(8);
    EXPECT_EQ(model->getTimeLimit(), 7u);
    EXPECT_EQ(model->getSizeLimit(), 8u);
    EXPECT_FALSE(model->isConnected());
    EXPECT_EQ(model->getCacheSize(), 0u);
    EXPECT_TRUE(boxes.boxes().empty());
}

// ---- the cache -----------------------------------------------------------------

TEST_F(ModelServerTest, GetEntryServesTheCachedEntryFirstFiledWins)
{
    connectAsAdmin();
    gc_ptr<LDAPEntry> first = model->getEntry(wide(sample::kPeopleDn));
    ASSERT_NE(first.getObject(), nullptr);
    EXPECT_FALSE(first->isOld());
    EXPECT_EQ(model->getEntry(wide(sample::kPeopleDn)), first);

    // Blanks after the commas miss the key: read again, cached entry stays.
    gc_ptr<LDAPEntry> spaced = model->getEntry(L"ou=People, dc=example, dc=com");
    ASSERT_NE(spaced.getObject(), nullptr);
    EXPECT_NE(spaced, first);
    EXPECT_EQ(spaced->getDN(), wide(sample::kPeopleDn));
    EXPECT_EQ(model->findCachedEntry(wide(sample::kPeopleDn)), first);
    EXPECT_EQ(model->getCacheSize(), 2u);
}

TEST_F(ModelServerTest, DNsDifferingInCaseAreTwoEntriesAndTwoRows)
{
    connectAsAdmin();
    gc_ptr<LDAPEntry> lower = model->getEntry(wide(sample::kPeopleDn));
    gc_ptr<LDAPEntry> upper = model->getEntry(L"OU=People,dc=example,dc=com");
    ASSERT_NE(lower.getObject(), nullptr);
    ASSERT_NE(upper.getObject(), nullptr);
    EXPECT_NE(lower, upper);
    std::vector<std::wstring> rows = model->getRootList();
    // Map order: code units, upper case first.
    EXPECT_EQ(rows, (std::vector<std::wstring>{L"dc=com,dc=example,OU=People", L"dc=com,dc=example",
                                               L"dc=com,dc=example,ou=People"}));
}

TEST_F(ModelServerTest, FailedReadIsReportedAndNotCached)
{
    connectAsAdmin();
    std::size_t before = model->getCacheSize();
    EXPECT_EQ(model->getEntry(L"ou=Missing,dc=example,dc=com").getObject(), nullptr);
    EXPECT_EQ(model->getCacheSize(), before);
    auto shown = boxes.boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text.rfind(L"Read entry from server. LDAPError 32: ", 0), 0u) << shown[0].text;
}

TEST_F(ModelServerTest, GetEntryConnectsWhenNeeded)
{
    gc_ptr<LDAPEntry> entry = model->getEntry(wide(sample::kUser01Dn));
    ASSERT_NE(entry.getObject(), nullptr);
    EXPECT_TRUE(model->isConnected());
    EXPECT_EQ(entry->getAttribute(L"cn")->getValue(0)->toString(), wide(sample::kUser01Cn));
    // The operational attributes come apart from the user attributes.
    EXPECT_NE(entry->getAttribute(L"entryUUID").getObject(), nullptr);
}

TEST_F(ModelServerTest, EntryExistsAsksTheServer)
{
    connectAsAdmin();
    EXPECT_TRUE(model->entryExists(wide(sample::kUser01Dn)));
    EXPECT_TRUE(model->entryExists(sample::kLukaszDnWide));
    EXPECT_FALSE(model->entryExists(L"uid=nobody,ou=People,dc=example,dc=com"));
    EXPECT_FALSE(model->entryExists(L"not a dn"));
    EXPECT_TRUE(boxes.boxes().empty());
    // Nothing was filed.
    EXPECT_EQ(model->getCacheSize(), 1u);
}

TEST_F(ModelServerTest, OneLevelSearchFilesTheChildrenUnderTheParent)
{
    connectAsAdmin();
    ASSERT_EQ(model->searchEntries(wide(sample::kPeopleDn), L"objectclass=*", 1, false), 0);
    gc_ptr<LDAPEntry> people = model->findCachedEntry(wide(sample::kPeopleDn));
    ASSERT_NE(people.getObject(), nullptr);
    EXPECT_EQ(people->getChildren().size(), static_cast<std::size_t>(sample::kPeopleChildCount));
    EXPECT_TRUE(people->isChildrenComplete());
    EXPECT_FALSE(people->isCutShort());
    EXPECT_EQ(model->getCacheSize(), 2u + sample::kPeopleChildCount);
    gc_ptr<LDAPEntry> child = model->findCachedEntry(wide(sample::kUser01Dn));
    ASSERT_NE(child.getObject(), nullptr);
    EXPECT_EQ(child->getUserAttributeCount(), 0);  // names only
    EXPECT_FALSE(child->isChildrenComplete());

    // A second read of the children replaces the list.
    ASSERT_EQ(model->searchEntries(wide(sample::kPeopleDn), L"objectclass=*", 1, false), 0);
    EXPECT_EQ(people->getChildren().size(), static_cast<std::size_t>(sample::kPeopleChildCount));
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ModelServerTest, SearchWithValuesFillsTheNewEntries)
{
    connectAsAdmin();
    ASSERT_EQ(model->searchEntries(wide(sample::kGroupsDn), L"(objectclass=groupOfNames)", 1, true), 0);
    gc_ptr<LDAPEntry> staff = model->findCachedEntry(wide(sample::kStaffGroupDn));
    ASSERT_NE(staff.getObject(), nullptr);
    ASSERT_NE(staff->getAttribute(L"member").getObject(), nullptr);
    EXPECT_EQ(staff->getAttribute(L"member")->getValueCount(), sample::kStaffMemberCount);
    EXPECT_NE(staff->getAttribute(L"createTimestamp").getObject(), nullptr);
}

TEST_F(ModelServerTest, SizeLimitedSearchMarksTheParentCutShort)
{
    connectAsAdmin();
    model->setSizeLimit(5);
    boxes.clear();
    ASSERT_EQ(model->searchEntries(wide(sample::kPeopleDn), L"objectclass=*", 1, false), 0);
    gc_ptr<LDAPEntry> people = model->findCachedEntry(wide(sample::kPeopleDn));
    ASSERT_NE(people.getObject(), nullptr);
    EXPECT_TRUE(people->isCutShort());
    EXPECT_TRUE(people->isChildrenComplete());
    EXPECT_EQ(people->getChildren().size(), 5u);
    EXPECT_TRUE(boxes.boxes().empty());  // size limit exceeded is not reported

    model->setSizeLimit(0);
    ASSERT_EQ(model->searchEntries(wide(sample::kPeopleDn), L"objectclass=*", 1, false), 0);
    EXPECT_FALSE(people->isCutShort());
}

TEST_F(ModelServerTest, SearchFailuresAreReportedWithAnEmptyContext)
{
    connectAsAdmin();
    int code = model->searchEntries(wide(sample::kPeopleDn), L"(((", 1, false);
    EXPECT_EQ(code, 87);  // bad search filter, moved up from -7
    auto shown = boxes.boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text.rfind(L". LDAPError 87: ", 0), 0u) << shown[0].text;

    boxes.clear();
    EXPECT_EQ(model->searchEntries(L"ou=Missing,dc=example,dc=com", L"objectclass=*", 1, false), 32);
    shown = boxes.boxes();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text.rfind(L"Read entry from server. LDAPError 32: ", 0), 0u) << shown[0].text;
    EXPECT_EQ(shown[1].text.rfind(L". LDAPError 32: ", 0), 0u) << shown[1].text;
}

TEST_F(ModelServerTest, ForgetEntryRemovesTheKeyOnly)
{
    connectAsAdmin();
    model->getEntry(wide(sample::kPeopleDn));
    EXPECT_EQ(model->forgetEntry(L"OU=People,dc=example,dc=com"), 0);  // another key
    EXPECT_EQ(model->getCacheSize(), 2u);
    EXPECT_EQ(model->forgetEntry(wide(sample::kPeopleDn)), 0);
    EXPECT_EQ(model->getCacheSize(), 1u);
}

// ---- active entry --------------------------------------------------------------

TEST_F(ModelServerTest, SetActiveEntryNotifiesUserThenOperational)
{
    connectAsAdmin();
    EXPECT_EQ(model->getActiveEntryDN(), L"");
    EXPECT_EQ(model->getActiveRDNType(), L"");
    ASSERT_EQ(model->setActiveEntry(wide(sample::kUser01Dn)), 0);
    EXPECT_EQ(observer->kinds(), (std::vector<int>{3, 2}));
    EXPECT_EQ(model->getActiveEntryDN(), wide(sample::kUser01Dn));
    EXPECT_EQ(model->getActiveRDNType(), L"uid");
    EXPECT_EQ(model->getActiveEntry(), model->findCachedEntry(wide(sample::kUser01Dn)));

    // The same entry again: nothing.
    observer->clear();
    ASSERT_EQ(model->setActiveEntry(wide(sample::kUser01Dn)), 0);
    EXPECT_TRUE(observer->kinds().empty());
}

TEST_F(ModelServerTest, VanishedEntryKeepsTheOldActiveEntry)
{
    ASSERT_TRUE(addScratchEntry("cn=vanishing", "soon gone"));
    connectAsAdmin();
    const std::wstring vanishing = wide("cn=vanishing," + kScratchDn);
    ASSERT_NE(model->getEntry(vanishing).getObject(), nullptr);  // cached
    ASSERT_EQ(model->setActiveEntry(wide(sample::kUser01Dn)), 0);
    deleteScratchEntry("cn=vanishing");
    observer->clear();

    EXPECT_EQ(model->setActiveEntry(vanishing), 0);
    EXPECT_TRUE(observer->kinds().empty());
    EXPECT_EQ(model->getActiveEntryDN(), wide(sample::kUser01Dn));
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ModelServerTest, RefreshActiveEntryRereadsInPlace)
{
    ASSERT_TRUE(addScratchEntry("cn=refreshed", "before"));
    connectAsAdmin();
    const std::string dn = "cn=refreshed," + kScratchDn;
    ASSERT_EQ(model->setActiveEntry(wide(dn)), 0);
    gc_ptr<LDAPEntry> active = model->getActiveEntry();
    EXPECT_EQ(active->getAttribute(L"description")->getValue(0)->toString(), L"before");
    EXPECT_EQ(model->getActiveRDNType(), L"cn");

    std::string output;
    ASSERT_TRUE(TestDirectoryServer::shared().runLdapmodify(
        "dn: " + dn + "\nchangetype: modify\nreplace: description\ndescription: after\n", output));
    observer->clear();
    EXPECT_EQ(model->refreshActiveEntry(false), 0);
    EXPECT_TRUE(observer->kinds().empty());
    EXPECT_EQ(model->getActiveEntry(), active);
    EXPECT_EQ(active->getAttribute(L"description")->getValue(0)->toString(), L"after");

    EXPECT_EQ(model->refreshActiveEntry(true), 0);
    EXPECT_EQ(observer->kinds(), (std::vector<int>{3, 2}));
    EXPECT_EQ(model->findCachedEntry(wide(dn)), active);
    deleteScratchEntry("cn=refreshed");
}

TEST_F(ModelServerTest, RefreshWithoutActiveEntryReadsNothing)
{
    connectAsAdmin();
    EXPECT_EQ(model->refreshActiveEntry(true), 0);
    EXPECT_TRUE(observer->kinds().empty());
    EXPECT_EQ(model->getRootList().size(), 1u);
    EXPECT_EQ(model->getActiveEntryDN(), L"");
}

// ---- Server ----------------------------------------------------------------------

class ServerConnectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server = new Server();
        server->setHost(wide(TestDirectoryServer::shared().host()));
        server->setPort(TestDirectoryServer::shared().port());
    }

    dirtest::ScriptedMessageBoxes boxes;
    gc_ptr<Server> server;
};

TEST_F(ServerConnectionTest, NamingContextsOfTheRootDSE)
{
    std::vector<std::wstring> contexts{L"kept"};
    EXPECT_EQ(server->getNamingContexts(contexts), 0);
    EXPECT_EQ(contexts, (std::vector<std::wstring>{L"kept", wide(sample::kBaseDn)}));
    // getRootDSE disconnects in every case.
    EXPECT_FALSE(server->isConnected());
    EXPECT_EQ(server->getCacheSize(), 0u);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ServerConnectionTest, RootDSEIsReadAnonymously)
{
    server->setBindDN(wide(TestDirectoryServer::adminDn()));
    server->setPassword(L"wrong");
    gc_ptr<LDAPEntry> root = server->getRootDSE();
    ASSERT_NE(root.getObject(), nullptr);
    EXPECT_EQ(root->getDN(), L"");
    EXPECT_NE(root->getAttribute(L"namingContexts").getObject(), nullptr);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ServerConnectionTest, UnreachableServerGivesNoContexts)
{
    server->setPort(1);
    std::vector<std::wstring> contexts;
    EXPECT_EQ(server->getRootDSE().getObject(), nullptr);
    EXPECT_EQ(server->getNamingContexts(contexts), -1);
    EXPECT_TRUE(contexts.empty());
    auto shown = boxes.boxes();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown[0].caption, L"LDAP Message");
}

TEST_F(ServerConnectionTest, ServerSearchUsesItsOwnSizeLimit)
{
    server->setBindDN(wide(TestDirectoryServer::adminDn()));
    server->setPassword(wide(TestDirectoryServer::adminPassword()));
    server->setBaseDN(wide(sample::kBaseDn));
    EXPECT_EQ(server->getSizeLimit(), 30u);
    EXPECT_EQ(server->getFilter(), L"objectclass=*");
    ASSERT_EQ(server->connect(false), 0);
    EXPECT_EQ(server->getCacheSize(), 1u);  // the top
    ASSERT_EQ(server->searchEntries(wide(sample::kPeopleDn), L"objectclass=*", 1, false), 0);
    gc_ptr<LDAPEntry> people = server->getEntry(wide(sample::kPeopleDn));
    ASSERT_NE(people.getObject(), nullptr);
    EXPECT_EQ(people->getChildren().size(), 30u);
    EXPECT_TRUE(people->isCutShort());
    EXPECT_EQ(server->disconnect(), 0);
    EXPECT_EQ(server->getCacheSize(), 0u);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ServerConnectionTest, InstanceIsShared)
{
    EXPECT_EQ(Server::getInstance(), Server::getInstance());
    EXPECT_NE(Server::getInstance().getObject(), nullptr);
}

} // namespace

TEST(ModelInstanceTest, OneInstancePerProcess)
{
    EXPECT_EQ(Model::getInstance(), Model::getInstance());
    EXPECT_EQ(&Model::instance(), Model::getInstance().getObject());
}
