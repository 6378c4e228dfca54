// Background children read and subtree search on the worker thread.

#include "ldapmodel/support/ModelTestSupport.h"
#include "model/Model.h"
#include "records/LDAPEntry.h"
#include "support/FrozenServer.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

using dirtest::FrozenServer;
using dirtest::TestDirectoryServer;
using ldapmodel::LDAPEntry;
using ldapmodel::Model;
using memorylib::gc_ptr;
using modeltest::RecordingObserver;
using modeltest::serverDns;
using modeltest::wide;
namespace sample = dirtest::sample;

namespace {

std::vector<std::wstring> sorted(std::vector<std::wstring> values)
{
    std::sort(values.begin(), values.end());
    return values;
}

class ModelBackgroundServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        modeltest::mainObserver();
        model = &Model::instance();
        model->disconnect();
        modeltest::pointAtServer(*model, TestDirectoryServer::shared());
        ASSERT_EQ(model->connect(false), 0);
        tree = new RecordingObserver();
        search = new RecordingObserver();
        progress = new RecordingObserver();
        model->setTreeObserver(tree);
        model->setSearchObserver(search);
        model->setProgressObserver(progress);
        boxes.clear();
    }
    void TearDown() override
    {
        model->waitBackground();
        model->disconnect();
        model->setTreeObserver(gc_ptr<ldapmodel::ModelObserver>());
        model->setSearchObserver(gc_ptr<ldapmodel::ModelObserver>());
        model->setProgressObserver(gc_ptr<ldapmodel::ModelObserver>());
        model->waitBackground();  // drops the retired observers
    }

    void expectIdle()
    {
        EXPECT_FALSE(model->isRunning());
        EXPECT_FALSE(model->isStopRequested());
        EXPECT_EQ(model->getProgressCount(), 0);
        EXPECT_EQ(model->getCurrentDN(), L"");
        EXPECT_EQ(model->getBackgroundState().getMessageId(), 0);
        EXPECT_EQ(model->getBackgroundState().getBaseDN(), L"");
    }

    dirtest::ScriptedMessageBoxes boxes;
    Model* model = nullptr;
    gc_ptr<RecordingObserver> tree;
    gc_ptr<RecordingObserver> search;
    gc_ptr<RecordingObserver> progress;
};

TEST_F(ModelBackgroundServerTest, ChildrenArriveThroughTheObserversOnTheWorker)
{
    const std::wstring people = wide(sample::kPeopleDn);
    EXPECT_EQ(model->readChildren(people), 0);
    ASSERT_TRUE(progress->waitFinished());
    model->waitBackground();

    const std::size_t count = sample::kPeopleChildCount;
    std::vector<std::wstring> found = tree->found();
    EXPECT_EQ(found.size(), count);
    EXPECT_EQ(sorted(found),
              sorted(serverDns(TestDirectoryServer::shared(), sample::kPeopleDn, "one")));
    // One step per message: the entries and the final result, counted up.
    std::vector<int> counts = progress->stepCounts();
    ASSERT_EQ(counts.size(), count + 1);
    for (std::size_t i = 0; i < counts.size(); ++i)
        EXPECT_EQ(counts[i], static_cast<int>(i + 1));
    EXPECT_EQ(progress->finishedCount(), 1);
    EXPECT_EQ(progress->progressAtFinish(), static_cast<int>(count + 1));
    EXPECT_TRUE(search->found().empty());
    EXPECT_TRUE(tree->stepCounts().empty());

    for (std::thread::id id : tree->callbackThreads())
        EXPECT_NE(id, std::this_thread::get_id());
    for (std::thread::id id : progress->callbackThreads())
        EXPECT_NE(id, std::this_thread::get_id());

    gc_ptr<LDAPEntry> parent = model->findCachedEntry(people);
    ASSERT_NE(parent.getObject(), nullptr);
    EXPECT_EQ(parent->getChildren(), found);
    EXPECT_TRUE(parent->isChildrenComplete());
    EXPECT_FALSE(parent->isCutShort());
    expectIdle();
    EXPECT_TRUE(boxes.boxes().empty());

    // A second read replaces the list instead of doubling it.
    progress->clear();
    EXPECT_EQ(model->readChildren(people), 0);
    ASSERT_TRUE(progress->waitFinished());
    model->waitBackground();
    EXPECT_EQ(parent->getChildren().size(), count);
}

TEST_F(ModelBackgroundServerTest, SizeLimitedChildReadMarksTheParentCutShort)
{
    model->setSizeLimit(5);
    const std::wstring people = wide(sample::kPeopleDn);
    EXPECT_EQ(model->readChildren(people), 0);
    ASSERT_TRUE(progress->waitFinished());
    model->waitBackground();
    EXPECT_EQ(tree->found().size(), 5u);
    gc_ptr<LDAPEntry> parent = model->findCachedEntry(people);
    ASSERT_NE(parent.getObject(), nullptr);
    EXPECT_TRUE(parent->isCutShort());
    EXPECT_EQ(parent->getChildren(), tree->found());
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ModelBackgroundServerTest, ParentIsReadOnTheWorkerWhenNotCached)
{
    const std::wstring groups = wide(sample::kGroupsDn);
    ASSERT_EQ(model->findCachedEntry(groups).getObject(), nullptr);
    EXPECT_EQ(model->readChildren(groups), 0);
    ASSERT_TRUE(progress->waitFinished());
    model->waitBackground();
    gc_ptr<LDAPEntry> parent = model->findCachedEntry(groups);
    ASSERT_NE(parent.getObject(), nullptr);
    EXPECT_FALSE(parent->isOld());
    EXPECT_EQ(parent->getChildren().size(), static_cast<std::size_t>(sample::kGroupsChildCount));
}

TEST_F(ModelBackgroundServerTest, SecondRequestWhileRunningOnlyStopsTheFirst)
{
    const std::wstring people = wide(sample::kPeopleDn);
    EXPECT_EQ(model->readChildren(people), 0);
    ASSERT_TRUE(progress->waitSteps(3));
    EXPECT_TRUE(model->isRunning());
    EXPECT_EQ(model->readChildren(wide(sample::kGroupsDn)), 0);
    ASSERT_TRUE(progress->waitFinished());
    model->waitBackground();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    EXPECT_EQ(progress->finishedCount(), 1);
    std::vector<std::wstring> found = tree->found();
    EXPECT_LT(found.size(), static_cast<std::size_t>(sample::kPeopleChildCount));
    // Nothing of the second request was started.
    for (const std::wstring& dn : found)
        EXPECT_NE(dn.find(L"ou=People"), std::wstring::npos) << std::string(dn.begin(), dn.end());
    EXPECT_EQ(model->findCachedEntry(wide(sample::kGroupsDn)).getObject(), nullptr);
    gc_ptr<LDAPEntry> parent = model->findCachedEntry(people);
    ASSERT_NE(parent.getObject(), nullptr);
    EXPECT_EQ(parent->getChildren(), found);
    EXPECT_FALSE(parent->isChildrenComplete());
    expectIdle();

    // The session is still good for the next run.
    progress->clear();
    tree->clear();
    EXPECT_EQ(model->readChildren(wide(sample::kGroupsDn)), 0);
    ASSERT_TRUE(progress->waitFinished());
    model->waitBackground();
    EXPECT_EQ(tree->found().size(), static_cast<std::size_t>(sample::kGroupsChildCount));
}

TEST_F(ModelBackgroundServerTest, StopBeforeTheFirstResultLeavesTheCountAtZero)
{
    const std::wstring people = wide(sample::kPeopleDn);
    ASSERT_NE(model->getEntry(people).getObject(), nullptr);
    {
        FrozenServer frozen(TestDirectoryServer::shared());
        ASSERT_TRUE(frozen.frozen());
        EXPECT_EQ(model->readChildren(people), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_TRUE(model->isRunning());
        model->requestStop();
        EXPECT_EQ(model->stopBackground(), 0);  // the worker's ldap_abandon
        EXPECT_EQ(progress->finishedCount(), 1);
        EXPECT_EQ(progress->progressAtFinish(), 0);
        EXPECT_EQ(progress->steps(), 0);
        EXPECT_TRUE(tree->found().empty());
        expectIdle();
    }
    // The abandoned search leaves the connection usable.
    EXPECT_TRUE(model->entryExists(people));
    progress->clear();
    EXPECT_EQ(model->readChildren(people), 0);
    ASSERT_TRUE(progress->waitFinished());
    model->waitBackground();
    EXPECT_EQ(tree->found().size(), static_cast<std::size_t>(sample::kPeopleChildCount));
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ModelBackgroundServerTest, StopDuringTheReadKeepsWhatArrived)
{
    const std::wstring people = wide(sample::kPeopleDn);
    EXPECT_EQ(model->readChildren(people), 0);
    ASSERT_TRUE(progress->waitSteps(5));
    model->requestStop();
    EXPECT_EQ(model->stopBackground(), 0);
    EXPECT_EQ(progress->finishedCount(), 1);
    std::vector<std::wstring> found = tree->found();
    EXPECT_GE(found.size(), 4u);
    EXPECT_LT(found.size(), static_cast<std::size_t>(sample::kPeopleChildCount));
    EXPECT_EQ(model->findCachedEntry(people)->getChildren(), found);
    expectIdle();
    // Stopping again with nothing running does nothing.
    EXPECT_EQ(model->stopBackground(), 0);
}

TEST_F(ModelBackgroundServerTest, ServerDyingDuringTheReadEndsTheRun)
{
    TestDirectoryServer& server = TestDirectoryServer::shared();
    const std::wstring people = wide(sample::kPeopleDn);
    ASSERT_NE(model->getEntry(people).getObject(), nullptr);
    {
        FrozenServer frozen(TestDirectoryServer::shared());
        ASSERT_TRUE(frozen.frozen());
        EXPECT_EQ(model->readChildren(people), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        server.kill();
    }
    ASSERT_TRUE(progress->waitFinished(1, std::chrono::seconds(10)));
    model->waitBackground();
    EXPECT_EQ(progress->finishedCount(), 1);
    EXPECT_TRUE(tree->found().empty());
    expectIdle();
    EXPECT_TRUE(boxes.boxes().empty());

    // Back up: a new connect works and so does the next read.
    ASSERT_TRUE(server.start()) << server.lastError();
    modeltest::pointAtServer(*model, server);
    ASSERT_EQ(model->connect(false), 0);
    progress->clear();
    EXPECT_EQ(model->readChildren(people), 0);
    ASSERT_TRUE(progress->waitFinished());
    model->waitBackground();
    EXPECT_EQ(tree->found().size(), static_cast<std::size_t>(sample::kPeopleChildCount));
}

TEST_F(ModelBackgroundServerTest, ReadWithoutAConnectionStillFinishes)
{
    model->disconnect();
    EXPECT_EQ(model->readChildren(wide(sample::kPeopleDn)), -1);
    ASSERT_TRUE(progress->waitFinished());
    model->waitBackground();
    EXPECT_EQ(progress->steps(), 0);
    EXPECT_TRUE(tree->found().empty());
    EXPECT_TRUE(boxes.boxes().empty());
    expectIdle();
}

TEST_F(ModelBackgroundServerTest, SubtreeSearchReportsToTheSearchObserver)
{
    const std::wstring dept = wide(sample::kDeptDn);
    EXPECT_EQ(model->searchSubtree(dept, L"(objectclass=device)", {L"description"}), 0);
    ASSERT_TRUE(progress->waitFinished());
    model->waitBackground();
    const std::wstring tail = L"," + dept;
    EXPECT_EQ(sorted(search->found()),
              sorted({L"cn=alpha,ou=Sub" + tail, L"cn=beta,ou=Sub" + tail, L"cn=gamma,ou=Deep,ou=Sub" + tail,
                      L"cn=printer" + tail}));
    EXPECT_TRUE(tree->found().empty());
    // One step before the loop, then one per message (four entries, the result).
    EXPECT_EQ(progress->stepCounts(), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(progress->finishedCount(), 1);
    // The base entry went into the cache; the entries found did not.
    EXPECT_NE(model->findCachedEntry(dept).getObject(), nullptr);
    EXPECT_EQ(model->findCachedEntry(L"cn=printer" + tail).getObject(), nullptr);
    expectIdle();
}

TEST_F(ModelBackgroundServerTest, SubtreeSearchStartFailureIsReportedAndFinishes)
{
    EXPECT_EQ(model->searchSubtree(wide(sample::kDeptDn), L"(((", {L"description"}), 87);
    ASSERT_TRUE(progress->waitFinished());
    model->waitBackground();
    auto shown = boxes.boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, L"LDAP Message");
    EXPECT_EQ(shown[0].text.rfind(L"Bad search filter. LDAPError 87: Bad search filter", 0), 0u);
    EXPECT_EQ(progress->stepCounts(), (std::vector<int>{0}));
    EXPECT_TRUE(search->found().empty());
    expectIdle();
}

TEST_F(ModelBackgroundServerTest, SearchSizeLimitBoundsTheResults)
{
    model->setSizeLimit(10);
    EXPECT_EQ(model->searchSubtree(wide(sample::kBaseDn), L"(objectclass=*)", {L"description"}), 0);
    ASSERT_TRUE(progress->waitFinished());
    model->waitBackground();
    EXPECT_EQ(search->found().size(), 10u);
}

TEST_F(ModelBackgroundServerTest, ReplacedObserverStaysAliveUntilTheWorkerIsJoined)
{
    EXPECT_EQ(model->readChildren(wide(sample::kPeopleDn)), 0);
    ASSERT_TRUE(progress->waitSteps(2));
    gc_ptr<RecordingObserver> replacement = new RecordingObserver();
    // The worker may still be calling the old observer, whose last handle
    // outside the model goes now.
    model->setProgressObserver(replacement);
    progress = gc_ptr<RecordingObserver>();
    ASSERT_TRUE(replacement->waitFinished());
    model->waitBackground();
    EXPECT_EQ(replacement->finishedCount(), 1);
    EXPECT_GT(replacement->steps(), 0);
}

} // namespace
