// Registers the toolkit's native window classes (host windows, drop-down
// lists) once per process.
#pragma once

#include "platform/windows_api.h"

namespace toolkit {

// True when the class exists afterwards (registered now or before).
[[nodiscard]] bool RegisterToolkitWindowClass(const wchar_t* class_name, WNDPROC procedure, UINT style);

}  // namespace toolkit
