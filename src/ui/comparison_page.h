// The edition comparison (tab 5), between the first page and the download
// when the free edition is about to be installed: go on with the free
// edition, switch to the Pro trial, open the shop, or quit. Every way out is
// a whole step: one download page however quickly the buttons are pressed,
// and a quit ends the run as a confirmed quit does.
#pragma once

#include "install/download_pipeline.h"
#include "ui/general_page.h"

namespace ui {

class ComparisonPage final : public GeneralPage {
 public:
  ComparisonPage(IWindowOperations& window, IWizardFlow& flow);

  // Takes the first page's options and shows the tab with current texts.
  void Show(const install::OptionMap& options);

  void BindHandlers() override;
  void ApplyTexts() override;

 private:
  void GoOn(const char* action);
  void TryPro();
  void OpenShop();

  install::OptionMap options_;
};

}  // namespace ui
