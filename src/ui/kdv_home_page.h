// The backup product's first page (variant 2, "installKDV.xml"): the
// standard options page with an installation type and the two components,
// server and console. It asks no release server itself (the pipeline does)
// and makes no installed or running checks.
#pragma once

#include "ui/normal_page.h"

namespace ui {

class KdvHomePage final : public NormalPage {
 public:
  KdvHomePage(IWindowOperations& window, IWizardFlow& flow, std::string language, std::wstring language_folder);

  void BindHandlers() override;
  void ApplyTexts() override;
  // The base options, then "installChoice", "KDVMServer" and "KDVMConsole".
  void CollectOptions() override;
  [[nodiscard]] bool CanLeave() override;

  // Type 0 installs both components: both ticked, the console fixed.
  void OnInstallationTypeChanged();

  static constexpr int kVariant = 2;
};

}  // namespace ui
