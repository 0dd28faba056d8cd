#include "ui/wizard.h"

#include "net/release_status.h"
#include "startup/log.h"
#include "ui/kdv_home_page.h"
#include "ui/qs_home_page.h"

namespace ui {

Wizard::Wizard(IWindowOperations& window, IShell& shell, WizardSettings settings)
    : window_(window),
      shell_(shell),
      settings_(std::move(settings)),
      finish_(window, *this),
      failures_(window, *this, [this] { return progress_.release(); }),
      progress_(
          window, *this, finish_, [this] { ReturnHome(); }, settings_.tuning),
      first_page_(MakeFirstPage()) {
  finish_.BindHandlers();
  failures_.BindHandlers();
  failures_.ApplyTexts();
  progress_.BindHandlers();
  progress_.ApplyTexts();
  window_.RegisterHandler(L"minimize", [this](const ControlEvent& event) {
    if (event.type == L"click") window_.Minimize();
  });
  // The progress tab's own close button is the window's close.
  window_.RegisterHandler(L"btn_CloseProgress", [this](const ControlEvent& event) {
    if (event.type == L"click") RequestClose();
  });
}

Wizard::~Wizard() = default;

std::unique_ptr<NormalPage> Wizard::MakeFirstPage() {
  switch (settings_.variant) {
    case QsHomePage::kVariant:
      return std::make_unique<QsHomePage>(window_, *this, settings_.language, settings_.language_folder);
    case KdvHomePage::kVariant:
      return std::make_unique<KdvHomePage>(window_, *this, settings_.language, settings_.language_folder);
    default: {
      auto home = std::make_unique<HomePage>(window_, *this, settings_.language, settings_.language_folder,
                                             settings_.check_release);
      home_ = home.get();
      return home;
    }
  }
}

void Wizard::Start() {
  // Only the product's home page asks the release server before Install;
  // the other variants leave that to the pipeline.
  if (home_ != nullptr) {
    window_.SetTimer(kReleaseCheckTimer, 0);
    window_.SetTimer(kLoadingTextTimer, kLoadingTextMs);
  }
  window_.SetTimer(kSlideClockTimer, kSlideClockMs);
}

void Wizard::OnTimer(UINT id) {
  switch (id) {
    case kReleaseCheckTimer:
      if (home_ != nullptr) RunReleaseCheck();
      return;
    case kLoadingTextTimer:
      if (home_ != nullptr) home_->ShowLoadingText();
      return;
    case kSlideClockTimer:
      if (window_.CurrentIndex(kWizardTab) != kProgressTab) return;
      if (++slide_ticks_ >= kTicksPerSlide) {
        slide_ticks_ = 0;
        window_.SetTimer(kSlideFrameTimer, kSlideFrameMs);
      }
      return;
    case kSlideFrameTimer:
      if (window_.CurrentIndex(kWizardTab) != kProgressTab) return;
      progress_.AdvanceCarousel(++slide_frame_, AdsCarousel::kFrames);
      if (slide_frame_ >= AdsCarousel::kFrames) {
        slide_frame_ = 0;
        window_.KillTimer(kSlideFrameTimer);
      }
      return;
    default: return;
  }
}

void Wizard::RunReleaseCheck() {
  window_.KillTimer(kReleaseCheckTimer);
  const bool ok = home_->CheckRelease();  // the window keeps running meanwhile
  window_.KillTimer(kLoadingTextTimer);
  startup::Log("Release check done: status %d\n", net::ReleaseNumber(home_->release().status));
  if (quitting()) return;
  if (ok) {
    home_->EnableControls(true);
    home_->UpdateInstallButton();
  } else {
    // The download page shows the failure and offers the ways out.
    home_->StartInstall(StartMode::SkipChecks);
  }
}

void Wizard::StartDownload(const install::OptionMap& options) {
  // Without the home page's record the pipeline asks the release server itself.
  progress_.Start(
      options, [this] { return home_ != nullptr && home_->release_ready() ? home_->release() : net::ReleaseInfo{}; });
}

bool Wizard::ShowComparison(const install::OptionMap& options) {
  if (!comparison_) comparison_ = std::make_unique<ComparisonPage>(window_, *this);
  comparison_->Show(options);
  return true;
}

void Wizard::ReturnHome() {
  window_.SelectItem(kWizardTab, kHomeTab);
  Start();
}

void Wizard::RequestClose() {
  if (asking_to_close_ || quitting()) return;
  switch (window_.CurrentIndex(kWizardTab)) {
    case kDownloadFailureTab:
    case kInstallFailureTab:
    case kComparisonTab: Quit(); return;
    case kFinishTab:
      if (finish_.active()) finish_.CloseSequence();
      return;
    default: break;
  }
  DialogTexts texts;
  texts.description = kQuitDialog;
  texts.title = Text("ProductName");
  texts.confirm = Text("Quit");
  texts.dismiss = Text("Canncel");
  texts.tip = Text("QuitTips");
  texts.detail = Text("QuitTipsDetail");
  asking_to_close_ = true;
  const int result = window_.ShowDialog(texts);
  asking_to_close_ = false;
  if (result == kDialogConfirm) Quit();
}

void Wizard::Quit() {
  if (quitting()) return;
  startup::Log("The wizard quits%s\n", progress_.running() ? " during the install" : "");
  gate_.Close();
  progress_.Cancel();
  for (UINT timer : {kReleaseCheckTimer, kLoadingTextTimer, kSlideClockTimer, kSlideFrameTimer}) {
    window_.KillTimer(timer);
  }
  window_.Quit();
}

void Wizard::LanguageChanged() {
  first_page_->ApplyTexts();
  progress_.ApplyTexts();
  failures_.ApplyTexts();
  if (finish_.active()) finish_.ApplyTexts();
}

}  // namespace ui
