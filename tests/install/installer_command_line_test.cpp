#include "install/installer_command_line.h"

#include <gtest/gtest.h>

#include "install/pipeline_settings.h"
#include "startup/launch_parameters.h"
#include "startup/product_config.h"
#include "test_support.h"

namespace {

using install::BuildInstallerCommandLine;
using install::InstallerInputs;

InstallerInputs TypicalInputs() {
  InstallerInputs inputs;
  inputs.base_switches = L"/VERYSILENT /NORESTART";
  inputs.options = {{"DIR", L"C:\\Program Files\\Photo Studio"},
                    {"LANG", L"en"},
                    {"recommendChk", L"true"},
                    {"desktopIcon", L"true"}};
  inputs.guid = L"S-1-5-21-1-2-3-1000";
  inputs.exe_number = L"123abc";
  inputs.invite_code = L"abc";
  inputs.install_player = L"false";
  inputs.setup_log_path = L"C:\\users\\me\\Temp\\Setup Log.log";
  return inputs;
}

TEST(InstallerCommandLineTest, PiecesInKeyOrderWithQuotedFolderAndLog) {
  const auto line = BuildInstallerCommandLine(TypicalInputs());
  ASSERT_TRUE(line.ok);
  EXPECT_EQ(line.text,
            L" /VERYSILENT /NORESTART /DIR=\"C:\\Program Files\\Photo Studio\" /LANG=en "
            L"desktopIcon=true GUID=S-1-5-21-1-2-3-1000 xurlID=123abc "
            L"/LOG=\"C:\\users\\me\\Temp\\Setup Log.log\" installLumaviewer=false "
            L"LumaPlayerDownloadURL= inviteCode=abc ");
}

TEST(InstallerCommandLineTest, EmptyIdentityPiecesFollowTheirRules) {
  InstallerInputs inputs;
  const auto line = BuildInstallerCommandLine(inputs);
  ASSERT_TRUE(line.ok);
  // GUID, installLumaviewer and the player address always appear; xurlID,
  // inviteCode and the log only with a value.
  EXPECT_EQ(line.text, L"  GUID= installLumaviewer= LumaPlayerDownloadURL= ");
}

TEST(InstallerCommandLineTest, PlayerAddressOnlyWhenThePlayerIsWanted) {
  struct Case {
    const wchar_t* install_player;
    const wchar_t* expected_tail;
  };
  const Case cases[] = {
      {L"true", L"installLumaviewer=true LumaPlayerDownloadURL=http://127.0.0.1/p.exe "},
      {L"True", L"installLumaviewer=True LumaPlayerDownloadURL= "},
      {L"", L"installLumaviewer= LumaPlayerDownloadURL= "},
  };
  for (const Case& c : cases) {
    InstallerInputs inputs;
    inputs.install_player = c.install_player;
    inputs.player_download_url = L"http://127.0.0.1/p.exe";
    const auto line = BuildInstallerCommandLine(inputs);
    ASSERT_TRUE(line.ok);
    EXPECT_EQ(line.text, std::wstring(L"  GUID= ") + c.expected_tail) << c.install_player;
  }
}

TEST(InstallerCommandLineTest, UnsafeValuesAreDroppedAndCannotAddSwitches) {
  InstallerInputs inputs;
  inputs.guid = L"x /SUPPRESSMSGBOXES";
  inputs.exe_number = L"12\"3";
  inputs.invite_code = L"a|||INSTALL_TYPE=2";
  inputs.install_player = L"true";
  inputs.player_download_url = L"http://127.0.0.1/a b.exe";
  inputs.options = {{"LANG", L"en /DIR=C:\\evil"},
                    {"/SP-", L"1"},
                    {"bad key", L"1"},
                    {"tab", L"a\tb"},
                    {"ideographic", std::wstring(L"a") + wchar_t(0x3000) + L"b"},
                    {"nbsp", std::wstring(L"a") + wchar_t(0xA0) + L"b"},
                    {"newline", L"a\nb"},
                    {"ok", L"fine"}};
  const auto line = BuildInstallerCommandLine(inputs);
  ASSERT_TRUE(line.ok);
  // Blanks of any kind stay inside quotes; control characters never pass.
  EXPECT_EQ(line.text, std::wstring(L"  ideographic=\"a") + wchar_t(0x3000) + L"b\" nbsp=\"a" + wchar_t(0xA0) +
                           L"b\" ok=fine installLumaviewer=true ");
}

TEST(InstallerCommandLineTest, VariantChoicesAreQuotedWhenNeededAndThePasswordOnlyNamedByItsFile) {
  InstallerInputs inputs;
  inputs.options = {{"DIR", L"C:\\Apps"},
                    {"installChoice", L"Server and console"},
                    {"KDVMServer", L"true"},
                    {"backupPath", L"D:\\My Backups\\"},
                    {"KDVUsername", L"backup admin"},
                    {"KDVPassword", L"pa ss"},
                    {"quoted", L"a\"b"},
                    {"separator", L"a|||b"},
                    {"control", L"a\x1b"},
                    {"long", std::wstring(install::kMaxOptionValueUnits + 1, L'x')},
                    {"longest", std::wstring(install::kMaxOptionValueUnits, L'y')}};
  inputs.password_file = L"C:\\Temp\\run 1\\account.key";
  const auto line = BuildInstallerCommandLine(inputs);
  ASSERT_TRUE(line.ok);
  EXPECT_EQ(line.text,
            L"  /DIR=\"C:\\Apps\" KDVMServer=true KDVUsername=\"backup admin\" "
            L"backupPath=\"D:\\My Backups\" installChoice=\"Server and console\" longest=" +
                std::wstring(install::kMaxOptionValueUnits, L'y') +
                L" KDVPasswordFile=\"C:\\Temp\\run 1\\account.key\" GUID= installLumaviewer= "
                L"LumaPlayerDownloadURL= ");
  EXPECT_EQ(line.text.find(L"pa ss"), std::wstring::npos);

  // What the pages refuse before anything is downloaded.
  EXPECT_EQ(install::OptionValueProblem(L"D:\\My Backups"), L"");
  EXPECT_EQ(install::OptionValueProblem(L""), L"");
  EXPECT_EQ(install::OptionValueProblem(L"a\"b"), L"contains a double quote");
  EXPECT_EQ(install::OptionValueProblem(L"a\tb"), L"contains a control character");
  EXPECT_EQ(install::OptionValueProblem(L"a|||b"), L"contains \"|||\"");
  EXPECT_EQ(install::OptionValueProblem(std::wstring(install::kMaxOptionValueUnits + 1, L'x')), L"too long");
}

TEST(InstallerCommandLineTest, InstallFolderIsValidated) {
  struct Case {
    std::wstring folder;
    bool accepted;
  };
  const Case cases[] = {
      {L"C:\\Program Files\\Photo Studio", true},
      {L"d:\\a", true},
      {L"C:\\", true},
      {L"\\\\server\\share\\apps", true},
      {L"", false},
      {L"Program Files\\Photo", false},
      {L"\\Program Files", false},
      {L"C:Program", false},
      {L"\\\\?\\C:\\x", false},
      {L"C:\\a\"b", false},
      {L"C:\\a\" /LOG=x", false},
      {L"C:\\a\tb", false},
      {L"C:\\a\rb", false},
      {L"C:\\" + std::wstring(install::kMaxInstallFolderUnits - 3, L'a'), true},
      {L"C:\\" + std::wstring(install::kMaxInstallFolderUnits - 2, L'a'), false},
  };
  for (const Case& c : cases) {
    InstallerInputs inputs;
    inputs.options = {{"DIR", c.folder}};
    const auto line = BuildInstallerCommandLine(inputs);
    EXPECT_EQ(line.ok, c.accepted) << c.folder.size();
    EXPECT_EQ(install::InstallFolderProblem(c.folder).empty(), c.accepted);
    if (!c.accepted) {
      EXPECT_TRUE(line.text.empty());
      EXPECT_NE(line.error.find(L"install folder"), std::wstring::npos);
    }
  }
}

TEST(InstallerCommandLineTest, TrailingBackslashCannotEscapeTheClosingQuote) {
  InstallerInputs inputs;
  inputs.options = {{"DIR", L"D:\\Apps\\Photo\\\\"}};
  EXPECT_EQ(BuildInstallerCommandLine(inputs).text.substr(0, 23), L"  /DIR=\"D:\\Apps\\Photo\" ");
  inputs.options = {{"DIR", L"D:\\"}};
  EXPECT_EQ(BuildInstallerCommandLine(inputs).text.substr(0, 13), L"  /DIR=\"D:\\\" ");
}

TEST(InstallerCommandLineTest, UnusableLogPathIsLeftOut) {
  InstallerInputs inputs;
  inputs.setup_log_path = L"relative\\setup.log";
  EXPECT_EQ(BuildInstallerCommandLine(inputs).text.find(L"/LOG"), std::wstring::npos);
  inputs.setup_log_path = L"C:\\tmp\\a\"b.log";
  EXPECT_EQ(BuildInstallerCommandLine(inputs).text.find(L"/LOG"), std::wstring::npos);
}

TEST(InstallerCommandLineTest, InputsFromStoresTranslateTheLanguageAndPickSwitches) {
  test_support::TempFolder folder;
  ASSERT_TRUE(
      test_support::WriteBytes(folder.File(L"InitConfigure.ini"),
                               "[Product]\r\nInstallParamStr=/NORESTART\r\nSilentInstallParamStr=/VERYSILENT\r\n"));
  ASSERT_TRUE(test_support::WriteBytes(folder.File(L"LanguageTransfor.ini"), "[Language]\r\nChinese=chs\r\n"));
  startup::Config().Clear();
  startup::Config().LoadProduct(folder.File(L"InitConfigure.ini"));
  startup::Config().LoadLanguageTransfer(folder.File(L"LanguageTransfor.ini"));
  startup::Parameters().Clear();
  startup::Parameters().Parse(L"GUID=G-1 ||| exeNumber=77 ||| installLumaviewer=true");

  const std::map<std::string, std::wstring> options = {{"LANG", L"Chinese"}, {"DIR", L"C:\\P"}};
  const auto silent = install::PipelineSettingsFromStores(options, install::PipelineMode::Silent).installer;
  EXPECT_EQ(silent.base_switches, L"/VERYSILENT");
  EXPECT_EQ(silent.options.at("LANG"), L"chs");
  EXPECT_EQ(silent.guid, L"G-1");
  EXPECT_EQ(silent.exe_number, L"77");
  EXPECT_EQ(silent.install_player, L"true");
  const auto shown =
      install::PipelineSettingsFromStores({{"LANG", L"Klingon"}}, install::PipelineMode::Interactive).installer;
  EXPECT_EQ(shown.base_switches, L"/NORESTART");
  EXPECT_EQ(shown.options.at("LANG"), L"Klingon");
  startup::Config().Clear();
  startup::Parameters().Clear();
}

}  // namespace
