// The stall watchdog with samples written by the test in place of range
// transfers. Each case runs a few one-second judgement cycles.
#include "net/speed_watchdog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/signal.h"
#include "startup/my_lock.h"

namespace net {
namespace {

// Feeds `per_second` samples of `speed` a second, spread over the second, for
// `seconds` (0 per second: no samples at all) while the watchdog runs;
// returns whether it stalled.
bool RunWith(int window, int limit, int seconds, int64_t speed, int per_second) {
  ResetTransferWatch();
  platform::Signal ranges_started;
  ranges_started.Set();
  platform::Signal finished;
  std::atomic<bool> stalled{false};
  std::thread watchdog([&] {
    stalled = RunStallWatchdog({window, limit, 1024}, ranges_started.Handle(), finished.Handle());
  });
  const int steps = per_second > 0 ? per_second : 1;
  for (int step = 0; step < seconds * steps && !stalled; ++step) {
    if (per_second > 0) {
      startup::ScopedLock lock(startup::DownloadLock());
      AddSpeedSampleLocked(speed);
    }
    ::Sleep(1000 / steps);
  }
  finished.Set();
  watchdog.join();
  EXPECT_EQ(IsStalled(), stalled.load());
  return stalled;
}

TEST(StallWatchdogTest, SilenceCountsEvenBeforeTheFirstSamples) {
  // Nothing ever arrives: after more than `limit` silent seconds the flag is set.
  EXPECT_TRUE(RunWith(3, 1, 4, 0, 0));
}

// The size probe and the pre-sizing of the file send nothing through the
// ranges: that time is not silence.
TEST(StallWatchdogTest, NothingCountsBeforeTheRangesStart) {
  ResetTransferWatch();
  platform::Signal ranges_started;
  platform::Signal finished;
  std::atomic<bool> stalled{false};
  std::thread watchdog([&] {
    stalled = RunStallWatchdog({1, 1, 1024}, ranges_started.Handle(), finished.Handle());
  });
  ::Sleep(3500);
  EXPECT_FALSE(stalled.load());
  ranges_started.Set();  // from now on silence counts
  for (int i = 0; i < 50 && !stalled; ++i) ::Sleep(100);
  finished.Set();
  watchdog.join();
  EXPECT_TRUE(stalled.load());
  ResetTransferWatch();
}

TEST(StallWatchdogTest, AverageOfTheNewestSamplesDecides) {
  EXPECT_FALSE(RunWith(2, 1, 4, 1024, 4));  // exactly the floor resets the count
  EXPECT_TRUE(RunWith(2, 1, 5, 1023, 4));   // one below it does not
}

TEST(StallWatchdogTest, KeepsTheSampleListBounded) {
  // A window wider than the trimmed list (a caller asking for thousands of
  // connections) must not make the trim reach before the list's start.
  for (const int window : {4, 5000}) {
    ResetTransferWatch();
    platform::Signal ranges_started;
    ranges_started.Set();
    platform::Signal finished;
    std::thread watchdog([&] {
      (void)RunStallWatchdog({window, 120, 1024}, ranges_started.Handle(), finished.Handle());
    });
    {
      startup::ScopedLock lock(startup::DownloadLock());
      for (int i = 0; i < 2000; ++i) AddSpeedSampleLocked(100000);
    }
    ::Sleep(1500);
    EXPECT_LE(SpeedSampleCount(), 1000u) << window;
    finished.Set();
    watchdog.join();
    EXPECT_FALSE(IsStalled()) << window;
  }
  ResetTransferWatch();
}

}  // namespace
}  // namespace net
