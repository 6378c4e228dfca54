// Background reads of a container larger than the server's size limit for
// the bound user: children, search and export read page by page, the user's
// record limit caps the whole read, a stop abandons the paged search.

#include "ldapmodel/support/ModelTestSupport.h"
#include "ldif/LDAPLdifFile.h"
#include "model/Model.h"
#include "records/LDAPEntry.h"
#include "support/FakeDirectory.h"
#include "support/LargeContainer.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

using dirtest::TestDirectoryServer;
using ldapmodel::LDAPEntry;
using ldapmodel::Model;
using ldapmodel::Subordinates;
using memorylib::gc_ptr;
using modeltest::RecordingObserver;
using modeltest::wide;

namespace {

constexpr int kChildren = 2000;
// What the server gives a user other than the administrator per search.
constexpr int kServerLimit = 500;
const std::string kBigDn = std::string("ou=Big,") + TestDirectoryServer::baseDn();

// Records what each entry's hasSubordinates said; asks the model to stop
// at one step of the progress.
class ChildObserver : public RecordingObserver {
public:
    void entryFound() override
    {
        subordinates.push_back(Model::instance().getCurrentSubordinates());
        RecordingObserver::entryFound();
    }
    bool step() override
    {
        if (stopAt > 0 && Model::instance().getProgressCount() == stopAt)
            Model::instance().requestStop();
        return RecordingObserver::step();
    }
    int stopAt = 0;
    std::vector<Subordinates> subordinates;  // worker only, read once it has ended
};

class PagedReadBackgroundServerTest : public ::testing::Test {
protected:
    // A server of its own, logging every operation, with the large container.
    static void SetUpTestSuite()
    {
        ::setenv("TESTSLAPD_LOGLEVEL", "stats", 1);
        server = std::make_unique<TestDirectoryServer>();
        const bool started = server->start();
        ::unsetenv("TESTSLAPD_LOGLEVEL");
        ASSERT_TRUE(started) << server->lastError();
        std::string error;
        ASSERT_TRUE(dirtest::LargeContainer(*server, "Big", kChildren).create(error)) << error;
    }
    static void TearDownTestSuite() { server.reset(); }

    void SetUp() override
    {
        modeltest::mainObserver();
        model = &Model::instance();
        model->disconnect();
        modeltest::pointAtServer(*model, *server);
        bindAs(TestDirectoryServer::readerDn(), TestDirectoryServer::readerPassword());
        ldapmodel::Preferences preferences;
        preferences.resultPauseMilliseconds = 0;
        model->setPreferences(preferences);
        observer = new ChildObserver();
        progress = new ChildObserver();
        model->setTreeObserver(observer);
        model->setSearchObserver(observer);
        model->setProgressObserver(progress);
        directory = std::filesystem::temp_directory_path() / ("paged-read-" + std::to_string(::getpid()));
        std::filesystem::create_directories(directory);
    }
    void TearDown() override
    {
        model->waitBackground();
        model->disconnect();
        model->setPreferences(ldapmodel::Preferences());
        model->setTreeObserver(gc_ptr<ldapmodel::ModelObserver>());
        model->setSearchObserver(gc_ptr<ldapmodel::ModelObserver>());
        model->setProgressObserver(gc_ptr<ldapmodel::ModelObserver>());
        model->waitBackground();
        std::filesystem::remove_all(directory);
    }

    void bindAs(const char* dn, const char* password)
    {
        model->setBindDN(wide(dn));
        model->setPassword(wide(password));
    }

    // Reads the children of the container to the end.
    gc_ptr<LDAPEntry> readBig()
    {
        EXPECT_EQ(model->readChildren(wide(kBigDn)), 0);
        EXPECT_TRUE(progress->waitFinished(1, std::chrono::seconds(120)));
        model->waitBackground();
        return model->findCachedEntry(wide(kBigDn));
    }

    static std::unique_ptr<TestDirectoryServer> server;
    dirtest::ScriptedMessageBoxes boxes;
    Model* model = nullptr;
    gc_ptr<ChildObserver> observer;
    gc_ptr<ChildObserver> progress;
    std::filesystem::path directory;
};

std::unique_ptr<TestDirectoryServer> PagedReadBackgroundServerTest::server;

TEST_F(PagedReadBackgroundServerTest, TheServersLimitDoesNotCutAPagedChildReadShort)
{
    // What a search of the user's gets without paging.
    std::string output;
    EXPECT_FALSE(server->runLdapsearch({"-D", TestDirectoryServer::readerDn(), "-w",
                                        TestDirectoryServer::readerPassword(), "-b", kBigDn, "-s", "one", "1.1"},
                                       output));
    EXPECT_EQ(TestDirectoryServer::ldifDns(output).size(), static_cast<std::size_t>(kServerLimit));

    ASSERT_EQ(model->connect(false), 0);
    EXPECT_TRUE(model->offersPagedResults());
    gc_ptr<LDAPEntry> big = readBig();
    ASSERT_NE(big.getObject(), nullptr);
    EXPECT_EQ(big->getChildren().size(), static_cast<std::size_t>(kChildren));
    EXPECT_EQ(std::set<std::wstring>(big->getChildren().begin(), big->getChildren().end()).size(),
              static_cast<std::size_t>(kChildren));
    EXPECT_TRUE(big->isChildrenComplete());
    EXPECT_FALSE(big->isCutShort());
    EXPECT_FALSE(model->isChildListCut(wide(kBigDn)));
    // The ends of the first pages are no messages of their own.
    EXPECT_EQ(progress->steps(), kChildren + 1);
    EXPECT_TRUE(boxes.boxes().empty());
    // Every child said it has nothing below it.
    ASSERT_EQ(observer->subordinates.size(), static_cast<std::size_t>(kChildren));
    for (Subordinates subordinates : observer->subordinates)
        EXPECT_EQ(subordinates, Subordinates::None);
}

TEST_F(PagedReadBackgroundServerTest, TheRecordLimitCapsTheWholeReadAndMarksItCutShort)
{
    ASSERT_EQ(model->connect(false), 0);
    model->setSizeLimit(700);
    gc_ptr<LDAPEntry> big = readBig();
    ASSERT_NE(big.getObject(), nullptr);
    EXPECT_EQ(big->getChildren().size(), 700u);
    EXPECT_TRUE(big->isCutShort());
    EXPECT_TRUE(model->isChildListCut(wide(kBigDn)));
    EXPECT_TRUE(boxes.boxes().empty());

    // A limit the server's pages reach exactly: the read is complete.
    progress->clear();
    model->setSizeLimit(kChildren);
    big = readBig();
    EXPECT_EQ(big->getChildren().size(), static_cast<std::size_t>(kChildren));
    EXPECT_FALSE(model->isChildListCut(wide(kBigDn)));
}

TEST_F(PagedReadBackgroundServerTest, SearchAndExportOfTheContainerGetEveryEntry)
{
    ASSERT_EQ(model->connect(false), 0);
    EXPECT_EQ(model->searchSubtree(wide(kBigDn), L"(objectclass=*)", {L"description"}), 0);
    ASSERT_TRUE(progress->waitFinished(1, std::chrono::seconds(120)));
    model->waitBackground();
    const std::vector<std::wstring> found = observer->found();
    EXPECT_EQ(found.size(), static_cast<std::size_t>(kChildren + 1));
    EXPECT_EQ(std::set<std::wstring>(found.begin(), found.end()).size(), found.size());

    progress->clear();
    const std::filesystem::path file = directory / "big.ldif";
    model->setLdifFileName(file.wstring());
    EXPECT_EQ(model->exportSubtree(wide(kBigDn), L"(objectclass=*)", {L"*"}), 0);
    ASSERT_TRUE(progress->waitFinished(1, std::chrono::seconds(120)));
    model->waitBackground();
    EXPECT_EQ(model->getLdifResult(), 0);
    EXPECT_TRUE(model->getLdifReport().isEmpty());
    int records = 0;
    ldapmodel::LDAPLdifFile(file.wstring()).readRecords([&](const std::string& record, const std::string&) {
        records += record.find("objectClass: device\n") != std::string::npos ? 1 : 0;
        return true;
    });
    EXPECT_EQ(records, kChildren);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(PagedReadBackgroundServerTest, TheTimeLimitCapsTheWholeReadAtTheEndOfAPage)
{
    // Pages of 50 taken 10 ms apart end every half second; each request is
    // quick, so only the whole read can pass the limit of one second.
    ldapmodel::Preferences preferences = model->getPreferences();
    preferences.resultPauseMilliseconds = 10;
    preferences.pageSize = 50;
    model->setPreferences(preferences);
    ASSERT_EQ(model->connect(false), 0);
    model->setTimeLimit(1);
    gc_ptr<LDAPEntry> big = readBig();
    ASSERT_NE(big.getObject(), nullptr);
    const std::size_t read = big->getChildren().size();
    EXPECT_GE(read, 100u);
    EXPECT_LE(read, 200u);
    EXPECT_EQ(read % 50, 0u);
    EXPECT_TRUE(big->isCutShort());
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(PagedReadBackgroundServerTest, AStopOnTheSecondPageKeepsWhatArrivedAndAbandonsTheSearch)
{
    ASSERT_EQ(model->connect(false), 0);
    const std::string logBefore = dirtest::readFile(server->directory() + "/slapd.log");
    progress->stopAt = 700;
    gc_ptr<LDAPEntry> big = readBig();
    ASSERT_NE(big.getObject(), nullptr);
    EXPECT_EQ(big->getChildren().size(), 700u);
    EXPECT_TRUE(model->isChildListCut(wide(kBigDn)));
    EXPECT_EQ(progress->finishedCount(), 1);

    // The server saw the abandon of the request of the second page.
    std::string log;
    for (int attempt = 0; attempt < 100 && log.find(" ABANDON ") == std::string::npos; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        log = dirtest::readFile(server->directory() + "/slapd.log").substr(logBefore.size());
    }
    EXPECT_NE(log.find(" ABANDON "), std::string::npos) << log;

    // The connection goes on: the next read is whole.
    progress->stopAt = 0;
    progress->clear();
    big = readBig();
    EXPECT_EQ(big->getChildren().size(), static_cast<std::size_t>(kChildren));
}

TEST_F(PagedReadBackgroundServerTest, SubtreeWalksCountAndReadTheWholeContainer)
{
    ASSERT_EQ(model->connect(false), 0);
    // The question before a subtree delete counts every entry.
    int below = 0;
    EXPECT_EQ(model->countSubtree(wide(kBigDn), below), 0);
    EXPECT_EQ(below, kChildren);

    // A copy reads the whole subtree before its first add, which this user
    // may not make.
    ASSERT_EQ(model->copySubtree(wide(kBigDn), wide(dirtest::sample::kPeopleDn)), 0);
    model->waitBackground();
    const ldapmodel::SubtreeOutcome outcome = model->takeSubtreeOutcome();
    EXPECT_EQ(outcome.end, ldapmodel::SubtreeOutcome::End::Failed);
    EXPECT_EQ(outcome.total, kChildren + 1);
    EXPECT_EQ(outcome.code, 50);
    EXPECT_EQ(outcome.failedDN, wide("ou=Big," + std::string(dirtest::sample::kPeopleDn)));

    // Without paging the count is the server's limit, and says so.
    ldapmodel::Preferences preferences = model->getPreferences();
    preferences.pageSize = 0;
    model->setPreferences(preferences);
    EXPECT_EQ(model->countSubtree(wide(kBigDn), below), 4);
    EXPECT_EQ(below, kServerLimit - 1);

    // A user the server lets not page gets its limit too.
    model->disconnect();
    model->setPreferences(ldapmodel::Preferences());
    bindAs(dirtest::sample::kUser02Dn, dirtest::sample::kUser02Password);
    ASSERT_EQ(model->connect(false), 0);
    EXPECT_EQ(model->countSubtree(wide(kBigDn), below), 4);
    EXPECT_EQ(below, kServerLimit - 1);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(PagedReadBackgroundServerTest, WithoutPagingTheServersLimitCutsTheReadShortAsBefore)
{
    // A user the server lets not page although it lists the control, then
    // paging switched off by the user: both get the server's limit, marked.
    bindAs(dirtest::sample::kUser02Dn, dirtest::sample::kUser02Password);
    ASSERT_EQ(model->connect(false), 0);
    EXPECT_TRUE(model->offersPagedResults());
    gc_ptr<LDAPEntry> big = readBig();
    ASSERT_NE(big.getObject(), nullptr);
    EXPECT_EQ(big->getChildren().size(), static_cast<std::size_t>(kServerLimit));
    EXPECT_TRUE(big->isCutShort());

    model->disconnect();
    bindAs(TestDirectoryServer::readerDn(), TestDirectoryServer::readerPassword());
    ldapmodel::Preferences preferences = model->getPreferences();
    preferences.pageSize = 0;
    model->setPreferences(preferences);
    ASSERT_EQ(model->connect(false), 0);
    progress->clear();
    big = readBig();
    ASSERT_NE(big.getObject(), nullptr);
    EXPECT_EQ(big->getChildren().size(), static_cast<std::size_t>(kServerLimit));
    EXPECT_TRUE(big->isCutShort());
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(PagedReadBackgroundServerTest, AServerThatIgnoresTheControlItListsIsReadAsOneSearchWithinTheLimit)
{
    // Lists paging in its root DSE, then sends every entry at once, without
    // a page response.
    dirtest::FakeDirectory fake;
    fake.setEntry("", {{"supportedControl", {"1.2.840.113556.1.4.319"}}});
    fake.setEntry(TestDirectoryServer::baseDn(), {{"objectClass", {"domain"}}});
    const std::string base = std::string("ou=Fake,") + TestDirectoryServer::baseDn();
    fake.setEntry(base, {{"objectClass", {"organizationalUnit"}}});
    for (int n = 0; n < 30; ++n)
        fake.setEntry("cn=child" + std::to_string(n) + "," + base, {{"objectClass", {"device"}}});
    model->setHost(L"127.0.0.1");
    model->setPort(fake.port());
    ldapmodel::Preferences preferences = model->getPreferences();
    preferences.pageSize = 10;
    model->setPreferences(preferences);
    ASSERT_EQ(model->connect(false), 0);
    boxes.clear();  // the fake has no schema to tell of
    EXPECT_TRUE(model->offersPagedResults());

    // All of them (the fake counts its base as one of them), complete.
    const std::wstring parent = wide(base);
    EXPECT_EQ(model->readChildren(parent), 0);
    ASSERT_TRUE(progress->waitFinished());
    model->waitBackground();
    EXPECT_EQ(observer->found().size(), 31u);
    EXPECT_FALSE(model->isChildListCut(parent));

    // More than the limit arrives: the read keeps to the limit and says so.
    model->setSizeLimit(20);
    progress->clear();
    observer->clear();
    EXPECT_EQ(model->readChildren(parent), 0);
    ASSERT_TRUE(progress->waitFinished());
    model->waitBackground();
    EXPECT_EQ(observer->found().size(), 20u);
    EXPECT_TRUE(model->isChildListCut(parent));
    EXPECT_TRUE(boxes.boxes().empty());
}

} // namespace
