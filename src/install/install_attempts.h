// The install step after the download: up to four runs of the installer,
// one at a time, with staged progress while each runs, and the decision on
// the result. Cancel and quit requests stop further attempts; a running
// installer is always left to finish on its own.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "install/pipeline_view.h"
#include "platform/windows_api.h"

namespace install {

inline constexpr int kMaxInstallAttempts = 4;

struct InstallAttemptsInputs {
  std::wstring installer_path;   // absolute
  std::wstring parameters;       // BuildInstallerCommandLine's text
  std::wstring setup_log_path;   // empty: the installer writes none
  bool show_progress = true;     // false in unattended mode: no stages, no tip line
  std::wstring installing_text;  // the tip line while installing
  DWORD stage_interval_ms = 1000;
  int max_attempts = kMaxInstallAttempts;
};

enum class InstallEnd {
  Succeeded,      // an attempt returned 0
  Failed,         // every attempt failed; `result` is the last one
  Cancelled,      // the cancel flag stopped further attempts
  QuitRequested,  // the application is closing (WM_QUIT posted again)
};

struct InstallOutcome {
  InstallEnd end = InstallEnd::Failed;
  int32_t result = 0;  // last installer result (exit code, 998 or 999)
  int attempts = 0;    // installer runs started
  // The install failure page's code.
  [[nodiscard]] int32_t FailureCode() const;
};

// `cancel` is written by the UI thread (a handler run during the wait) and
// read here between attempts.
[[nodiscard]] InstallOutcome RunInstallAttempts(const InstallAttemptsInputs& inputs, IPipelineView& view,
                                                const std::atomic<bool>& cancel);

}  // namespace install
