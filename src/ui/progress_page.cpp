#include "ui/progress_page.h"

#include "install/retry_policy.h"
#include "startup/log.h"

namespace ui {
namespace {

const char* EndName(install::PipelineEnd end) {
  switch (end) {
    case install::PipelineEnd::Installed: return "installed";
    case install::PipelineEnd::DownloadFailure: return "download failure";
    case install::PipelineEnd::InstallFailure: return "install failure";
    case install::PipelineEnd::Cancelled: return "cancelled";
    case install::PipelineEnd::QuitRequested: return "quit requested";
    case install::PipelineEnd::ReturnToHome: return "back to the home page";
    case install::PipelineEnd::NothingToResume: return "nothing to resume";
    case install::PipelineEnd::Refused: return "refused: another run is in progress";
  }
  return "unknown";
}

}  // namespace

ProgressPage::ProgressPage(IWindowOperations& window, IWizardFlow& flow, FinishPage& finish,
                           std::function<void()> return_home, install::PipelineTuning tuning)
    : GeneralPage(window, flow),
      finish_(finish),
      return_home_(std::move(return_home)),
      tuning_(tuning),
      carousel_(window),
      ads_(window, flow.shell()),
      view_(window, {[this](install::WizardPage page) { OnPageSwitch(page); },
                     [this](install::WizardPage page, int32_t code) { OnFailure(page, code); }}) {}

ProgressPage::~ProgressPage() = default;

void ProgressPage::BindHandlers() {
  OnClick(L"downloadRetry", [this] { OnRetry(); });
}

void ProgressPage::ApplyTexts() {
  if (!running_) window().SetText(kProgressTip, Text("Downloading"));
}

net::ReleaseInfo ProgressPage::release() const { return pipeline_ ? pipeline_->ReleaseRecord() : net::ReleaseInfo{}; }

void ProgressPage::PrepareTab() {
  carousel_.Advance(0, 0);
  window().SetText(kProgressTip, Text("Downloading"));
  view_.ResetTransfer();
  ads_.Hide();
  window().SelectItem(kWizardTab, kProgressTab);
}

void ProgressPage::Start(const install::OptionMap& options, install::ReleaseSource release_source) {
  PrepareTab();
  // The tab is on the screen before the pipeline's set-up and first file
  // checks: the window answers and paints in between, not after all of it.
  if (!window().CatchUp() || flow().gate().closed()) return;
  install::PipelineHooks hooks;
  hooks.show_ads = [this](const std::string& url) { return ads_.Load(url); };
  pipeline_ = std::make_unique<install::CDownloadPipeline>(
      std::move(release_source), install::PipelineSettingsFromStores(options, install::PipelineMode::Interactive),
      view_, std::move(hooks), tuning_);
  RunStep(&install::CDownloadPipeline::Run);
}

void ProgressPage::OnRetry() {
  const std::optional<PipelineGate::Pass> pass = flow().gate().Enter("Retry");
  if (!pass) return;
  if (!pipeline_) {
    startup::Log("Retry: no install to try again\n");
    return;
  }
  if (install::RetryActionFor(pipeline_->LastFailure()) != install::RetryAction::ReturnToHome) PrepareTab();
  RunStep(&install::CDownloadPipeline::Retry);
}

void ProgressPage::RunStep(install::PipelineResult (install::CDownloadPipeline::*step)()) {
  running_ = true;
  install::PipelineResult result = ((*pipeline_).*step)();
  if (result.end == install::PipelineEnd::NothingToResume) {
    // Nothing left to resume: the whole run, rather than a tab that waits forever.
    startup::Log("Retry: nothing to resume; running the install again\n");
    result = pipeline_->RunAgain();
  }
  running_ = false;
  startup::Log("Pipeline ended: %s, code %d\n", EndName(result.end), result.failure_code);
  if (result.end == install::PipelineEnd::ReturnToHome && return_home_) return_home_();
}

void ProgressPage::Cancel() {
  if (pipeline_) pipeline_->Cancel();
}

void ProgressPage::OnPageSwitch(install::WizardPage page) {
  switch (page) {
    case install::WizardPage::Finish:
      ads_.Hide();
      finish_.Activate();
      return;
    case install::WizardPage::Home: window().SelectItem(kWizardTab, kHomeTab); return;
    default: window().SelectItem(kWizardTab, static_cast<int>(page)); return;
  }
}

void ProgressPage::OnFailure(install::WizardPage page, int32_t code) {
  startup::Log("Failure page %d shown with code %d\n", static_cast<int>(page), code);
  ads_.Hide();
  window().SelectItem(kWizardTab, static_cast<int>(page));
}

}  // namespace ui
