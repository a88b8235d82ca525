#include "platform/sync.h"
#include "platform/worker.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <thread>
#include <vector>

namespace ombrelo {
namespace {

int ThisThreadsNiceness() { return ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid())); }

TEST(Worker, RunsJobsInOrderOnAThreadBehindTheWindowAndFinishesThemAtTheEnd) {
  std::vector<int> ran;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  int niceness = -100;
  std::thread::id thread;
  {
    Worker worker("test worker");
    worker.Post([&] {
      niceness = ThisThreadsNiceness();
      thread = std::this_thread::get_id();
      released.wait();
    });
    for (int i = 1; i <= 3; ++i) worker.Post([&ran, i] { ran.push_back(i); });
    release.set_value();
  }  // the jobs still queued run before the worker is gone
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
  EXPECT_NE(thread, std::this_thread::get_id());
  EXPECT_EQ(niceness, std::max(ThisThreadsNiceness(), WorkerNice().load()));
}

TEST(Worker, GiversOnManyThreadsKeepTheirOrderAndABoundedGiverWaitsForTheWorker) {
  constexpr int kGivers = 3;
  constexpr int kEach = 3000;
  constexpr size_t kMost = 2;
  std::vector<std::vector<int>> ran(kGivers);  // the worker's only
  std::atomic<uint32_t> waitingMost{0};
  std::atomic<uint32_t> bounded{0};  // given and not yet run, as the giver sees it
  {
    Worker worker("test worker");
    std::vector<std::thread> givers;
    for (int g = 0; g < kGivers; ++g) {
      givers.emplace_back([&, g] {
        for (int i = 0; i < kEach; ++i) {
          auto job = [&, g, i] { ran[static_cast<size_t>(g)].push_back(i); };
          if (g != 0) {
            worker.Post(job);
            continue;
          }
          // One giver is bounded: it is never more than kMost ahead.
          const uint32_t now = bounded.fetch_add(1) + 1;
          uint32_t most = waitingMost.load();
          while (now > most && !waitingMost.compare_exchange_weak(most, now)) {
          }
          ASSERT_TRUE(worker.PostBounded(
              [&, job] {
                bounded.fetch_sub(1);
                job();
              },
              kMost));
        }
      });
    }
    for (std::thread& giver : givers) giver.join();
  }  // everything given runs before the worker is gone
  for (const std::vector<int>& one : ran) {
    ASSERT_EQ(one.size(), static_cast<size_t>(kEach));
    for (int i = 0; i < kEach; ++i) ASSERT_EQ(one[static_cast<size_t>(i)], i);
  }
  // kMost waiting, the one in hand, and the one counted before its post waits.
  EXPECT_LE(waitingMost.load(), kMost + 2);
}

TEST(Worker, AWorkerThatDropsItsQueueRunsOnlyTheJobInHandAtTheEnd) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::promise<void> begun;
  int ran = 0;
  {
    Worker worker("test worker", Worker::AtEnd::dropQueued);
    worker.Post([&] {
      begun.set_value();
      released.wait();
      ++ran;
    });
    for (int i = 0; i < 5; ++i) worker.Post([&] { ++ran; });
    begun.get_future().wait();
    std::thread([&] { release.set_value(); }).detach();
  }
  EXPECT_EQ(ran, 1);
}

}  // namespace
}  // namespace ombrelo
