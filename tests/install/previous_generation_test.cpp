#include "install/previous_generation.h"

#include <gtest/gtest.h>

#include <optional>

#include "fixture_installer.h"
#include "install/process_launcher.h"

namespace {

using install::UninstallEnd;
using install_test::FixtureInstaller;
using install_test::RecordingView;
using platform::RegistryView;
using test_support::TestRegistryKey;

TEST(PreviousGenerationTest, UninstallerPathFromCommandRules) {
  struct Case {
    const wchar_t* command;
    std::optional<std::wstring> expected;
  };
  const Case cases[] = {
      {L"\"C:\\Program Files\\Foo\\unins000.exe\"", L"C:\\Program Files\\Foo\\unins000.exe"},
      {L"\"C:\\Program Files\\Foo\\unins000.exe\" /LOG", L"C:\\Program Files\\Foo\\unins000.exe"},
      {L"C:\\Foo\\unins000.exe", L"C:\\Foo\\unins000.exe"},
      {L"C:\\Foo\\unins000.exe\"", L"C:\\Foo\\unins000.exe\""},  // not quoted: taken whole
      {L"\"C:\\Foo\\unins000.exe", std::nullopt},                // no closing quote
      {L"\"\"", std::nullopt},
      {L"", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(install::UninstallerPathFromCommand(c.command), c.expected) << c.command;
  }
}

install::UninstallBounds Short(DWORD process_ms, DWORD entry_ms) {
  install::UninstallBounds bounds;
  bounds.process_ms = process_ms;
  bounds.entry_ms = entry_ms;
  bounds.poll_ms = 20;
  return bounds;
}

// Installs the "previous generation" with the fixture installer.
class PreviousGeneration {
 public:
  explicit PreviousGeneration(const std::map<std::string, std::wstring>& extra = {})
      : address_(test_support::UniqueName(L"Uninst"), RegistryView::Bits32) {
    std::map<std::string, std::wstring> settings = {
        {"registry_address", address_.path()},
        {"registry_key", L"Foo 2.0_is1"},
        {"registry_view", L"32"},
        {"display_name", L"Foo 2.5"},
        {"uninstall_record", installer_.folder().File(L"uninstall_runs.txt")}};
    settings.insert(extra.begin(), extra.end());
    installer_.Configure(settings);
    const install::ProcessRun run =
        install::RunAndWait(installer_.path(), L" /VERYSILENT /DIR=\"" + ProductFolder() + L"\" ");
    installed_ = run.end == install::WaitEnd::Exited && run.code == 0;
  }

  [[nodiscard]] bool installed() const { return installed_; }
  [[nodiscard]] const TestRegistryKey& address() const { return address_; }
  [[nodiscard]] std::wstring ProductFolder() const { return installer_.folder().File(L"Old Product"); }
  [[nodiscard]] std::wstring UninstallString() const {
    return install::ReadUninstallValue(address_.path() + L"\\Foo 2.0_is1", L"UninstallString");
  }
  [[nodiscard]] std::vector<std::wstring> UninstallRuns() const {
    return install_test::RecordedLines(installer_.folder().File(L"uninstall_runs.txt"));
  }
  // Bounded wait for a left-over uninstaller to finish its work.
  [[nodiscard]] bool WaitForEntryToGo() const {
    for (int i = 0; i < 300 && !UninstallString().empty(); ++i) ::Sleep(50);
    ::Sleep(100);  // the finishing copy still deletes a file after the entry
    return UninstallString().empty();
  }

 private:
  TestRegistryKey address_;
  FixtureInstaller installer_;
  bool installed_ = false;
};

TEST(PreviousGenerationTest, NothingRegisteredDoesNothing) {
  TestRegistryKey address(test_support::UniqueName(L"Uninst"), RegistryView::Bits32);
  address.CreateSubkey(L"Foo3.0_is1");  // the current generation is never removed
  RecordingView view;
  const std::atomic<bool> cancel{false};
  EXPECT_EQ(install::UninstallPreviousGeneration(install_test::FooSettingsFor(address), view, L"Uninstalling...",
                                                 cancel, Short(5000, 5000)),
            UninstallEnd::NothingToDo);
  EXPECT_TRUE(view.tips().empty());
}

TEST(PreviousGenerationTest, UninstallerRunsWithItsSwitchesAndTheEntryIsGone) {
  PreviousGeneration old;
  ASSERT_TRUE(old.installed());
  const std::wstring uninstaller = old.ProductFolder() + L"\\uninstall.exe";
  ASSERT_EQ(old.UninstallString(), L"\"" + uninstaller + L"\"");
  RecordingView view;
  const std::atomic<bool> cancel{false};
  EXPECT_EQ(install::UninstallPreviousGeneration(install_test::FooSettingsFor(old.address()), view, L"Uninstalling...",
                                                 cancel, Short(20000, 20000)),
            UninstallEnd::Removed);
  EXPECT_TRUE(old.UninstallString().empty());
  EXPECT_EQ(old.UninstallRuns(), std::vector<std::wstring>{L"\"" + uninstaller + L"\" /S "});
  EXPECT_EQ(view.tips(), std::vector<std::wstring>{L"Uninstalling..."});
  EXPECT_EQ(view.progress(), std::vector<int>{0});
}

TEST(PreviousGenerationTest, UninstallerThatHandsOverAndExitsIsWaitedForThroughItsEntry) {
  PreviousGeneration old({{"uninstall_detach", L"1"}, {"uninstall_delay_ms", L"700"}});
  ASSERT_TRUE(old.installed());
  RecordingView view;
  const std::atomic<bool> cancel{false};
  EXPECT_EQ(install::UninstallPreviousGeneration(install_test::FooSettingsFor(old.address()), view, L"U", cancel,
                                                 Short(20000, 20000)),
            UninstallEnd::Removed);
  EXPECT_TRUE(old.UninstallString().empty());
}

TEST(PreviousGenerationTest, BoundsRunOutAndTheInstallGoesOn) {
  {
    PreviousGeneration slow({{"uninstall_delay_ms", L"1500"}});
    ASSERT_TRUE(slow.installed());
    RecordingView view;
    const std::atomic<bool> cancel{false};
    EXPECT_EQ(install::UninstallPreviousGeneration(install_test::FooSettingsFor(slow.address()), view, L"U", cancel,
                                                   Short(200, 20000)),
              UninstallEnd::TimedOut);
    EXPECT_TRUE(slow.WaitForEntryToGo());
  }
  {
    PreviousGeneration handed_over({{"uninstall_detach", L"1"}, {"uninstall_delay_ms", L"1500"}});
    ASSERT_TRUE(handed_over.installed());
    RecordingView view;
    const std::atomic<bool> cancel{false};
    EXPECT_EQ(install::UninstallPreviousGeneration(install_test::FooSettingsFor(handed_over.address()), view, L"U",
                                                   cancel, Short(20000, 200)),
              UninstallEnd::TimedOut);
    EXPECT_TRUE(handed_over.WaitForEntryToGo());
  }
}

TEST(PreviousGenerationTest, FailedUninstallerIsLoggedAndNotWaitedFor) {
  PreviousGeneration old({{"uninstall_exit_code", L"4"}});
  ASSERT_TRUE(old.installed());
  RecordingView view;
  const std::atomic<bool> cancel{false};
  // Waiting for the entry would end in TimedOut: Failed means it was not waited for.
  EXPECT_EQ(install::UninstallPreviousGeneration(install_test::FooSettingsFor(old.address()), view, L"U", cancel,
                                                 Short(20000, 100)),
            UninstallEnd::Failed);
  EXPECT_FALSE(old.UninstallString().empty());
  EXPECT_EQ(old.UninstallRuns().size(), 1u);
}

TEST(PreviousGenerationTest, CancelEndsTheEntryWait) {
  PreviousGeneration old({{"uninstall_detach", L"1"}, {"uninstall_delay_ms", L"1500"}});
  ASSERT_TRUE(old.installed());
  RecordingView view;
  const std::atomic<bool> cancel{true};
  EXPECT_EQ(install::UninstallPreviousGeneration(install_test::FooSettingsFor(old.address()), view, L"U", cancel,
                                                 Short(20000, 20000)),
            UninstallEnd::Cancelled);
  EXPECT_TRUE(old.WaitForEntryToGo());
}

TEST(PreviousGenerationTest, QuitRequestEndsTheWaitAndIsPostedAgain) {
  PreviousGeneration old({{"uninstall_detach", L"1"}, {"uninstall_delay_ms", L"1500"}});
  ASSERT_TRUE(old.installed());
  RecordingView view;
  const std::atomic<bool> cancel{false};
  // The window closes while the old entry is still registered.
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    ::PostQuitMessage(9);
  });
  ASSERT_NE(timer, 0u);
  EXPECT_EQ(install::UninstallPreviousGeneration(install_test::FooSettingsFor(old.address()), view, L"U", cancel,
                                                 Short(20000, 20000)),
            UninstallEnd::QuitRequested);
  EXPECT_EQ(test_support::TakeQueuedQuit(), std::optional<WPARAM>(9u));
  EXPECT_TRUE(old.WaitForEntryToGo());
}

TEST(PreviousGenerationTest, UnquotedMalformedAndMissingUninstallers) {
  TestRegistryKey address(test_support::UniqueName(L"Uninst"), RegistryView::Bits32);
  address.CreateSubkey(L"Foo 2.0_is1");
  const auto key = platform::RegistryKey::Open(HKEY_LOCAL_MACHINE, address.path() + L"\\Foo 2.0_is1",
                                               RegistryView::Bits32, KEY_ALL_ACCESS);
  RecordingView view;
  const std::atomic<bool> cancel{false};
  const auto run = [&] {
    return install::UninstallPreviousGeneration(install_test::FooSettingsFor(address), view, L"U", cancel,
                                                Short(5000, 100));
  };
  test_support::TempFolder folder;
  ASSERT_TRUE(key.WriteString(L"UninstallString", L"\"" + folder.File(L"gone.exe")));
  EXPECT_EQ(run(), UninstallEnd::Unusable);
  ASSERT_TRUE(key.WriteString(L"UninstallString", folder.File(L"gone.exe")));
  EXPECT_EQ(run(), UninstallEnd::NotStarted);
  ASSERT_TRUE(key.WriteString(L"UninstallString", L"unins000.exe"));  // never the search path
  EXPECT_EQ(run(), UninstallEnd::NotStarted);
  // An unquoted full path is started as it is: this program does not know
  // " /S " and ends with 1, which is reported without waiting for the entry.
  const std::wstring program = folder.File(L"other.exe");
  ASSERT_TRUE(test_support::CopyOneFile(install_test::FixturePath(L"fake_product.exe"), program));
  ASSERT_TRUE(key.WriteString(L"UninstallString", program));
  EXPECT_EQ(run(), UninstallEnd::Failed);
}

}  // namespace
