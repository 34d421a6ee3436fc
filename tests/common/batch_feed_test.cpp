// The hand-over of batches between two threads: every batch in order, no
// more in flight than the bound, a failure of the filling passed on, and no
// thread left waiting once the other side gives up.
#include "common/batch_feed.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <new>
#include <thread>
#include <vector>

#include "common/batch_queue.h"
#include "common/joined_thread.h"

namespace vorn2shp {
namespace {

// Counts up to `last`, a few numbers a batch, and records how many batches
// were out of the feed's hands at most.
struct Counter {
    int next = 0;
    int last = 0;
    int failAt = -1;  // throws std::bad_alloc once it reaches this number
};

bool fillSome(Counter& counter, std::vector<int>& batch) {
    batch.clear();
    for (int i = 0; i < 3 && counter.next <= counter.last; ++i) {
        if (counter.next == counter.failAt) {
            throw std::bad_alloc();
        }
        batch.push_back(counter.next++);
    }
    return counter.next <= counter.last;
}

TEST(BatchFeed, HandsOverEveryBatchInOrderAndGivesTheSourceBack) {
    BatchFeed<Counter, std::vector<int>> feed(Counter{0, 999}, 4, fillSome);
    std::vector<int> seen;
    std::vector<int> batch;
    while (feed.next(batch)) {
        seen.insert(seen.end(), batch.begin(), batch.end());
        feed.recycle(std::move(batch));
    }
    const Counter counter = feed.finish();
    ASSERT_EQ(seen.size(), 1000u);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(seen[static_cast<std::size_t>(i)], i);
    }
    EXPECT_EQ(counter.next, 1000);
}

TEST(BatchFeed, PassesOnWhatTheFillingThrew) {
    BatchFeed<Counter, std::vector<int>> feed(Counter{0, 999, 500}, 4, fillSome);
    std::vector<int> batch;
    int last = -1;
    while (feed.next(batch)) {
        last = batch.empty() ? last : batch.back();
        feed.recycle(std::move(batch));
    }
    EXPECT_LT(last, 500);
    EXPECT_THROW(feed.finish(), std::bad_alloc);
}

// A caller that stops taking batches half way: the filling thread, waiting
// for a spare batch, is released, and the feed ends.
TEST(BatchFeed, EndsWhenTheCallerStopsHalfWay) {
    std::vector<int> batch;
    {
        BatchFeed<Counter, std::vector<int>> feed(Counter{0, 1'000'000}, 2, fillSome);
        ASSERT_TRUE(feed.next(batch));
        EXPECT_EQ(batch.front(), 0);
        EXPECT_LT(feed.finish().next, 1'000'000);
    }
}

TEST(BatchQueue, HoldsNoMoreThanItsBoundAndAbandoningReleasesBothSides) {
    BatchQueue<int> queue(2);
    std::atomic<int> pushed{0};
    bool refused = false;
    JoinedThread producer([&] {
        for (int i = 0; i < 5; ++i) {
            if (!queue.push(int{i})) {
                refused = true;
                return;
            }
            ++pushed;
        }
    });
    // The producer fills the two places and then waits for room.
    for (int wait = 0; pushed < 2 && wait < 2000; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(pushed, 2);
    int value = -1;
    ASSERT_TRUE(queue.pop(value));
    EXPECT_EQ(value, 0);
    queue.abandon();
    producer.join();
    EXPECT_TRUE(refused);
    EXPECT_FALSE(queue.pop(value));

    // A consumer waiting on an empty queue is released as well.
    BatchQueue<int> empty(1);
    bool popped = true;
    JoinedThread consumer([&] {
        int v = 0;
        popped = empty.pop(v);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    empty.abandon();
    consumer.join();
    EXPECT_FALSE(popped);
}

TEST(JoinedThread, ThrowsWhatItsWorkThrewAtJoin) {
    JoinedThread thread([] { throw std::bad_alloc(); });
    EXPECT_THROW(thread.join(), std::bad_alloc);
    JoinedThread none;
    EXPECT_FALSE(none.started());
}

}  // namespace
}  // namespace vorn2shp
