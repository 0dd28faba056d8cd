// The standard first page of every product variant: title, install folder
// with browse, language, the custom-install area, licence and privacy links,
// the companion offers, and the Install button that collects the choices
// into the option map and moves on to the download. The home pages of the
// variants derive from it.
#pragma once

#include <string>

#include "install/download_pipeline.h"
#include "net/release_client.h"
#include "ui/general_page.h"

namespace ui {

enum class StartMode { Checked, SkipChecks };

class NormalPage : public GeneralPage {
 public:
  // `language_folder` holds "<language>.ini" (the program's own folder).
  NormalPage(IWindowOperations& window, IWizardFlow& flow, std::string language, std::wstring language_folder);

  // Fills the folder and language, shows tab 0, binds and texts the page.
  void Setup(int variant);
  void EnableControls(bool on);
  // Install: collect, check and move on; refused while a pipeline runs.
  void StartInstall(StartMode mode);

  void BindHandlers() override;
  void ApplyTexts() override;
  virtual void CollectOptions();
  // Whether the wizard may leave the page (the home page asks questions).
  [[nodiscard]] virtual bool CanLeave() { return true; }

  [[nodiscard]] const install::OptionMap& options() const { return options_; }
  [[nodiscard]] const std::string& language() const { return language_; }
  [[nodiscard]] int variant() const { return variant_; }
  [[nodiscard]] bool release_ready() const { return release_ready_; }
  [[nodiscard]] const net::ReleaseInfo& release() const { return release_; }
  // The release query's record; the page counts as ready from now on.
  void SetRelease(const net::ReleaseInfo& release);

  // Window heights of the expanded custom-install area by variant.
  [[nodiscard]] static int ExpandedHeight(int variant);

  static constexpr int kWindowWidth = 800;
  static constexpr int kCollapsedHeight = 500;

 protected:
  void OnLanguageChanged();
  void OnBrowseFolder();
  void Expand();
  void Collapse();
  void OnAgreementLink(const ControlEvent& event);
  void OpenLatestVersionPage();
  // A visible, ticked offer check box; a hidden one never counts.
  [[nodiscard]] bool OfferAccepted(const wchar_t* check_box) const;
  // The variants add their own options after the base ones.
  void AddOption(const std::string& key, std::wstring value) { options_[key] = std::move(value); }
  // Says what is wrong with an entry of the custom-install area, opens the
  // area when the user asks, and keeps the page.
  void ShowEntryProblem(const std::wstring& detail);
  // False, after telling the user, when the entry labelled by `label_key`
  // cannot reach the installer as typed.
  [[nodiscard]] bool EntryAccepted(const char* label_key, const std::wstring& value);

 private:
  void InitPaths();
  void OnInstallClicked();
  // False (with a message) when the installer would refuse the folder.
  [[nodiscard]] bool InstallFolderAccepted();
  void GoOn();

  install::OptionMap options_;
  std::string language_;
  std::wstring language_folder_;
  int variant_ = 0;
  bool release_ready_ = false;
  net::ReleaseInfo release_;
};

}  // namespace ui
