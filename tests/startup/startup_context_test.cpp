#include "startup/startup_context.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

using startup::SplitCommaList;

TEST(StartupContextTest, CommaListsKeepEmptyPiecesAndBlanks) {
  EXPECT_TRUE(SplitCommaList(L"").empty());
  EXPECT_EQ(SplitCommaList(L"a"), (std::vector<std::wstring>{L"a"}));
  EXPECT_EQ(SplitCommaList(L"a,,b"), (std::vector<std::wstring>{L"a", L"", L"b"}));
  EXPECT_EQ(SplitCommaList(L" a , b"), (std::vector<std::wstring>{L" a ", L" b"}));
  EXPECT_EQ(SplitCommaList(L"a,"), (std::vector<std::wstring>{L"a", L""}));
}

TEST(StartupContextTest, ClaimStopsAtTheFirstNameAnotherInstanceHolds) {
  const std::wstring a = test_support::UniqueName(L"InstanceA_");
  const std::wstring b = test_support::UniqueName(L"InstanceB_");
  const std::wstring c = test_support::UniqueName(L"InstanceC_");
  platform::UniqueHandle other(::CreateMutexW(nullptr, TRUE, b.c_str()));  // "another instance"
  ASSERT_TRUE(other.IsValid());
  {
    startup::StartupContext context;
    EXPECT_FALSE(startup::ClaimSingleInstance(context, a + L"," + b + L"," + c));
    EXPECT_EQ(context.instance_mutexes.size(), 2u);  // A kept, B detected, C not tried
    platform::UniqueHandle probe_c(::CreateMutexW(nullptr, FALSE, c.c_str()));
    EXPECT_NE(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    platform::UniqueHandle probe_a(::CreateMutexW(nullptr, FALSE, a.c_str()));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  }
  // The context is gone: A can be claimed again.
  startup::StartupContext again;
  EXPECT_TRUE(startup::ClaimSingleInstance(again, a));
}

TEST(StartupContextTest, EmptyInstallerNameNeverDetectsAnotherInstance) {
  startup::StartupContext first;
  startup::StartupContext second;
  EXPECT_TRUE(startup::ClaimSingleInstance(first, L""));
  EXPECT_TRUE(startup::ClaimSingleInstance(second, L""));
}

}  // namespace
