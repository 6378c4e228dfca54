#include "handles/gc_ptr.h"

#include <gtest/gtest.h>

namespace {

using memorylib::gc_ptr;
using memorylib::RefCount;

class Tracked : public RefCount {
public:
    explicit Tracked(int* deletions) : m_pDeletions(deletions) {}
    ~Tracked() override { ++*m_pDeletions; }
    gc_ptr<Tracked> m_partner;

private:
    int* m_pDeletions;
};

class Derived : public Tracked {
public:
    using Tracked::Tracked;
};

TEST(GcPtrTest, CountsSharesAndDeletesOnce)
{
    int deletions = 0;
    auto* object = new Tracked(&deletions);
    EXPECT_EQ(object->getRefCount(), 0);
    {
        gc_ptr<Tracked> first(object);
        EXPECT_EQ(object->getRefCount(), 1);
        {
            gc_ptr<Tracked> second(first);
            EXPECT_EQ(object->getRefCount(), 2);
            EXPECT_EQ(second.getObject(), object);
        }
        EXPECT_EQ(object->getRefCount(), 1);
        EXPECT_EQ(deletions, 0);
    }
    EXPECT_EQ(deletions, 1);
}

TEST(GcPtrTest, SelfAssignmentKeepsObjectAndCount)
{
    int deletions = 0;
    gc_ptr<Tracked> handle(new Tracked(&deletions));
    gc_ptr<Tracked>& alias = handle;
    handle = alias;
    EXPECT_EQ(deletions, 0);
    EXPECT_EQ(handle->getRefCount(), 1);
    handle = handle.getObject();
    EXPECT_EQ(deletions, 0);
    EXPECT_EQ(handle->getRefCount(), 1);
}

TEST(GcPtrTest, AssigningNullToOnlyHandleDeletes)
{
    int deletions = 0;
    gc_ptr<Tracked> handle(new Tracked(&deletions));
    handle = nullptr;
    EXPECT_EQ(deletions, 1);
    EXPECT_EQ(handle.getObject(), nullptr);
}

TEST(GcPtrTest, ReassignmentReleasesPreviousObject)
{
    int deletionsA = 0;
    int deletionsB = 0;
    gc_ptr<Tracked> handle(new Tracked(&deletionsA));
    gc_ptr<Tracked> other(new Tracked(&deletionsB));
    handle = other;
    EXPECT_EQ(deletionsA, 1);
    EXPECT_EQ(deletionsB, 0);
    EXPECT_EQ(other->getRefCount(), 2);
}

TEST(GcPtrTest, EmptyHandleGivesNull)
{
    gc_ptr<Tracked> empty;
    EXPECT_EQ(empty.getObject(), nullptr);
    EXPECT_EQ(empty.get(), nullptr);
    gc_ptr<Tracked> fromNull(nullptr);
    EXPECT_EQ(fromNull.getObject(), nullptr);
    EXPECT_TRUE(empty == fromNull);
}

TEST(GcPtrTest, DerivedConvertsToBaseAndShares)
{
    int deletions = 0;
    gc_ptr<Derived> derived(new Derived(&deletions));
    {
        gc_ptr<Tracked> base(derived);
        EXPECT_EQ(base->getRefCount(), 2);
        gc_ptr<RefCount> root(base);
        EXPECT_EQ(root->getRefCount(), 3);
    }
    EXPECT_EQ(derived->getRefCount(), 1);
    derived = nullptr;
    EXPECT_EQ(deletions, 1);
}

TEST(GcPtrTest, HandleDestroyedPolymorphically)
{
    int deletions = 0;
    auto* heldHandle = new gc_ptr<Tracked>(new Tracked(&deletions));
    delete heldHandle;
    EXPECT_EQ(deletions, 1);
}

TEST(GcPtrTest, CycleIsNeverFreed)
{
    int deletions = 0;
    auto* a = new Tracked(&deletions);
    auto* b = new Tracked(&deletions);
    {
        gc_ptr<Tracked> handleA(a);
        gc_ptr<Tracked> handleB(b);
        a->m_partner = handleB;
        b->m_partner = handleA;
    }
    EXPECT_EQ(deletions, 0);
    EXPECT_EQ(a->getRefCount(), 1);
    EXPECT_EQ(b->getRefCount(), 1);
    // Break the cycle by hand so the test leaves nothing behind.
    gc_ptr<Tracked> keepA(a);
    b->m_partner = nullptr;
    a->m_partner = nullptr;
    EXPECT_EQ(deletions, 1);
    keepA = nullptr;
    EXPECT_EQ(deletions, 2);
}

TEST(GcPtrTest, RawPointerNeverHandledIsNotFreed)
{
    int deletions = 0;
    auto* object = new Tracked(&deletions);
    EXPECT_EQ(object->getRefCount(), 0);
    EXPECT_EQ(deletions, 0);
    delete object;
    EXPECT_EQ(deletions, 1);
}

} // namespace
