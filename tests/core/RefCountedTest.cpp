#include "core/RefCounted.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

// A counted record that reports its destruction and may own another one.
struct Node : RefCountedObject {
    explicit Node(int& destroyed) : destroyed(destroyed) {}
    ~Node() override { ++destroyed; }
    int& destroyed;
    TPtr<Node> child;
};

TEST(TPtr, CountsReferencesAndDestroysWithTheLast)
{
    int destroyed = 0;
    auto* node = new Node(destroyed);
    EXPECT_EQ(node->RefCount(), 0) << "not owned until a pointer takes it";
    TPtr<Node> first;
    first = node;
    first = node;
    EXPECT_EQ(node->RefCount(), 1) << "assigning the held pointer changes nothing";
    {
        TPtr<Node> second = first;
        TPtr<Node> third;
        third = second;
        EXPECT_EQ(node->RefCount(), 3);
        TPtr<Node> moved = std::move(third);
        EXPECT_FALSE(third);
        EXPECT_EQ(node->RefCount(), 3);
    }
    EXPECT_EQ(destroyed, 0) << "survives the release of the other holders";
    first = nullptr;
    EXPECT_FALSE(first);
    EXPECT_EQ(destroyed, 1) << "destroyed at once by the last release";
}

TEST(TPtr, AssignmentTakesTheNewReferenceBeforeDroppingTheOld)
{
    // The new object is reachable only through the old one: dropping the old
    // reference first would destroy the new object before it is taken.
    int destroyedParents = 0;
    int destroyedChildren = 0;
    TPtr<Node> p = new Node(destroyedParents);
    p->child = new Node(destroyedChildren);
    p = p->child.get();
    EXPECT_EQ(destroyedParents, 1);
    EXPECT_EQ(destroyedChildren, 0);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->RefCount(), 1);

    // The same through a reference to a pointer inside the old object.
    p->child = new Node(destroyedChildren);
    p = p->child;
    EXPECT_EQ(destroyedChildren, 1);
    EXPECT_EQ(p->RefCount(), 1);

    // And a move from inside the old object.
    p->child = new Node(destroyedChildren);
    p = std::move(p->child);
    EXPECT_EQ(destroyedChildren, 2);
    EXPECT_EQ(p->RefCount(), 1);
    p = nullptr;
    EXPECT_EQ(destroyedChildren, 3);
}

TEST(TPtr, CountsStayExactWhenThreadsShareAnObject)
{
    int destroyed = 0;
    TPtr<Node> shared = new Node(destroyed);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&shared] {
            const TPtr<Node> mine = shared; // each thread copies under no lock of ours
            for (int i = 0; i < 20000; ++i) {
                TPtr<Node> copy = mine;
                TPtr<Node> other;
                other = copy;
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(shared->RefCount(), 1);
    EXPECT_EQ(destroyed, 0);
    shared = nullptr;
    EXPECT_EQ(destroyed, 1);
}

} // namespace
