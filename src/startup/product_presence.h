// Is the product running or installed, and the means to close or end it.
// Names come from comma lists of the configuration.
#pragma once

#include <optional>
#include <string>

#include "platform/registry_key.h"

namespace startup {

// True when a process whose file name equals one of the names exactly
// (letter case significant) runs.
[[nodiscard]] bool IsProductRunning(const std::wstring& process_names);

// The first subkey of HKLM\`path` (in `view`) whose name contains `name`;
// an empty name matches nothing.
[[nodiscard]] std::optional<std::wstring> FindProductSubkey(const std::wstring& path, const std::wstring& name,
                                                            platform::RegistryView view);

// Looks in the 32-bit view and then the 64-bit view on 64-bit Windows. An
// empty name is never installed (logged): it would match any product.
[[nodiscard]] bool IsProductInstalled(const std::wstring& registry_address, const std::wstring& registry_name);

// Asks the product's top-level windows (of this user session) to close, then
// waits up to `wait_ms` for its processes to end. True when none runs then.
[[nodiscard]] bool AskProductToClose(const std::wstring& process_names, DWORD wait_ms = 5000);

// Ends the product's processes of this user session (exit code 9), then waits
// up to `wait_ms` for them to go. True when none runs then.
[[nodiscard]] bool EndProductProcesses(const std::wstring& process_names, DWORD wait_ms = 5000);

// Where the product must go: asks the Restart Manager first (no force), then
// the product's windows (AskProductToClose), and ends what still runs only
// after those bounded waits (EndProductProcesses). Each step is logged.
// True when none runs then.
[[nodiscard]] bool CloseOrEndProduct(const std::wstring& process_names, DWORD wait_ms = 5000);

}  // namespace startup
