// The interactive mode's body: the main window of the configured product
// variant from "skin.zip" beside the program, its wizard, the modal run,
// and the pages deleted before the window.
#pragma once

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

// Runs the wizard until it closes or quits.
void RunInteractiveWizard(HINSTANCE instance, startup::StartupContext& context);

}  // namespace ui
