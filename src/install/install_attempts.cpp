#include "install/install_attempts.h"

#include "install/pipeline_failure.h"
#include "install/process_launcher.h"
#include "install/result_codes.h"
#include "install/setup_log.h"
#include "install/stage_sequence.h"
#include "startup/log.h"

namespace install {
namespace {

// What the installer itself wrote last goes into our log for support.
void LogSetupLogTail(const std::wstring& path) {
  for (const std::string& line : SetupLogTail(path)) startup::Log("Setup log: %s\n", line);
}

}  // namespace

int32_t InstallOutcome::FailureCode() const { return FailureNumber(PipelineFailure::Install(result)); }

InstallOutcome RunInstallAttempts(const InstallAttemptsInputs& inputs, IPipelineView& view,
                                  const std::atomic<bool>& cancel) {
  InstallOutcome outcome;
  StageSequence stages(view, inputs.stage_interval_ms);
  while (outcome.attempts < inputs.max_attempts) {
    if (cancel.load()) {
      startup::Log("Install cancelled before attempt %d\n", outcome.attempts + 1);
      outcome.end = InstallEnd::Cancelled;
      return outcome;
    }
    if (inputs.show_progress) {
      (void)stages.Start();  // without stages the install still runs (logged)
      view.TipText(inputs.installing_text);
    }
    RemoveSetupLog(inputs.setup_log_path);
    ++outcome.attempts;
    const ProcessRun run = RunAndWait(inputs.installer_path, inputs.parameters);
    outcome.result = run.code;
    if (run.end == WaitEnd::QuitRequested) {
      outcome.end = InstallEnd::QuitRequested;
      return outcome;  // the stage sequence ends with `stages`
    }
    if (run.code == 0) {
      outcome.end = InstallEnd::Succeeded;
      return outcome;
    }
    startup::Log("Install attempt %d of %d failed with %d\n", outcome.attempts, inputs.max_attempts, run.code);
    LogSetupLogTail(inputs.setup_log_path);
  }
  outcome.end = InstallEnd::Failed;
  return outcome;
}

}  // namespace install
