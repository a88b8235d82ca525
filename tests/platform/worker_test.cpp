#include "platform/sync.h"
#include "platform/worker.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
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

}  // namespace
}  // namespace ombrelo
