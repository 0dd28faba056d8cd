// Starting the installer, the uninstaller and companion programs: one waits
// while the UI thread keeps dispatching its messages, one returns at once.
// Both name the program by its full path, never through the search path.
#pragma once

#include <cstdint>
#include <string>

#include "platform/unique_resource.h"

namespace install {

enum class WaitEnd {
  Exited,          // the process ended; `code` is its exit code
  NotStarted,      // `code` is kLaunchFailed
  CodeUnreadable,  // `code` is kExitCodeUnreadable
  TimedOut,        // the bound ran out first; the process still runs
  QuitRequested,   // WM_QUIT arrived (posted again); the process still runs
};

struct ProcessRun {
  WaitEnd end = WaitEnd::NotStarted;
  int32_t code = 0;
};

// Creates the process: application name = `application` (it must be an
// absolute path), command line = the quoted path followed by `parameters`,
// so the program sees its own path as its first argument. Invalid owner when
// it cannot be created (the system error is logged with `failure_format`).
[[nodiscard]] platform::UniqueHandle StartProcess(const std::wstring& application, const std::wstring& parameters,
                                                  const char* failure_format);

// Waits for `process` in slices of 200 ms, dispatching every pending message
// of this thread at each wake, at most `timeout_ms` (INFINITE: no bound).
[[nodiscard]] ProcessRun WaitForProcess(HANDLE process, DWORD timeout_ms);

// Starts the installer and waits for it (no bound; a quit request ends the
// wait). Returns the exit code, kLaunchFailed or kExitCodeUnreadable in
// `code`; with QuitRequested the process was left running.
[[nodiscard]] ProcessRun RunAndWait(const std::wstring& application, const std::wstring& parameters);

// Starts the program and returns at once: normally kStillActive (259), or
// kLaunchFailed / kExitCodeUnreadable.
[[nodiscard]] int32_t LaunchDetached(const std::wstring& application, const std::wstring& parameters);

[[nodiscard]] bool IsAbsolutePath(const std::wstring& path);

}  // namespace install
