// The install folder offered before the user chooses one: the configured base
// (Program Files, or InstallProgramFilesPath when BProgramFilesPath is "1")
// followed by the edition's InstallPath and ProductExtentPath. The unattended
// run installs there; the options page shows it.
#pragma once

#include <string>

namespace install {

struct InstallFolderParts {
  std::wstring base;            // without a trailing backslash, or with one
  std::wstring product_folder;  // InstallPath (edition's twin)
  std::wstring extent_folder;   // ProductExtentPath (edition's twin)
};

// Joins the parts with single backslashes; empty parts add nothing.
[[nodiscard]] std::wstring JoinInstallFolder(const InstallFolderParts& parts);

// The system's Program Files folder as this process sees it; empty when the
// system does not say.
[[nodiscard]] std::wstring ProgramFilesFolder();

// The parts from the configuration and the system.
[[nodiscard]] InstallFolderParts InstallFolderPartsFromConfig();

[[nodiscard]] std::wstring DefaultInstallFolder();

}  // namespace install
