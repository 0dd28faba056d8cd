// The system's HTTP stack as the version-file fetch and the connection check
// use it: loaded from System32, and every handle closed by its owner.
#include "platform/internet_library.h"

#include <gtest/gtest.h>

namespace {

TEST(InternetLibraryTest, OpensOwnedHandlesAndRefusesWhatCannotBeOpened) {
  const platform::InternetLibrary inet;
  ASSERT_TRUE(inet.IsUsable());
  platform::InternetHandle session = inet.Open(L"test-agent");
  ASSERT_TRUE(session);
  inet.SetTimeouts(session.get(), 2000);
  // Not a URL WinINet can open: no request, and nothing to close.
  EXPECT_FALSE(inet.OpenUrl(session.get(), L"not a url", 0));
  // Nobody listens on port 1 of loopback.
  EXPECT_FALSE(inet.CheckConnection("http://127.0.0.1:1/"));
  session.reset();  // closed here, once
  EXPECT_FALSE(session);
}

}  // namespace
