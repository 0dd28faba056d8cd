#include "install/retry_policy.h"

#include "platform/shell_library.h"
#include "platform/text.h"
#include "startup/log.h"

namespace install {

RetryAction RetryActionFor(const std::optional<PipelineFailure>& last_failure) {
  // Nothing failed yet: there is nothing here to try again.
  if (!last_failure) return RetryAction::ReturnToHome;
  switch (last_failure->stage) {
    case FailureStage::Transfer:
      return last_failure->transfer.IsRangeFailure() ? RetryAction::ResumeTransfer : RetryAction::RestartPipeline;
    case FailureStage::Release:
      // Also "no release at all" (not queried). Running the pipeline again on
      // the same record would only fail the same way: the home page asks again.
      return RetryAction::ReturnToHome;
    case FailureStage::Digest:
      // No usable digest to check against, or a refused signature: only a
      // fresh answer can bring another.
      return last_failure->digest == DigestFailure::Mismatch ? RetryAction::RestartPipeline : RetryAction::ReturnToHome;
    case FailureStage::Install: return RetryAction::RestartPipeline;
  }
  return RetryAction::RestartPipeline;
}

ResumeDecision DecideAfterResume(const net::DownloadOutcome& resumed, bool digest_matches) {
  if (!resumed.Ok()) return {AfterResume::TransferFailure, PipelineFailure::Transfer(resumed)};
  if (!digest_matches) {
    return {AfterResume::DigestFailure, PipelineFailure::Digest(DigestFailure::Mismatch)};
  }
  return {AfterResume::Install, {}};
}

bool IsOpenableWebAddress(const std::wstring& url) {
  const std::wstring lower = platform::AsciiLower(url);
  const bool web = lower.rfind(L"http://", 0) == 0 || lower.rfind(L"https://", 0) == 0;
  if (!web || url.size() > 2048) return false;
  const size_t scheme_end = lower.find(L"://") + 3;
  // A host comes first: "http:///x" or "https://?a" names none.
  if (scheme_end >= url.size() || url[scheme_end] == L'/' || url[scheme_end] == L'?' || url[scheme_end] == L'#' ||
      url[scheme_end] == L'\\') {
    return false;
  }
  for (wchar_t c : url) {
    if (c <= L' ' || c == 0x7F || c == L'"' || c == L'<' || c == L'>') return false;
  }
  return true;
}

std::optional<std::wstring> OfflineLinkFor(WizardPage page, const net::ReleaseStatus& release_status,
                                           const std::wstring& configured_offline_url,
                                           const std::string& first_download_url) {
  if (release_status.Ok()) return platform::AnsiToWide(first_download_url);
  if (page == WizardPage::DownloadFailure) return configured_offline_url;
  return std::nullopt;
}

UrlOpener ShellUrlOpener() {
  return [](const std::wstring& url) { return platform::OpenWithShell(url); };
}

bool OpenOfflineLink(WizardPage page, const net::ReleaseStatus& release_status,
                     const std::wstring& configured_offline_url, const std::string& first_download_url,
                     const UrlOpener& opener) {
  const std::optional<std::wstring> url =
      OfflineLinkFor(page, release_status, configured_offline_url, first_download_url);
  if (!url) return false;
  if (!IsOpenableWebAddress(*url)) {
    startup::Log("Offline link not opened: not a web address: %s\n", *url);
    return false;
  }
  return opener(*url);
}

std::array<std::optional<std::wstring>, 3> FailureStepLines(const std::wstring& steps) {
  std::array<std::optional<std::wstring>, 3> lines;
  size_t start = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const size_t plus = steps.find(L'+', start);
    const std::wstring piece = steps.substr(start, plus == std::wstring::npos ? plus : plus - start);
    lines[i] = (i == 0 ? std::wstring(L"\x2022  ") : std::wstring(L"   ")) + piece;
    if (plus == std::wstring::npos) break;
    start = plus + 1;
  }
  return lines;
}

bool RequestRestart(const startup::ExitWindowsCall& exit_windows) {
  startup::Log("Restart of Windows requested from the install failure page\n");
  return startup::RestartWindows(exit_windows);
}

}  // namespace install
