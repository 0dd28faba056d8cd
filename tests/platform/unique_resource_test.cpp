#include "platform/unique_resource.h"

#include <gtest/gtest.h>

namespace {

int g_closed = 0;

struct CountingTraits {
  using Handle = int;
  static Handle Null() { return 0; }
  static bool IsValid(Handle h) { return h != 0; }
  static void Close(Handle) { ++g_closed; }
};
using Counted = platform::UniqueResource<CountingTraits>;

TEST(UniqueResourceTest, ClosesExactlyOnceAcrossMovesResetsAndRelease) {
  g_closed = 0;
  {
    Counted a(5);
    Counted b(std::move(a));
    EXPECT_FALSE(a.IsValid());
    EXPECT_EQ(b.Get(), 5);
    Counted c(7);
    c = std::move(b);  // closes 7
    EXPECT_EQ(g_closed, 1);
    c.Reset(9);  // closes 5
    EXPECT_EQ(g_closed, 2);
    const int released = c.Release();
    EXPECT_EQ(released, 9);
    EXPECT_FALSE(c.IsValid());
  }
  EXPECT_EQ(g_closed, 2);  // released handles are the caller's
}

TEST(UniqueResourceTest, KernelHandleTreatsInvalidHandleValueAsNone) {
  platform::UniqueHandle none(INVALID_HANDLE_VALUE);
  EXPECT_FALSE(none.IsValid());
  platform::UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  EXPECT_TRUE(event.IsValid());
  HANDLE raw = event.Get();
  event.Reset();
  EXPECT_FALSE(::SetEvent(raw));  // the handle was really closed
}

}  // namespace
