#include "install/install_attempts.h"

#include <gtest/gtest.h>

#include <optional>

#include "fixture_installer.h"
#include "install/installed_version.h"
#include "install/result_codes.h"
#include "install/setup_log.h"

namespace {

using install::InstallEnd;
using install_test::FixtureInstaller;
using install_test::RecordingView;
using test_support::TestRegistryKey;

install::InstallAttemptsInputs InputsFor(const FixtureInstaller& installer) {
  install::InstallAttemptsInputs inputs;
  inputs.installer_path = installer.path();
  inputs.setup_log_path = installer.folder().File(L"setup.log");
  inputs.parameters = L" /VERYSILENT /DIR=\"" + installer.folder().File(L"Product Dir") + L"\" /LOG=\"" +
                      inputs.setup_log_path + L"\" GUID=g ";
  inputs.installing_text = L"Installing...";
  inputs.stage_interval_ms = 1;
  return inputs;
}

TEST(InstallAttemptsTest, SucceedsOnTheThirdAttemptOneRunAtATime) {
  FixtureInstaller installer;
  installer.Configure({{"exit_codes", L"1,1,0"}, {"duration_ms", L"150"}});
  RecordingView view;
  const std::atomic<bool> cancel{false};
  const auto inputs = InputsFor(installer);
  const install::InstallOutcome outcome = install::RunInstallAttempts(inputs, view, cancel);
  EXPECT_EQ(outcome.end, InstallEnd::Succeeded);
  EXPECT_EQ(outcome.result, 0);
  EXPECT_EQ(outcome.attempts, 3);
  // Overlapping runs would have made the fixture refuse with 30.
  const auto runs = installer.Runs();
  ASSERT_EQ(runs.size(), 3u);
  for (const auto& run : runs) EXPECT_EQ(run, L"\"" + installer.path() + L"\"" + inputs.parameters);
  EXPECT_EQ(view.tips(), std::vector<std::wstring>(3, L"Installing..."));
  ASSERT_FALSE(view.stages().empty());
  EXPECT_EQ(view.stages().front(), 0);
  // The last attempt's setup log says it worked.
  const auto tail = install::SetupLogTail(inputs.setup_log_path);
  ASSERT_GE(tail.size(), 2u);
  EXPECT_NE(tail[tail.size() - 2].find("Installation process succeeded."), std::string::npos);
  EXPECT_EQ(
      ::GetFileAttributesW(installer.folder().File(L"Product Dir\\product.txt").c_str()) != INVALID_FILE_ATTRIBUTES,
      true);
}

TEST(InstallAttemptsTest, FourFailuresEndWithTheLastCodeAndItsSetupLogIsKept) {
  FixtureInstaller installer;
  installer.Configure({{"exit_codes", L"3,3,3,5,0"}});
  RecordingView view;
  const std::atomic<bool> cancel{false};
  auto inputs = InputsFor(installer);
  inputs.show_progress = false;  // unattended: no stages, no tip line
  const std::string log_before = test_support::ReadBytes(L"Brimvale_Log.log");
  const install::InstallOutcome outcome = install::RunInstallAttempts(inputs, view, cancel);
  EXPECT_EQ(outcome.end, InstallEnd::Failed);
  EXPECT_EQ(outcome.attempts, 4);
  EXPECT_EQ(outcome.result, 5);
  EXPECT_EQ(outcome.FailureCode(), 6005);
  EXPECT_EQ(installer.Runs().size(), 4u);
  EXPECT_TRUE(view.stages().empty());
  EXPECT_TRUE(view.tips().empty());
  const std::string added = test_support::ReadBytes(L"Brimvale_Log.log").substr(log_before.size());
  EXPECT_NE(added.find("Install return=5"), std::string::npos);
  EXPECT_NE(added.find("Setup log: "), std::string::npos);
  EXPECT_NE(added.find("failed with exit code 5."), std::string::npos);
}

TEST(InstallAttemptsTest, MissingInstallerFailsWith6998AfterFourTries) {
  test_support::TempFolder folder;
  RecordingView view;
  const std::atomic<bool> cancel{false};
  install::InstallAttemptsInputs inputs;
  inputs.installer_path = folder.File(L"gone.exe");
  const install::InstallOutcome outcome = install::RunInstallAttempts(inputs, view, cancel);
  EXPECT_EQ(outcome.end, InstallEnd::Failed);
  EXPECT_EQ(outcome.attempts, 4);
  EXPECT_EQ(outcome.FailureCode(), 6998);
}

std::atomic<bool>* g_cancel_target = nullptr;
void CALLBACK SetCancel(HWND, UINT, UINT_PTR timer, DWORD) {
  ::KillTimer(nullptr, timer);
  if (g_cancel_target != nullptr) *g_cancel_target = true;
}

TEST(InstallAttemptsTest, CancelStopsFurtherAttemptsButNotTheRunningOne) {
  FixtureInstaller installer;
  installer.Configure({{"exit_codes", L"1"}, {"duration_ms", L"800"}});
  RecordingView view;
  std::atomic<bool> cancel{true};
  EXPECT_EQ(install::RunInstallAttempts(InputsFor(installer), view, cancel).end, InstallEnd::Cancelled);
  EXPECT_TRUE(installer.Runs().empty());

  // A handler run during the wait (here a timer) sets the flag: the running
  // installer finishes, no second one starts.
  cancel = false;
  g_cancel_target = &cancel;
  ASSERT_NE(::SetTimer(nullptr, 0, 100, SetCancel), 0u);
  const install::InstallOutcome outcome = install::RunInstallAttempts(InputsFor(installer), view, cancel);
  g_cancel_target = nullptr;
  EXPECT_EQ(outcome.end, InstallEnd::Cancelled);
  EXPECT_EQ(outcome.attempts, 1);
  EXPECT_EQ(outcome.result, 1);
  EXPECT_EQ(installer.Runs().size(), 1u);
}

TEST(InstallAttemptsTest, QuitRequestEndsTheAttemptsAndIsPostedAgain) {
  FixtureInstaller installer;
  installer.Configure({{"exit_codes", L"1"}, {"duration_ms", L"1000"}});
  RecordingView view;
  const std::atomic<bool> cancel{false};
  ::PostQuitMessage(3);
  const install::InstallOutcome outcome = install::RunInstallAttempts(InputsFor(installer), view, cancel);
  EXPECT_EQ(outcome.end, InstallEnd::QuitRequested);
  EXPECT_EQ(outcome.attempts, 1);
  EXPECT_EQ(test_support::TakeQueuedQuit(), std::optional<WPARAM>(3u));
  // Let the left-over installer finish before its folder goes away.
  EXPECT_TRUE(install_test::WaitUntilNoFixtureInstallerRuns());
}

}  // namespace

namespace {

std::wstring g_watched_log;
bool g_saw_partial_log = false;
void CALLBACK WatchSetupLog(HWND, UINT, UINT_PTR, DWORD) {
  const std::string bytes = test_support::ReadBytes(g_watched_log);
  if (bytes.find("Log opened.") != std::string::npos && bytes.find("Log closed.") == std::string::npos) {
    g_saw_partial_log = true;
  }
}

TEST(InstallAttemptsTest, FixtureRegistersTheProductAndWritesItsLogAsItGoes) {
  FixtureInstaller installer;
  TestRegistryKey address(test_support::UniqueName(L"Uninst"), platform::RegistryView::Bits64);
  installer.Configure({{"duration_ms", L"1500"},
                       {"registry_address", address.path()},
                       {"registry_key", L"Foo3.0_is1"},
                       {"registry_view", L"64"},
                       {"display_name", L"Foo 3.1.2"},
                       {"display_version", L"3.1.2"}});
  RecordingView view;
  const std::atomic<bool> cancel{false};
  const auto inputs = InputsFor(installer);
  g_watched_log = inputs.setup_log_path;
  g_saw_partial_log = false;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, WatchSetupLog);
  const install::InstallOutcome outcome = install::RunInstallAttempts(inputs, view, cancel);
  ::KillTimer(nullptr, timer);
  ASSERT_EQ(outcome.end, InstallEnd::Succeeded);
  EXPECT_TRUE(g_saw_partial_log);

  install::UninstallSettings settings;
  settings.registry_address = address.path();
  settings.registry_name = L"Foo";
  settings.display_name_value = L"DisplayName";
  settings.uninstall_value = L"UninstallString";
  EXPECT_EQ(install::InstalledVersion(settings), " 3.1.2");
  EXPECT_EQ(install::InstallMode(net::ReleaseStatus::Answered(), " 3.1.2", settings), install::kInstallModeReinstall);
  const std::wstring key = address.path() + L"\\Foo3.0_is1";
  EXPECT_EQ(install::ReadUninstallValue(key, L"InstallLocation"), installer.folder().File(L"Product Dir"));
  EXPECT_EQ(install::ReadUninstallValue(key, L"DisplayVersion"), L"3.1.2");
  // Written in the 64-bit view only.
  EXPECT_FALSE(platform::RegistryKey::Open(HKEY_LOCAL_MACHINE, key, platform::RegistryView::Bits32).IsValid());
}

}  // namespace
