#include "ui_stores.h"

#include <gtest/gtest.h>

#include "platform/text.h"
#include "startup/launch_parameters.h"
#include "startup/product_config.h"

namespace ui_test {
namespace {

std::wstring SourceConfig(const wchar_t* name) {
  return test_support::PathFromEnvironment("WEBINSTALLER_SOURCE_DIR") + L"\\config\\" + name;
}

}  // namespace

UiStores::UiStores(const std::map<std::string, std::string>& config) {
  std::string text = test_support::ReadBytes(SourceConfig(L"InitConfigure.ini"));
  std::string front = "[Product]\n";
  // No test talks to the sample hosts: their addresses lead nowhere.
  front += "DownloadInfoUrl=http://127.0.0.1:9/release\nUpdateIni=http://127.0.0.1:9/version\n";
  for (const auto& [key, value] : config) front += key + "=" + value + "\n";
  const size_t section = text.find("[Product]");
  text.replace(section, 9, front);
  EXPECT_TRUE(test_support::WriteBytes(folder_.File(L"InitConfigure.ini"), text));
  for (const wchar_t* name : {L"English.ini", L"Chinese.ini", L"LanguageTransfor.ini"}) {
    EXPECT_TRUE(test_support::CopyOneFile(SourceConfig(name), folder_.File(name)));
  }
  startup::Config().Clear();
  startup::Config().LoadProduct(folder_.File(L"InitConfigure.ini"));
  startup::Config().LoadLanguageTransfer(folder_.File(L"LanguageTransfor.ini"));
  startup::Strings().Load(folder_.File(L"English.ini"));
  startup::Parameters().Clear();
}

UiStores::~UiStores() {
  startup::Parameters().Clear();
  startup::Config().Clear();
}

InstalledProduct::InstalledProduct(const std::wstring& version)
    : address(test_support::UniqueName(L"Uninstall_"), platform::RegistryView::Bits64),
      name(test_support::UniqueName(L"Product_")) {
  if (version.empty()) return;
  const platform::RegistryKey key = platform::RegistryKey::Create(
      HKEY_LOCAL_MACHINE, address.path() + L"\\" + name + L"3.0_is1", platform::RegistryView::Bits64, KEY_WRITE);
  // The installed version is the display name after the product name.
  EXPECT_TRUE(key.WriteString(L"DisplayName", name + version));
}

std::map<std::string, std::string> InstalledProduct::Config() const {
  return {{"RegistryAddress", platform::WideToUtf8(address.path())},
          {"RegistryName", platform::WideToUtf8(name)},
          {"DisplayName", "DisplayName"}};
}

}  // namespace ui_test
