#include "install/retry_policy.h"

#include <shellapi.h>

#include "install/result_codes.h"
#include "platform/text.h"
#include "startup/log.h"

namespace install {

RetryAction RetryActionFor(int32_t last_error_code) {
  const int32_t c = last_error_code;
  if (c / 100 == (kTransferFailureBand + 300) / 100) return RetryAction::ResumeTransfer;
  // Release failures: 1000 + status, including 999 for "no release at all"
  // (status -1). Running the pipeline again on the same record would only
  // fail the same way, so the home page asks the server again.
  if (c < 2 * kReleaseFailureBand) return RetryAction::ReturnToHome;
  // No digest to check against: only a fresh answer can bring one.
  if (c == kNoExpectedDigest) return RetryAction::ReturnToHome;
  return RetryAction::RestartPipeline;
}

ResumeDecision DecideAfterResume(int32_t resume_code, bool digest_matches) {
  if (resume_code != 0) return {AfterResume::TransferFailure, kTransferFailureBand + resume_code};
  if (!digest_matches) return {AfterResume::DigestFailure, kDigestMismatch};
  return {AfterResume::Install, 0};
}

bool IsOpenableWebAddress(const std::wstring& url) {
  const std::wstring lower = platform::AsciiLower(url);
  const bool web = lower.rfind(L"http://", 0) == 0 || lower.rfind(L"https://", 0) == 0;
  if (!web || url.size() > 2048) return false;
  const size_t scheme_end = lower.find(L"://") + 3;
  // A host comes first: "http:///x" or "https://?a" names none.
  if (scheme_end >= url.size() || url[scheme_end] == L'/' || url[scheme_end] == L'?' ||
      url[scheme_end] == L'#' || url[scheme_end] == L'\\') {
    return false;
  }
  for (wchar_t c : url) {
    if (c <= L' ' || c == 0x7F || c == L'"' || c == L'<' || c == L'>') return false;
  }
  return true;
}

std::optional<std::wstring> OfflineLinkFor(WizardPage page, int release_status,
                                           const std::wstring& configured_offline_url,
                                           const std::string& first_download_url) {
  if (release_status == 0) return platform::AnsiToWide(first_download_url);
  if (page == WizardPage::DownloadFailure) return configured_offline_url;
  return std::nullopt;
}

UrlOpener ShellUrlOpener() {
  return [](const std::wstring& url) {
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
  };
}

bool OpenOfflineLink(WizardPage page, int release_status,
                     const std::wstring& configured_offline_url,
                     const std::string& first_download_url, const UrlOpener& opener) {
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
