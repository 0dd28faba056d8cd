#include "ui/qs_home_page.h"

#include "install/installer_command_line.h"
#include "startup/log.h"
#include "startup/product_config.h"

namespace ui {
namespace {

constexpr wchar_t kBackupEdit[] = L"backUpeditDir";
constexpr wchar_t kManagementCheck[] = L"chk_managementComponent";
constexpr wchar_t kAccountCheck[] = L"chk_createAccount";
constexpr wchar_t kUserEdit[] = L"ed_userName";
constexpr wchar_t kPasswordEdit[] = L"ed_Password";
constexpr wchar_t kConfirmEdit[] = L"ed_confirmPassword";

}  // namespace

QsHomePage::QsHomePage(IWindowOperations& window, IWizardFlow& flow, std::string language, std::wstring language_folder)
    : NormalPage(window, flow, std::move(language), std::move(language_folder)) {
  window.SetText(kBackupEdit, startup::Config().Get("BackUpPath"));
  Setup(kVariant);
}

void QsHomePage::BindHandlers() {
  OnClick(L"Btn_backup_file", [this] { OnBrowseBackupFolder(); });
  NormalPage::BindHandlers();
}

void QsHomePage::ApplyTexts() {
  window().SetText(L"backupPath", Text("BackupPathLabel"));
  window().SetText(kManagementCheck, Text("ManagementComponent"));
  window().SetText(kAccountCheck, Text("CreateAccount"));
  window().SetText(L"lb_userName", Text("UserName"));
  window().SetText(L"lb_password", Text("Password"));
  window().SetText(L"lb_confirmPassword", Text("ConfirmPassword"));
  NormalPage::ApplyTexts();
}

void QsHomePage::OnBrowseBackupFolder() {
  const std::wstring chosen = window().BrowseForFolder();
  if (!chosen.empty()) window().SetText(kBackupEdit, chosen);
}

void QsHomePage::CollectOptions() {
  NormalPage::CollectOptions();
  const std::wstring create = window().ReadState(kAccountCheck, L"selected");
  AddOption("ManagementComponent", window().ReadState(kManagementCheck, L"selected"));
  AddOption("createAccount", create);
  AddOption("backupPath", window().ReadState(kBackupEdit, L"text"));
  AddOption("KDVUsername", window().ReadState(kUserEdit, L"text"));
  // Without an account to create the password has no use: it stays here.
  if (create == L"true") AddOption(install::kPasswordOption, window().ReadState(kPasswordEdit, L"text"));
}

bool QsHomePage::CanLeave() {
  if (!EntryAccepted("BackupPathLabel", options().at("backupPath"))) return false;
  if (!EntryAccepted("UserName", options().at("KDVUsername"))) return false;
  if (options().at("createAccount") == L"true") {
    if (options().at("KDVUsername").find_first_not_of(L" \t") == std::wstring::npos) {
      startup::Log("Account refused on the options page: no user name\n");
      ShowEntryProblem(Text("UserNameMissing"));
      return false;
    }
    if (window().ReadState(kPasswordEdit, L"text") != window().ReadState(kConfirmEdit, L"text")) {
      startup::Log("Account refused on the options page: the passwords differ\n");
      ShowEntryProblem(Text("PasswordsDiffer"));
      return false;
    }
  }
  return NormalPage::CanLeave();
}

}  // namespace ui
