#include "install/companion_launch.h"

#include <gtest/gtest.h>

#include "fixture_installer.h"
#include "platform/text.h"

namespace {

using install::CompanionStart;
using install_test::FixtureInstaller;

TEST(CompanionLaunchTest, ReferNumberRules) {
  struct Case {
    std::wstring text;
    bool sound;
  };
  const Case cases[] = {
      {L"77", true},
      {L"a_B-9", true},
      {std::wstring(32, L'x'), true},
      {L"", true},  // no refer number: the file name holds two points in a row
      {L"a.b", true},
      {L"\x00e9t\x00e9", true},
      {std::wstring(33, L'x'), false},
      {L"..", false},
      {L"..\\evil", false},
      {L"a..b", false},
      {L"a b", false},
      {L"a\x3000"
       L"b",
       false},
      {L"a/b", false},
      {L"a\\b", false},
      {L"C:x", false},
      {L"a\"b", false},
      {L"a'b", false},
      {L"a\tb", false},
      {L"a\x7f", false},
      {L"a*b", false},
      {L"a|b", false},
      {std::wstring(L"a\0b", 3), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(install::IsSoundReferNumber(c.text), c.sound) << platform::WideToUtf8(c.text);
  }
}

TEST(CompanionLaunchTest, CompanionUrlRules) {
  struct Case {
    std::wstring url;
    bool sound;
  };
  const Case cases[] = {
      {L"http://127.0.0.1:8080/companion.exe", true},
      {L"HTTPS://localhost/c.exe?x=1&y=2", true},
      {L"ftp://h/c.exe", false},
      {L"file:///C:/c.exe", false},
      {L"C:\\c.exe", false},
      {L"http://", false},
      {L"http:///path", false},
      {L"http://h/a b.exe", false},
      {L"http://h/a\tb.exe", false},
      {L"http://h/a\"b.exe", false},
      {L"http://h/a|||INSTALL_TYPE=1", false},
      {L"http://h/" + std::wstring(3000, L'a'), false},
      {L"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(install::IsSoundCompanionUrl(c.url), c.sound) << c.url;
  EXPECT_EQ(install::CompanionFetchParameters(L"77", L"http://127.0.0.1/c.exe"),
            L" INSTALL_TYPE=2 ||| REFERNUMBER=77 ||| RECOMMEND_URL=http://127.0.0.1/c.exe");
  EXPECT_EQ(install::CompanionFetchParameters(L"", L"http://127.0.0.1/c.exe"),
            L" INSTALL_TYPE=2 ||| REFERNUMBER= ||| RECOMMEND_URL=http://127.0.0.1/c.exe");
  EXPECT_EQ(install::CompanionFetchParameters(L"..", L"http://127.0.0.1/c.exe"), std::nullopt);
  EXPECT_EQ(install::CompanionFetchParameters(L"77", L"http://h/x ||| y"), std::nullopt);
}

// The detached child records its command line shortly after it starts.
std::vector<std::wstring> WaitForRuns(const FixtureInstaller& installer, size_t count) {
  for (int i = 0; i < 200 && installer.Runs().size() < count; ++i) ::Sleep(50);
  return installer.Runs();
}

TEST(CompanionLaunchTest, ChildrenGetExactlyTheirParameters) {
  FixtureInstaller installer;
  EXPECT_EQ(install::StartCompanionFetch(installer.path(), L"77", L"http://127.0.0.1:1/c.exe"),
            CompanionStart::Started);
  auto runs = WaitForRuns(installer, 1);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0], L"\"" + installer.path() +
                         L"\" INSTALL_TYPE=2 ||| REFERNUMBER=77 ||| RECOMMEND_URL=http://127.0.0.1:1/c.exe");
  EXPECT_TRUE(install_test::WaitUntilNoFixtureInstallerRuns());

  EXPECT_EQ(install::StartFetchedCompanion(installer.path()), CompanionStart::Started);
  runs = WaitForRuns(installer, 2);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[1], L"\"" + installer.path() + L"\" DATA=1 ||| INSTALL_TYPE=1");
  EXPECT_TRUE(install_test::WaitUntilNoFixtureInstallerRuns());

  EXPECT_EQ(install::StartCompanionFetch(installer.path(), L"7 7", L"http://127.0.0.1:1/c.exe"),
            CompanionStart::Skipped);
  EXPECT_EQ(install::StartFetchedCompanion(installer.folder().File(L"absent.exe")), CompanionStart::Failed);
  ::Sleep(200);
  EXPECT_EQ(installer.Runs().size(), 2u);
}

}  // namespace
