// The operation queue on its own: order of adds and inserts, taking off the
// package that was sent wherever it now stands, and waiting for it to empty.
#include <gtest/gtest.h>

#include <thread>

#include "OperationQueue.h"

using zelk::OperationQueue;

namespace {

Package Command(int value)
{
    return ZELKMachineCodeBuild::GetPackage(137, {{1, value}});
}

std::vector<int> Values(const std::vector<Package>& packages)
{
    std::vector<int> values;
    for (const Package& p : packages)
        values.push_back(p.Payload()[1]);
    return values;
}

}  // namespace

TEST(OperationQueue, AddAppendsInOrderAndInsertGoesInFrontInOrder)
{
    OperationQueue queue;
    EXPECT_TRUE(queue.Empty());
    EXPECT_FALSE(queue.Front().has_value());
    queue.Add({Command(1), Command(2)});
    queue.Insert({Command(7), Command(8)});
    queue.Add({Command(3)});
    queue.Insert({Command(9)});
    EXPECT_EQ(Values(queue.Packages()), (std::vector<int>{9, 7, 8, 1, 2, 3}));
    ASSERT_TRUE(queue.Front().has_value());
    EXPECT_EQ(queue.Front()->package, Command(9));
}

TEST(OperationQueue, RemoveTakesOffTheSentPackageWhereverItNowStands)
{
    OperationQueue queue;
    queue.Add({Command(1), Command(1), Command(2)});
    // The worker sends the first package; meanwhile two go in front of it.
    const OperationQueue::Entry sent = *queue.Front();
    queue.Insert({Command(5), Command(6)});
    queue.Remove(sent.id);
    // The equal package behind it stays: the id, not the bytes, picks it.
    EXPECT_EQ(Values(queue.Packages()), (std::vector<int>{5, 6, 1, 2}));

    // Emptied while its reply was awaited: the removal finds nothing and
    // takes nothing queued since.
    const OperationQueue::Entry next = *queue.Front();
    queue.Clear();
    queue.Add({Command(5)});
    queue.Remove(next.id);
    EXPECT_EQ(Values(queue.Packages()), (std::vector<int>{5}));
}

TEST(OperationQueue, EveryQueuedPackageGetsAnIdOfItsOwn)
{
    OperationQueue queue;
    queue.Add({Command(1)});
    const std::uint64_t first = queue.Front()->id;
    queue.Insert({Command(1)});
    const std::uint64_t second = queue.Front()->id;
    EXPECT_NE(first, second);
    queue.Remove(first);
    ASSERT_TRUE(queue.Front().has_value());
    EXPECT_EQ(queue.Front()->id, second);
}

TEST(OperationQueue, WaitUntilEmptyWakesWhenTheLastPackageLeaves)
{
    OperationQueue queue;
    EXPECT_TRUE(queue.WaitUntilEmpty(0));
    queue.Add({Command(1), Command(2)});
    EXPECT_FALSE(queue.WaitUntilEmpty(10));

    // Another thread takes the packages off one by one, as the worker does.
    std::thread worker([&] {
        while (auto front = queue.Front())
            queue.Remove(front->id);
    });
    EXPECT_TRUE(queue.WaitUntilEmpty(10000));
    worker.join();
    EXPECT_TRUE(queue.Empty());
}

TEST(OperationQueue, ClearWakesAWaiter)
{
    OperationQueue queue;
    queue.Add({Command(1)});
    bool emptied = false;
    std::thread waiter([&] { emptied = queue.WaitUntilEmpty(10000); });
    queue.Clear();
    waiter.join();
    EXPECT_TRUE(emptied);
}
