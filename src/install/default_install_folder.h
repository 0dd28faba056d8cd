// The install folder before and after the user chooses one. The default is
// the configured base (Program Files, or InstallProgramFilesPath when
// BProgramFilesPath is "1") followed by the edition's InstallPath: the
// unattended run installs there and the options page shows it. A folder the
// user browses to gets the edition's ProductExtentPath appended instead.
#pragma once

#include <string>

namespace install {

struct InstallFolderParts {
  std::wstring base;            // without a trailing backslash, or with one
  std::wstring product_folder;  // InstallPath (edition's twin)
};

// Joins the parts with single backslashes; an empty part adds nothing.
[[nodiscard]] std::wstring JoinInstallFolder(const InstallFolderParts& parts);

// A folder the user chose followed by `extent_folder` (the edition's
// ProductExtentPath):
// "C:\" gives "C:\PhotoStudio", "C:\Apps" gives "C:\Apps\PhotoStudio".
// Empty when nothing was chosen.
[[nodiscard]] std::wstring BrowsedInstallFolder(const std::wstring& chosen, const std::wstring& extent_folder);

// The system's Program Files folder as this process sees it; empty when the
// system does not say.
[[nodiscard]] std::wstring ProgramFilesFolder();
// The registry value the shell answers that from, in this process's view (a
// 32-bit program gets the 32-bit folder); empty when missing or unexpanded.
[[nodiscard]] std::wstring StoredProgramFilesFolder();

// The parts from the configuration and the system.
[[nodiscard]] InstallFolderParts InstallFolderPartsFromConfig();

[[nodiscard]] std::wstring DefaultInstallFolder();

}  // namespace install
