// setup.exe as a user's machine runs it: unattended install and companion
// fetch against the fixture release server, with the fixture installer as
// the product's installer and the registry of the Wine prefix.
#include <gtest/gtest.h>

#include "e2e_scene.h"
#include "net_fixture.h"
#include "platform/system_paths.h"
#include "platform/file_io.h"
#include "platform/text.h"

namespace {

using e2e_test::Contains;
using e2e_test::Count;
using e2e_test::Scene;

constexpr DWORD kUnattendedExit = 1;
constexpr DWORD kCompanionExit = 2;

// setup.exe in the unattended mode, as another copy starts it; false when it
// did not end in time. Whatever happens, it ends with the mode's own code.
[[nodiscard]] bool RunUnattended(const Scene& scene) {
  const auto run = scene.RunSetup(L"INSTALL_TYPE=1");
  if (!run.finished) return false;
  EXPECT_EQ(run.exit_code, kUnattendedExit);
  return true;
}

// The companion fetch as a finished install starts it, with this refer
// number; false when it did not end in time.
[[nodiscard]] bool RunCompanionFetch(const Scene& scene, const std::wstring& refer_number) {
  const auto run = scene.sandbox().Run(L"INSTALL_TYPE=2 ||| REFERNUMBER=" + refer_number + L" ||| RECOMMEND_URL=" +
                                       platform::Utf8ToWide(scene.GoodUrl()));
  if (!run.finished) return false;
  EXPECT_EQ(run.exit_code, kCompanionExit);
  return true;
}

// The fetched companion starts detached: its recorded run may come a moment
// after the fetch ended (bounded at ten seconds).
std::vector<std::wstring> AwaitInstallerRuns(const Scene& scene) {
  std::vector<std::wstring> runs;
  for (int i = 0; i < 200 && runs.empty(); ++i) {
    runs = scene.installer().Runs();
    if (runs.empty()) ::Sleep(50);
  }
  return runs;
}

// The fetched companion and the run folder it was fetched into.
void RemoveFetchedCompanion(const std::wstring& program) {
  ::DeleteFileW(program.c_str());
  ::RemoveDirectoryW(program.substr(0, program.size() - platform::FileNameOf(program).size()).c_str());
}

// The run posted exactly one report, and it says `text`.
void ExpectOneReportWith(const Scene& scene, const std::string& text) {
  const auto reports = scene.Reports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_TRUE(Contains(reports[0], text)) << reports[0];
}

// The recorded command line: the quoted program, then the parameter text.
struct RecordedRun {
  std::wstring program;
  std::wstring parameters;
};

RecordedRun SplitRun(const std::wstring& line) {
  if (line.size() < 2 || line[0] != L'"') return {};
  const size_t close = line.find(L'"', 1);
  if (close == std::wstring::npos) return {};
  return {line.substr(1, close - 1), line.substr(close + 1)};
}

std::wstring ExpectedParameters(const Scene& scene, const std::wstring& setup_log) {
  return L" /VERYSILENT /NORESTART /DIR=\"" + scene.InstallFolder() +
         L"\" /LANG=zh_CN GUID=e2e-guid xurlID=1042 /LOG=\"" + setup_log +
         L"\" installLumaviewer= LumaPlayerDownloadURL= ";
}

// The installer's setup log lives in the run's own folder, never under a
// name others can predict in the temporary folder.
void ExpectSetupLogInTheRunFolder(const Scene& scene, const std::wstring& setup_log) {
  EXPECT_EQ(setup_log.rfind(platform::TempFolder() + L"Mediloom\\run-", 0), 0u) << platform::WideToUtf8(setup_log);
  EXPECT_EQ(platform::FileNameOf(setup_log), platform::Utf8ToWide(scene.key()) + L".log");
  EXPECT_TRUE(Contains(scene.Log(), "Setup log of the installer: " + platform::WideToUtf8(setup_log))) << scene.Log();
}

TEST(SetupEndToEndTest, CleanInstallDownloadsVerifiesInstallsAndReports) {
  REQUIRE_FIXTURE();
  Scene scene;
  scene.InstallerSucceeds();
  ASSERT_TRUE(RunUnattended(scene));
  const std::string log = scene.Log();

  EXPECT_EQ(scene.InstalledVersion(), " 3.1.0") << log;
  EXPECT_EQ(scene.ReleaseRequests(), 1u);
  const auto runs = scene.installer().Runs();
  ASSERT_EQ(runs.size(), 1u) << log;
  const RecordedRun recorded = SplitRun(runs[0]);
  const std::wstring setup_log = Scene::SetupLogPathOf(recorded.parameters);
  EXPECT_EQ(recorded.parameters, ExpectedParameters(scene, setup_log));
  ExpectSetupLogInTheRunFolder(scene, setup_log);
  // The installer's own lines stay there for support.
  EXPECT_TRUE(Contains(test_support::ReadBytes(setup_log), "Installation process succeeded."));
  // The file run is the verified copy in a folder of this run's own.
  EXPECT_EQ(platform::FileNameOf(recorded.program), scene.InstallerFileName());
  EXPECT_EQ(recorded.program.rfind(platform::TempFolder() + L"Mediloom\\run-", 0), 0u)
      << platform::WideToUtf8(recorded.program);
  // The download itself stays where the next run looks for it.
  EXPECT_EQ(test_support::ReadBytes(scene.DownloadTarget()), scene.installer_bytes());

  const auto reports = scene.Reports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0],
            "uid=e2e-guid&url=1042&downloader_num=5.1&install_start_downloader=true"
            "&install_finish_downloader=true");
  EXPECT_TRUE(Contains(log, "Install finished")) << log;
}

TEST(SetupEndToEndTest, VerifiedCopyOnDiskIsInstalledWithoutDownload) {
  REQUIRE_FIXTURE();
  Scene scene;
  scene.InstallerSucceeds();
  // Any download would fail: the address names nothing.
  scene.WriteConfig({{"DownloadUrl", scene.FileUrl("missing.exe")}});
  ASSERT_TRUE(test_support::WriteBytes(scene.DownloadTarget(), scene.installer_bytes()));
  ASSERT_TRUE(RunUnattended(scene));
  const std::string log = scene.Log();
  EXPECT_EQ(scene.InstalledVersion(), " 3.1.0") << log;
  EXPECT_EQ(scene.installer().Runs().size(), 1u);
  EXPECT_TRUE(Contains(log, "Verified installer found")) << log;
  EXPECT_FALSE(Contains(log, "StartDownload")) << log;
}

TEST(SetupEndToEndTest, DigestMismatchFailsWith4000AndNeverRunsTheFile) {
  REQUIRE_FIXTURE();
  Scene scene;
  scene.InstallerSucceeds();
  scene.WriteConfig({{"DownloadUrl", scene.BadUrl()}});
  ASSERT_TRUE(RunUnattended(scene));
  const std::string log = scene.Log();
  EXPECT_TRUE(Contains(log, "SwitchDownloadErrorPage=4000")) << log;
  // The first transfer and three more.
  EXPECT_EQ(Count(log, "Downloaded "), 4) << log;
  EXPECT_TRUE(scene.installer().Runs().empty());
  EXPECT_EQ(scene.InstalledVersion(), "");
  ExpectOneReportWith(scene, "install_start_downloader=true&install_finish_downloader=false");
}

// Nothing names a digest: no download could ever be verified, so none is
// made; the failure is immediate and says why.
TEST(SetupEndToEndTest, NoExpectedDigestFailsAtOnceWithoutDownloading) {
  REQUIRE_FIXTURE();
  Scene scene;
  scene.InstallerSucceeds();
  scene.WriteConfig({{"URLMD5", ""}});
  scene.ScriptReleaseNaming(scene.GoodUrl(), "");
  ASSERT_TRUE(RunUnattended(scene));
  const std::string log = scene.Log();
  EXPECT_TRUE(Contains(log, "No expected digest in the release answer or URLMD5")) << log;
  EXPECT_TRUE(Contains(log, "SwitchDownloadErrorPage=4001")) << log;
  EXPECT_EQ(Count(log, "StartDownload Start"), 0) << log;
  EXPECT_TRUE(scene.installer().Runs().empty());
  EXPECT_EQ(scene.InstalledVersion(), "");
}

TEST(SetupEndToEndTest, UnreachableFirstSourceFallsBackToTheSecond) {
  REQUIRE_FIXTURE();
  Scene scene;
  scene.InstallerSucceeds();
  // Port 9 on loopback: nobody listens, the connection is refused.
  scene.WriteConfig({{"DownloadUrl", "http://127.0.0.1:9/files/" + scene.key() + ".exe"}});
  scene.ScriptRelease("", scene.GoodUrl());  // an empty second source is skipped
  ASSERT_TRUE(RunUnattended(scene));
  const std::string log = scene.Log();
  EXPECT_EQ(scene.InstalledVersion(), " 3.1.0") << log;
  EXPECT_TRUE(Contains(log, "Trying alternate source 2")) << log;
  EXPECT_FALSE(Contains(log, "Trying alternate source 1")) << log;
  EXPECT_TRUE(
      Contains(log, "Downloaded " + std::to_string(scene.installer_bytes().size()) + " bytes from " + scene.GoodUrl()))
      << log;
}

TEST(SetupEndToEndTest, DroppedConnectionIsResumedByteExact) {
  REQUIRE_FIXTURE();
  Scene scene;
  scene.InstallerSucceeds();
  scene.WriteConfig(
      {{"DownloadUrl", scene.GoodUrl("?drop=20000&droptoken=" + scene.key())}, {"DownloadThreadCount", "3"}});
  ASSERT_TRUE(RunUnattended(scene));
  const std::string log = scene.Log();
  EXPECT_TRUE(Contains(log, ": resuming")) << log;
  EXPECT_EQ(test_support::ReadBytes(scene.DownloadTarget()), scene.installer_bytes());
  EXPECT_EQ(scene.InstalledVersion(), " 3.1.0") << log;
}

TEST(SetupEndToEndTest, InstallerFailingEveryAttemptEndsIn6000Band) {
  REQUIRE_FIXTURE();
  Scene scene;
  scene.InstallerSucceeds(L"5");
  ASSERT_TRUE(RunUnattended(scene));
  const std::string log = scene.Log();
  EXPECT_EQ(scene.installer().Runs().size(), 4u) << log;
  EXPECT_TRUE(Contains(log, "SwitchInstallErrorPage=6005")) << log;
  // Each failed attempt's last setup-log lines are in our log.
  ASSERT_FALSE(scene.installer().Runs().empty());
  ExpectSetupLogInTheRunFolder(scene, Scene::SetupLogPathOf(scene.installer().Runs()[0]));
  EXPECT_EQ(Count(log, "Installation process failed with exit code 5."), 4) << log;
  EXPECT_EQ(scene.InstalledVersion(), "");
  ExpectOneReportWith(scene, "install_finish_downloader=false");
}

TEST(SetupEndToEndTest, UnusableDefaultFolderIsAClearFailureAndNothingRuns) {
  REQUIRE_FIXTURE();
  Scene scene;
  scene.InstallerSucceeds();
  // A relative base folder would install wherever the installer happens to run.
  scene.WriteConfig({{"InstallProgramFilesPath", "relative\\folder"}});
  ASSERT_TRUE(RunUnattended(scene));
  const std::string log = scene.Log();
  EXPECT_TRUE(Contains(log, "Install folder refused")) << log;
  EXPECT_TRUE(Contains(log, "SwitchInstallErrorPage=6997")) << log;
  EXPECT_TRUE(scene.installer().Runs().empty());
  EXPECT_EQ(scene.InstalledVersion(), "");
}

TEST(SetupEndToEndTest, RunningProductMeansNoUnattendedInstall) {
  REQUIRE_FIXTURE();
  Scene scene;
  scene.InstallerSucceeds();
  const std::wstring product_name = test_support::UniqueName(L"RunningProduct") + L".exe";
  test_support::TempFolder product_folder;
  ASSERT_TRUE(
      test_support::CopyOneFile(install_test::FixturePath(L"fake_product.exe"), product_folder.File(product_name)));
  test_support::BackgroundProcess product(product_folder.File(product_name), L"sleep 20000");
  ASSERT_TRUE(product.IsRunning());
  scene.WriteConfig({{"ProductProcess", platform::WideToUtf8(product_name)}});
  const auto run = scene.RunSetup(L"INSTALL_TYPE=1");
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exit_code, kUnattendedExit);
  EXPECT_EQ(scene.ReleaseRequests(), 0u);
  EXPECT_TRUE(scene.installer().Runs().empty());
  EXPECT_FALSE(platform::FileExists(scene.DownloadTarget()));
  EXPECT_TRUE(Contains(scene.Log(), "product is running")) << scene.Log();
  // The run report leaves on this early return too.
  ExpectOneReportWith(scene, "install_start_downloader=false&install_finish_downloader=false");
}

TEST(SetupEndToEndTest, CompanionFetchDownloadsAndStartsTheCompanionUnattended) {
  REQUIRE_FIXTURE();
  Scene scene;
  // Unsound inputs first: nothing is fetched or started.
  const std::vector<std::wstring> unsound = {
      L"REFERNUMBER=..\\77 ||| RECOMMEND_URL=" + platform::Utf8ToWide(scene.GoodUrl()),
      L"REFERNUMBER=77 ||| RECOMMEND_URL=file:///C:/windows/notepad.exe"};
  for (const std::wstring& bad : unsound) {
    const auto refused = scene.sandbox().Run(L"INSTALL_TYPE=2 ||| " + bad);
    ASSERT_TRUE(refused.finished);
    EXPECT_EQ(refused.exit_code, kCompanionExit);
  }
  EXPECT_TRUE(scene.installer().Runs().empty());

  ASSERT_TRUE(RunCompanionFetch(scene, L"77"));
  const std::vector<std::wstring> runs = AwaitInstallerRuns(scene);
  ASSERT_EQ(runs.size(), 1u) << scene.Log();
  const RecordedRun recorded = SplitRun(runs[0]);
  EXPECT_EQ(recorded.parameters, L" DATA=1 ||| INSTALL_TYPE=1");
  const std::wstring name = platform::FileNameOf(recorded.program);
  // Fetched into a folder of the run's own, not under a predictable name.
  EXPECT_EQ(recorded.program.rfind(platform::TempFolder() + L"Mediloom\\run-", 0), 0u)
      << platform::WideToUtf8(recorded.program);
  EXPECT_GT(name.size(), 7u);
  EXPECT_EQ(name.substr(name.size() - 7), L".77.exe");
  EXPECT_TRUE(install_test::WaitUntilNoFixtureInstallerRuns());
  EXPECT_EQ(test_support::ReadBytes(recorded.program), scene.installer_bytes());
  RemoveFetchedCompanion(recorded.program);
  // Companion fetch sends no run report.
  EXPECT_TRUE(scene.Reports().empty());
}

// The release may name no refer number: the companion is fetched all the
// same, its file name holding two points in a row.
TEST(SetupEndToEndTest, CompanionFetchWithoutReferNumber) {
  REQUIRE_FIXTURE();
  Scene scene;
  ASSERT_TRUE(RunCompanionFetch(scene, L""));
  const std::vector<std::wstring> runs = AwaitInstallerRuns(scene);
  ASSERT_EQ(runs.size(), 1u) << scene.Log();
  const RecordedRun recorded = SplitRun(runs[0]);
  const std::wstring name = platform::FileNameOf(recorded.program);
  EXPECT_GT(name.size(), 5u);
  EXPECT_EQ(name.substr(name.size() - 5), L"..exe") << platform::WideToUtf8(name);
  EXPECT_TRUE(install_test::WaitUntilNoFixtureInstallerRuns());
  RemoveFetchedCompanion(recorded.program);
}

}  // namespace
