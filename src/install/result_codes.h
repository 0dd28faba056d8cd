// Result codes of the install stage and the bands the pipeline builds from
// them: one number keeps stage and cause together. Never reuse a number.
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

// Bands of the failure pages.
inline constexpr int32_t kReleaseFailureBand = 1000;   // + release status
inline constexpr int32_t kTransferFailureBand = 3000;  // + downloader code
inline constexpr int32_t kDigestMismatch = 4000;
// Neither the release answer nor the configuration (URLMD5) names an MD5:
// no download could ever be verified, so none is made.
inline constexpr int32_t kNoExpectedDigest = 4001;
inline constexpr int32_t kInstallFailureBand = 6000;   // + installer result

// Downloader codes the pipeline reacts to.
[[nodiscard]] constexpr bool IsResolveFailure(int32_t code) {
  return code == 106 || code == 206 || code == 306;
}
[[nodiscard]] constexpr bool IsTimeOut(int32_t code) {
  return code == 128 || code == 228 || code == 328;
}
// Nobody answered at the address (connection refused): the source is down,
// as unreachable as one whose name does not resolve.
[[nodiscard]] constexpr bool IsConnectFailure(int32_t code) {
  return code == 107 || code == 207 || code == 307;
}
// A ranged connection failed: the ranges on disk are kept and can be resumed.
[[nodiscard]] constexpr bool IsRangeFailure(int32_t code) { return code >= 300 && code <= 399; }

}  // namespace install
