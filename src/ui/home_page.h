// The product's home page (variant 0): the standard page plus the release
// check with its animated Install button, the Install / Reinstall / Update
// choice with the latest-version link, and the questions before leaving:
// the same version installed, the product running.
#pragma once

#include <functional>
#include <string>

#include "ui/normal_page.h"

namespace ui {

// The release query as the home page runs it (the language of the options).
using ReleaseChecker = std::function<net::ReleaseInfo(const std::string& language)>;

class HomePage final : public NormalPage {
 public:
  HomePage(IWindowOperations& window, IWizardFlow& flow, std::string language, std::wstring language_folder,
           ReleaseChecker checker);

  // The release query (the UI keeps running meanwhile); true on success.
  [[nodiscard]] bool CheckRelease();
  void ResetInstallButton();
  // "Loading" with one to three dots in turn.
  void ShowLoadingText();
  void UpdateInstallButton();
  // -1 loading, 0 not installed, 1 the offered version installed, 2 another.
  [[nodiscard]] int InstallState() const;

  void ApplyTexts() override;
  [[nodiscard]] bool CanLeave() override;

  // Starts the installed product (SetupPathSubkey) and ends the wizard.
  void RunInstalledProduct();

 private:
  [[nodiscard]] bool ProductMayBeReplaced();

  ReleaseChecker checker_;
  unsigned loading_ticks_ = 0;
};

}  // namespace ui
