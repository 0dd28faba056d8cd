// The base of every wizard page: the window it works in (through the narrow
// window operations only) and the wizard it belongs to. Pages bind their
// control handlers once and re-text themselves when the language changes.
#pragma once

#include <functional>
#include <string>

#include "ui/window_operations.h"
#include "ui/wizard_flow.h"

namespace ui {

class GeneralPage {
 public:
  GeneralPage(IWindowOperations& window, IWizardFlow& flow) : window_(window), flow_(flow) {}
  virtual ~GeneralPage() = default;
  GeneralPage(const GeneralPage&) = delete;
  GeneralPage& operator=(const GeneralPage&) = delete;

  // Registers the page's control handlers with the window.
  virtual void BindHandlers() {}
  // Sets every text of the page from the current language strings.
  virtual void ApplyTexts() {}

 protected:
  [[nodiscard]] IWindowOperations& window() const { return window_; }
  [[nodiscard]] IWizardFlow& flow() const { return flow_; }
  // `action` runs on every "click" (and "itemselect") of the control.
  void OnClick(const wchar_t* name, std::function<void()> action);

 private:
  IWindowOperations& window_;
  IWizardFlow& flow_;
};

// The current language's text for `key`.
[[nodiscard]] std::wstring Text(const char* key);
// The text for `key` with its "%1" replaced by the text for `argument_key`.
[[nodiscard]] std::wstring TextWith(const char* key, const char* argument_key);
// `text` with its first "%1" and "%2" replaced.
[[nodiscard]] std::wstring ReplaceMarks(std::wstring text, const std::wstring& first, const std::wstring& second = {});

// The four question dialogs of the skin.
inline constexpr wchar_t kQuitDialog[] = L"QuitInstallDialog.xml";
inline constexpr wchar_t kStartRunDialog[] = L"StartRunDialog.xml";
inline constexpr wchar_t kProductRunningDialog[] = L"ProductRunningDialog.xml";
inline constexpr wchar_t kCoverInstallDialog[] = L"CoverInstallDialog.xml";

// The wizard's tab layout and its items.
inline constexpr wchar_t kWizardTab[] = L"wizardTab";
enum WizardTab : int {
  kHomeTab = 0,
  kProgressTab = 1,
  kDownloadFailureTab = 2,
  kInstallFailureTab = 3,
  kFinishTab = 4,
  kComparisonTab = 5,
};

}  // namespace ui
