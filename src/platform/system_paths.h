// Where things are: the executable's own folder, System32, the temporary
// folder; and loading system libraries by full path only.
#pragma once

#include <string>

#include "platform/unique_resource.h"

namespace platform {

[[nodiscard]] std::wstring ExecutablePath();
// The executable's folder, ending in a backslash.
[[nodiscard]] std::wstring ExecutableFolder();
// System32, ending in a backslash (empty if the system does not say).
[[nodiscard]] std::wstring System32Folder();
// The user's temporary folder, ending in a backslash; empty when unknown.
[[nodiscard]] std::wstring TempFolder();
[[nodiscard]] std::wstring CurrentFolder();

// Loads `file_name` from System32 by its full path, never through the search
// path (a planted DLL beside the download must not be picked up).
[[nodiscard]] UniqueModule LoadSystemLibrary(const std::wstring& file_name);

// The export `name` of `module` as the function type it is declared with;
// nullptr when the module or the export is missing.
template <class Function>
[[nodiscard]] Function FunctionOf(HMODULE module, const char* name) {
  return module == nullptr ? nullptr
                           : reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// Text after the last backslash or slash.
[[nodiscard]] std::wstring FileNameOf(const std::wstring& path);

}  // namespace platform
