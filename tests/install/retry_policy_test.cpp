#include "install/retry_policy.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using install::RetryAction;
using install::WizardPage;

using install::DigestFailure;
using install::PipelineFailure;
using net::DownloadCause;
using net::DownloadOutcome;
using net::DownloadStage;
using net::ReleaseCause;
using net::ReleaseStage;
using net::ReleaseStatus;

const ReleaseStatus kEmptyReply = ReleaseStatus::Failed(ReleaseStage::Reply, ReleaseCause::EmptyReply);
const ReleaseStatus kNoWorker = ReleaseStatus::Failed(ReleaseStage::Attempt, ReleaseCause::NoWorker);

PipelineFailure RangeCurl(int32_t code) {
  return PipelineFailure::Transfer(DownloadOutcome::CurlFailed(DownloadStage::Range, code));
}
PipelineFailure Own(DownloadStage stage, DownloadCause cause) {
  return PipelineFailure::Transfer(DownloadOutcome::Failed(stage, cause));
}

// The numbers support knows stay exactly what they were for every stage and cause.
TEST(RetryPolicyTest, EveryFailureKeepsItsNumber) {
  const struct {
    PipelineFailure failure;
    int32_t number;
  } cases[] = {
      {PipelineFailure::Release(kEmptyReply), 1002},
      {PipelineFailure::Release(ReleaseStatus::NotQueried()), 999},
      {PipelineFailure::Release(ReleaseStatus::PostFailed(22)), 1122},
      {Own(DownloadStage::Setup, DownloadCause::BadThreadCount), 3002},
      {Own(DownloadStage::Range, DownloadCause::NoWorker), 3003},
      {Own(DownloadStage::SizeProbe, DownloadCause::NoProbeHandle), 3004},
      {Own(DownloadStage::Setup, DownloadCause::TempFile), 3005},
      {Own(DownloadStage::Range, DownloadCause::TempFile), 3005},
      {Own(DownloadStage::Range, DownloadCause::Open), 3006},
      {Own(DownloadStage::Range, DownloadCause::NoRangeHandle), 3007},
      {Own(DownloadStage::Finish, DownloadCause::Rename), 3008},
      {Own(DownloadStage::Range, DownloadCause::Stopped), 3009},
      {Own(DownloadStage::Range, DownloadCause::ServerDisagrees), 3010},
      {Own(DownloadStage::Setup, DownloadCause::Busy), 3011},
      {Own(DownloadStage::SizeProbe, DownloadCause::NoLength), 3200},
      {PipelineFailure::Transfer(DownloadOutcome::CurlFailed(DownloadStage::SizeProbe, 22)), 3222},
      {PipelineFailure::Transfer(DownloadOutcome::CurlFailed(DownloadStage::SizeProbe, 99)), 3299},
      {RangeCurl(23), 3323},
      {RangeCurl(28), 3328},
      {Own(DownloadStage::Range, DownloadCause::ShortRange), 3399},
      {PipelineFailure::Digest(DigestFailure::Mismatch), 4000},
      {PipelineFailure::Digest(DigestFailure::NoExpectedDigest), 4001},
      {PipelineFailure::Digest(DigestFailure::MalformedSha256), 4002},
      {PipelineFailure::Digest(DigestFailure::SignatureRefused), 4003},
      {PipelineFailure::Digest(DigestFailure::MalformedPublisherThumbprint), 4004},
      {PipelineFailure::Install(1), 6001},
      {PipelineFailure::Install(997), 6997},
  };
  for (const auto& c : cases) EXPECT_EQ(install::FailureNumber(c.failure), c.number) << c.number;
}

TEST(RetryPolicyTest, RetryActionForEachStage) {
  const struct {
    std::optional<PipelineFailure> failure;
    RetryAction expected;
    const char* name;
  } cases[] = {
      {RangeCurl(0), RetryAction::ResumeTransfer, "range"},
      {RangeCurl(23), RetryAction::ResumeTransfer, "stall"},
      {RangeCurl(28), RetryAction::ResumeTransfer, "range time-out"},
      {Own(DownloadStage::Range, DownloadCause::ShortRange), RetryAction::ResumeTransfer, "short"},
      {PipelineFailure::Transfer(DownloadOutcome::CurlFailed(DownloadStage::SizeProbe, 99)),
       RetryAction::RestartPipeline, "probe"},
      {PipelineFailure::Transfer(DownloadOutcome::CurlFailed(DownloadStage::SizeProbe, 6)),
       RetryAction::RestartPipeline, "probe resolve"},
      {Own(DownloadStage::Range, DownloadCause::Open), RetryAction::RestartPipeline, "range open"},
      {Own(DownloadStage::Range, DownloadCause::ServerDisagrees), RetryAction::RestartPipeline, "disagrees"},
      {PipelineFailure::Digest(DigestFailure::Mismatch), RetryAction::RestartPipeline, "digest"},
      {PipelineFailure::Install(1), RetryAction::RestartPipeline, "install"},
      {PipelineFailure::Release(kEmptyReply), RetryAction::ReturnToHome, "release"},
      {PipelineFailure::Release(ReleaseStatus::Answered()), RetryAction::ReturnToHome, "release 0"},
      {PipelineFailure::Release(kNoWorker), RetryAction::ReturnToHome, "release no worker"},
      {PipelineFailure::Release(ReleaseStatus::NotQueried()), RetryAction::ReturnToHome,
       "no release record: ask again, not loop"},
      {PipelineFailure::Digest(DigestFailure::NoExpectedDigest), RetryAction::ReturnToHome,
       "no digest to check: only a fresh answer helps"},
      {PipelineFailure::Digest(DigestFailure::MalformedSha256), RetryAction::ReturnToHome,
       "an unusable SHA-256: only a fresh answer helps"},
      {PipelineFailure::Digest(DigestFailure::SignatureRefused), RetryAction::ReturnToHome,
       "a refused signature: only a fresh answer helps"},
      {PipelineFailure::Digest(DigestFailure::MalformedPublisherThumbprint), RetryAction::ReturnToHome,
       "a malformed thumbprint: downloading again cannot help"},
      {std::nullopt, RetryAction::ReturnToHome, "nothing failed yet"},
  };
  for (const auto& c : cases) EXPECT_EQ(install::RetryActionFor(c.failure), c.expected) << c.name;
}

TEST(RetryPolicyTest, AfterResumeInstallsOnlyAVerifiedFile) {
  EXPECT_EQ(install::DecideAfterResume(DownloadOutcome::Done(), true).next, install::AfterResume::Install);
  const auto digest = install::DecideAfterResume(DownloadOutcome::Done(), false);
  EXPECT_EQ(digest.next, install::AfterResume::DigestFailure);
  EXPECT_EQ(install::FailureNumber(digest.failure), 4000);
  const auto transfer = install::DecideAfterResume(DownloadOutcome::CurlFailed(DownloadStage::Range, 28), true);
  EXPECT_EQ(transfer.next, install::AfterResume::TransferFailure);
  EXPECT_EQ(install::FailureNumber(transfer.failure), 3328);
}

TEST(RetryPolicyTest, OfflineLinkChoice) {
  const std::wstring offline = L"https://www.example.test/offline";
  const std::string first = "http://127.0.0.1:8080/Product_trial.exe";
  EXPECT_EQ(install::OfflineLinkFor(WizardPage::DownloadFailure, ReleaseStatus::Answered(), offline, first),
            L"http://127.0.0.1:8080/Product_trial.exe");
  EXPECT_EQ(install::OfflineLinkFor(WizardPage::InstallFailure, ReleaseStatus::Answered(), offline, first),
            L"http://127.0.0.1:8080/Product_trial.exe");
  EXPECT_EQ(install::OfflineLinkFor(WizardPage::DownloadFailure, kEmptyReply, offline, first), offline);
  EXPECT_EQ(install::OfflineLinkFor(WizardPage::DownloadFailure, ReleaseStatus::NotQueried(), offline, first), offline);
  EXPECT_EQ(install::OfflineLinkFor(WizardPage::InstallFailure, kEmptyReply, offline, first), std::nullopt);
}

TEST(RetryPolicyTest, OnlyWebAddressesAreOpened) {
  std::vector<std::wstring> opened;
  const install::UrlOpener recorder = [&](const std::wstring& url) {
    opened.push_back(url);
    return true;
  };
  EXPECT_TRUE(install::OpenOfflineLink(WizardPage::DownloadFailure, ReleaseStatus::Answered(), L"", "HTTPS://h/x.exe",
                                       recorder));
  EXPECT_FALSE(install::OpenOfflineLink(WizardPage::DownloadFailure, ReleaseStatus::Answered(), L"",
                                        "C:\\Windows\\System32\\calc.exe", recorder));
  EXPECT_FALSE(install::OpenOfflineLink(WizardPage::DownloadFailure, ReleaseStatus::Answered(), L"", "file:///C:/x.exe",
                                        recorder));
  EXPECT_FALSE(install::OpenOfflineLink(WizardPage::DownloadFailure, kNoWorker, L"", "http://h/", recorder));
  EXPECT_FALSE(install::OpenOfflineLink(WizardPage::InstallFailure, kNoWorker, L"http://h/", "", recorder));
  EXPECT_EQ(opened, std::vector<std::wstring>{L"HTTPS://h/x.exe"});

  for (const wchar_t* bad : {L"http://", L"http:///etc/x", L"https://?a", L"https://#f", L"http://\\share\\x",
                             L"http://h/a b", L"http://h/\"x", L"javascript:alert(1)", L"ftp://h/x", L""}) {
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
