#include "install/process_launcher.h"

#include <gtest/gtest.h>

#include <optional>

#include <thread>

#include "fixture_installer.h"
#include "install/result_codes.h"
#include "startup/log.h"

namespace {

using install::WaitEnd;
using install_test::FixtureInstaller;
using install_test::FixturePath;

constexpr UINT kPing = WM_APP + 7;

// The end of the diagnostic log: a launch that fails says why there.
std::string LogTail() {
  const std::string log = test_support::ReadBytes(startup::MainLog().path());
  return log.substr(log.size() > 400 ? log.size() - 400 : 0);
}

TEST(ProcessLauncherTest, RunAndWaitReturnsTheExitCodeAndPassesTheExactCommandLine) {
  FixtureInstaller installer;
  installer.Configure({{"exit_codes", L"0,17"}});
  const std::wstring parameters = L" /VERYSILENT /DIR=\"C:\\a b\" GUID=x ";
  const install::ProcessRun first = install::RunAndWait(installer.path(), parameters);
  EXPECT_EQ(first.end, WaitEnd::Exited);
  EXPECT_EQ(first.code, 0);
  const install::ProcessRun second = install::RunAndWait(installer.path(), parameters);
  EXPECT_EQ(second.code, 17);
  const auto runs = installer.Runs();
  ASSERT_EQ(runs.size(), 2u);
  // The program sees its own quoted full path first, then our text unchanged.
  EXPECT_EQ(runs[0], L"\"" + installer.path() + L"\"" + parameters);
}

TEST(ProcessLauncherTest, InstallerHeldOpenAgainstWritersAndDeletionStillStarts) {
  FixtureInstaller installer;
  // The verified file stays open from the digest check to the last attempt.
  platform::UniqueHandle held(::CreateFileW(installer.path().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(held.IsValid());
  const std::wstring parameters = L" /DIR=\"" + installer.folder().File(L"P") + L"\" ";
  EXPECT_EQ(install::RunAndWait(installer.path(), parameters).code, 0);
  EXPECT_EQ(installer.Runs().size(), 1u);
  // Meanwhile nobody can swap the file.
  platform::UniqueHandle writer(::CreateFileW(installer.path().c_str(), GENERIC_WRITE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_FALSE(writer.IsValid());
  EXPECT_FALSE(::DeleteFileW(installer.path().c_str()));
}

TEST(ProcessLauncherTest, MissingOrRelativeProgramGives998) {
  test_support::TempFolder folder;
  const install::ProcessRun missing = install::RunAndWait(folder.File(L"absent.exe"), L" /X ");
  EXPECT_EQ(missing.end, WaitEnd::NotStarted);
  EXPECT_EQ(missing.code, install::kLaunchFailed);
  // A bare name would be looked up along the search path: refused.
  EXPECT_EQ(install::RunAndWait(L"fake_product.exe", L" sleep 1").code, install::kLaunchFailed);
  EXPECT_EQ(install::LaunchDetached(folder.File(L"absent.exe"), L""), install::kLaunchFailed);
}

TEST(ProcessLauncherTest, LaunchDetachedReturnsStillActiveAtOnce) {
  const std::wstring program = FixturePath(L"fake_product.exe");
  EXPECT_EQ(install::LaunchDetached(program, L" sleep 3000"), install::kStillActive);
}

TEST(ProcessLauncherTest, MessagesAreDispatchedWhileTheInstallerRuns) {
  test_support::CountingWindow pings(kPing);
  ASSERT_NE(pings.hwnd(), nullptr);
  HWND window = pings.hwnd();
  // Posted before the wait and from a thread during it: all must be handled
  // by the time the wait returns (each wake drains the whole queue).
  for (int i = 0; i < 20; ++i) pings.Post();
  std::thread poster([window] {
    for (int i = 0; i < 10; ++i) {
      ::PostMessageW(window, kPing, 0, 0);
      ::Sleep(30);
    }
  });
  const install::ProcessRun run = install::RunAndWait(FixturePath(L"fake_product.exe"), L" sleep 1500");
  poster.join();
  EXPECT_EQ(run.end, WaitEnd::Exited) << LogTail();
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(pings.count(), 30);
}

TEST(ProcessLauncherTest, QuitRequestEndsTheWaitAndIsPostedAgain) {
  ::PostQuitMessage(5);
  const install::ProcessRun run = install::RunAndWait(FixturePath(L"fake_product.exe"), L" sleep 3000");
  EXPECT_EQ(run.end, WaitEnd::QuitRequested) << LogTail();
  EXPECT_EQ(test_support::TakeQueuedQuit(), std::optional<WPARAM>(5u));
}

TEST(ProcessLauncherTest, BoundedWaitTimesOutWhileTheProcessRuns) {
  platform::UniqueHandle process =
      install::StartProcess(FixturePath(L"fake_product.exe"), L" sleep 20000", "start failed %d\n");
  ASSERT_TRUE(process.IsValid());
  const install::ProcessRun run = install::WaitForProcess(process.Get(), 300);
  EXPECT_EQ(run.end, WaitEnd::TimedOut);
  EXPECT_EQ(::WaitForSingleObject(process.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  ::TerminateProcess(process.Get(), 1);
  const install::ProcessRun ended = install::WaitForProcess(process.Get(), 5000);
  EXPECT_EQ(ended.end, WaitEnd::Exited);
  EXPECT_EQ(ended.code, 1);
}

}  // namespace
