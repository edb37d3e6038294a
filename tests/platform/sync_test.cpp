#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <vector>
#include "platform/sync.h"

namespace {

// Locked before any constructor of this file could run, as a lock of
// static storage may be.
platform::Mutex g_early;
const bool g_earlyLocked = [] {
  std::lock_guard<platform::Mutex> l(g_early);
  return true;
}();

TEST(Sync, ThreadsShareCountsUnderTheLockAndHandOverByCondition) {
  EXPECT_TRUE(g_earlyLocked);
  EXPECT_GE(platform::ProcessorCount(), 1u);

  platform::Mutex lock;
  platform::CondVar changed;
  long count = 0;
  int turn = 0;  // threads take turns 1, 2, ..., kThreads, then 0 again
  const int kThreads = 4, kRounds = 20000;
  std::vector<int> order;
  std::vector<std::unique_ptr<platform::Thread>> threads;
  for (int i = 1; i <= kThreads; ++i) {
    threads.emplace_back(new platform::Thread);
    ASSERT_TRUE(threads.back()->Start([&, i] {
      for (int r = 0; r < kRounds; ++r) {
        std::lock_guard<platform::Mutex> l(lock);
        ++count;
      }
      std::lock_guard<platform::Mutex> l(lock);
      changed.Wait(lock, [&] { return turn == i; });
      order.push_back(i);
      turn = i == kThreads ? 0 : i + 1;
      changed.NotifyAll();
    }));
  }
  {
    std::lock_guard<platform::Mutex> l(lock);
    turn = 1;
    changed.NotifyAll();
    changed.Wait(lock, [&] { return turn == 0; });
  }
  for (auto& t : threads) t->Join();
  EXPECT_EQ(count, static_cast<long>(kThreads) * kRounds);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));

  // Joining again, or a thread never started, is nothing; one object runs
  // one thread.
  platform::Thread idle;
  idle.Join();
  threads[0]->Join();
  platform::Thread once;
  bool ran = false;
  ASSERT_TRUE(once.Start([&] { ran = true; }));
  EXPECT_FALSE(once.Start([] {}));
  once.Join();
  EXPECT_TRUE(ran);
}

}  // namespace
