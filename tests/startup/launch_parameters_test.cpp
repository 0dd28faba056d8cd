#include "startup/launch_parameters.h"

#include <gtest/gtest.h>

namespace {

using startup::LaunchParameters;

TEST(LaunchParametersTest, SplitsOnlyAtTheFullSeparatorAndFirstKeyWins) {
  struct Case {
    const wchar_t* text;
    std::vector<std::pair<std::string, std::wstring>> expected;
    size_t count;
  } cases[] = {
      {L"INSTALL_TYPE=1 ||| GUID=abc", {{"INSTALL_TYPE", L"1"}, {"GUID", L"abc"}}, 2},
      {L"INSTALL_TYPE=1|||GUID=abc", {{"INSTALL_TYPE", L"1|||GUID=abc"}}, 1},
      {L"A=1 ||| A=2", {{"A", L"1"}}, 1},
      {L"=x ||| KEY= ||| KEY", {}, 0},
      {L"KEY==", {{"KEY", L"="}}, 1},
      {L" KEY=v", {{" KEY", L"v"}}, 1},
      {L"KEY=v  ||| B=2", {{"KEY", L"v "}, {"B", L"2"}}, 2},
      {L" |||  ||| ", {}, 0},
      {L"", {}, 0},
      {L"URL=http://x/?a=b&c=d |||  ||| N=\u7b80", {{"URL", L"http://x/?a=b&c=d"}, {"N", L"\u7b80"}}, 2},
      {L"\"INSTALL_TYPE=1 ||| B=2\"", {{"INSTALL_TYPE", L"1"}, {"B", L"2"}}, 2},
      {L"\"A=1\" ||| B=\"2\"", {{"\"A", L"1\""}, {"B", L"\"2\""}}, 2},
      {L"A=1 ||| ||| N=2", {{"A", L"1"}, {"||| N", L"2"}}, 2},
  };
  for (const Case& c : cases) {
    LaunchParameters parameters;
    parameters.Parse(c.text);
    EXPECT_EQ(parameters.size(), c.count) << c.text;
    for (const auto& [key, value] : c.expected) {
      EXPECT_EQ(parameters.Get(key), value) << c.text << " key " << key;
    }
  }
  LaunchParameters parameters;
  parameters.Parse(nullptr);
  EXPECT_EQ(parameters.size(), 0u);
}

TEST(LaunchParametersTest, InsertNeverReplacesAndReplaceNeverInserts) {
  LaunchParameters parameters;
  parameters.Replace("EXENAME", L"x.exe");
  EXPECT_EQ(parameters.size(), 0u);
  parameters.Insert("GUID", L"from-command-line");
  parameters.Insert("GUID", L"derived");
  EXPECT_EQ(parameters.Get("GUID"), L"from-command-line");
  parameters.Replace("GUID", L"replaced");
  EXPECT_EQ(parameters.Get("GUID"), L"replaced");
  EXPECT_EQ(parameters.Get("guid"), L"");  // keys are case-sensitive
}

TEST(LaunchParametersTest, EditionTestsIgnoreLetterCase) {
  struct Case {
    const wchar_t* version;
    bool vexa;
    bool trial_ad;
  } cases[] = {{L"", false, false},          {L"Standard", false, false},
               {L"VeXa-pro", true, false},   {L"free_TrialAD", false, true},
               {L"VEXATRIALAD", true, true}, {L"vex a", false, false}};
  for (const Case& c : cases) {
    LaunchParameters parameters;
    parameters.Insert("DOWNLOAD_VERSION", c.version);
    EXPECT_EQ(parameters.IsVexaEdition(), c.vexa) << c.version;
    EXPECT_EQ(parameters.IsStandardEdition(), !c.vexa) << c.version;
    EXPECT_EQ(parameters.IsTrialAdEdition(), c.trial_ad) << c.version;
  }
}

TEST(LaunchParametersTest, BuildIdentityFromExeName) {
  struct Case {
    const wchar_t* exe_name;
    const wchar_t* number;
    const wchar_t* invite;
  } cases[] = {
      {L"Setup.123[abc].exe", L"123[abc]", L"abc"},
      {L"Setup.123[abc].EXE", L"123[abc]", L"abc"},
      {L"", L"999999", L""},
      {L"Setup.exe", L"999999", L""},
      {L"Setup.", L"999999", L""},
      {L"Setup.77", L"77", L""},
      {L"Setup.exe.77", L"77", L""},  // ".exe" only counts at the end
      {L"a]b[c", L"999999", L""},     // "]" before "[" gives no code
      {L"x[].5.exe", L"5", L""},
      {L"x[ab.5.exe", L"5", L""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(startup::ExeNumberFromExeName(c.exe_name), c.number) << c.exe_name;
    EXPECT_EQ(startup::InviteCodeFromExeName(c.exe_name), c.invite) << c.exe_name;
  }
}

TEST(LaunchParametersTest, CommandLineIdentityWinsOverDerivedOne) {
  LaunchParameters parameters;
  parameters.Parse(L"EXENAME=Setup.55[zz].exe ||| inviteCode=given");
  parameters.DeriveBuildIdentity();
  EXPECT_EQ(parameters.Get("exeNumber"), L"55[zz]");
  EXPECT_EQ(parameters.Get("inviteCode"), L"given");
}

TEST(LaunchParametersTest, HugeAndMalformedTextsAreHandled) {
  LaunchParameters parameters;
  std::wstring huge = L"BIG=" + std::wstring(1 << 20, L'x') + L" ||| ";
  huge += L"\xD800KEY=lone surrogate ||| \x0001=ctl ||| OK=1";
  parameters.Parse(huge.c_str());
  EXPECT_EQ(parameters.Get("BIG").size(), size_t{1} << 20);
  EXPECT_EQ(parameters.Get("OK"), L"1");
}

}  // namespace
