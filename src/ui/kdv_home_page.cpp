#include "ui/kdv_home_page.h"

#include <vector>

namespace ui {
namespace {

constexpr wchar_t kTypeCombo[] = L"KDVInstallation_Combo";
constexpr wchar_t kServerCheck[] = L"chk_KDVServer";
constexpr wchar_t kConsoleCheck[] = L"chk_KDVConsole";

// The installation types in combo order; the first installs everything.
constexpr const char* kTypeKeys[] = {"KDVTypeComplete", "KDVTypeServer", "KDVTypeConsole"};

}  // namespace

KdvHomePage::KdvHomePage(IWindowOperations& window, IWizardFlow& flow, std::string language,
                         std::wstring language_folder)
    : NormalPage(window, flow, std::move(language), std::move(language_folder)) {
  Setup(kVariant);
}

void KdvHomePage::BindHandlers() {
  window().RegisterHandler(kTypeCombo, [this](const ControlEvent& event) {
    if (event.type == L"itemselect") OnInstallationTypeChanged();
  });
  NormalPage::BindHandlers();
}

void KdvHomePage::ApplyTexts() {
  window().SetText(L"lb_KDVInstallation", Text("KDVInstallationType"));
  window().SetText(L"lb_KDVComponents", Text("KDVComponents"));
  // The types in the new language; the chosen one stays chosen.
  const int chosen = window().CurrentIndex(kTypeCombo);
  std::vector<std::wstring> types;
  for (const char* key : kTypeKeys) types.push_back(Text(key));
  const size_t index = chosen >= 0 && static_cast<size_t>(chosen) < types.size() ? static_cast<size_t>(chosen) : 0;
  window().FillCombo(kTypeCombo, types, types[index]);
  window().SetText(kServerCheck, Text("KDVServerComponent"));
  window().SetText(kConsoleCheck, Text("KDVConsoleComponent"));
  // Every re-texting fixes the console box again, whatever the type shows.
  window().SetAttribute(kConsoleCheck, L"enabled", L"false");
  NormalPage::ApplyTexts();
}

void KdvHomePage::OnInstallationTypeChanged() {
  if (window().ReadState(kTypeCombo, L"index") == L"0") {
    window().SetAttribute(kServerCheck, L"selected", L"true");
    window().SetAttribute(kConsoleCheck, L"selected", L"true");
    window().SetAttribute(kConsoleCheck, L"enabled", L"false");
    return;
  }
  window().SetAttribute(kConsoleCheck, L"enabled", L"true");
}

void KdvHomePage::CollectOptions() {
  NormalPage::CollectOptions();
  AddOption("KDVMServer", window().ReadState(kServerCheck, L"selected"));
  AddOption("KDVMConsole", window().ReadState(kConsoleCheck, L"selected"));
  AddOption("installChoice", window().ReadState(kTypeCombo, L"text"));
}

bool KdvHomePage::CanLeave() {
  return EntryAccepted("KDVInstallationType", options().at("installChoice")) && NormalPage::CanLeave();
}

}  // namespace ui
