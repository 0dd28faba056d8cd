#include "ui/finish_page.h"

#include "install/installed_version.h"
#include "platform/text.h"
#include "startup/launch_parameters.h"
#include "startup/log.h"
#include "startup/product_config.h"
#include "startup/product_presence.h"
#include "startup/system_probes.h"

namespace ui {
namespace {

struct TextEntry {
  const wchar_t* control;
  const char* key;
};

constexpr TextEntry kTexts[] = {
    {L"complete_title", "InstallComplete"},
    {L"complete_tips", "ManageEquipment"},
    {L"manager_title", "OneStopManager"},
    {L"manager_tips", "OneStopManagerTips"},
    {L"transfer_title", "OneClickTransfer"},
    {L"transfer_tips", "OneClickTransferTips"},
    {L"downloader_title", "VideoDownloader"},
    {L"downloader_tips", "VideoDownloaderTips"},
    {L"btn_Run", "StartNow"},
};

bool IsIconIndex(const std::wstring& text) {
  size_t i = !text.empty() && text[0] == L'-' ? 1 : 0;
  if (i >= text.size()) return false;
  for (; i < text.size(); ++i) {
    if (text[i] < L'0' || text[i] > L'9') return false;
  }
  return true;
}

// The uninstall key's name: a trailing "*" makes RegistryNameWithVer a prefix.
std::wstring ProductKeyName(const std::wstring& folder, std::wstring name) {
  if (folder.empty() || name.empty() || name.back() != L'*') return name;
  name.pop_back();
  if (name.empty()) return name;  // an empty prefix would match any product
  using platform::RegistryView;
  const std::vector<RegistryView> views =
      startup::Is64BitWindows()
          ? std::vector<RegistryView>{RegistryView::Bits64, RegistryView::Bits32, RegistryView::Default}
          : std::vector<RegistryView>{RegistryView::Default};
  for (RegistryView view : views) {
    if (auto found = startup::FindProductSubkey(folder, name, view)) return *found;
  }
  return name;
}

}  // namespace

std::optional<std::wstring> ProgramFromDisplayIcon(const std::wstring& icon) {
  std::wstring program = icon;
  const size_t comma = icon.rfind(L',');
  if (comma != std::wstring::npos && IsIconIndex(icon.substr(comma + 1))) program = icon.substr(0, comma);
  while (!program.empty() && program.back() == L' ') program.pop_back();
  program = WithoutQuotes(program);
  // An icon file or a document is not the product.
  if (program.size() < 5 || platform::AsciiLower(program.substr(program.size() - 4)) != L".exe") {
    return std::nullopt;
  }
  return program;
}

void OpenReceivedAdUrl(IShell& shell) {
  const std::wstring address = startup::Parameters().Get("receivedAdUrl");
  if (!startup::Config().IsOn("ShowWebAds") || address.empty()) return;
  (void)OpenWebAddress(shell, address, "Closing web ad");
}

void FinishPage::Activate() {
  active_ = true;
  ApplyTexts();
  window().SelectItem(kWizardTab, kFinishTab);
}

void FinishPage::BindHandlers() {
  OnClick(L"btn_Run", [this] { (void)RunInstalledProduct(); });
  OnClick(L"btn_CloseInstalls", [this] { CloseSequence(); });
}

void FinishPage::ApplyTexts() {
  for (const TextEntry& entry : kTexts) window().SetText(entry.control, Text(entry.key));
  if (startup::Parameters().IsVexaEdition()) window().SetVisible(L"app_logo_finish", false);
}

void FinishPage::CloseSequence() {
  OpenReceivedAdUrl(flow().shell());
  DialogTexts texts;
  texts.description = kStartRunDialog;
  texts.title = Text("ProductName");
  texts.confirm = Text("StartNow");
  texts.dismiss = Text("Later");
  texts.tip = TextWith("StartNowTips", "ProductName");
  texts.detail = TextWith("StartNowTipsDetail", "ProductName");
  switch (window().ShowDialog(texts)) {
    case kDialogConfirm:
      (void)RunInstalledProduct();
      flow().Quit();
      return;
    case kDialogDismiss: flow().Quit(); return;
    default: return;  // the question was closed: the finish page stays
  }
}

bool FinishPage::RunInstalledProduct() {
  const startup::ProductConfig& config = startup::Config();
  const std::wstring folder = config.Get("RegistryAddress");
  const std::wstring name = ProductKeyName(
      folder, config.Get(startup::Parameters().IsVexaEdition() ? "RegistryNameVexa" : "RegistryNameWithVer"));
  const std::wstring icon = install::ReadUninstallValue(folder + L"\\" + name, L"DisplayIcon");
  if (icon.empty()) {
    startup::Log("The installed product has no DisplayIcon under %s\\%s\n", folder, name);
    return false;
  }
  startup::DebugLog(icon);
  const std::optional<std::wstring> program = ProgramFromDisplayIcon(icon);
  flow().Quit();
  if (!program) {
    startup::Log("DisplayIcon names no program: %s\n", icon);
    return true;
  }
  const size_t slash = program->rfind(L'\\');
  const std::wstring folder_of_program = slash == std::wstring::npos ? std::wstring() : program->substr(0, slash + 1);
  (void)flow().shell().StartProgram(*program, folder_of_program);
  return true;
}

}  // namespace ui
