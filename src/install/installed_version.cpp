#include "install/installed_version.h"

#include "platform/registry_key.h"
#include "platform/text.h"
#include "startup/product_config.h"
#include "startup/product_presence.h"
#include "startup/system_probes.h"

namespace install {
namespace {

std::wstring ReadInView(const std::wstring& key_path, const std::wstring& value_name, platform::RegistryView view) {
  const platform::RegistryKey key = platform::RegistryKey::Open(HKEY_LOCAL_MACHINE, key_path, view, KEY_READ);
  std::wstring value = key.ReadString(value_name).value_or(L"");
  if (value.size() > kMaxUninstallValueUnits) return {};
  return value;
}

}  // namespace

UninstallSettings UninstallSettingsFromConfig() {
  const startup::ProductConfig& config = startup::Config();
  UninstallSettings settings;
  settings.registry_address = config.Get("RegistryAddress");
  settings.registry_name = config.GetForEdition("RegistryName");  // the VEXA edition has its own
  settings.display_name_value = config.Get("DisplayName");
  settings.uninstall_value = config.Get("UninstallKey");
  settings.uninstall_parameters = config.Get("UninstallParamStr");
  return settings;
}

std::wstring ReadUninstallValue(const std::wstring& key_path, const std::wstring& value_name) {
  if (!startup::Is64BitWindows()) {
    return ReadInView(key_path, value_name, platform::RegistryView::Default);
  }
  std::wstring value = ReadInView(key_path, value_name, platform::RegistryView::Bits64);
  if (value.empty()) value = ReadInView(key_path, value_name, platform::RegistryView::Bits32);
  return value;
}

std::string VersionFromDisplayName(const std::wstring& display_name, const std::wstring& registry_name) {
  if (display_name.empty() || display_name.find(registry_name) == std::wstring::npos) return {};
  if (display_name.size() < registry_name.size() + 1) return {};
  return platform::WideToAnsi(display_name.substr(registry_name.size()));
}

std::string InstalledVersion(const UninstallSettings& settings) {
  const std::wstring base = settings.registry_address + L"\\" + settings.registry_name;
  std::wstring display_name = ReadUninstallValue(base + kCurrentGenerationSuffix, settings.display_name_value);
  // The uninstall list names the current generation with a blank before the
  // suffix; an entry registered that way is the same product.
  if (display_name.empty()) {
    display_name = ReadUninstallValue(base + kCurrentGenerationListedSuffix, settings.display_name_value);
  }
  return VersionFromDisplayName(display_name, settings.registry_name);
}

int InstallMode(const net::ReleaseStatus& release_status, const std::string& offered_version,
                const UninstallSettings& settings) {
  if (!release_status.Queried()) return kInstallModeLoading;
  if (!startup::IsProductInstalled(settings.registry_address, settings.registry_name)) {
    return kInstallModeInstall;
  }
  return offered_version == InstalledVersion(settings) ? kInstallModeReinstall : kInstallModeUpdate;
}

}  // namespace install
