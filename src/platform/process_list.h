// Walking the running processes of the machine.
#pragma once

#include <functional>
#include <string>

#include "platform/windows_api.h"

namespace platform {

struct ProcessEntry {
  DWORD id = 0;
  std::wstring exe_name;  // file name without folder, as the system reports it
};

enum class Walk { Continue, Stop };

// Calls `visit` for each process of a fresh snapshot. False when no snapshot
// could be taken.
[[nodiscard]] bool ForEachProcess(const std::function<Walk(const ProcessEntry&)>& visit);

// Full image path of an open process, empty when it cannot be read.
[[nodiscard]] std::wstring ProcessImagePath(HANDLE process);

}  // namespace platform
