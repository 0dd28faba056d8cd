#include "install/install_step.h"

#include "startup/log.h"

namespace install {
namespace {

bool CancelledBefore(const char* what, const std::atomic<bool>& cancel) {
  if (!cancel.load()) return false;
  startup::Log("Install cancelled before %s\n", what);
  return true;
}

}  // namespace

InstallStepResult RunInstallStep(const InstallStepInputs& inputs, IPipelineView& view,
                                 const std::atomic<bool>& cancel) {
  InstallStepResult result;
  if (CancelledBefore("the uninstall", cancel)) {
    result.end = InstallStepEnd::Cancelled;
    return result;
  }
  result.uninstall =
      UninstallPreviousGeneration(inputs.uninstall, view, inputs.uninstalling_text, cancel, inputs.uninstall_bounds);
  if (result.uninstall == UninstallEnd::QuitRequested) {
    result.end = InstallStepEnd::QuitRequested;
    return result;
  }
  if (result.uninstall == UninstallEnd::Cancelled || CancelledBefore("the install", cancel)) {
    result.end = InstallStepEnd::Cancelled;
    return result;
  }

  result.attempts = RunInstallAttempts(inputs.attempts, view, cancel);
  switch (result.attempts.end) {
    case InstallEnd::QuitRequested: result.end = InstallStepEnd::QuitRequested; return result;
    case InstallEnd::Cancelled: result.end = InstallStepEnd::Cancelled; return result;
    case InstallEnd::Failed:
      result.end = InstallStepEnd::Failed;
      result.failure_code = result.attempts.FailureCode();
      startup::Log("SwitchInstallErrorPage=%d\n", result.failure_code);
      view.Failure(WizardPage::InstallFailure, result.failure_code);
      return result;
    case InstallEnd::Succeeded: break;
  }
  result.end = InstallStepEnd::Installed;
  if (inputs.silent) return result;
  if (inputs.companion_accepted && !inputs.companion_url.empty()) {
    result.companion = StartCompanionFetch(inputs.own_executable, inputs.refer_number, inputs.companion_url);
  }
  view.SwitchPage(WizardPage::Finish);
  return result;
}

}  // namespace install
