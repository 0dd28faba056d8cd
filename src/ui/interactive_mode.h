// The interactive mode's body: the main window of the configured product
// variant from "skin.zip" beside the program, its wizard, the modal run,
// and the pages deleted before the window.
#pragma once

#include <functional>
#include <string>

#include "platform/windows_api.h"
#include "startup/startup_context.h"

namespace ui {

struct VariantChoice {
  int variant = 0;           // 0 product, 1 second product, 2 backup product
  std::wstring description;  // "install.xml", "installQS.xml", "installKDV.xml"
};

// From the configuration key "homepage".
[[nodiscard]] VariantChoice VariantFromHomepage(const std::wstring& homepage);

// Runs the wizard until it closes or quits. `after_first_frame` runs once on
// this thread when the window's first frame is on the screen: work started
// earlier would compete with it for the processor and the system's loader.
void RunInteractiveWizard(HINSTANCE instance, startup::StartupContext& context,
                          const std::function<void()>& after_first_frame);

}  // namespace ui
