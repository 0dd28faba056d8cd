#include "platform/message_pump.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/signal.h"
#include "test_support.h"

namespace {

using platform::WaitOutcome;

constexpr UINT kPing = WM_APP + 1;

TEST(MessagePumpTest, DispatchesMessagesWhileWaitingAndWakesOnSignal) {
  test_support::CountingWindow pings(kPing);
  ASSERT_NE(pings.hwnd(), nullptr);
  HWND window = pings.hwnd();
  platform::Signal done;
  std::thread worker([&] {
    for (int i = 0; i < 5; ++i) {
      ::PostMessageW(window, kPing, 0, 0);
      ::Sleep(20);
    }
    done.Set();
  });
  EXPECT_EQ(done.WaitPumping(10000), WaitOutcome::Signalled);
  worker.join();
  EXPECT_TRUE(platform::DispatchPendingMessages());
  EXPECT_EQ(pings.count(), 5);
}

TEST(MessagePumpTest, QuitIsReportedAndPostedAgainNotSwallowed) {
  platform::Signal never;
  EXPECT_FALSE(platform::QuitRequestPending());
  ::PostQuitMessage(42);
  EXPECT_TRUE(platform::QuitRequestPending());
  EXPECT_EQ(never.WaitPumping(5000), WaitOutcome::Closing);
  // Looking leaves it in the queue for the outer loop.
  EXPECT_TRUE(platform::QuitRequestPending());
  MSG message;
  ASSERT_TRUE(::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 42u);
  EXPECT_FALSE(platform::QuitRequestPending());
}

TEST(MessagePumpTest, TimesOutWithoutSignalAndWithNullHandle) {
  platform::Signal never;
  EXPECT_EQ(never.WaitPumping(100), WaitOutcome::TimedOut);
  EXPECT_EQ(platform::WaitWithMessages(nullptr, 50), WaitOutcome::TimedOut);
}

TEST(MessagePumpTest, SignalOnExitSetsOnEveryPath) {
  platform::Signal done;
  std::thread([&] {
    platform::SignalOnExit guard(done);
    return;  // an early return still reports "done"
  }).join();
  EXPECT_TRUE(done.IsSet());
  EXPECT_EQ(done.WaitPumping(0), WaitOutcome::Signalled);
}

bool g_pre_translated = false;
bool SwallowPing(MSG& message) {
  if (message.message != kPing) return false;
  g_pre_translated = true;
  return true;
}

TEST(MessagePumpTest, PreTranslatorSeesMessagesFirst) {
  test_support::CountingWindow pings(kPing);
  g_pre_translated = false;
  platform::SetMessagePreTranslator(SwallowPing);
  pings.Post();
  EXPECT_TRUE(platform::DispatchPendingMessages());
  platform::SetMessagePreTranslator(nullptr);
  EXPECT_TRUE(g_pre_translated);
  EXPECT_EQ(pings.count(), 0);
}

}  // namespace
