// The second product's first page (variant 1, "installQS.xml"): the
// standard options page with a backup folder, the management component and
// an optional account to create during installation. It asks no release
// server itself (the pipeline does) and makes no installed or running checks.
// The password stays in its edit control until Install; the option map
// carries it to the pipeline, which hands it over in a private file.
#pragma once

#include "ui/normal_page.h"

namespace ui {

class QsHomePage final : public NormalPage {
 public:
  QsHomePage(IWindowOperations& window, IWizardFlow& flow, std::string language, std::wstring language_folder);

  void BindHandlers() override;
  void ApplyTexts() override;
  // The base options, then "ManagementComponent", "createAccount",
  // "backupPath", "KDVUsername" and, for a new account, the password.
  void CollectOptions() override;
  // The backup folder and user name must pass intact; a new account needs
  // a user name and the same password twice.
  [[nodiscard]] bool CanLeave() override;

  void OnBrowseBackupFolder();

  static constexpr int kVariant = 1;
};

}  // namespace ui
