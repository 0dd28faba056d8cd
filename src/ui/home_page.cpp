#include "ui/home_page.h"

#include "install/installed_version.h"
#include "platform/registry_key.h"
#include "platform/text.h"
#include "startup/launch_parameters.h"
#include "startup/log.h"
#include "startup/product_config.h"
#include "startup/product_presence.h"
#include "startup/system_probes.h"
#include "ui/link_text.h"

namespace ui {
namespace {

constexpr wchar_t kInstallButton[] = L"btn_Install";
constexpr wchar_t kLatestLink[] = L"linker_Latest";

std::wstring ReadMachineString(const std::wstring& path, const std::wstring& name, platform::RegistryView view) {
  const platform::RegistryKey key = platform::RegistryKey::Open(HKEY_LOCAL_MACHINE, path, view, KEY_READ);
  return key.IsValid() ? key.ReadString(name).value_or(std::wstring()) : std::wstring();
}

}  // namespace

HomePage::HomePage(IWindowOperations& window, IWizardFlow& flow, std::string language, std::wstring language_folder,
                   ReleaseChecker checker)
    : NormalPage(window, flow, std::move(language), std::move(language_folder)), checker_(std::move(checker)) {
  Setup(0);
  EnableControls(false);
  // Usable while loading; pressing it does nothing until the release is in.
  window.SetAttribute(kInstallButton, L"enabled", L"true");
  if (startup::Parameters().IsVexaEdition()) window.SetVisible(L"app_logo_home", false);
}

bool HomePage::CheckRelease() {
  ResetInstallButton();
  CollectOptions();
  const std::string language = platform::WideToAnsi(options().at("LANG"));
  SetRelease(checker_(language));
  return release().status.Ok();
}

void HomePage::ResetInstallButton() {
  window().SetVisible(kLatestLink, false);
  window().SetText(kInstallButton, Text("BtnLoading"));
}

void HomePage::ShowLoadingText() {
  static constexpr const wchar_t* kDots[] = {L".", L"..", L"..."};
  window().SetText(kInstallButton, Text("BtnLoading") + kDots[loading_ticks_ % 3]);
  ++loading_ticks_;
}

int HomePage::InstallState() const {
  return install::InstallMode(release().status, release().productVersion, install::UninstallSettingsFromConfig());
}

void HomePage::UpdateInstallButton() {
  const char* key = "BtnLoading";
  window().SetVisible(kLatestLink, false);  // shown again below for an update
  if (release_ready()) {
    switch (InstallState()) {
      case install::kInstallModeInstall: key = "InstallNow"; break;
      case install::kInstallModeReinstall: key = "BtnReinstall"; break;
      default: {
        key = "UpdateNow";
        const std::wstring tip =
            ReplaceMarks(Text("UpdateNowVersionTip"), platform::AnsiToWide(release().productVersion));
        window().SetAttribute(kLatestLink, L"width", platform::DecimalText(window().FittingWidth(kLatestLink, tip)));
        window().SetText(kLatestLink, WholeTextLink(tip));
        window().SetVisible(kLatestLink, true);
        break;
      }
    }
  }
  window().SetText(kInstallButton, Text(key));
}

void HomePage::ApplyTexts() {
  NormalPage::ApplyTexts();
  UpdateInstallButton();
}

bool HomePage::CanLeave() {
  if (!release_ready()) return false;
  const int state = InstallState();
  if (state == install::kInstallModeInstall) return true;
  if (state == install::kInstallModeReinstall) {
    DialogTexts texts;
    texts.description = kCoverInstallDialog;
    texts.title = Text("ProductName");
    texts.confirm = Text("Reinstall");
    texts.dismiss = Text("RunLatest");
    texts.tip = TextWith("ReinstallTips", "ProductName");
    texts.detail =
        startup::Strings().Format("AlreadyInstallTips", "ProductName", platform::AnsiToWide(release().productVersion));
    switch (window().ShowDialog(texts)) {
      case kDialogConfirm: break;
      case kDialogDismiss: RunInstalledProduct(); return false;
      default:
        // Closing the question (picture, keyboard, a quit) is no yes.
        return false;
    }
  }
  return ProductMayBeReplaced();
}

bool HomePage::ProductMayBeReplaced() {
  const std::wstring processes = startup::Config().Get("ProductProcess");
  if (!startup::IsProductRunning(processes)) return true;
  if (release().killSwitch) {
    startup::Log("The product runs; the release asks to end it\n");
    // Asked politely first; every step waits a bounded few seconds.
    if (startup::CloseOrEndProduct(processes)) return true;
    startup::Log("The product still runs after it was ended; asking the user\n");
  }
  DialogTexts texts;
  texts.description = kProductRunningDialog;
  texts.title = Text("ProductName");
  texts.confirm = Text("Continue");
  texts.dismiss = Text("Canncel");
  texts.tip = TextWith("ProjectIsRunning", "ProductName");
  texts.detail = Text("ProjectIsRunningSolve");
  for (;;) {
    if (window().ShowDialog(texts) != kDialogConfirm) return false;
    if (!startup::IsProductRunning(processes)) return true;
    startup::Log("The product still runs; asking again\n");
  }
}

void HomePage::RunInstalledProduct() {
  const startup::ProductConfig& config = startup::Config();
  const std::wstring path = config.GetForEdition("SetupPathSubkey");
  const std::wstring name = config.Get("SetupPathSubkeyName");
  std::wstring program;
  if (startup::Is64BitWindows()) {
    program = ReadMachineString(path, name, platform::RegistryView::Bits32);
    if (program.empty()) program = ReadMachineString(path, name, platform::RegistryView::Bits64);
  } else {
    program = ReadMachineString(path, name, platform::RegistryView::Default);
  }
  if (program.empty()) {
    startup::Log("The installed product's path is not in the registry\n");
  } else {
    (void)flow().shell().StartProgram(WithoutQuotes(program), std::wstring());
  }
  flow().Quit();
}

}  // namespace ui
