// What the failure pages do, as plain decisions: what "try again" resumes or
// restarts, which offline installer page opens, the step lines shown, and
// the restart request. The pages themselves only carry these out.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "install/pipeline_failure.h"
#include "install/pipeline_view.h"
#include "net/release_status.h"
#include "startup/system_probes.h"

namespace install {

enum class RetryAction {
  ResumeTransfer,   // the ranges on disk are kept: resume the same downloader
  ReturnToHome,     // the release query failed: back to the home page, which asks again
  RestartPipeline,  // run the whole pipeline again
};

// The download failure page's retry for its last failure (none yet: home).
[[nodiscard]] RetryAction RetryActionFor(const std::optional<PipelineFailure>& last_failure);

enum class AfterResume { Install, TransferFailure, DigestFailure };

struct ResumeDecision {
  AfterResume next = AfterResume::Install;
  PipelineFailure failure;  // what the download failure page shows when not Install
};

// After a resumed transfer ended with `resumed`: install a verified file,
// or show the download failure page again.
[[nodiscard]] ResumeDecision DecideAfterResume(const net::DownloadOutcome& resumed, bool digest_matches);

// Only web pages are opened: the server's download address must not be able
// to make the shell run a local program or document.
[[nodiscard]] bool IsOpenableWebAddress(const std::wstring& url);

// The page that the "offline installer" button opens, nullopt when it does
// nothing: the release's first download when the query succeeded.
[[nodiscard]] std::optional<std::wstring> OfflineLinkFor(WizardPage page, const net::ReleaseStatus& release_status,
                                                         const std::wstring& configured_offline_url,
                                                         const std::string& first_download_url);

// Opens a web address in the default browser; tests substitute a recorder.
using UrlOpener = std::function<bool(const std::wstring& url)>;
[[nodiscard]] UrlOpener ShellUrlOpener();

// Opens the link when there is one and it is a web address; false otherwise.
[[nodiscard]] bool OpenOfflineLink(WizardPage page, const net::ReleaseStatus& release_status,
                                   const std::wstring& configured_offline_url, const std::string& first_download_url,
                                   const UrlOpener& opener = ShellUrlOpener());

// The three step lines of the install failure page from a "+"-separated
// text: the first gets a bullet, the next two an indent; lines without a
// piece are hidden (nullopt). Further pieces are ignored.
[[nodiscard]] std::array<std::optional<std::wstring>, 3> FailureStepLines(const std::wstring& steps);

// The install failure page's restart button.
[[nodiscard]] bool RequestRestart(const startup::ExitWindowsCall& exit_windows = startup::SystemExitWindows());

}  // namespace install
