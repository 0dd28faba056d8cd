// This run's own folder for every file the program creates: the download,
// the verified installer copy, the installer's setup log, the companion
// downloader. It is %TEMP%\Mediloom\run-<pid>-<tick>-<n>\, made private
// (platform::CreatePrivateFolder) and held open without delete sharing while
// it is used, so it cannot be renamed and replaced by a link.
#pragma once

#include <cstdint>
#include <string>

#include "platform/unique_resource.h"

namespace startup {

class RunFolder {
 public:
  RunFolder() = default;
  ~RunFolder();  // lets the folder go and removes it when it is empty
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;

  // Makes the folder on the first call; true while it exists.
  [[nodiscard]] bool Create();
  // Ends in a backslash; empty until Create succeeded.
  [[nodiscard]] const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
  platform::UniqueHandle held_;
};

// The folder that holds the run folders: %TEMP%\Mediloom\ (empty when the
// temporary folder is unknown).
[[nodiscard]] std::wstring RunFoldersParent();

inline constexpr uint64_t kStaleRunFolderSeconds = 24 * 60 * 60;

// Removes run folders untouched for longer than `max_age_seconds` with the
// files in them: left by a run that was killed, or by one whose installer or
// companion still ran when it ended. Links are never followed.
void RemoveStaleRunFolders(uint64_t max_age_seconds = kStaleRunFolderSeconds);

}  // namespace startup
