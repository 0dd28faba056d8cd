// The download page (tab 1): it owns the pipeline of the current install and
// drives it on the UI thread (every wait inside dispatches messages), shows
// its progress through the UI-side view, runs the picture slides and the web
// ads panel, and carries out "try again" of the download failure tab.
#pragma once

#include <functional>
#include <memory>

#include "install/download_pipeline.h"
#include "ui/ads_carousel.h"
#include "ui/finish_page.h"
#include "ui/general_page.h"
#include "ui/ui_pipeline_view.h"
#include "ui/web_ads_panel.h"

namespace ui {

class ProgressPage final : public GeneralPage {
 public:
  // `return_home` shows the home page again and restarts its release check.
  ProgressPage(IWindowOperations& window, IWizardFlow& flow, FinishPage& finish, std::function<void()> return_home,
               install::PipelineTuning tuning = {});
  ~ProgressPage() override;

  // Runs a new pipeline to its end; the caller holds a pass of the gate.
  void Start(const install::OptionMap& options, install::ReleaseSource release_source);
  // "Try again" of the download failure tab.
  void OnRetry();
  // The user quits: no further transfer or install attempt starts.
  void Cancel();
  void AdvanceCarousel(int frame, int frames) { carousel_.Advance(frame, frames); }

  void BindHandlers() override;
  void ApplyTexts() override;

  // The record of the last run; status -1 before the first.
  [[nodiscard]] net::ReleaseInfo release() const;
  [[nodiscard]] bool running() const { return running_; }
  [[nodiscard]] const install::CDownloadPipeline* pipeline() const { return pipeline_.get(); }

 private:
  void PrepareTab();
  void RunStep(install::PipelineResult (install::CDownloadPipeline::*step)());
  void OnPageSwitch(install::WizardPage page);
  void OnFailure(install::WizardPage page, int32_t code);

  FinishPage& finish_;
  std::function<void()> return_home_;
  install::PipelineTuning tuning_;
  AdsCarousel carousel_;
  WebAdsPanel ads_;
  UiPipelineView view_;
  std::unique_ptr<install::CDownloadPipeline> pipeline_;
  bool running_ = false;  // a pipeline step is on the stack (UI thread)
};

}  // namespace ui
