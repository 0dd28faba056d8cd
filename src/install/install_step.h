// The step after a verified download: remove the previous generation, run
// the installer (up to four attempts), then show the result: the install
// failure page, or the finish page with the companion offer carried out.
// Everything it needs arrives as plain values, so the pipeline and tests can
// run it without a release query or a window.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "install/companion_launch.h"
#include "install/install_attempts.h"
#include "install/installed_version.h"
#include "install/pipeline_view.h"
#include "install/previous_generation.h"

namespace install {

struct InstallStepInputs {
  UninstallSettings uninstall;
  UninstallBounds uninstall_bounds;
  std::wstring uninstalling_text;  // tip line while the old generation goes
  InstallAttemptsInputs attempts;
  bool silent = false;  // unattended: no finish page, no companion
  // The companion offer: started after a success when accepted and offered.
  bool companion_accepted = false;  // the "recommendChk" option was "true"
  std::wstring companion_url;       // from the release record
  std::wstring refer_number;        // from the release record
  std::wstring own_executable;      // this program, started in companion-fetch mode
};

enum class InstallStepEnd {
  Installed,      // the caller marks the run report "installed"
  Failed,         // the install failure page was shown with `failure_code`
  Cancelled,      // the user quit: nothing further started
  QuitRequested,  // the application is closing (WM_QUIT posted again)
};

struct InstallStepResult {
  InstallStepEnd end = InstallStepEnd::Failed;
  int32_t failure_code = 0;
  UninstallEnd uninstall = UninstallEnd::NothingToDo;
  InstallOutcome attempts;
  CompanionStart companion = CompanionStart::Skipped;
};

// `cancel` is written by the UI thread's handlers during the waits.
[[nodiscard]] InstallStepResult RunInstallStep(const InstallStepInputs& inputs, IPipelineView& view,
                                               const std::atomic<bool>& cancel);

}  // namespace install
