// The product's uninstall entries under HKLM: the installed version for the
// home page's choice (install, reinstall, update) and the entries of older
// generations that are removed before installing.
#pragma once

#include <optional>
#include <string>

#include "net/release_status.h"

namespace install {

// Where the uninstall entries are and what their values are called.
struct UninstallSettings {
  std::wstring registry_address;  // below HKLM, the folder of the uninstall keys
  std::wstring registry_name;     // first part of each key name and of the display name
  std::wstring display_name_value;
  std::wstring uninstall_value;
  std::wstring uninstall_parameters;
};

[[nodiscard]] UninstallSettings UninstallSettingsFromConfig();

// Generation suffixes of the key names.
inline constexpr wchar_t kCurrentGenerationSuffix[] = L"3.0_is1";
inline constexpr wchar_t kCurrentGenerationListedSuffix[] = L" 3.0_is1";
inline constexpr wchar_t kPreviousGenerationSuffix[] = L" 2.0_is1";

// The longest value read, in UTF-16 units: longer ones count as absent.
inline constexpr size_t kMaxUninstallValueUnits = 1024;

// HKLM\`key_path`\`value_name`: the 64-bit view first and then the 32-bit
// view on 64-bit Windows, the default view otherwise; empty when absent.
[[nodiscard]] std::wstring ReadUninstallValue(const std::wstring& key_path, const std::wstring& value_name);

// The display name with the first length(name) characters cut off, when the
// name occurs in it and something follows; empty otherwise.
[[nodiscard]] std::string VersionFromDisplayName(const std::wstring& display_name, const std::wstring& registry_name);

// The installed version of the current generation; empty when none.
[[nodiscard]] std::string InstalledVersion(const UninstallSettings& settings);

enum InstallModeValue : int {
  kInstallModeLoading = -1,
  kInstallModeInstall = 0,
  kInstallModeReinstall = 1,
  kInstallModeUpdate = 2,
};

// -1 while no release query has run; 0 when the product is not installed; 1
// when the offered version equals the installed one exactly; 2 otherwise.
[[nodiscard]] int InstallMode(const net::ReleaseStatus& release_status, const std::string& offered_version,
                              const UninstallSettings& settings);

}  // namespace install
