// The two failure tabs: the download failure (tab 2) and the install
// failure (tab 3) with their texts, the offline-installer links and the
// restart button. "Try again" on the download failure tab belongs to the
// progress page, which owns the pipeline.
#pragma once

#include <functional>

#include "net/release_client.h"
#include "ui/general_page.h"

namespace ui {

class FailurePages final : public GeneralPage {
 public:
  // `release` answers the record of the last run (not queried without one).
  FailurePages(IWindowOperations& window, IWizardFlow& flow, std::function<net::ReleaseInfo()> release);

  void BindHandlers() override;
  void ApplyTexts() override;

  // Restart asks first; only a confirmed question restarts.
  void OnRestart();

 private:
  void OpenOfflineInstaller(install::WizardPage page);
  // Widens a button whose new text does not fit its fixed width.
  void FitButton(const wchar_t* name);

  std::function<net::ReleaseInfo()> release_;
};

}  // namespace ui
