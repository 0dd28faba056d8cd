// The installer's setup log: where it is written ("/LOG=") and, after a
// failed attempt, what it said, copied into our own log for support.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace install {

inline constexpr uint64_t kSetupLogTailBytes = 16 * 1024;
inline constexpr size_t kSetupLogTailLines = 12;

// `temp_folder` + `name` when logging is switched on and a file can be
// created there (probed, then deleted); empty otherwise.
[[nodiscard]] std::wstring SetupLogLocation(bool write_log_switch, const std::wstring& temp_folder,
                                            const std::wstring& name);

// The last non-empty lines (at most `max_lines`), reading at most the last
// kSetupLogTailBytes. Empty when there is no log.
[[nodiscard]] std::vector<std::string> SetupLogTail(const std::wstring& path, size_t max_lines = kSetupLogTailLines);

// Removes an earlier attempt's log (its tail is already in our log), so the
// next attempt's lines are its own whether the installer appends or not.
void RemoveSetupLog(const std::wstring& path);

}  // namespace install
