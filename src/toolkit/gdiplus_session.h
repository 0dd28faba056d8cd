// GDI+ is started once per process, on first use, and left running: images
// may live in static caches until exit, and shutting GDI+ down under them
// would crash the exit path.
#pragma once

#include "platform/windows_api.h"
// GDI+ headers expect min/max and the COM stream types.
#include <objidl.h>
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

namespace toolkit {

// True when GDI+ is available.
[[nodiscard]] bool EnsureGdiplus();

}  // namespace toolkit
