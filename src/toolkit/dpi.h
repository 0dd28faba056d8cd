// Per-monitor DPI: the process asks for it once; windows ask for their own
// DPI. The functions are looked up at run time (absent on Windows 7 and 8).
#pragma once

#include "platform/windows_api.h"

namespace toolkit {

// Makes the process per-monitor DPI aware. Failure with "access denied" or
// "invalid parameter" means awareness was already set (by a manifest, an
// earlier call or the system) and counts as success.
bool EnableDpiAwareness();

// The window's DPI, the system DPI when the window cannot say, 96 at worst.
[[nodiscard]] int DpiOfWindow(HWND window);

}  // namespace toolkit
