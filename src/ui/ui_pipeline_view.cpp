#include "ui/ui_pipeline_view.h"

#include "platform/text.h"

namespace ui {

UiPipelineView::UiPipelineView(IWindowOperations& window, Handlers handlers)
    : window_(window), handlers_(std::move(handlers)), self_(std::make_shared<UiPipelineView*>(this)) {}

UiPipelineView::~UiPipelineView() = default;

void UiPipelineView::Post(std::function<void(UiPipelineView&)> apply) {
  std::weak_ptr<UiPipelineView*> target = self_;
  window_.PostToUiThread([target, apply = std::move(apply)] {
    if (const std::shared_ptr<UiPipelineView*> view = target.lock()) apply(**view);
  });
}

void UiPipelineView::Progress(int percent) {
  Post([percent](UiPipelineView& view) { view.ShowPercent(percent); });
}

void UiPipelineView::TransferBytes(uint64_t done, uint64_t total) {
  // The time is taken here: the queue's delay must not bend the speed.
  const uint64_t now = ::GetTickCount64();
  Post([now, done, total](UiPipelineView& view) {
    view.rate_.Add(now, done, total);
    view.ShowRate();
  });
}

void UiPipelineView::Stage(int percent) {
  Post([percent](UiPipelineView& view) {
    view.ShowPercent(percent);
    // Installing: the transfer figures no longer apply.
    view.rate_.Reset();
    view.ShowRate();
  });
}

void UiPipelineView::TipText(const std::wstring& text) {
  Post([text](UiPipelineView& view) { view.window_.SetText(kProgressTip, text); });
}

void UiPipelineView::TransferStalled() {
  Post([](UiPipelineView& view) { view.window_.SetTaskbarProgress(toolkit::TaskbarState::Paused, view.percent_); });
}

void UiPipelineView::SwitchPage(install::WizardPage page) {
  Post([page](UiPipelineView& view) {
    if (page == install::WizardPage::Finish || page == install::WizardPage::Home)
      view.window_.SetTaskbarProgress(toolkit::TaskbarState::None, 0);
    if (view.handlers_.switch_page) view.handlers_.switch_page(page);
  });
}

void UiPipelineView::Failure(install::WizardPage page, int32_t code) {
  Post([page, code](UiPipelineView& view) {
    view.window_.SetTaskbarProgress(toolkit::TaskbarState::Error, view.percent_);
    view.rate_.Reset();
    view.ShowRate();
    if (view.handlers_.failure) view.handlers_.failure(page, code);
  });
}

void UiPipelineView::ResetTransfer() {
  rate_.Reset();
  ShowRate();
  ShowPercent(0);
}

void UiPipelineView::ShowPercent(int percent) {
  percent_ = percent;
  window_.SetTaskbarProgress(toolkit::TaskbarState::Normal, percent);
  window_.SetAttribute(kProgressBar, L"value", platform::DecimalText(percent));
  window_.SetText(kProgressPercent, platform::DecimalText(percent) + L"%");
}

void UiPipelineView::ShowRate() {
  const std::optional<uint64_t> speed = rate_.BytesPerSecond();
  const std::optional<uint64_t> left = rate_.SecondsLeft();
  if (speed) window_.SetText(kProgressSpeed, SpeedText(*speed));
  if (left) window_.SetText(kProgressTimeLeft, TimeLeftText(*left));
  window_.SetVisible(kProgressSpeed, speed.has_value());
  window_.SetVisible(kProgressTimeLeft, left.has_value());
}

}  // namespace ui
