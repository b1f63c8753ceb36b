#include "base/message_queue.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace comvorlix {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

double ThreadCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Each test runs on a thread of its own, so every test starts with a fresh,
// empty queue and leftovers of one test cannot reach another.
template <typename Body>
void OnFreshThread(Body body) {
  std::thread t(body);
  t.join();
}

TEST(MessageQueueTest, RunsMessagesInPostingOrderOnTheOwningThread) {
  OnFreshThread([] {
    auto& queue = CurrentThreadQueue();
    std::vector<int> seen;
    auto self = std::this_thread::get_id();
    bool all_on_owner = true;
    for (int i = 0; i < 100; ++i) {
      queue.Post([&, i] {
        seen.push_back(i);
        all_on_owner = all_on_owner && std::this_thread::get_id() == self;
      });
    }
    EXPECT_TRUE(seen.empty());  // nothing runs before the owner processes
    queue.ProcessPendingMessages();
    ASSERT_EQ(seen.size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(seen[i], i);
    EXPECT_TRUE(all_on_owner);
    EXPECT_FALSE(queue.HasPendingMessages());
  });
}

TEST(MessageQueueTest, MessagesFromAnotherThreadArriveInOrderAndRunOnTheOwner) {
  OnFreshThread([] {
    auto poster = CurrentThreadPoster();
    auto owner = std::this_thread::get_id();
    std::vector<int> seen;
    bool all_on_owner = true;
    constexpr int kCount = 5000;
    std::thread sender([&] {
      for (int i = 0; i < kCount; ++i) {
        EXPECT_TRUE(poster->Post([&, i] {
          seen.push_back(i);
          all_on_owner = all_on_owner && std::this_thread::get_id() == owner;
        }));
      }
    });
    auto& queue = CurrentThreadQueue();
    auto limit = Clock::now() + std::chrono::seconds(20);
    while (seen.size() < static_cast<size_t>(kCount) && Clock::now() < limit) {
      queue.WaitForMessage(milliseconds(1000));
      queue.ProcessPendingMessages();
    }
    sender.join();
    ASSERT_EQ(seen.size(), static_cast<size_t>(kCount));
    for (int i = 0; i < kCount; ++i) ASSERT_EQ(seen[i], i);
    EXPECT_TRUE(all_on_owner);
  });
}

TEST(MessageQueueTest, WaitSleepsWithoutCpuUntilAPostWakesIt) {
  OnFreshThread([] {
    auto poster = CurrentThreadPoster();
    std::thread sender([poster] {
      std::this_thread::sleep_for(milliseconds(300));
      poster->Post([] {});
    });
    double cpu_before = ThreadCpuSeconds();
    auto start = Clock::now();
    CurrentThreadQueue().WaitForMessage();
    auto waited = Clock::now() - start;
    double cpu = ThreadCpuSeconds() - cpu_before;
    sender.join();
    EXPECT_GE(waited, milliseconds(250));
    EXPECT_LT(waited, milliseconds(3000));
    EXPECT_LT(cpu, 0.05) << "the wait must sleep, not poll";
    EXPECT_TRUE(CurrentThreadQueue().HasPendingMessages());
  });
}

TEST(MessageQueueTest, TimedWaitReportsWhetherAMessageIsPending) {
  OnFreshThread([] {
    auto& queue = CurrentThreadQueue();
    auto start = Clock::now();
    EXPECT_FALSE(queue.WaitForMessage(milliseconds(150)));
    EXPECT_GE(Clock::now() - start, milliseconds(140));
    queue.Post([] {});
    start = Clock::now();
    EXPECT_TRUE(queue.WaitForMessage(milliseconds(5000)));
    EXPECT_LT(Clock::now() - start, milliseconds(1000));
    // Waiting does not consume the message.
    EXPECT_TRUE(queue.WaitForMessage(milliseconds(0)));
  });
}

TEST(MessageQueueTest, PostingToAThreadThatHasEndedIsDropped) {
  std::shared_ptr<MessagePoster> poster;
  OnFreshThread([&] { poster = CurrentThreadPoster(); });
  auto payload = std::make_shared<int>(7);
  bool ran = false;
  EXPECT_FALSE(poster->Post([payload, &ran] { ran = true; }));
  EXPECT_FALSE(ran);
  EXPECT_EQ(payload.use_count(), 1) << "a dropped message is destroyed at once";
}

TEST(MessageQueueTest, MessagesLeftWhenTheThreadEndsAreDiscardedWithoutRunning) {
  auto payload = std::make_shared<int>(7);
  std::atomic<bool> ran{false};
  OnFreshThread([&] { CurrentThreadQueue().Post([payload, &ran] { ran = true; }); });
  EXPECT_FALSE(ran);
  EXPECT_EQ(payload.use_count(), 1);
}

TEST(MessageQueueTest, AMessagePostedWhileProcessingRunsInALaterCall) {
  OnFreshThread([] {
    auto& queue = CurrentThreadQueue();
    std::vector<std::string> seen;
    queue.Post([&] {
      seen.push_back("first");
      queue.Post([&] { seen.push_back("posted by first"); });
    });
    queue.Post([&] { seen.push_back("second"); });
    queue.ProcessPendingMessages();
    EXPECT_EQ(seen, (std::vector<std::string>{"first", "second"}));
    queue.ProcessPendingMessages();
    EXPECT_EQ(seen, (std::vector<std::string>{"first", "second", "posted by first"}));
  });
}

TEST(MessageQueueTest, AMessageThatRepostsItselfDoesNotHoldProcessingForever) {
  OnFreshThread([] {
    auto& queue = CurrentThreadQueue();
    int runs = 0;
    std::function<void()> again = [&] {
      ++runs;
      queue.Post(again);
    };
    queue.Post(again);
    queue.ProcessPendingMessages();
    EXPECT_EQ(runs, 1);
    queue.ProcessPendingMessages();
    EXPECT_EQ(runs, 2);
  });
}

TEST(MessageQueueTest, NestedProcessingKeepsTheOrder) {
  OnFreshThread([] {
    auto& queue = CurrentThreadQueue();
    std::vector<std::string> seen;
    queue.Post([&] {
      seen.push_back("A begins");
      queue.ProcessPendingMessages();
      seen.push_back("A ends");
    });
    queue.Post([&] { seen.push_back("B"); });
    queue.Post([&] { seen.push_back("C"); });
    queue.ProcessPendingMessages();
    EXPECT_EQ(seen, (std::vector<std::string>{"A begins", "B", "C", "A ends"}));
    EXPECT_FALSE(queue.HasPendingMessages());
  });
}

TEST(MessageQueueTest, AThrowingMessageLeavesTheRestQueued) {
  OnFreshThread([] {
    auto& queue = CurrentThreadQueue();
    std::vector<int> seen;
    queue.Post([&] { seen.push_back(1); });
    queue.Post([] { throw std::runtime_error("boom"); });
    queue.Post([&] { seen.push_back(3); });
    EXPECT_THROW(queue.ProcessPendingMessages(), std::runtime_error);
    EXPECT_EQ(seen, (std::vector<int>{1}));
    EXPECT_TRUE(queue.HasPendingMessages());
    queue.ProcessPendingMessages();
    EXPECT_EQ(seen, (std::vector<int>{1, 3}));
  });
}

TEST(MessageQueueTest, EachThreadHasItsOwnQueue) {
  OnFreshThread([] {
    ThreadMessageQueue* mine = &CurrentThreadQueue();
    ThreadMessageQueue* other = nullptr;
    std::thread([&] { other = &CurrentThreadQueue(); }).join();
    EXPECT_NE(mine, other);
    EXPECT_EQ(mine, &CurrentThreadQueue());
  });
}

}  // namespace
}  // namespace comvorlix
