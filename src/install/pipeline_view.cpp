#include "install/pipeline_view.h"

#include "platform/windows_api.h"
#include "startup/log.h"

namespace install {

void HeadlessPipelineView::Progress(int percent) {
  if (last_percent_.exchange(percent) != percent) startup::Log("Progress=%d%%\n", percent);
}

void HeadlessPipelineView::Stage(int percent) { startup::Log("InstallStage=%d%%\n", percent); }

void HeadlessPipelineView::TipText(const std::wstring& text) {
  // A transfer repeats its tip every 800 ms with new byte counts: log a tip
  // when its label (the text before ':') changes, else every ten seconds.
  const std::wstring label = text.substr(0, text.find(L':'));
  const ULONGLONG now = ::GetTickCount64();
  {
    std::lock_guard guard(tip_mutex_);
    if (label == last_tip_label_ && now - last_tip_logged_ < kTipLogIntervalMs) return;
    last_tip_label_ = label;
    last_tip_logged_ = now;
  }
  startup::Log("Tip=%s\n", text);
}

void HeadlessPipelineView::SwitchPage(WizardPage page) { startup::Log("SwitchPage=%d\n", static_cast<int>(page)); }

void HeadlessPipelineView::Failure(WizardPage page, int32_t code) {
  startup::Log("Failure page=%d code=%d\n", static_cast<int>(page), code);
}

}  // namespace install
