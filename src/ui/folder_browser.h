// The system's folder browser, rooted at "This PC", file-system folders only.
#pragma once

#include <string>

#include "platform/windows_api.h"

namespace ui {

// The chosen folder (at most MAX_PATH characters), or empty when cancelled.
[[nodiscard]] std::wstring BrowseForFolderOwnedBy(HWND owner);

}  // namespace ui
