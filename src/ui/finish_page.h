// The finish tab: the completion texts, "Start now" (the installed program
// from its uninstall entry's icon value), and the closing question that
// offers to start it now or later, after the optional closing web ad.
#pragma once

#include <optional>
#include <string>

#include "ui/general_page.h"

namespace ui {

// The program a "DisplayIcon" value names: the text before a trailing
// ",<icon index>", without quotes; nullopt unless that is an .exe file.
[[nodiscard]] std::optional<std::wstring> ProgramFromDisplayIcon(const std::wstring& icon);

// Opens the address the web content sent (copy-data) when ShowWebAds is "1";
// web addresses only.
void OpenReceivedAdUrl(IShell& shell);

class FinishPage final : public GeneralPage {
 public:
  FinishPage(IWindowOperations& window, IWizardFlow& flow) : GeneralPage(window, flow) {}

  // The install succeeded: texts, tab 4.
  void Activate();
  [[nodiscard]] bool active() const { return active_; }

  void BindHandlers() override;
  void ApplyTexts() override;

  // The closing web ad, then "start now or later?"; a dismissed question stays.
  void CloseSequence();
  // Starts the installed program and ends the wizard; false (the wizard
  // stays) when the program cannot be found.
  bool RunInstalledProduct();

 private:
  bool active_ = false;
};

}  // namespace ui
