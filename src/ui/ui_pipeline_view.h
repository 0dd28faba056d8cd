// The pipeline's view in the wizard: every report, whichever thread it comes
// from (download worker, stage thread, the UI thread itself), is posted to
// the UI thread as a closure holding values only, so reports reach the
// controls in the order they were made and no worker touches a control.
// The taskbar button follows: the value while downloading and installing,
// paused after a stall, the error colour on a failure page, nothing once
// the run leaves the progress tab for the finish or home page.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "install/pipeline_view.h"
#include "ui/transfer_rate.h"
#include "ui/window_operations.h"

namespace ui {

// Tab 1's progress controls.
inline constexpr wchar_t kProgressBar[] = L"slrProgress";
inline constexpr wchar_t kProgressPercent[] = L"progressValue";
inline constexpr wchar_t kProgressTip[] = L"progressTip";
inline constexpr wchar_t kProgressSpeed[] = L"progressSpeed";
inline constexpr wchar_t kProgressTimeLeft[] = L"progressTimeLeft";

class UiPipelineView final : public install::IPipelineView {
 public:
  // Page switches and failures are handed to the page on the UI thread.
  struct Handlers {
    std::function<void(install::WizardPage page)> switch_page;
    std::function<void(install::WizardPage page, int32_t code)> failure;
  };

  UiPipelineView(IWindowOperations& window, Handlers handlers);
  ~UiPipelineView() override;
  UiPipelineView(const UiPipelineView&) = delete;
  UiPipelineView& operator=(const UiPipelineView&) = delete;

  void Progress(int percent) override;
  void TransferBytes(uint64_t done, uint64_t total) override;
  void Stage(int percent) override;
  void TipText(const std::wstring& text) override;
  void TransferStalled() override;
  void SwitchPage(install::WizardPage page) override;
  void Failure(install::WizardPage page, int32_t code) override;

  // UI thread: a new run starts (no speed history, labels hidden).
  void ResetTransfer();

 private:
  // Posts `apply` to run on the UI thread unless this view is gone by then.
  void Post(std::function<void(UiPipelineView&)> apply);
  void ShowPercent(int percent);
  void ShowRate();

  IWindowOperations& window_;
  Handlers handlers_;
  int percent_ = 0;    // UI thread: the bar's value
  TransferRate rate_;  // UI thread only
  // Closures hold a weak reference: a report still queued when the wizard
  // ends finds the view gone and does nothing.
  std::shared_ptr<UiPipelineView*> self_;
};

}  // namespace ui
