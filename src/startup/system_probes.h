// Small probes of the machine: who the user is, the persistent machine GUID,
// the Windows edition and bitness, whether the internet answers, and a
// forced restart.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/windows_api.h"

namespace startup {

// "S-1-5-21-…" of the user the process runs as (from the process token).
[[nodiscard]] bool UserSidText(std::wstring& sid_text);

// The persistent GUID under HKLM (created and stored on first use); empty
// when no GUID can be made.
[[nodiscard]] std::string MachineGuid();
[[nodiscard]] std::string FormatGuid(const GUID& guid);
[[nodiscard]] std::wstring MachineGuidKeyPath();

[[nodiscard]] bool Is64BitWindows();
[[nodiscard]] bool IsWow64();
[[nodiscard]] bool IsServerWindows();
// "home" or "server".
[[nodiscard]] std::string EditionWord();

// Default addresses of the connection check: secure home pages of two large
// public web sites, one international and one regional.
[[nodiscard]] std::vector<std::string> DefaultProbeAddresses();

// Checks the addresses in order on a worker thread while this thread keeps
// dispatching its window messages; each call checks afresh. False also when a
// quit request ends the wait.
[[nodiscard]] bool CheckInternet(const std::vector<std::string>& addresses = DefaultProbeAddresses());

// The final call of a restart; tests substitute a recorder so nothing restarts.
using ExitWindowsCall = std::function<bool(UINT flags, DWORD reason)>;
[[nodiscard]] ExitWindowsCall SystemExitWindows();

// Enables the shutdown privilege, then asks for a reboot that lets hung
// programs be ended but gives the others their chance to save.
[[nodiscard]] bool RestartWindows(const ExitWindowsCall& exit_windows = SystemExitWindows());

}  // namespace startup
