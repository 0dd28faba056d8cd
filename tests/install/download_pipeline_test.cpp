#include "install/download_pipeline.h"

#include <gtest/gtest.h>

#include <cctype>

#include "fixture_installer.h"
#include "install/default_install_folder.h"
#include "install/unattended_modes.h"
#include "net/file_digest.h"
#include "platform/file_io.h"
#include "platform/shell_library.h"
#include "platform/system_paths.h"
#include "platform/text.h"
#include "startup/launch_parameters.h"
#include "startup/product_config.h"

namespace {

using install::CDownloadPipeline;
using install::Edition;

TEST(DownloadPipelineTest, InstallerFileNameKeepsToItsFolder) {
  const struct {
    const wchar_t* version;
    Edition edition;
    const wchar_t* expected;
  } cases[] = {
      {L"", Edition::Standard, L"PhotoStudio_trial_brimvale.exe"},
      {L"5.1", Edition::Standard, L"PhotoStudio_5.1_brimvale.exe"},
      {L"pro_vexa", Edition::Vexa, L"PhotoStudio_pro_vexa_vexa.exe"},
      {L"..\\..\\evil", Edition::Standard, L"PhotoStudio_.._.._evil_brimvale.exe"},
      {L"a/b:c*d?e\"f<g>h|i", Edition::Standard, L"PhotoStudio_a_b_c_d_e_f_g_h_i_brimvale.exe"},
      {L"x\ty", Edition::Standard, L"PhotoStudio_x_y_brimvale.exe"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CDownloadPipeline::InstallerFileName(L"PhotoStudio", c.version, c.edition), c.expected)
        << platform::WideToUtf8(c.version);
  }
  // A product name of ".." cannot make the file name climb either.
  EXPECT_EQ(CDownloadPipeline::InstallerFileName(L"..", L"1", Edition::Standard).substr(0, 2), L"_.");
}

TEST(DownloadPipelineTest, UserAgentCannotCarryAnotherHeaderLine) {
  EXPECT_EQ(CDownloadPipeline::UserAgentText(L"PhotoStudio", L"5.1"), "win_PhotoStudio_5.1");
  EXPECT_EQ(CDownloadPipeline::UserAgentText(L"PhotoStudio", L""), "win_PhotoStudio_");
  EXPECT_EQ(CDownloadPipeline::UserAgentText(L"PhotoStudio", L"5\r\nCookie: x=1"), "win_PhotoStudio_5__Cookie: x=1");
  EXPECT_EQ(CDownloadPipeline::UserAgentText(L"P\x7f", L"\t1"), "win_P___1");
}

TEST(DownloadPipelineTest, ThreadCountFromConfigurationText) {
  const struct {
    const wchar_t* text;
    int32_t expected;
  } cases[] = {{L"", 1},    {L"0", 1},  {L"1", 1},   {L"8", 8},  {L"100", 100}, {L"101", 1},
               {L"abc", 1}, {L"-5", 1}, {L"007", 7}, {L"4 ", 1}, {L"99999", 1}};
  for (const auto& c : cases) {
    EXPECT_EQ(CDownloadPipeline::ThreadCountFromText(c.text), c.expected) << platform::WideToUtf8(c.text);
  }
}

TEST(DownloadPipelineTest, DefaultInstallFolderJoinsItsParts) {
  const struct {
    install::InstallFolderParts parts;
    const wchar_t* expected;
  } cases[] = {
      {{L"C:\\Program Files", L"Brimvale\\PhotoStudio"}, L"C:\\Program Files\\Brimvale\\PhotoStudio"},
      {{L"C:\\Program Files\\", L"Brimvale"}, L"C:\\Program Files\\Brimvale"},
      {{L"C:\\", L"Brimvale"}, L"C:\\Brimvale"},
      {{L"D:\\x\\\\", L"\\B\\P\\"}, L"D:\\x\\B\\P"},
      {{L"C:\\Apps", L""}, L"C:\\Apps"},
  };
  for (const auto& c : cases) EXPECT_EQ(install::JoinInstallFolder(c.parts), c.expected);
  // The folder as the shell names it, though read without the shell.
  const platform::ShellLibrary& shell = platform::LoadShellLibrary();
  ASSERT_NE(shell.folder_path, nullptr);
  wchar_t from_shell[MAX_PATH] = {};
  ASSERT_TRUE(SUCCEEDED(shell.folder_path(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, from_shell)));
  EXPECT_FALSE(install::ProgramFilesFolder().empty());
  EXPECT_EQ(install::ProgramFilesFolder(), from_shell);
  EXPECT_EQ(install::StoredProgramFilesFolder(), from_shell);
}

TEST(DownloadPipelineTest, BrowsedFolderGetsTheExtentWithoutADoubledBackslash) {
  const struct {
    const wchar_t* chosen;
    const wchar_t* extent;
    const wchar_t* expected;
  } cases[] = {
      {L"C:\\", L"PhotoStudio", L"C:\\PhotoStudio"},
      {L"C:\\Apps", L"PhotoStudio", L"C:\\Apps\\PhotoStudio"},
      {L"C:\\Apps\\", L"PhotoStudio", L"C:\\Apps\\PhotoStudio"},
      {L"D:\\Tools\\Photo", L"", L"D:\\Tools\\Photo"},
      {L"", L"PhotoStudio", L""},  // the browser was cancelled
  };
  for (const auto& c : cases) {
    EXPECT_EQ(install::BrowsedInstallFolder(c.chosen, c.extent), c.expected) << platform::WideToUtf8(c.chosen);
  }
}

// Loads an InitConfigure.ini for the test's scope.
class ConfigScope {
 public:
  explicit ConfigScope(const std::wstring& file) {
    startup::Config().Clear();
    startup::Config().LoadProduct(file);
  }
  ~ConfigScope() {
    startup::Config().Clear();
    startup::Parameters().Clear();
  }
  ConfigScope(const ConfigScope&) = delete;
  ConfigScope& operator=(const ConfigScope&) = delete;
};

TEST(DownloadPipelineTest, DefaultFolderIsTheBaseAndInstallPathOnly) {
  test_support::TempFolder folder;
  ASSERT_TRUE(test_support::WriteBytes(folder.File(L"InitConfigure.ini"),
                                       "[Product]\r\nInstallProgramFilesPath=C:\\Root\r\n"
                                       "BProgramFilesPath=1\r\nInstallPath=Prod\r\n"
                                       "ProductExtentPath=Prod\r\n"));
  const ConfigScope config(folder.File(L"InitConfigure.ini"));
  startup::Parameters().Clear();
  EXPECT_EQ(install::DefaultInstallFolder(), L"C:\\Root\\Prod");
  EXPECT_EQ(install::UnattendedOptions("English").at("DIR"), L"C:\\Root\\Prod");
}

// The shipped sample installs where its keys say, in both editions.
TEST(DownloadPipelineTest, SampleConfigurationInstallsIntoTheFolderItsKeysName) {
  const ConfigScope config(test_support::PathFromEnvironment("WEBINSTALLER_DIST_DIR") + L"\\InitConfigure.ini");
  startup::Parameters().Clear();
  const std::wstring program_files = install::ProgramFilesFolder();
  EXPECT_EQ(install::DefaultInstallFolder(), program_files + L"\\Brimvale\\PhotoStudio");
  EXPECT_EQ(install::BrowsedInstallFolder(L"D:\\", startup::Config().GetForEdition("ProductExtentPath")),
            L"D:\\PhotoStudio");
  startup::Parameters().Parse(L"DOWNLOAD_VERSION=vexa_trial");
  EXPECT_EQ(install::DefaultInstallFolder(), program_files + L"\\VEXA\\PhotoStudio");
}

// The one place the pipeline's inputs are read: the edition follows the
// command line, a bad thread count falls back to 1, folders come along.
TEST(DownloadPipelineTest, SettingsAreReadOnceFromTheStores) {
  test_support::TempFolder folder;
  ASSERT_TRUE(test_support::WriteBytes(folder.File(L"InitConfigure.ini"),
                                       "[Product]\r\nProductName=Prod\r\nDownloadThreadCount=8\r\n"
                                       "SetupLogName=Plain.log\r\nSetupLogNameVexa=Vexa.log\r\n"));
  const ConfigScope config(folder.File(L"InitConfigure.ini"));
  startup::Parameters().Parse(L"DOWNLOAD_VERSION=vexa_5 ||| EXEDIR=C:\\Here");
  const install::PipelineSettings vexa =
      install::PipelineSettingsFromStores({{"LANG", L"English"}}, install::PipelineMode::Silent);
  EXPECT_EQ(vexa.mode, install::PipelineMode::Silent);
  EXPECT_EQ(vexa.options.at("LANG"), L"English");
  EXPECT_EQ(vexa.product_name, L"Prod");
  EXPECT_EQ(vexa.edition, Edition::Vexa);
  EXPECT_EQ(vexa.download_version, L"vexa_5");
  EXPECT_EQ(vexa.thread_count, 8);
  EXPECT_EQ(vexa.exe_dir, L"C:\\Here");
  EXPECT_EQ(vexa.temp_folder, platform::TempFolder());
  EXPECT_EQ(vexa.setup_log_name, L"Vexa.log");
  EXPECT_NE(vexa.report, nullptr);

  startup::Parameters().Clear();
  ASSERT_TRUE(test_support::WriteBytes(folder.File(L"InitConfigure.ini"),
                                       "[Product]\r\nDownloadThreadCount=0\r\n"
                                       "SetupLogName=Plain.log\r\nSetupLogNameVexa=Vexa.log\r\n"));
  startup::Config().Clear();
  startup::Config().LoadProduct(folder.File(L"InitConfigure.ini"));
  const install::PipelineSettings standard =
      install::PipelineSettingsFromStores({}, install::PipelineMode::Interactive);
  EXPECT_EQ(standard.edition, Edition::Standard);
  EXPECT_EQ(standard.thread_count, 1);
  EXPECT_EQ(standard.exe_dir, L"");
  EXPECT_EQ(standard.setup_log_name, L"Plain.log");
}

// A pipeline whose release record expects `md5` (and `sha256`).
class DigestScene {
 public:
  explicit DigestScene(const std::string& md5, const std::string& sha256 = "") {
    net::ReleaseInfo info;
    info.status = net::ReleaseStatus::Answered();
    info.md5 = md5;
    info.sha256 = sha256;
    install::PipelineSettings settings;
    settings.mode = install::PipelineMode::Silent;
    pipeline_ = std::make_unique<CDownloadPipeline>([info] { return info; }, settings, view_);
    EXPECT_TRUE(pipeline_->LoadRelease());
  }
  CDownloadPipeline& pipeline() { return *pipeline_; }
  void Destroy() { pipeline_.reset(); }

 private:
  install_test::RecordingView view_;
  std::unique_ptr<CDownloadPipeline> pipeline_;
};

TEST(DownloadPipelineTest, VerifiedCopyIsHeldAgainstChangesUntilReleased) {
  test_support::TempFolder folder;
  const std::wstring source = folder.File(L"setup_product.exe");
  ASSERT_TRUE(test_support::WriteBytes(source, "the installer's bytes"));
  const std::string md5 = net::FileMd5Hex(source);
  std::string upper = md5;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  DigestScene scene(upper);  // the server may send capitals
  ASSERT_TRUE(scene.pipeline().DigestMatches(source));
  const std::wstring copy = scene.pipeline().VerifiedPath();
  EXPECT_EQ(copy.rfind(platform::TempFolder() + L"Mediloom\\run-", 0), 0u);
  EXPECT_EQ(platform::FileNameOf(copy), L"setup_product.exe");

  // Nobody can write, replace or delete the checked file; reading is fine.
  HANDLE writer = ::CreateFileW(copy.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                0, nullptr);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
  if (writer != INVALID_HANDLE_VALUE) ::CloseHandle(writer);
  EXPECT_FALSE(::DeleteFileW(copy.c_str()));
  EXPECT_FALSE(::MoveFileExW(source.c_str(), copy.c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(test_support::ReadBytes(copy), "the installer's bytes");
  // Changing the source afterwards does not touch what is installed.
  ASSERT_TRUE(test_support::WriteBytes(source, "something else entirely"));
  EXPECT_EQ(test_support::ReadBytes(copy), "the installer's bytes");

  scene.Destroy();
  EXPECT_FALSE(platform::FileExists(copy));
}

TEST(DownloadPipelineTest, DigestNeverMatchesWithoutAnExpectationOrAReadableFile) {
  test_support::TempFolder folder;
  const std::wstring empty_file = folder.File(L"empty.exe");
  ASSERT_TRUE(test_support::WriteBytes(empty_file, ""));
  {
    DigestScene no_expectation("");
    EXPECT_FALSE(no_expectation.pipeline().DigestMatches(empty_file));
    EXPECT_TRUE(no_expectation.pipeline().VerifiedPath().empty());
  }
  DigestScene scene(net::FileMd5Hex(empty_file));
  EXPECT_FALSE(scene.pipeline().DigestMatches(folder.File(L"missing.exe")));
  EXPECT_FALSE(scene.pipeline().DigestMatches(folder.path()));  // a folder
  EXPECT_FALSE(scene.pipeline().DigestMatches(L""));
  // A file we cannot read (held exclusively by someone else).
  const std::wstring locked = folder.File(L"locked.exe");
  ASSERT_TRUE(test_support::WriteBytes(locked, ""));
  HANDLE exclusive = ::CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(scene.pipeline().DigestMatches(locked));
  ::CloseHandle(exclusive);
  EXPECT_TRUE(scene.pipeline().DigestMatches(locked));
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

TEST(DownloadPipelineTest, Sha256IsCheckedBesideOrInsteadOfTheMd5) {
  test_support::TempFolder folder;
  const std::wstring file = folder.File(L"setup_product.exe");
  ASSERT_TRUE(test_support::WriteBytes(file, std::string(1024 * 1024 + 17, 'z')));
  const std::string md5 = net::FileMd5Hex(file);
  const std::string sha256 = net::FileSha256Hex(file);
  ASSERT_EQ(sha256.size(), 64u);
  std::string wrong = sha256;
  wrong[10] = wrong[10] == '0' ? '1' : '0';
  const std::string wrong_md5 = std::string(32, '0');
  const struct {
    std::string md5;
    std::string sha256;
    bool matches;
    const char* name;
  } cases[] = {
      {"", sha256, true, "SHA-256 alone"},
      {"", Upper(sha256), true, "SHA-256 in capitals"},
      {md5, sha256, true, "both right"},
      {md5, "", true, "MD5 alone, as before"},
      {md5, wrong, false, "right MD5, wrong SHA-256: both must match"},
      {wrong_md5, sha256, false, "wrong MD5, right SHA-256: both must match"},
      {"", wrong, false, "wrong SHA-256"},
      {md5, sha256.substr(0, 63), false, "63 digits are malformed, never a pass"},
      {md5, sha256 + "0", false, "65 digits"},
      {md5, "g" + sha256.substr(1), false, "not hexadecimal"},
      {"", "", false, "nothing to check against"},
  };
  for (const auto& c : cases) {
    DigestScene scene(c.md5, c.sha256);
    EXPECT_EQ(scene.pipeline().DigestMatches(file), c.matches) << c.name;
    EXPECT_EQ(scene.pipeline().VerifiedPath().empty(), !c.matches) << c.name;
  }
}

TEST(DownloadPipelineTest, FindVerifiedCopyInstallsTheFileItVerified) {
  test_support::TempFolder first;
  test_support::TempFolder second;
  const std::wstring name = L"PhotoStudio_trial_brimvale.exe";
  ASSERT_TRUE(test_support::WriteBytes(second.File(name), "good installer"));
  const std::string md5 = net::FileMd5Hex(second.File(name));
  // The first folder holds a stale download with other bytes.
  ASSERT_TRUE(test_support::WriteBytes(first.File(name), "stale installer"));
  DigestScene scene(md5);
  EXPECT_TRUE(scene.pipeline().FindVerifiedCopy({first.path(), second.path()}, name));
  EXPECT_EQ(test_support::ReadBytes(scene.pipeline().VerifiedPath()), "good installer");
  // Neither folder holding it: no copy, nothing held.
  test_support::TempFolder none;
  EXPECT_FALSE(scene.pipeline().FindVerifiedCopy({none.path(), first.path()}, name));
  EXPECT_TRUE(scene.pipeline().VerifiedPath().empty());
}

}  // namespace
