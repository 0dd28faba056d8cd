#include "install/download_pipeline.h"

#include <gtest/gtest.h>

#include "fixture_installer.h"
#include "install/default_install_folder.h"
#include "install/unattended_modes.h"
#include "net/file_digest.h"
#include "platform/file_io.h"
#include "platform/system_paths.h"
#include "platform/text.h"
#include "startup/launch_parameters.h"
#include "startup/product_config.h"

namespace {

using install::CDownloadPipeline;

TEST(DownloadPipelineTest, InstallerFileNameKeepsToItsFolder) {
  const struct {
    const wchar_t* version;
    bool vexa;
    const wchar_t* expected;
  } cases[] = {
      {L"", false, L"PhotoStudio_trial_brimvale.exe"},
      {L"5.1", false, L"PhotoStudio_5.1_brimvale.exe"},
      {L"pro_vexa", true, L"PhotoStudio_pro_vexa_vexa.exe"},
      {L"..\\..\\evil", false, L"PhotoStudio_.._.._evil_brimvale.exe"},
      {L"a/b:c*d?e\"f<g>h|i", false, L"PhotoStudio_a_b_c_d_e_f_g_h_i_brimvale.exe"},
      {L"x\ty", false, L"PhotoStudio_x_y_brimvale.exe"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CDownloadPipeline::InstallerFileName(L"PhotoStudio", c.version, c.vexa), c.expected)
        << platform::WideToUtf8(c.version);
  }
  // A product name of ".." cannot make the file name climb either.
  EXPECT_EQ(CDownloadPipeline::InstallerFileName(L"..", L"1", false).substr(0, 2), L"_.");
}

TEST(DownloadPipelineTest, UserAgentCannotCarryAnotherHeaderLine) {
  EXPECT_EQ(CDownloadPipeline::UserAgentText(L"PhotoStudio", L"5.1"), "win_PhotoStudio_5.1");
  EXPECT_EQ(CDownloadPipeline::UserAgentText(L"PhotoStudio", L""), "win_PhotoStudio_");
  EXPECT_EQ(CDownloadPipeline::UserAgentText(L"PhotoStudio", L"5\r\nCookie: x=1"),
            "win_PhotoStudio_5__Cookie: x=1");
  EXPECT_EQ(CDownloadPipeline::UserAgentText(L"P\x7f", L"\t1"), "win_P___1");
}

TEST(DownloadPipelineTest, ThreadCountFromConfigurationText) {
  const struct {
    const wchar_t* text;
    int32_t expected;
  } cases[] = {{L"", 1},  {L"0", 1},   {L"1", 1},    {L"8", 8},     {L"100", 100},
               {L"101", 1}, {L"abc", 1}, {L"-5", 1}, {L"007", 7}, {L"4 ", 1}, {L"99999", 1}};
  for (const auto& c : cases) {
    EXPECT_EQ(CDownloadPipeline::ThreadCountFromText(c.text), c.expected)
        << platform::WideToUtf8(c.text);
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
  EXPECT_FALSE(install::ProgramFilesFolder().empty());
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
    EXPECT_EQ(install::BrowsedInstallFolder(c.chosen, c.extent), c.expected)
        << platform::WideToUtf8(c.chosen);
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
  const ConfigScope config(test_support::PathFromEnvironment("WEBINSTALLER_DIST_DIR") +
                           L"\\InitConfigure.ini");
  startup::Parameters().Clear();
  const std::wstring program_files = install::ProgramFilesFolder();
  EXPECT_EQ(install::DefaultInstallFolder(), program_files + L"\\Brimvale\\PhotoStudio");
  EXPECT_EQ(install::BrowsedInstallFolder(L"D:\\", startup::Config().GetForEdition("ProductExtentPath")),
            L"D:\\PhotoStudio");
  startup::Parameters().Parse(L"DOWNLOAD_VERSION=vexa_trial");
  EXPECT_EQ(install::DefaultInstallFolder(), program_files + L"\\VEXA\\PhotoStudio");
}

// A pipeline whose release record expects `md5`.
class DigestScene {
 public:
  explicit DigestScene(const std::string& md5) {
    net::ReleaseInfo info;
    info.status = 0;
    info.md5 = md5;
    pipeline_ = std::make_unique<CDownloadPipeline>([info] { return info; }, install::OptionMap(),
                                                    view_, true);
    EXPECT_TRUE(pipeline_->loadRelease());
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
  ASSERT_TRUE(scene.pipeline().digestMatches(source));
  const std::wstring copy = scene.pipeline().verifiedPath();
  EXPECT_EQ(copy.rfind(platform::TempFolder() + L"Mediloom\\run-", 0), 0u);
  EXPECT_EQ(platform::FileNameOf(copy), L"setup_product.exe");

  // Nobody can write, replace or delete the checked file; reading is fine.
  HANDLE writer = ::CreateFileW(copy.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
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
    EXPECT_FALSE(no_expectation.pipeline().digestMatches(empty_file));
    EXPECT_TRUE(no_expectation.pipeline().verifiedPath().empty());
  }
  DigestScene scene(net::FileMd5Hex(empty_file));
  EXPECT_FALSE(scene.pipeline().digestMatches(folder.File(L"missing.exe")));
  EXPECT_FALSE(scene.pipeline().digestMatches(folder.path()));  // a folder
  EXPECT_FALSE(scene.pipeline().digestMatches(L""));
  // A file we cannot read (held exclusively by someone else).
  const std::wstring locked = folder.File(L"locked.exe");
  ASSERT_TRUE(test_support::WriteBytes(locked, ""));
  HANDLE exclusive = ::CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(scene.pipeline().digestMatches(locked));
  ::CloseHandle(exclusive);
  EXPECT_TRUE(scene.pipeline().digestMatches(locked));
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
  EXPECT_TRUE(scene.pipeline().findVerifiedCopy({first.path(), second.path()}, name));
  EXPECT_EQ(test_support::ReadBytes(scene.pipeline().verifiedPath()), "good installer");
  // Neither folder holding it: no copy, nothing held.
  test_support::TempFolder none;
  EXPECT_FALSE(scene.pipeline().findVerifiedCopy({none.path(), first.path()}, name));
  EXPECT_TRUE(scene.pipeline().verifiedPath().empty());
}

}  // namespace
