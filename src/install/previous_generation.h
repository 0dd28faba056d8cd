// Removing the previous product generation before installing: its
// uninstaller is started, waited for (bounded) and then its uninstall entry
// is watched until it is gone (bounded too; an uninstaller may hand its
// work to a copy of itself and exit at once).
#pragma once

#include <atomic>
#include <optional>
#include <string>

#include "install/installed_version.h"
#include "install/pipeline_view.h"
#include "platform/windows_api.h"

namespace install {

struct UninstallBounds {
  DWORD process_ms = 5 * 60 * 1000;  // the uninstaller's own run
  DWORD entry_ms = 60 * 1000;        // then its entry's disappearance
  DWORD poll_ms = 250;
};

enum class UninstallEnd {
  NothingToDo,    // no previous generation is registered
  Removed,        // the uninstaller ran and its entry is gone
  Unusable,       // the registered command names no program (logged)
  NotStarted,     // the uninstaller could not be started (logged)
  Failed,         // it ended with a non-zero code (logged); the install goes on
  TimedOut,       // a bound ran out (logged); the install goes on
  Cancelled,      // the cancel flag was set while waiting
  QuitRequested,  // WM_QUIT arrived (posted again)
};

// The program of an uninstall command: a value that starts with a double
// quote gives the text up to the matching quote (nothing when there is
// none); any other value is taken whole. nullopt when nothing usable is left.
[[nodiscard]] std::optional<std::wstring> UninstallerPathFromCommand(const std::wstring& command);

// `cancel` is written by the UI thread's handlers during the waits.
[[nodiscard]] UninstallEnd UninstallPreviousGeneration(const UninstallSettings& settings, IPipelineView& view,
                                                       const std::wstring& uninstalling_text,
                                                       const std::atomic<bool>& cancel,
                                                       const UninstallBounds& bounds = {});

}  // namespace install
