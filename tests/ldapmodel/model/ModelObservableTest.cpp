#include "model/ModelObservable.h"
#include "model/ModelObserver.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using ldapmodel::ModelObservable;
using ldapmodel::ModelObserver;
using memorylib::gc_ptr;

namespace {

// Counts every call; answers step with a chosen value.
class CountingObserver : public ModelObserver {
public:
    explicit CountingObserver(std::vector<int>* destroyed = nullptr, int id = 0)
        : m_pDestroyed(destroyed), m_iId(id)
    {
    }
    ~CountingObserver() override
    {
        if (m_pDestroyed != nullptr)
            m_pDestroyed->push_back(m_iId);
    }
    void updateFromModel(int kind) override { kinds.push_back(kind); }
    void entryFound() override { ++found; }
    void finished() override { ++finishedCalls; }
    bool step() override
    {
        ++steps;
        return stepAnswer;
    }

    std::vector<int> kinds;
    int found = 0;
    int finishedCalls = 0;
    int steps = 0;
    bool stepAnswer = true;

private:
    std::vector<int>* m_pDestroyed;
    int m_iId;
};

// Implements the one required operation only.
class MinimalObserver : public ModelObserver {
public:
    void updateFromModel(int kind) override { last = kind; }
    int last = -1;
};

class TestObservable : public ModelObservable {
public:
    using ModelObservable::releaseRetiredObservers;
};

} // namespace

TEST(ModelObserverTest, DefaultsOfTheOptionalOperations)
{
    gc_ptr<MinimalObserver> observer = new MinimalObserver();
    ModelObserver& base = *observer;
    base.entryFound();
    base.finished();
    EXPECT_TRUE(base.step());
    EXPECT_FALSE(base.query());
    base.updateFromModel(3);
    EXPECT_EQ(observer->last, 3);
}

TEST(ModelObservableTest, NullObserverLeavesTheListUnchanged)
{
    gc_ptr<TestObservable> observable = new TestObservable();
    observable->addObserver(gc_ptr<ModelObserver>());
    EXPECT_EQ(observable->getObserverCount(), 0u);
    observable->notify(0);  // nobody to tell, nothing happens

    gc_ptr<CountingObserver> first = new CountingObserver();
    observable->addObserver(first);
    observable->addObserver(gc_ptr<ModelObserver>());
    EXPECT_EQ(observable->getObserverCount(), 1u);
}

TEST(ModelObservableTest, OnlyTheFirstObserverIsNotified)
{
    gc_ptr<TestObservable> observable = new TestObservable();
    gc_ptr<CountingObserver> first = new CountingObserver();
    gc_ptr<CountingObserver> second = new CountingObserver();
    observable->addObserver(first);
    observable->addObserver(second);

    observable->notify(3);
    observable->notify(2);
    observable->notify(7);  // passed on whatever the kind

    EXPECT_EQ(first->kinds, (std::vector<int>{3, 2, 7}));
    EXPECT_TRUE(second->kinds.empty());
}

TEST(ModelObservableTest, SlotsReachTheirOwnOperations)
{
    gc_ptr<TestObservable> observable = new TestObservable();
    gc_ptr<CountingObserver> tree = new CountingObserver();
    gc_ptr<CountingObserver> search = new CountingObserver();
    gc_ptr<CountingObserver> progress = new CountingObserver();
    observable->setTreeObserver(tree);
    observable->setSearchObserver(search);
    observable->setProgressObserver(progress);

    observable->treeEntryFound();
    observable->treeEntryFound();
    observable->searchEntryFound();
    progress->stepAnswer = false;
    EXPECT_FALSE(observable->progressStep());
    observable->progressFinished();

    EXPECT_EQ(tree->found, 2);
    EXPECT_EQ(tree->steps + tree->finishedCalls, 0);
    EXPECT_EQ(search->found, 1);
    EXPECT_EQ(progress->steps, 1);
    EXPECT_EQ(progress->finishedCalls, 1);
    EXPECT_EQ(progress->found, 0);
    // Slots are not list members.
    observable->notify(0);
    EXPECT_TRUE(tree->kinds.empty());
    EXPECT_TRUE(progress->kinds.empty());
    EXPECT_EQ(observable->getTreeObserver(), gc_ptr<ModelObserver>(tree));
    EXPECT_EQ(observable->getSearchObserver(), gc_ptr<ModelObserver>(search));
    EXPECT_EQ(observable->getProgressObserver(), gc_ptr<ModelObserver>(progress));
}

TEST(ModelObservableTest, EmptySlotsDoNothing)
{
    gc_ptr<TestObservable> observable = new TestObservable();
    observable->treeEntryFound();
    observable->searchEntryFound();
    observable->progressFinished();
    EXPECT_TRUE(observable->progressStep());
}

TEST(ModelObservableTest, ReplacedSlotObserverLivesUntilReleased)
{
    std::vector<int> destroyed;
    gc_ptr<TestObservable> observable = new TestObservable();
    observable->setProgressObserver(new CountingObserver(&destroyed, 1));
    observable->setProgressObserver(new CountingObserver(&destroyed, 2));
    // A worker may still be calling the first one.
    EXPECT_TRUE(destroyed.empty());
    observable->releaseRetiredObservers();
    EXPECT_EQ(destroyed, (std::vector<int>{1}));
    // Setting the same observer again retires nothing.
    gc_ptr<ModelObserver> current = observable->getProgressObserver();
    observable->setProgressObserver(current);
    current = gc_ptr<ModelObserver>();
    observable->releaseRetiredObservers();
    EXPECT_EQ(destroyed, (std::vector<int>{1}));
    observable = gc_ptr<TestObservable>();
    EXPECT_EQ(destroyed, (std::vector<int>{1, 2}));
}

TEST(ModelObservableTest, SlotsCanBeCalledFromAnotherThread)
{
    gc_ptr<TestObservable> observable = new TestObservable();
    gc_ptr<CountingObserver> tree = new CountingObserver();
    observable->setTreeObserver(tree);
    TestObservable* raw = observable.getObject();
    std::thread worker([raw] {
        for (int i = 0; i < 100; ++i)
            raw->treeEntryFound();
    });
    // Meanwhile this thread swaps other slots.
    for (int i = 0; i < 100; ++i)
        observable->setSearchObserver(new CountingObserver());
    worker.join();
    observable->releaseRetiredObservers();
    EXPECT_EQ(tree->found, 100);
}
