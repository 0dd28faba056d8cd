// The wizard of the interactive mode: its pages (the variant's first page,
// the edition comparison, progress with the failure tabs, finish), the
// one-pipeline gate, the main window's timers
// (release check, loading text, slide changes), the close confirmation by
// tab, and quitting. It works on any IWindowOperations, so tests drive it
// against a recording window.
#pragma once

#include <memory>
#include <string>

#include "ui/comparison_page.h"
#include "ui/failure_pages.h"
#include "ui/finish_page.h"
#include "ui/home_page.h"
#include "ui/progress_page.h"
#include "ui/wizard_flow.h"

namespace ui {

// Timers of the main window.
enum WizardTimer : UINT {
  kReleaseCheckTimer = 20,  // once, right after the window shows
  kLoadingTextTimer = 21,   // the Install button's dots while the check runs
  kSlideClockTimer = 22,    // counts to the next slide change
  kSlideFrameTimer = 23,    // one frame of a slide change
};

struct WizardSettings {
  int variant = 0;               // 0 the product, 1 the second product, 2 the backup product
  std::string language;          // the language file's name
  std::wstring language_folder;  // where "<language>.ini" files are
  ReleaseChecker check_release;
  install::PipelineTuning tuning;
};

class Wizard final : public IWizardFlow {
 public:
  static constexpr UINT kLoadingTextMs = 800;
  static constexpr UINT kSlideClockMs = 100;
  static constexpr UINT kSlideFrameMs = 33;
  static constexpr int kTicksPerSlide = 40;  // four seconds of the slide clock

  Wizard(IWindowOperations& window, IShell& shell, WizardSettings settings);
  ~Wizard() override;

  // Starts the timers: the release check runs at once.
  void Start();
  void OnTimer(UINT id);
  // The window's close command (title bar, Alt+F4, Esc, a page's close button).
  void RequestClose() override;

  // IWizardFlow.
  [[nodiscard]] PipelineGate& gate() override { return gate_; }
  [[nodiscard]] IShell& shell() override { return shell_; }
  void StartDownload(const install::OptionMap& options) override;
  [[nodiscard]] bool ShowComparison(const install::OptionMap& options) override;
  void Quit() override;
  void LanguageChanged() override;

  // The first page of the variant; the product's home page only in variant 0.
  [[nodiscard]] NormalPage& first_page() { return *first_page_; }
  [[nodiscard]] HomePage* home() { return home_; }
  [[nodiscard]] ProgressPage& progress() { return progress_; }
  [[nodiscard]] FinishPage& finish() { return finish_; }
  [[nodiscard]] bool quitting() const { return gate_.closed(); }

 private:
  void ReturnHome();
  void RunReleaseCheck();
  [[nodiscard]] std::unique_ptr<NormalPage> MakeFirstPage();

  IWindowOperations& window_;
  IShell& shell_;
  WizardSettings settings_;
  PipelineGate gate_;
  FinishPage finish_;
  FailurePages failures_;
  ProgressPage progress_;
  HomePage* home_ = nullptr;  // first_page_ in variant 0, else none; set while it is made
  std::unique_ptr<NormalPage> first_page_;
  std::unique_ptr<ComparisonPage> comparison_;  // made when first shown
  bool asking_to_close_ = false;
  int slide_ticks_ = 0;
  int slide_frame_ = 0;
};

}  // namespace ui
