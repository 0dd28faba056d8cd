// What a page may ask of the wizard as a whole: the one-pipeline gate, the
// step to the download (or, where configured, the edition comparison), the
// close confirmation, quitting, and re-texting every page at once.
#pragma once

#include "install/download_pipeline.h"
#include "ui/pipeline_gate.h"
#include "ui/shell.h"

namespace ui {

class IWizardFlow {
 public:
  virtual ~IWizardFlow() = default;
  [[nodiscard]] virtual PipelineGate& gate() = 0;
  [[nodiscard]] virtual IShell& shell() = 0;
  // The caller holds a pass of the gate; the pipeline runs to its end.
  virtual void StartDownload(const install::OptionMap& options) = 0;
  // The edition comparison (tab 5) before the download; true once it shows
  // (false would send the caller on to the download).
  [[nodiscard]] virtual bool ShowComparison(const install::OptionMap& options) = 0;
  // A page's close button: the same confirmation as the window's close.
  virtual void RequestClose() = 0;
  // Ends the wizard: cancels a pipeline, hides the window, ends the run.
  virtual void Quit() = 0;
  // The language strings changed: every page takes the new texts.
  virtual void LanguageChanged() = 0;
};

}  // namespace ui
