#include "ui/normal_page.h"

#include "install/default_install_folder.h"
#include "install/installer_command_line.h"
#include "platform/file_io.h"
#include "platform/text.h"
#include "startup/launch_parameters.h"
#include "startup/log.h"
#include "startup/product_config.h"
#include "startup/system_probes.h"
#include "ui/link_text.h"

namespace ui {
namespace {

constexpr wchar_t kFolderEdit[] = L"editDir";
constexpr wchar_t kLanguageCombo[] = L"language_Combo";
constexpr wchar_t kAgreement[] = L"btn_Agreement";
constexpr wchar_t kRecommendCheck[] = L"recommend_ChkAgree";
constexpr wchar_t kRecommendText[] = L"text_recommend_ChkAgree";
constexpr wchar_t kPlayerCheck[] = L"chk_install_lumaviewer";
constexpr wchar_t kPlayerText[] = L"btn_install_lumaviewer";

// Controls switched by EnableControls, in this order.
constexpr const wchar_t* kEnabledControls[] = {L"btn_Install",   kAgreement,      kLanguageCombo,
                                               L"Btn_open_file", L"btn_ShowMore", L"btn_HideMore",
                                               L"btn_Close",     kRecommendCheck, kFolderEdit};

void Upsert(const std::string& key, const std::wstring& value) {
  startup::Parameters().Insert(key, value);
  startup::Parameters().Replace(key, value);
}

}  // namespace

NormalPage::NormalPage(IWindowOperations& window, IWizardFlow& flow, std::string language, std::wstring language_folder)
    : GeneralPage(window, flow), language_(std::move(language)), language_folder_(std::move(language_folder)) {}

void NormalPage::Setup(int variant) {
  variant_ = variant;
  InitPaths();
  window().SelectItem(kWizardTab, kHomeTab);
  BindHandlers();
  ApplyTexts();
}

void NormalPage::InitPaths() {
  const startup::ProductConfig& config = startup::Config();
  window().FillCombo(kLanguageCombo, config.LanguageDisplayList(), config.LanguageDisplay(language_));
  window().SetText(kFolderEdit, install::DefaultInstallFolder());
}

void NormalPage::EnableControls(bool on) {
  for (const wchar_t* name : kEnabledControls) {
    window().SetAttribute(name, L"enabled", on ? L"true" : L"false");
  }
}

void NormalPage::BindHandlers() {
  OnClick(L"btn_Install", [this] { OnInstallClicked(); });
  OnClick(L"linker_Latest", [this] { OpenLatestVersionPage(); });
  window().RegisterHandler(kLanguageCombo, [this](const ControlEvent& event) {
    if (event.type == L"itemselect") OnLanguageChanged();
  });
  OnClick(L"Btn_open_file", [this] { OnBrowseFolder(); });
  OnClick(L"btn_ShowMore", [this] { Expand(); });
  OnClick(L"btn_HideMore", [this] { Collapse(); });
  OnClick(L"btn_Close", [this] { flow().RequestClose(); });
  window().RegisterHandler(kAgreement, [this](const ControlEvent& event) {
    if (event.type == L"link") OnAgreementLink(event);
  });
}

void NormalPage::ApplyTexts() {
  const bool vexa = startup::Parameters().IsVexaEdition();
  const std::wstring sentence = Text(vexa ? "LicenseTpsOther" : "LicenseTps");
  window().SetText(kAgreement, FormatLinks(sentence, {Text("LicenseClick"), Text("PrivacyClick")}));
  window().SetText(L"homePage_Title", TextWith("InstallerName", "ProductName"));
  window().SetText(L"language_Label", Text("Languge"));
  window().SetText(L"intallPath", Text("InstallationPath"));
  window().SetText(L"btn_ShowMore", Text("CustomInstall"));
  window().SetText(L"btn_HideMore", Text("CustomInstall"));
  window().SetAttribute(L"btn_Close", L"tooltip", Text("CloseTips"));

  const bool recommend = startup::Config().IsOn("HasRecommendProduct");
  if (recommend) {
    const std::wstring offer = TextWith("InstallRecommend", "RecommendProductName");
    window().SetAttribute(kRecommendText, L"width",
                          platform::DecimalText(window().FittingWidth(kRecommendText, offer)));
    window().SetText(kRecommendText, offer);
    window().SetAttribute(kRecommendText, L"tooltip", Text("RecommendTips"));
  }
  window().SetVisible(kRecommendCheck, recommend);
  window().SetVisible(kRecommendText, recommend);
  if (vexa) window().SetAttribute(L"logo_ico", L"bkimage", L"logo_vexa.png");

  // The player offer stays hidden in every edition, so it is never taken.
  if (startup::IsWow64() && !startup::Parameters().IsTrialAdEdition()) {
    const std::wstring offer = ReplaceMarks(Text("CheckboxInstallLumaviewer"), std::wstring());
    window().SetAttribute(kPlayerText, L"width", platform::DecimalText(window().FittingWidth(kPlayerText, offer)));
    window().SetText(kPlayerText, offer);
  } else {
    window().SetAttribute(kPlayerCheck, L"selected", L"false");
  }
  window().SetVisible(kPlayerCheck, false);
  window().SetVisible(kPlayerText, false);
}

bool NormalPage::OfferAccepted(const wchar_t* check_box) const {
  return window().IsTrue(check_box, L"visible") && window().IsTrue(check_box, L"selected");
}

void NormalPage::CollectOptions() {
  options_.clear();
  std::string key = startup::Config().LanguageByDisplay(window().ReadState(kLanguageCombo, L"text"));
  if (key.empty()) key = language_;
  options_["DIR"] = window().ReadState(kFolderEdit, L"text");
  options_["LANG"] = platform::Utf8ToWide(key);
  options_["recommendChk"] = OfferAccepted(kRecommendCheck) ? L"true" : L"false";
}

void NormalPage::SetRelease(const net::ReleaseInfo& release) {
  release_ = release;
  release_ready_ = true;
}

void NormalPage::OnInstallClicked() {
  // A missing check box passes nothing; a hidden one passes "false".
  if (!window().ReadState(kPlayerCheck, L"visible").empty()) {
    Upsert("installLumaviewer", OfferAccepted(kPlayerCheck) ? L"true" : L"false");
  }
  StartInstall(StartMode::Checked);
}

void NormalPage::StartInstall(StartMode mode) {
  const std::optional<PipelineGate::Pass> pass = flow().gate().Enter("Install");
  if (!pass) return;
  startup::Log("Install chosen%s\n", mode == StartMode::Checked ? "" : " (the page's checks were made before)");
  CollectOptions();
  if (mode == StartMode::Checked) {
    if (!InstallFolderAccepted() || !CanLeave()) return;
    const startup::ProductConfig& config = startup::Config();
    const std::wstring version = startup::Parameters().Get("DOWNLOAD_VERSION");
    if (config.IsOn("productContrastPage") && version == config.Get("FreeVersionName")) {
      if (startup::IsServerWindows() && config.IsOn("ProOnServer")) {
        // Servers get the trial edition; the next Install goes on with it.
        Upsert("DOWNLOAD_VERSION", config.Get("TrialVersionName"));
        startup::Log("Server edition: DOWNLOAD_VERSION is now %s\n", config.Get("TrialVersionName"));
        return;
      }
      Collapse();
      if (flow().ShowComparison(options_)) return;
    }
  }
  GoOn();
}

void NormalPage::GoOn() {
  Collapse();
  flow().StartDownload(options_);
}

bool NormalPage::InstallFolderAccepted() {
  const std::wstring folder = options_["DIR"];
  const std::wstring problem = install::InstallFolderProblem(folder);
  if (problem.empty()) return true;
  startup::Log("Install folder refused on the options page (%s): %s\n", problem, folder);
  DialogTexts texts;
  texts.description = kProductRunningDialog;
  texts.title = Text("ProductName");
  texts.confirm = Text("ChangeFolder");
  texts.dismiss = Text("Canncel");
  texts.tip = Text("FolderRefused");
  texts.detail = ReplaceMarks(Text("FolderRefusedDetail"), folder);
  if (window().ShowDialog(texts) == kDialogConfirm) Expand();
  return false;
}

void NormalPage::ShowEntryProblem(const std::wstring& detail) {
  DialogTexts texts;
  texts.description = kProductRunningDialog;
  texts.title = Text("ProductName");
  texts.confirm = Text("ChangeEntry");
  texts.dismiss = Text("Canncel");
  texts.tip = Text("EntryRefused");
  texts.detail = detail;
  if (window().ShowDialog(texts) == kDialogConfirm) Expand();
}

bool NormalPage::EntryAccepted(const char* label_key, const std::wstring& value) {
  const std::wstring problem = install::OptionValueProblem(value);
  if (problem.empty()) return true;
  std::wstring label = Text(label_key);
  // "Back up to:" names the entry as "Back up to".
  while (!label.empty() && (label.back() == L':' || label.back() == 0xFF1A || label.back() == L' ')) {
    label.pop_back();
  }
  startup::Log("Entry %s refused on the options page: %s\n", label_key, problem);
  ShowEntryProblem(ReplaceMarks(Text("EntryRefusedDetail"), label));
  return false;
}

void NormalPage::OnLanguageChanged() {
  const std::wstring display = window().ReadState(kLanguageCombo, L"text");
  const std::string key = startup::Config().LanguageByDisplay(display);
  if (key.empty()) {
    startup::Log("Language %s is not offered\n", display);
    return;
  }
  const std::wstring file = language_folder_ + platform::Utf8ToWide(key) + L".ini";
  if (!platform::FileExists(file)) {
    // Keep the texts on screen rather than blank every label.
    startup::Log("Language file %s is missing; the language stays %s\n", file, language_);
    return;
  }
  startup::Strings().Load(file);
  language_ = key;
  startup::Log("Language switched to %s\n", key);
  flow().LanguageChanged();
}

void NormalPage::OnBrowseFolder() {
  const std::wstring chosen = window().BrowseForFolder();
  if (chosen.empty()) return;
  window().SetText(kFolderEdit,
                   install::BrowsedInstallFolder(chosen, startup::Config().GetForEdition("ProductExtentPath")));
}

int NormalPage::ExpandedHeight(int variant) {
  switch (variant) {
    case 1: return 900;
    case 2: return 750;
    default: return 608;
  }
}

void NormalPage::Expand() {
  window().SetVisible(L"moreconfiginfo", true);
  window().SetVisible(L"btn_HideMore", true);
  window().SetVisible(L"btn_ShowMore", false);
  window().Resize(kWindowWidth, ExpandedHeight(variant_));
}

void NormalPage::Collapse() {
  window().SetVisible(L"moreconfiginfo", false);
  window().SetVisible(L"btn_HideMore", false);
  window().SetVisible(L"btn_ShowMore", true);
  window().Resize(kWindowWidth, kCollapsedHeight);
}

void NormalPage::OnAgreementLink(const ControlEvent& event) {
  const bool vexa = startup::Parameters().IsVexaEdition();
  std::wstring address;
  if (event.text == Text("LicenseClick")) {
    address = startup::Config().GetForEdition("ProductLicenseUrl");
  } else if (event.text == Text("PrivacyClick")) {
    // The VEXA edition keeps its privacy terms on the licence page.
    address = startup::Config().Get(vexa ? "ProductLicenseUrlVexa" : "PrivacyPolicyUrl");
  }
  if (!address.empty()) (void)OpenWebAddress(flow().shell(), address, "Agreement link");
}

void NormalPage::OpenLatestVersionPage() {
  const std::wstring address = startup::Config().Get("ProductLinkerLatestUrl");
  if (address.empty()) return;
  (void)OpenWebAddress(flow().shell(), address + platform::Utf8ToWide(language_), "Latest version link");
}

}  // namespace ui
