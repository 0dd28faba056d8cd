#include "install/retry_policy.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using install::RetryAction;
using install::WizardPage;

TEST(RetryPolicyTest, RetryActionForEachBand) {
  struct Case {
    int32_t code;
    RetryAction expected;
  };
  const Case cases[] = {
      {3300, RetryAction::ResumeTransfer}, {3323, RetryAction::ResumeTransfer},
      {3399, RetryAction::ResumeTransfer}, {3328, RetryAction::ResumeTransfer},
      {3299, RetryAction::RestartPipeline}, {3400, RetryAction::RestartPipeline},
      {3006, RetryAction::RestartPipeline}, {3106, RetryAction::RestartPipeline},
      {3206, RetryAction::RestartPipeline}, {4000, RetryAction::RestartPipeline},
      {6001, RetryAction::RestartPipeline}, {1002, RetryAction::ReturnToHome},
      {1000, RetryAction::ReturnToHome},   {1999, RetryAction::ReturnToHome},
      {999, RetryAction::ReturnToHome},  // no release record: ask again, not loop
      {4001, RetryAction::ReturnToHome},  // no digest to check: only a fresh answer helps
      {4002, RetryAction::RestartPipeline},
  };
  for (const Case& c : cases) EXPECT_EQ(install::RetryActionFor(c.code), c.expected) << c.code;
}

TEST(RetryPolicyTest, AfterResumeInstallsOnlyAVerifiedFile) {
  EXPECT_EQ(install::DecideAfterResume(0, true).next, install::AfterResume::Install);
  const auto digest = install::DecideAfterResume(0, false);
  EXPECT_EQ(digest.next, install::AfterResume::DigestFailure);
  EXPECT_EQ(digest.failure_code, 4000);
  const auto transfer = install::DecideAfterResume(328, true);
  EXPECT_EQ(transfer.next, install::AfterResume::TransferFailure);
  EXPECT_EQ(transfer.failure_code, 3328);
}

TEST(RetryPolicyTest, OfflineLinkChoice) {
  const std::wstring offline = L"https://www.example.test/offline";
  const std::string first = "http://127.0.0.1:8080/Product_trial.exe";
  EXPECT_EQ(install::OfflineLinkFor(WizardPage::DownloadFailure, 0, offline, first),
            L"http://127.0.0.1:8080/Product_trial.exe");
  EXPECT_EQ(install::OfflineLinkFor(WizardPage::InstallFailure, 0, offline, first),
            L"http://127.0.0.1:8080/Product_trial.exe");
  EXPECT_EQ(install::OfflineLinkFor(WizardPage::DownloadFailure, 2, offline, first), offline);
  EXPECT_EQ(install::OfflineLinkFor(WizardPage::DownloadFailure, -1, offline, first), offline);
  EXPECT_EQ(install::OfflineLinkFor(WizardPage::InstallFailure, 2, offline, first), std::nullopt);
}

TEST(RetryPolicyTest, OnlyWebAddressesAreOpened) {
  std::vector<std::wstring> opened;
  const install::UrlOpener recorder = [&](const std::wstring& url) {
    opened.push_back(url);
    return true;
  };
  EXPECT_TRUE(install::OpenOfflineLink(WizardPage::DownloadFailure, 0, L"", "HTTPS://h/x.exe",
                                       recorder));
  EXPECT_FALSE(install::OpenOfflineLink(WizardPage::DownloadFailure, 0, L"",
                                        "C:\\Windows\\System32\\calc.exe", recorder));
  EXPECT_FALSE(install::OpenOfflineLink(WizardPage::DownloadFailure, 0, L"", "file:///C:/x.exe",
                                        recorder));
  EXPECT_FALSE(install::OpenOfflineLink(WizardPage::DownloadFailure, 1, L"", "http://h/", recorder));
  EXPECT_FALSE(install::OpenOfflineLink(WizardPage::InstallFailure, 1, L"http://h/", "", recorder));
  EXPECT_EQ(opened, std::vector<std::wstring>{L"HTTPS://h/x.exe"});

  for (const wchar_t* bad : {L"http://", L"http:///etc/x", L"https://?a", L"https://#f",
                             L"http://\\share\\x", L"http://h/a b", L"http://h/\"x", L"javascript:alert(1)",
                             L"ftp://h/x", L""}) {
    EXPECT_FALSE(install::IsOpenableWebAddress(bad)) << bad;
  }
}

TEST(RetryPolicyTest, FailureStepLines) {
  using Lines = std::array<std::optional<std::wstring>, 3>;
  EXPECT_EQ(install::FailureStepLines(L"Restart"), (Lines{L"\x2022  Restart", std::nullopt, std::nullopt}));
  EXPECT_EQ(install::FailureStepLines(L""), (Lines{L"\x2022  ", std::nullopt, std::nullopt}));
  EXPECT_EQ(install::FailureStepLines(L"a+b"), (Lines{L"\x2022  a", L"   b", std::nullopt}));
  EXPECT_EQ(install::FailureStepLines(L"a++c+d+e"), (Lines{L"\x2022  a", L"   ", L"   c"}));
}

TEST(RetryPolicyTest, RestartGoesThroughTheGivenExitCall) {
  UINT seen_flags = 0;
  DWORD seen_reason = 0;
  int calls = 0;
  const startup::ExitWindowsCall recorder = [&](UINT flags, DWORD reason) {
    ++calls;
    seen_flags = flags;
    seen_reason = reason;
    return true;
  };
  const bool asked = install::RequestRestart(recorder);
  // Wine grants the shutdown privilege; where it is refused nothing is asked.
  EXPECT_EQ(asked, calls == 1);
  if (calls == 1) {
    EXPECT_TRUE(seen_flags & EWX_REBOOT);
    EXPECT_EQ(seen_reason, 0x00040000u);
  }
}

}  // namespace
