#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "lib/ready_queue.h"
#include "lib/start_gate.h"

namespace quorlind {
namespace {

TEST(ReadyQueue, ReceiveBlocksUntilAReportArrives) {
    auto [sender, receiver] = make_ready_queue();
    // A reference of its own: clang 14, which clang-tidy uses, cannot capture a structured binding.
    std::thread late([&late_sender = sender] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        late_sender.send(InitReport::failed("late"));
    });
    const auto received = receiver.receive();
    late.join();
    ASSERT_TRUE(received);
    EXPECT_EQ(received->failure, "late");
}

TEST(ReadyQueue, DisconnectsOnlyOnceEverySenderIsGoneAndTheQueueIsEmpty) {
    auto [sender, receiver] = make_ready_queue();
    {
        ReadySender second = sender;
        sender.release();
        second.send(InitReport::success());
    }
    const auto first = receiver.receive();
    ASSERT_TRUE(first);
    EXPECT_FALSE(first->failure);
    EXPECT_FALSE(receiver.receive());
    EXPECT_FALSE(receiver.receive());
}

TEST(ReadyQueue, SendFailsWithoutBlockingOnceTheReceiverIsGone) {
    auto [sender, receiver] = make_ready_queue();
    EXPECT_TRUE(sender.send(InitReport::success()));
    receiver.release();
    EXPECT_FALSE(sender.send(InitReport::success()));
}

TEST(ReadyQueue, AcceptsReportsFromManySendersInAnyOrder) {
    auto [sender, receiver] = make_ready_queue();
    constexpr int senders = 8;
    std::vector<std::thread> threads;
    threads.reserve(senders);
    for (int i = 0; i < senders; ++i) {
        threads.emplace_back([copy = ReadySender(sender), i]() mutable {
            // Later indices report first.
            std::this_thread::sleep_for(std::chrono::milliseconds(5 * (senders - i)));
            copy.send(InitReport::failed(std::to_string(i)));
            copy.release();
        });
    }
    sender.release();
    std::vector<std::string> order;
    while (auto report = receiver.receive()) {
        order.push_back(*report->failure);
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(order.size(), static_cast<std::size_t>(senders));
}

TEST(StartGate, OpeningReleasesEveryWaiter) {
    StartGate gate;
    std::atomic<int> passed{0};
    std::vector<std::thread> waiters;
    waiters.reserve(6);
    for (int i = 0; i < 6; ++i) {
        waiters.emplace_back([&] {
            gate.wait();
            ++passed;
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(passed.load(), 0);
    gate.open();
    for (auto& waiter : waiters) {
        waiter.join();
    }
    EXPECT_EQ(passed.load(), 6);
    gate.wait();  // an open gate never holds anyone again
}

}  // namespace
}  // namespace quorlind
