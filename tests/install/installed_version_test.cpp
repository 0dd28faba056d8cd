#include "install/installed_version.h"

#include <gtest/gtest.h>

#include "fixture_installer.h"
#include "startup/launch_parameters.h"
#include "startup/product_config.h"
#include "test_support.h"

namespace {

using install::UninstallSettings;
using platform::RegistryView;
using test_support::TestRegistryKey;

TEST(InstalledVersionTest, VersionIsCutFromTheDisplayNameAtTheNamesLength) {
  struct Case {
    const wchar_t* display_name;
    const wchar_t* name;
    const char* expected;
  };
  const Case cases[] = {
      {L"Foo 3.1.2", L"Foo", " 3.1.2"},
      {L"Foo", L"Foo", ""},
      {L"Bar Foo 2", L"Foo", " Foo 2"},  // cut at length(name), not after the occurrence
      {L"Foo1", L"Foo", "1"},
      {L"Baz 1.0", L"Foo", ""},
      {L"", L"Foo", ""},
      {L"foo 1.0", L"Foo", ""},  // letter case counts
  };
  for (const Case& c : cases) {
    EXPECT_EQ(install::VersionFromDisplayName(c.display_name, c.name), c.expected) << c.display_name;
  }
}

TEST(InstalledVersionTest, FoundInEitherViewWithThe64BitViewFirst) {
  const std::wstring name = test_support::UniqueName(L"Uninst");
  TestRegistryKey only32(name, RegistryView::Bits32);
  only32.CreateSubkey(L"Foo3.0_is1");
  ASSERT_TRUE(platform::RegistryKey::Open(HKEY_LOCAL_MACHINE, only32.path() + L"\\Foo3.0_is1", RegistryView::Bits32,
                                          KEY_ALL_ACCESS)
                  .WriteString(L"DisplayName", L"Foo 3.1.2"));
  EXPECT_EQ(install::InstalledVersion(install_test::FooSettingsFor(only32)), " 3.1.2");

  TestRegistryKey also64(name, RegistryView::Bits64);
  also64.CreateSubkey(L"Foo3.0_is1");
  ASSERT_TRUE(platform::RegistryKey::Open(HKEY_LOCAL_MACHINE, also64.path() + L"\\Foo3.0_is1", RegistryView::Bits64,
                                          KEY_ALL_ACCESS)
                  .WriteString(L"DisplayName", L"Foo 4.0"));
  EXPECT_EQ(install::InstalledVersion(install_test::FooSettingsFor(also64)), " 4.0");
}

TEST(InstalledVersionTest, KeyWithABlankBeforeTheSuffixCountsAndOverlongValuesDoNot) {
  TestRegistryKey address(test_support::UniqueName(L"Uninst"), RegistryView::Bits32);
  address.CreateSubkey(L"Foo 3.0_is1");
  const auto key = platform::RegistryKey::Open(HKEY_LOCAL_MACHINE, address.path() + L"\\Foo 3.0_is1",
                                               RegistryView::Bits32, KEY_ALL_ACCESS);
  ASSERT_TRUE(key.WriteString(L"DisplayName", L"Foo 3.2"));
  EXPECT_EQ(install::InstalledVersion(install_test::FooSettingsFor(address)), " 3.2");
  ASSERT_TRUE(key.WriteString(L"DisplayName", L"Foo " + std::wstring(install::kMaxUninstallValueUnits, L'9')));
  EXPECT_EQ(install::InstalledVersion(install_test::FooSettingsFor(address)), "");
}

TEST(InstalledVersionTest, InstallModeFromStatusPresenceAndExactVersion) {
  TestRegistryKey address(test_support::UniqueName(L"Uninst"), RegistryView::Bits32);
  const UninstallSettings settings = install_test::FooSettingsFor(address);
  EXPECT_EQ(install::InstallMode(net::ReleaseStatus::NotQueried(), " 3.1.2", settings), install::kInstallModeLoading);
  EXPECT_EQ(install::InstallMode(net::ReleaseStatus::Answered(), " 3.1.2", settings), install::kInstallModeInstall);

  address.CreateSubkey(L"Foo3.0_is1");
  ASSERT_TRUE(platform::RegistryKey::Open(HKEY_LOCAL_MACHINE, address.path() + L"\\Foo3.0_is1", RegistryView::Bits32,
                                          KEY_ALL_ACCESS)
                  .WriteString(L"DisplayName", L"Foo 3.1.2a"));
  EXPECT_EQ(install::InstallMode(net::ReleaseStatus::Answered(), " 3.1.2a", settings), install::kInstallModeReinstall);
  EXPECT_EQ(install::InstallMode(net::ReleaseStatus::Answered(), " 3.1.2A", settings), install::kInstallModeUpdate);
  EXPECT_EQ(install::InstallMode(net::ReleaseStatus::Answered(), "3.1.2a", settings), install::kInstallModeUpdate);
  EXPECT_EQ(install::InstallMode(net::ReleaseStatus::NotQueried(), " 3.1.2a", settings), install::kInstallModeLoading);
}

TEST(InstalledVersionTest, SettingsFromConfigurationFollowTheEdition) {
  test_support::TempFolder folder;
  ASSERT_TRUE(test_support::WriteBytes(folder.File(L"InitConfigure.ini"),
                                       "[Product]\r\nRegistryAddress=SOFTWARE\\U\r\nRegistryName=Plain\r\n"
                                       "RegistryNameVexa=Vexa\r\nDisplayName=DN\r\nUninstallKey=US\r\n"
                                       "UninstallParamStr=/S\r\n"));
  startup::Config().Clear();
  startup::Config().LoadProduct(folder.File(L"InitConfigure.ini"));
  startup::Parameters().Clear();
  UninstallSettings settings = install::UninstallSettingsFromConfig();
  EXPECT_EQ(settings.registry_address, L"SOFTWARE\\U");
  EXPECT_EQ(settings.registry_name, L"Plain");
  EXPECT_EQ(settings.display_name_value, L"DN");
  EXPECT_EQ(settings.uninstall_value, L"US");
  EXPECT_EQ(settings.uninstall_parameters, L"/S");
  startup::Parameters().Parse(L"DOWNLOAD_VERSION=vexa");
  settings = install::UninstallSettingsFromConfig();
  EXPECT_EQ(settings.registry_name, L"Vexa");
  EXPECT_EQ(settings.display_name_value, L"DN");
  startup::Config().Clear();
  startup::Parameters().Clear();
}

}  // namespace
