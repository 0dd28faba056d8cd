// The stall watchdog of one transfer watch, with samples written by the test
// in place of range transfers. Each case runs a few one-second judgement
// cycles.
#include "net/transfer_watch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/signal.h"

namespace net {
namespace {

// Feeds `per_second` samples of `speed` a second, spread over the second, for
// `seconds` (0 per second: no samples at all) while the watchdog runs;
// returns whether it stalled.
bool RunWith(int window, int limit, int seconds, int64_t speed, int per_second) {
  TransferWatch watch;
  platform::Signal ranges_started;
  ranges_started.Set();
  platform::Signal finished;
  std::atomic<bool> stalled{false};
  std::thread watchdog([&] {
    stalled = watch.Watch({window, limit, 1024}, ranges_started.Handle(), finished.Handle());
  });
  const int steps = per_second > 0 ? per_second : 1;
  for (int step = 0; step < seconds * steps && !stalled; ++step) {
    if (per_second > 0) watch.AddSample(speed);
    ::Sleep(1000 / steps);
  }
  finished.Set();
  watchdog.join();
  EXPECT_EQ(watch.IsStalled(), stalled.load());
  return stalled;
}

TEST(StallWatchdogTest, SilenceCountsEvenBeforeTheFirstSamples) {
  // Nothing ever arrives: after more than `limit` silent seconds the flag is set.
  EXPECT_TRUE(RunWith(3, 1, 4, 0, 0));
}

// The size probe and the pre-sizing of the file send nothing through the
// ranges: that time is not silence.
TEST(StallWatchdogTest, NothingCountsBeforeTheRangesStart) {
  TransferWatch watch;
  platform::Signal ranges_started;
  platform::Signal finished;
  std::atomic<bool> stalled{false};
  std::thread watchdog([&] { stalled = watch.Watch({1, 1, 1024}, ranges_started.Handle(), finished.Handle()); });
  ::Sleep(3500);
  EXPECT_FALSE(stalled.load());
  ranges_started.Set();  // from now on silence counts
  for (int i = 0; i < 50 && !stalled; ++i) ::Sleep(100);
  finished.Set();
  watchdog.join();
  EXPECT_TRUE(stalled.load());
  EXPECT_TRUE(watch.IsStalled());
}

TEST(StallWatchdogTest, AverageOfTheNewestSamplesDecides) {
  EXPECT_FALSE(RunWith(2, 1, 4, 1024, 4));  // exactly the floor resets the count
  EXPECT_TRUE(RunWith(2, 1, 5, 1023, 4));   // one below it does not
}

TEST(StallWatchdogTest, KeepsTheSampleListBounded) {
  // A window wider than the trimmed list (a caller asking for thousands of
  // connections) must not make the trim reach before the list's start.
  for (const int window : {4, 5000}) {
    TransferWatch watch;
    platform::Signal ranges_started;
    ranges_started.Set();
    platform::Signal finished;
    std::thread watchdog([&] { (void)watch.Watch({window, 120, 1024}, ranges_started.Handle(), finished.Handle()); });
    for (int i = 0; i < 2000; ++i) watch.AddSample(100000);
    ::Sleep(1500);
    EXPECT_LE(watch.SampleCount(), 1000u) << window;
    finished.Set();
    watchdog.join();
    EXPECT_FALSE(watch.IsStalled()) << window;
  }
}

// Two watches at once: one stalls, the other is not touched by it.
TEST(StallWatchdogTest, AStallStaysWithItsOwnWatch) {
  TransferWatch silent;
  TransferWatch busy;
  platform::Signal ranges_started;
  ranges_started.Set();
  platform::Signal finished;
  std::atomic<bool> silent_stalled{false};
  std::atomic<bool> busy_stalled{false};
  std::thread silent_watchdog([&] {
    silent_stalled = silent.Watch({1, 1, 1024}, ranges_started.Handle(), finished.Handle());
  });
  std::thread busy_watchdog([&] {
    busy_stalled = busy.Watch({1, 1, 1024}, ranges_started.Handle(), finished.Handle());
  });
  for (int i = 0; i < 40 && !silent_stalled; ++i) {
    busy.AddSample(100000);
    ::Sleep(100);
  }
  finished.Set();
  silent_watchdog.join();
  busy_watchdog.join();
  EXPECT_TRUE(silent.IsStalled());
  EXPECT_FALSE(busy.IsStalled());
  EXPECT_EQ(silent.SampleCount(), 0u);
}

}  // namespace
}  // namespace net
