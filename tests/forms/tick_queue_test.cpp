// TickQueue: due calls run one at a time in the order they came, never twice for one owner,
// and not at all once cancelled or once their owner is gone.
#include "tick_queue.h"

#include <QObject>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

using namespace zovex;

namespace {

class TickQueueTest : public ::testing::Test {
protected:
    void SetUp() override { drain(); }
    void TearDown() override { drain(); }
    static void drain()
    {
        while (TickQueue::instance().runOne()) {
        }
    }
    TickQueue& queue = TickQueue::instance();
    std::string log;
};

} // namespace

TEST_F(TickQueueTest, RunsOneWaitingCallAtATimeInTheOrderAsked)
{
    QObject a, b;
    queue.request(&a, [&] { log += 'a'; });
    queue.request(&b, [&] { log += 'b'; });
    queue.request(&a, [&] { log += 'A'; }); // a is already waiting: not added again
    EXPECT_EQ(queue.waiting(), 2u);
    EXPECT_TRUE(queue.isWaiting(&a));

    EXPECT_TRUE(queue.runOne());
    EXPECT_EQ(log, "a");
    EXPECT_FALSE(queue.isWaiting(&a));
    queue.request(&a, [&] { log += 'a'; }); // after its turn it may ask again, behind b
    EXPECT_TRUE(queue.runOne());
    EXPECT_TRUE(queue.runOne());
    EXPECT_EQ(log, "aba");
    EXPECT_FALSE(queue.runOne());
}

TEST_F(TickQueueTest, CancelledCallsAndCallsOfDestroyedOwnersDoNotRun)
{
    QObject a;
    auto b = std::make_unique<QObject>();
    QObject c;
    queue.request(&a, [&] { log += 'a'; });
    queue.request(b.get(), [&] { log += 'b'; });
    queue.request(&c, [&] { log += 'c'; });
    queue.cancel(&a);
    b.reset();
    EXPECT_TRUE(queue.runOne());
    EXPECT_EQ(log, "c");
    EXPECT_FALSE(queue.runOne());
}

TEST_F(TickQueueTest, AFailingCallIsAbandonedAlone)
{
    QObject a, b;
    queue.request(&a, [] { throw std::runtime_error("tick failed"); });
    queue.request(&b, [&] { log += 'b'; });
    EXPECT_TRUE(queue.runOne());
    EXPECT_TRUE(queue.runOne());
    EXPECT_EQ(log, "b");
}
