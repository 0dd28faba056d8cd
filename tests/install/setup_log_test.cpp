#include "install/setup_log.h"

#include <gtest/gtest.h>

#include "install/pipeline_settings.h"
#include "platform/system_paths.h"
#include "startup/launch_parameters.h"
#include "startup/product_config.h"
#include "test_support.h"

namespace {

TEST(SetupLogTest, LocationOnlyWhenSwitchedOnAndWritable) {
  test_support::TempFolder folder;
  const std::wstring path = install::SetupLogLocation(true, folder.path(), L"Setup.log");
  EXPECT_EQ(path, folder.File(L"Setup.log"));
  // The probe leaves no file behind.
  EXPECT_EQ(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(install::SetupLogLocation(false, folder.path(), L"Setup.log"), L"");
  EXPECT_EQ(install::SetupLogLocation(true, folder.File(L"missing\\"), L"Setup.log"), L"");
  EXPECT_EQ(install::SetupLogLocation(true, folder.path(), L""), L"");
  // Without the trailing backslash the separator is added once.
  std::wstring bare = folder.path();
  bare.pop_back();
  EXPECT_EQ(install::SetupLogLocation(true, bare, L"Setup.log"), folder.File(L"Setup.log"));
}

TEST(SetupLogTest, TailGivesTheLastNonEmptyLinesAndRemoveClearsIt) {
  test_support::TempFolder folder;
  const std::wstring log = folder.File(L"setup.log");
  EXPECT_TRUE(install::SetupLogTail(log).empty());
  ASSERT_TRUE(test_support::WriteBytes(log, "one\r\n\r\ntwo  \r\nthree"));
  EXPECT_EQ(install::SetupLogTail(log), (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_EQ(install::SetupLogTail(log, 1), (std::vector<std::string>{"three"}));
  install::RemoveSetupLog(log);
  EXPECT_TRUE(install::SetupLogTail(log).empty());
  install::RemoveSetupLog(L"");  // no log: nothing to do
}

TEST(SetupLogTest, HugeLogIsReadOnlyFromItsEndWithoutAPartialLine) {
  test_support::TempFolder folder;
  const std::wstring log = folder.File(L"setup.log");
  std::string bytes;
  for (int i = 0; i < 5000; ++i) bytes += "line number " + std::to_string(i) + "\n";
  ASSERT_TRUE(test_support::WriteBytes(log, bytes));
  const auto tail = install::SetupLogTail(log, 100000);
  ASSERT_FALSE(tail.empty());
  EXPECT_EQ(tail.back(), "line number 4999");
  EXPECT_LE(tail.size(), install::kSetupLogTailBytes / 16);
  EXPECT_EQ(tail.front().rfind("line number ", 0), 0u);
}

}  // namespace

namespace {

TEST(SetupLogTest, ConfiguredNameFollowsTheEdition) {
  test_support::TempFolder folder;
  ASSERT_TRUE(test_support::WriteBytes(folder.File(L"InitConfigure.ini"),
                                       "[Product]\r\nSetupLogName=Plain.log\r\nSetupLogNameVexa=Vexa.log\r\n"));
  startup::Config().Clear();
  startup::Config().LoadProduct(folder.File(L"InitConfigure.ini"));
  startup::Parameters().Clear();
  const auto name = [] {
    return install::PipelineSettingsFromStores({}, install::PipelineMode::Interactive).setup_log_name;
  };
  EXPECT_EQ(install::SetupLogLocation(true, folder.path(), name()), folder.File(L"Plain.log"));
  EXPECT_EQ(install::SetupLogLocation(false, folder.path(), name()), L"");
  EXPECT_EQ(install::SetupLogLocation(true, L"", name()), L"");  // no folder of our own
  startup::Parameters().Parse(L"DOWNLOAD_VERSION=vexa_trial");
  EXPECT_EQ(install::SetupLogLocation(true, folder.path(), name()), folder.File(L"Vexa.log"));
  startup::Config().Clear();
  startup::Parameters().Clear();
}

}  // namespace
