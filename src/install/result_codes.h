// Results of the install stage besides the installer's own exit codes
// (the failure pages show them as 6000 + result, see pipeline_failure.h).
// Never reuse a number.
#pragma once

#include <cstdint>

namespace install {

// Results of the process launchers beside the installer's own exit codes.
// The account password could not be put into a private file for the installer.
inline constexpr int32_t kPasswordFileFailed = 996;
inline constexpr int32_t kInstallFolderRefused = 997;  // the install folder failed validation
inline constexpr int32_t kLaunchFailed = 998;          // the process was not created
inline constexpr int32_t kExitCodeUnreadable = 999;    // its exit code could not be read
inline constexpr int32_t kStillActive = 259;           // the system's "still running" exit code

}  // namespace install
