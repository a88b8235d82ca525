#include "platform/qt/thread_calls.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

namespace ombrelo {
namespace {

void EnsureApplication() {
  static int argc = 1;
  static char name[] = "thread_calls_test";
  static char* argv[] = {name, nullptr};
  if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}

TEST(ThreadCalls, CallsFromManyThreadsRunOnTheOwnersThreadEachThreadsInOrder) {
  EnsureApplication();
  constexpr int kThreads = 4;
  constexpr int kEach = 2000;
  ThreadCalls calls;
  std::vector<std::vector<int>> seen(kThreads);
  int ran = 0;
  bool offThread = false;
  QEventLoop loop;
  const auto owner = std::this_thread::get_id();
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        calls.Post([&, t, i] {
          offThread = offThread || std::this_thread::get_id() != owner;
          seen[static_cast<size_t>(t)].push_back(i);
          if (++ran == kThreads * kEach) loop.quit();
        });
      }
    });
  }
  QTimer::singleShot(20000, &loop, &QEventLoop::quit);  // a lost wake-up fails, not hangs
  loop.exec();
  for (std::thread& poster : posters) poster.join();
  EXPECT_EQ(ran, kThreads * kEach);
  EXPECT_FALSE(offThread);
  for (const std::vector<int>& one : seen) {
    ASSERT_EQ(one.size(), static_cast<size_t>(kEach));
    for (int i = 0; i < kEach; ++i) ASSERT_EQ(one[static_cast<size_t>(i)], i);
  }
}

TEST(ThreadCalls, ACallThatWaitsInAnEventLoopKeepsTheOrderAndPendingCallsDieUnrun) {
  EnsureApplication();
  std::vector<std::string> order;
  auto held = std::make_shared<int>(0);
  {
    ThreadCalls calls;
    QEventLoop loop;
    calls.Post([&] {
      order.push_back("first begins");
      // A later call runs while this one waits, as under a modal box.
      QEventLoop inner;
      calls.Post([&] {
        order.push_back("second");
        inner.quit();
      });
      inner.exec();
      order.push_back("first ends");
      loop.quit();
    });
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
    std::thread([&calls, held] { calls.Post([held] { *held = 1; }); }).join();
  }  // gone before its last call was run
  EXPECT_EQ(order, (std::vector<std::string>{"first begins", "second", "first ends"}));
  EXPECT_EQ(*held, 0);
  EXPECT_EQ(held.use_count(), 1) << "the dropped call's captures are released";
}

}  // namespace
}  // namespace ombrelo
