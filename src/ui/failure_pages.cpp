#include "ui/failure_pages.h"

#include "install/retry_policy.h"
#include "platform/text.h"
#include "startup/launch_parameters.h"
#include "startup/log.h"
#include "startup/product_config.h"

namespace ui {
namespace {

constexpr const wchar_t* kRestartLines[] = {L"installErrorFirst", L"installErrorSecond", L"installErrorThird"};
constexpr const wchar_t* kOfflineLines[] = {L"installErrorFouth", L"installErrorFifth", L"installErrorSixth"};
constexpr int kButtonMargin = 16;

}  // namespace

FailurePages::FailurePages(IWindowOperations& window, IWizardFlow& flow, std::function<net::ReleaseInfo()> release)
    : GeneralPage(window, flow), release_(std::move(release)) {}

void FailurePages::BindHandlers() {
  OnClick(L"downloadOffline", [this] { OpenOfflineInstaller(install::WizardPage::DownloadFailure); });
  OnClick(L"installOffline", [this] { OpenOfflineInstaller(install::WizardPage::InstallFailure); });
  OnClick(L"installRetry", [this] { OnRestart(); });
  OnClick(L"downloadErrBtnClose", [this] { flow().Quit(); });
  OnClick(L"installErrBtnClose", [this] { flow().Quit(); });
}

void FailurePages::ApplyTexts() {
  window().SetText(L"downloadFailedTitle", Text("DownloadFailed"));
  window().SetText(L"downloadFailedMsg", Text("CheckNet"));
  window().SetText(L"downloadOffline", Text("DownloadOffline"));
  window().SetText(L"downloadRetry", Text("Retry"));
  FitButton(L"downloadOffline");
  FitButton(L"downloadRetry");
  window().SetText(L"installFailedTitle", Text("InstallFailed"));
  window().SetText(L"installFailedMsg", TextWith("InstallFailedTips", "ProductName"));
  window().SetText(L"installOffline", Text("DownloadOffline"));
  window().SetText(L"installRetry", Text("Restart"));
  FitButton(L"installRetry");
  FitButton(L"installOffline");
  window().SetText(L"installErrorMsg", Text("FailedSolveSteps"));

  const auto restart = install::FailureStepLines(Text("RestartStep"));
  const auto offline = install::FailureStepLines(Text("DownloadOfflineStep"));
  for (size_t i = 0; i < 3; ++i) {
    window().SetVisible(kRestartLines[i], restart[i].has_value());
    if (restart[i]) window().SetText(kRestartLines[i], *restart[i]);
    window().SetVisible(kOfflineLines[i], offline[i].has_value());
    if (offline[i]) window().SetText(kOfflineLines[i], *offline[i]);
  }

  if (startup::Parameters().IsVexaEdition()) {
    for (const wchar_t* logo : {L"app_logo_install", L"app_logo_install_error", L"app_logo_download_error"}) {
      window().SetVisible(logo, false);
    }
    window().SetAttribute(L"installErrIco", L"bkimage", L"ico_empty_vexa.png");
  }
}

void FailurePages::FitButton(const wchar_t* name) {
  const int needed = window().FittingWidth(name, window().ReadState(name, L"text"));
  if (needed > platform::SmallDecimal(window().ReadState(name, L"width"))) {
    window().SetAttribute(name, L"width", platform::DecimalText(needed + kButtonMargin));
  }
}

void FailurePages::OpenOfflineInstaller(install::WizardPage page) {
  const net::ReleaseInfo release = release_();
  (void)install::OpenOfflineLink(page, release.status, startup::Config().GetForEdition("OfflineDownloadUrl"),
                                 release.sources[0].url,
                                 [this](const std::wstring& url) { return flow().shell().OpenUrl(url); });
}

void FailurePages::OnRestart() {
  const std::optional<PipelineGate::Pass> pass = flow().gate().Enter("Restart");
  if (!pass) return;
  DialogTexts texts;
  texts.description = kQuitDialog;
  texts.title = Text("ProductName");
  texts.confirm = Text("Restart");
  texts.dismiss = Text("Canncel");
  texts.tip = Text("RestartTips");
  texts.detail = Text("RestartTipsDetail");
  if (window().ShowDialog(texts) != kDialogConfirm) {
    startup::Log("Restart of Windows declined\n");
    return;
  }
  if (!flow().shell().RestartWindows()) startup::Log("Restart of Windows was not possible\n");
}

}  // namespace ui
