#include "install/pipeline_view.h"

#include "startup/log.h"

namespace install {

void HeadlessPipelineView::Progress(int percent) {
  if (last_percent_.exchange(percent) != percent) startup::Log("Progress=%d%%\n", percent);
}

void HeadlessPipelineView::Stage(int percent) { startup::Log("InstallStage=%d%%\n", percent); }

void HeadlessPipelineView::TipText(const std::wstring& text) { startup::Log("Tip=%s\n", text); }

void HeadlessPipelineView::SwitchPage(WizardPage page) {
  startup::Log("SwitchPage=%d\n", static_cast<int>(page));
}

void HeadlessPipelineView::Failure(WizardPage page, int32_t code) {
  startup::Log("Failure page=%d code=%d\n", static_cast<int>(page), code);
}

}  // namespace install
