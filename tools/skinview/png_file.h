// Writes a rendered window as a PNG file (8-bit RGB, no alpha), so skin
// authors can review a description without opening it on screen.
#pragma once

#include <string>

#include "toolkit/window_core.h"

// The PNG bytes of `image` (empty when it has no pixels or compression fails).
[[nodiscard]] std::string EncodePng(const toolkit::RenderedImage& image);

// Writes EncodePng(image) to `path`, replacing the file; false on failure.
[[nodiscard]] bool WritePngFile(const std::wstring& path, const toolkit::RenderedImage& image);
