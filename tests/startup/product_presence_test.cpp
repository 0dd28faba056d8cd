#include "startup/product_presence.h"

#include <gtest/gtest.h>

#include <optional>

#include "platform/system_paths.h"
#include "platform/text.h"
#include "startup/log.h"
#include "test_support.h"

namespace {

using platform::RegistryView;
using test_support::BackgroundProcess;
using test_support::TempFolder;
using test_support::TestRegistryKey;

// A copy of the fake product under a name no other process has.
class FakeProduct {
 public:
  explicit FakeProduct(const std::wstring& arguments) {
    name_ = test_support::UniqueName(L"Product_") + L".exe";
    const std::wstring source = test_support::PathFromEnvironment("WEBINSTALLER_FIXTURE_DIR") + L"\\fake_product.exe";
    copied_ = test_support::CopyOneFile(source, folder_.File(name_));
    process_ = std::make_unique<BackgroundProcess>(folder_.File(name_), arguments);
  }
  [[nodiscard]] const std::wstring& name() const { return name_; }
  [[nodiscard]] bool ok() const { return copied_ && process_->IsRunning(); }
  [[nodiscard]] const BackgroundProcess& process() const { return *process_; }

  // Waits until the product's window exists (it is created after start).
  [[nodiscard]] bool WaitForWindow(const std::wstring& caption) const {
    for (int i = 0; i < 100; ++i) {
      if (::FindWindowW(nullptr, caption.c_str()) != nullptr) return true;
      ::Sleep(50);
    }
    return false;
  }

 private:
  TempFolder folder_;
  std::wstring name_;
  bool copied_ = false;
  std::unique_ptr<BackgroundProcess> process_;
};

TEST(ProductPresenceTest, RunningCheckMatchesExactFileNamesOnly) {
  FakeProduct product(L"sleep 20000");
  ASSERT_TRUE(product.ok());
  EXPECT_TRUE(startup::IsProductRunning(product.name()));
  EXPECT_TRUE(startup::IsProductRunning(L"nothing.exe,," + product.name()));
  EXPECT_FALSE(startup::IsProductRunning(platform::AsciiLower(product.name())));
  EXPECT_FALSE(startup::IsProductRunning(L" " + product.name()));
  EXPECT_FALSE(startup::IsProductRunning(L""));
}

TEST(ProductPresenceTest, EndingTheProductWaitsUntilItIsGone) {
  FakeProduct product(L"sleep 60000");
  ASSERT_TRUE(product.ok());
  EXPECT_TRUE(startup::EndProductProcesses(L"unrelated.exe," + product.name()));
  EXPECT_EQ(product.process().WaitForExit(0).value_or(0), 9u);
  EXPECT_FALSE(startup::IsProductRunning(product.name()));
  // Nothing to end is a success at once.
  EXPECT_TRUE(startup::EndProductProcesses(product.name(), 0));
}

TEST(ProductPresenceTest, AskingToCloseReachesTheProductWindow) {
  const std::wstring caption = test_support::UniqueName(L"Fake product window ");
  FakeProduct product(L"window " + caption);
  ASSERT_TRUE(product.ok());
  ASSERT_TRUE(product.WaitForWindow(caption));
  EXPECT_TRUE(startup::AskProductToClose(product.name()));
  EXPECT_EQ(product.process().WaitForExit(1000).value_or(0), 7u);  // closed itself, not ended
}

// The Restart Manager is asked first and logged. Wine's answers success
// without closing anything: that counts as a refusal, and the close message
// then closes a product with a window (its own exit code 7), while one
// without a window is ended (9) only after the bounded waits.
TEST(ProductPresenceTest, ClosingAsksTheRestartManagerFirstThenTheWindowThenEnds) {
  const std::wstring caption = test_support::UniqueName(L"Fake product window ");
  FakeProduct windowed(L"window " + caption);
  ASSERT_TRUE(windowed.ok());
  ASSERT_TRUE(windowed.WaitForWindow(caption));
  const std::string before = test_support::ReadBytes(startup::MainLog().path());
  EXPECT_TRUE(startup::CloseOrEndProduct(windowed.name()));
  EXPECT_EQ(windowed.process().WaitForExit(1000).value_or(0), 7u);  // closed itself, not ended
  const std::string log = test_support::ReadBytes(startup::MainLog().path()).substr(before.size());
  const size_t asked = log.find("Closing the product: asking the Restart Manager first");
  const size_t refused = log.find("the Restart Manager reported a shutdown, yet the product still runs");
  const size_t window = log.find("AskProductToClose: 1 process(es) asked, all closed");
  ASSERT_NE(asked, std::string::npos) << log;
  ASSERT_NE(refused, std::string::npos) << log;
  ASSERT_NE(window, std::string::npos) << log;
  EXPECT_LT(asked, refused);
  EXPECT_LT(refused, window);
  EXPECT_EQ(log.find("still running after the close message"), std::string::npos) << log;

  FakeProduct silent(L"sleep 60000");
  ASSERT_TRUE(silent.ok());
  EXPECT_TRUE(startup::CloseOrEndProduct(L"unrelated.exe," + silent.name(), 300));
  EXPECT_EQ(silent.process().WaitForExit(0).value_or(0), 9u);
  const std::string rest = test_support::ReadBytes(startup::MainLog().path()).substr(before.size() + log.size());
  EXPECT_NE(rest.find("still running after the close message; ending it"), std::string::npos) << rest;
  // Nothing running: nothing is asked at all.
  EXPECT_TRUE(startup::CloseOrEndProduct(silent.name(), 0));
}

bool g_timer_ran = false;  // test thread only

TEST(ProductPresenceTest, WaitingForTheProductKeepsMessagesFlowingAndEndsOnQuit) {
  FakeProduct product(L"sleep 30000");  // no window: asking to close changes nothing
  ASSERT_TRUE(product.ok());
  g_timer_ran = false;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    g_timer_ran = true;
    ::PostQuitMessage(11);
  });
  ASSERT_NE(timer, 0u);
  EXPECT_FALSE(startup::AskProductToClose(product.name(), 20000));
  EXPECT_TRUE(g_timer_ran);  // dispatched during the wait, not after it
  EXPECT_EQ(test_support::TakeQueuedQuit(), std::optional<WPARAM>(11u));
  EXPECT_TRUE(startup::IsProductRunning(product.name()));
}

TEST(ProductPresenceTest, SubkeySearchUsesContainsAndBothViews) {
  const std::wstring root = test_support::UniqueName(L"Uninstall_");
  TestRegistryKey only64(root, RegistryView::Bits64);
  only64.CreateSubkey(L"{GUID}_PhotoStudio_2.1");
  only64.CreateSubkey(L"Another");
  const std::wstring path = only64.path();

  EXPECT_EQ(startup::FindProductSubkey(path, L"PhotoStudio", RegistryView::Bits64).value_or(L""),
            L"{GUID}_PhotoStudio_2.1");
  EXPECT_FALSE(startup::FindProductSubkey(path, L"photostudio", RegistryView::Bits64));
  EXPECT_FALSE(startup::FindProductSubkey(path, L"PhotoStudio", RegistryView::Bits32));
  // An empty name would be contained in every subkey: it matches none.
  EXPECT_FALSE(startup::FindProductSubkey(path, L"", RegistryView::Bits64).has_value());

  EXPECT_TRUE(startup::IsProductInstalled(path, L"PhotoStudio"));  // found in the 64-bit view
  EXPECT_FALSE(startup::IsProductInstalled(path, L"Missing"));
  const std::string before = test_support::ReadBytes(startup::MainLog().path());
  EXPECT_FALSE(startup::IsProductInstalled(path, L""));
  EXPECT_NE(test_support::ReadBytes(startup::MainLog().path())
                .substr(before.size())
                .find("IsProductInstalled: no RegistryName configured"),
            std::string::npos);
  EXPECT_FALSE(startup::IsProductInstalled(path + L"\\NoSuchKey", L""));

  TestRegistryKey only32(root + L"_32", RegistryView::Bits32);
  only32.CreateSubkey(L"PhotoStudio");
  EXPECT_TRUE(startup::IsProductInstalled(only32.path(), L"PhotoStudio"));
}

}  // namespace
