#include "startup/launch_modes.h"

#include <gtest/gtest.h>

#include "platform/process_list.h"
#include "platform/system_paths.h"
#include "startup/launch_parameters.h"
#include "startup/product_config.h"
#include "startup/system_probes.h"
#include "test_support.h"

namespace {

using startup::LaunchMode;
using startup::Parameters;
using test_support::SetupSandbox;

TEST(LaunchModesTest, OnlyTheExactTextsSelectTheSpecialModes) {
  EXPECT_EQ(startup::ModeFromInstallType(L"2"), LaunchMode::CompanionFetch);
  EXPECT_EQ(startup::ModeFromInstallType(L"1"), LaunchMode::Unattended);
  for (const wchar_t* other : {L"", L"0", L"3", L" 1", L"1 ", L"01", L"two"}) {
    EXPECT_EQ(startup::ModeFromInstallType(other), LaunchMode::Interactive) << other;
  }
}

TEST(LaunchModesTest, CompanionFileNameHoldsTimeAndReferNumber) {
  EXPECT_EQ(startup::CompanionTargetPath(L"C:\\T\\", 1700000000, L"77"), L"C:\\T\\1700000000.77.exe");
  EXPECT_EQ(startup::CompanionTargetPath(L"C:\\T\\", 5, L""), L"C:\\T\\5..exe");
}

TEST(LaunchModesTest, PreparationKeepsCommandLineIdentity) {
  test_support::TempFolder folder;
  Parameters().Clear();
  Parameters().Parse(L"GUID=given ||| EXENAME=Setup.42[inv].exe ||| exeNumber=7");
  startup::StartupContext context;
  startup::PrepareRun(context, folder.path());
  EXPECT_EQ(Parameters().Get("GUID"), L"given");
  EXPECT_EQ(Parameters().Get("exeNumber"), L"7");
  EXPECT_EQ(Parameters().Get("inviteCode"), L"inv");
  EXPECT_EQ(context.language, "English");

  Parameters().Clear();
  startup::StartupContext derived;
  startup::PrepareRun(derived, folder.path());
  std::wstring sid;
  ASSERT_TRUE(startup::UserSidText(sid));
  EXPECT_EQ(Parameters().Get("GUID"), sid);
  EXPECT_EQ(Parameters().Get("exeNumber"), L"999999");
  EXPECT_EQ(Parameters().Get("inviteCode"), L"");
  Parameters().Clear();
}

// setup.exe as a real child process, one sandbox folder per case.
class SetupProcessTest : public testing::Test {
 protected:
  SetupSandbox sandbox_;
};

TEST_F(SetupProcessTest, CompanionFetchWithoutAddressEndsAtOnceWithTwo) {
  const std::wstring refer = test_support::UniqueName(L"r");
  const test_support::ProcessResult result = sandbox_.Run(L"INSTALL_TYPE=2 ||| REFERNUMBER=" + refer);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exit_code, 2u);
  // Nothing was created in the temporary folder for this refer number.
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW((platform::TempFolder() + L"*." + refer + L".exe").c_str(), &data);
  EXPECT_EQ(find, INVALID_HANDLE_VALUE);
  if (find != INVALID_HANDLE_VALUE) ::FindClose(find);
  EXPECT_NE(sandbox_.MainLog().find("ParseCmdLine param=INSTALL_TYPE=2"), std::string::npos);
  EXPECT_NE(sandbox_.MainLog().find("no RECOMMEND_URL"), std::string::npos);
}

TEST_F(SetupProcessTest, ModesReturnTheirExitCodes) {
  struct Case {
    const wchar_t* parameters;
    DWORD exit_code;
  } cases[] = {
      {L"INSTALL_TYPE=2 ||| RECOMMEND_URL=http://127.0.0.1:9/x.exe", 2},
      {L"INSTALL_TYPE=1", 1},
      {L"", 0},
      {L"INSTALL_TYPE=3", 0},
      {L"INSTALL_TYPE=1|||GUID=x", 0},  // no separator: the whole value is not "1"
  };
  for (const Case& c : cases) {
    const test_support::ProcessResult result = sandbox_.Run(c.parameters);
    ASSERT_TRUE(result.finished) << c.parameters;
    EXPECT_EQ(result.exit_code, c.exit_code) << c.parameters;
  }
}

TEST_F(SetupProcessTest, UnattendedModeDoesNothingWhileTheProductRuns) {
  const std::wstring name = test_support::UniqueName(L"Running_") + L".exe";
  ASSERT_TRUE(
      test_support::CopyOneFile(test_support::PathFromEnvironment("WEBINSTALLER_FIXTURE_DIR") + L"\\fake_product.exe",
                                sandbox_.folder().File(name)));
  test_support::BackgroundProcess product(sandbox_.folder().File(name), L"sleep 30000");
  ASSERT_TRUE(product.IsRunning());
  // A process just started can be missing from a snapshot for a moment on a loaded system.
  const auto listed = [&] {
    bool found = false;
    (void)platform::ForEachProcess([&](const platform::ProcessEntry& entry) {
      found = _wcsicmp(entry.exe_name.c_str(), name.c_str()) == 0;
      return found ? platform::Walk::Stop : platform::Walk::Continue;
    });
    return found;
  };
  for (int waited = 0; !listed() && waited < 10000; waited += 50) ::Sleep(50);
  ASSERT_TRUE(listed());
  sandbox_.WriteConfig(L"InitConfigure.ini",
                       "[Product]\nProductProcess=other.exe," + std::string(name.begin(), name.end()) + "\n");
  const test_support::ProcessResult result = sandbox_.Run(L"INSTALL_TYPE=1");
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exit_code, 1u);
  EXPECT_NE(sandbox_.MainLog().find("the product is running"), std::string::npos);
}

TEST_F(SetupProcessTest, UnattendedModeDoesNothingWhenInstalled) {
  test_support::TestRegistryKey uninstall(test_support::UniqueName(L"Installed_"), platform::RegistryView::Bits32);
  uninstall.CreateSubkey(L"PhotoStudio_3");
  const std::string path(uninstall.path().begin(), uninstall.path().end());
  sandbox_.WriteConfig(L"InitConfigure.ini", "[Product]\nRegistryAddress=" + path + "\nRegistryName=PhotoStudio\n");
  const test_support::ProcessResult result = sandbox_.Run(L"INSTALL_TYPE=1");
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exit_code, 1u);
  EXPECT_NE(sandbox_.MainLog().find("the product is installed"), std::string::npos);
}

// Without a RegistryName any product's entry would count as ours: an
// unattended run must still install.
TEST_F(SetupProcessTest, UnattendedModeWithoutRegistryNameIsNeverInstalled) {
  test_support::TestRegistryKey uninstall(test_support::UniqueName(L"Installed_"), platform::RegistryView::Bits32);
  uninstall.CreateSubkey(L"SomeOtherProduct_3");
  const std::string path(uninstall.path().begin(), uninstall.path().end());
  sandbox_.WriteConfig(L"InitConfigure.ini", "[Product]\nRegistryAddress=" + path + "\nRegistryName=\n");
  const test_support::ProcessResult result = sandbox_.Run(L"INSTALL_TYPE=1");
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exit_code, 1u);
  const std::string log = sandbox_.MainLog();
  EXPECT_EQ(log.find("the product is installed"), std::string::npos) << log;
  EXPECT_NE(log.find("no RegistryName configured"), std::string::npos) << log;
  EXPECT_NE(log.find("Unattended install ended"), std::string::npos) << log;
}

TEST_F(SetupProcessTest, SecondInteractiveInstanceActivatesTheFirstAndEnds) {
  const std::wstring name = test_support::UniqueName(L"SetupInstance_");
  platform::UniqueHandle first(::CreateMutexW(nullptr, TRUE, name.c_str()));
  ASSERT_TRUE(first.IsValid());
  sandbox_.WriteConfig(L"InitConfigure.ini",
                       "[Product]\nInstallerName=" + std::string(name.begin(), name.end()) + "\n");
  const test_support::ProcessResult result = sandbox_.Run(L"");
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exit_code, 0u);
  EXPECT_NE(sandbox_.MainLog().find("is held by another instance"), std::string::npos);
  EXPECT_EQ(sandbox_.MainLog().find("wizard is not available"), std::string::npos);
}

TEST_F(SetupProcessTest, BadConfigurationAndInputNeverCrash) {
  struct Case {
    const char* init_configure;  // nullptr: file missing
    std::wstring parameters;
  } cases[] = {
      {nullptr, L"INSTALL_TYPE=1"},
      {"", L""},
      {"\xFF\xFE\x00\x01[Product\n=\n==\n[Product]\nInstallerName", L"INSTALL_TYPE=1"},
      {"[Product]\nInstallerName=\xC3", std::wstring(30000, L'|')},
      {"[Product]\nInstallerName=a,,b,", L"=\xD800 ||| \x0001=1 ||| INSTALL_TYPE==1"},
  };
  for (const Case& c : cases) {
    if (c.init_configure == nullptr) {
      sandbox_.RemoveConfig(L"InitConfigure.ini");
    } else {
      sandbox_.WriteConfig(L"InitConfigure.ini", c.init_configure);
    }
    sandbox_.RemoveConfig(L"Chinese.ini");
    const test_support::ProcessResult result = sandbox_.Run(c.parameters);
    ASSERT_TRUE(result.finished);
    EXPECT_LE(result.exit_code, 2u);
  }
}

TEST_F(SetupProcessTest, RunsWithoutAWritableLog) {
  // A folder in the log's place: the log cannot be opened, the program runs on.
  ASSERT_TRUE(::CreateDirectoryW(sandbox_.folder().File(L"Brimvale_Log.log").c_str(), nullptr));
  const test_support::ProcessResult result = sandbox_.Run(L"INSTALL_TYPE=1");
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exit_code, 1u);
}

}  // namespace

namespace {

TEST_F(SetupProcessTest, VexaEditionLooksForItsOwnInstalledProduct) {
  test_support::TestRegistryKey uninstall(test_support::UniqueName(L"Vexa_"), platform::RegistryView::Bits32);
  uninstall.CreateSubkey(L"VexaPhotoStudio_3");
  const std::string path(uninstall.path().begin(), uninstall.path().end());
  sandbox_.WriteConfig(L"InitConfigure.ini", "[Product]\nRegistryAddress=" + path +
                                                 "\nRegistryName=BrimvalePhotoStudio\n"
                                                 "RegistryNameVexa=VexaPhotoStudio\n"
                                                 "DownloadInfoUrl=http://127.0.0.1:9/\n");
  ASSERT_TRUE(sandbox_.Run(L"INSTALL_TYPE=1 ||| DOWNLOAD_VERSION=vexa").finished);
  EXPECT_NE(sandbox_.MainLog().find("the product is installed"), std::string::npos);
}

}  // namespace
