// The timers controls run on their window: one native id per running
// timer, taken back when it ends, so an animation can tick for days.
#include <gtest/gtest.h>

#include "skin_test_support.h"
#include "toolkit/control.h"
#include "toolkit/control_timers.h"
#include "toolkit/gdi_owners.h"
#include "toolkit/window_messages.h"

namespace {

// Asks for its next tick from each tick, as an animation does.
class Ticker : public toolkit::Control {
 public:
  explicit Ticker(toolkit::ControlTimers& timers) : Control(L"Control"), timers_(timers) {}
  void OnTimer(UINT id) override {
    ++ticks;
    EXPECT_TRUE(timers_.Set(this, id, 10));
  }
  int ticks = 0;

 private:
  toolkit::ControlTimers& timers_;
};

class ControlTimersTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(window_, nullptr); }
  // A message-only window owns the timers.
  const toolkit::UniqueWindow owner_{
      ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ::GetModuleHandleW(nullptr), nullptr)};
  const HWND window_ = owner_.Get();
};

TEST_F(ControlTimersTest, AnimationsTickingForDaysKeepReusingTheirTimerIds) {
  toolkit::ControlTimers timers(window_, toolkit::kFirstControlTimer, toolkit::kLastControlTimer);
  Ticker a(timers), b(timers);
  ASSERT_TRUE(timers.Set(&a, 1, 10));
  ASSERT_TRUE(timers.Set(&b, 1, 10));
  const UINT first = timers.NativeId(&a, 1);
  const UINT second = timers.NativeId(&b, 1);
  EXPECT_EQ(first, toolkit::kFirstControlTimer);
  EXPECT_EQ(second, toolkit::kFirstControlTimer + 1);
  // A day of a 20 ms animation is over four million ticks, more than the
  // range holds: the ids must not creep upwards with the ticks.
  const int kTicks = 20000;
  for (int i = 0; i < kTicks; ++i) {
    Ticker& ticker = i % 2 == 0 ? a : b;
    const UINT native = timers.NativeId(&ticker, 1);
    ASSERT_TRUE(native == first || native == second) << "tick " << i << " ran on id " << native;
    ASSERT_TRUE(timers.Fire(native));
  }
  EXPECT_EQ(a.ticks + b.ticks, kTicks);
  EXPECT_EQ(timers.running(), 2u);
  // An ended timer's tick is not one of these any more, and its id is free again.
  timers.KillAll(&a);
  EXPECT_FALSE(timers.Fire(first));
  EXPECT_EQ(timers.running(), 1u);
  Ticker c(timers);
  ASSERT_TRUE(timers.Set(&c, 7, 10));
  EXPECT_EQ(timers.NativeId(&c, 7), first);
  // Restarting a running timer keeps its id.
  ASSERT_TRUE(timers.Set(&c, 7, 20));
  EXPECT_EQ(timers.NativeId(&c, 7), first);
  EXPECT_EQ(timers.running(), 2u);
}

TEST_F(ControlTimersTest, AFullRangeRefusesAndSaysSo) {
  toolkit_test::LogCapture log;
  toolkit::ControlTimers timers(window_, toolkit::kFirstControlTimer, toolkit::kFirstControlTimer + 1);
  Ticker a(timers);
  EXPECT_TRUE(timers.Set(&a, 1, 10));
  EXPECT_TRUE(timers.Set(&a, 2, 10));
  EXPECT_FALSE(timers.Set(&a, 3, 10));
  EXPECT_TRUE(log.Contains(L"all 2 timer ids of the window are in use"));
  timers.Kill(&a, 1);
  EXPECT_TRUE(timers.Set(&a, 3, 10));
}

}  // namespace
