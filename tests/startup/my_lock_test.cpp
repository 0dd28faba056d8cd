#include "startup/my_lock.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

TEST(MutexTest, ExcludesOtherThreadsAndUsesASystemMutex) {
  startup::Mutex lock;
  EXPECT_TRUE(lock.UsesSystemMutex());
  long long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        startup::ScopedLock guard(lock);
        const long long seen = counter;
        if (i % 1000 == 0) ::Sleep(0);  // invite a race if the lock were broken
        counter = seen + 1;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(counter, 80000);
}

TEST(MutexTest, HoldingTheLogLockNeverBlocksAnotherLock) {
  startup::Mutex download;  // as each download's transfer watch holds one
  EXPECT_NE(&startup::LogLock(), static_cast<startup::IMyLock*>(&download));
  startup::ScopedLock log(startup::LogLock());
  bool entered = false;
  std::thread([&] {
    startup::ScopedLock guard(download);
    entered = true;
  }).join();
  EXPECT_TRUE(entered);
}

}  // namespace
