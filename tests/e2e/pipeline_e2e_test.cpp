// The download and install worker as the wizard drives it (a window-side
// view, the home page's record, the retry methods), against the fixture
// server, the fixture installer and the registry.
#include "install/download_pipeline.h"

#include <gtest/gtest.h>

#include <cctype>
#include <optional>

#include "e2e_scene.h"
#include "install/process_launcher.h"
#include "install/unattended_modes.h"
#include "net/file_digest.h"
#include "net_fixture.h"
#include "platform/file_io.h"
#include "platform/process_list.h"
#include "platform/system_paths.h"
#include "platform/text.h"
#include "startup/launch_parameters.h"
#include "startup/log.h"
#include "startup/product_config.h"

namespace {

using e2e_test::Contains;
using e2e_test::Scene;
using install::CDownloadPipeline;
using install::PipelineEnd;
using install::WizardPage;

// The process-wide stores as the wizard leaves them before the download page.
class InProcess {
 public:
  explicit InProcess(const Scene& scene, const std::map<std::string, std::string>& config = {}) {
    scene.LoadConfigHere(config);
    startup::Config().LoadLanguageTransfer(scene.sandbox().folder().File(L"LanguageTransfor.ini"));
    startup::Strings().Load(scene.sandbox().folder().File(L"English.ini"));
    startup::Parameters().Clear();
    startup::Parameters().Insert("DOWNLOAD_VERSION", scene.version());
    startup::Parameters().Insert("EXEDIR", scene.sandbox().folder().path());
    startup::Parameters().Insert("GUID", L"e2e-guid");
  }
  ~InProcess() {
    startup::Parameters().Clear();
    startup::Config().Clear();
  }
  InProcess(const InProcess&) = delete;
  InProcess& operator=(const InProcess&) = delete;
};

// One pipeline test's world: a scene whose installer succeeds, the stores as
// the wizard leaves them (with `config` over the scene's) and a recording view.
using ConfigKeys = std::map<std::string, std::string>;
struct PipelineScene {
  explicit PipelineScene(const ConfigKeys& config = {}) : stores(scene, config) { scene.InstallerSucceeds(); }
  Scene scene;
  InProcess stores;
  install_test::RecordingView view;
};

// What the home page would hand over after its release query.
net::ReleaseInfo HomePageRecord(const Scene& scene) {
  net::ReleaseInfo info;
  info.status = net::ReleaseStatus::Answered();
  info.sources[0].url = scene.GoodUrl();
  info.sources[0].size = static_cast<int64_t>(scene.installer_bytes().size());
  info.md5 = scene.md5();
  return info;
}

// The same record with a download that takes several seconds.
net::ReleaseInfo SlowRecord(const Scene& scene) {
  net::ReleaseInfo info = HomePageRecord(scene);
  info.sources[0].url = scene.GoodUrl("?rate=40000");
  return info;
}

install::OptionMap Options(const Scene& scene) {
  return {{"DIR", scene.InstallFolder()}, {"LANG", L"English"}, {"recommendChk", L"false"}};
}

// As the wizard's install reads them, from the stores the scene set up.
install::PipelineSettings Settings(const Scene& scene) {
  return install::PipelineSettingsFromStores(Options(scene), install::PipelineMode::Interactive);
}

TEST(PipelineEndToEndTest, UpdateRemovesThePreviousGenerationAndShowsTheFinishPage) {
  REQUIRE_FIXTURE();
  Scene scene;
  InProcess stores(scene);
  // The previous generation, installed by the same fixture program.
  test_support::TempFolder old_folder;
  scene.installer().Configure({{"registry_address", scene.registry_address()},
                               {"registry_key", scene.RegistryName() + L" 2.0_is1"},
                               {"registry_view", L"64"},
                               {"display_name", scene.RegistryName() + L" 2.5"}});
  const auto old_run = install::RunAndWait(scene.installer().path(), L" /DIR=\"" + old_folder.File(L"Old") + L"\" ");
  ASSERT_EQ(old_run.code, 0);
  const std::wstring old_key = scene.registry_address() + L"\\" + scene.RegistryName() + L" 2.0_is1";
  ASSERT_FALSE(install::ReadUninstallValue(old_key, L"UninstallString").empty());

  scene.InstallerSucceeds();
  install_test::RecordingView view;
  // The ads page cannot be shown: cosmetic, the install goes on.
  std::string ads_url;
  install::PipelineHooks hooks;
  hooks.show_ads = [&](const std::string& url) {
    ads_url = url;
    return false;
  };
  net::ReleaseInfo record = HomePageRecord(scene);
  record.url = "http://127.0.0.1:9/ads";
  CDownloadPipeline pipeline([&] { return record; }, Settings(scene), view, hooks);
  const install::PipelineResult result = pipeline.Run();
  EXPECT_EQ(result.end, PipelineEnd::Installed);
  EXPECT_EQ(ads_url, record.url);
  EXPECT_TRUE(install::ReadUninstallValue(old_key, L"UninstallString").empty());
  EXPECT_EQ(scene.InstalledVersion(), " 3.1.0");
  EXPECT_EQ(view.pages(), (std::vector<WizardPage>{WizardPage::Progress, WizardPage::Finish}));
  EXPECT_TRUE(view.failures().empty());
  // The transfer reaches 100 %; the uninstall then starts its bar at 0 %.
  const std::vector<int> progress = view.progress();
  EXPECT_NE(std::find(progress.begin(), progress.end(), 100), progress.end());
  EXPECT_EQ(progress.back(), 0);
  const auto tips = view.tips();
  ASSERT_GE(tips.size(), 3u);
  EXPECT_EQ(tips.front().rfind(L"Downloading:", 0), 0u);
  EXPECT_NE(std::find(tips.begin(), tips.end(), L"Removing the previous version..."), tips.end());
  EXPECT_EQ(tips.back(), L"Installing...");
  const auto runs = scene.installer().Runs();
  ASSERT_EQ(runs.size(), 2u);  // the old generation, then the update
  EXPECT_NE(runs[1].find(L" /NORESTART /DIR=\"" + scene.InstallFolder() + L"\" /LANG=en GUID=e2e-guid "),
            std::wstring::npos);
  // The verified copy is gone once the attempts are over; the download stays.
  EXPECT_FALSE(platform::FileExists(pipeline.VerifiedPath()));
  EXPECT_TRUE(platform::FileExists(scene.DownloadTarget()));
}

TEST(PipelineEndToEndTest, WithoutARecordItAsksTheServerAndA999RetryDoesNotLoop) {
  REQUIRE_FIXTURE();
  PipelineScene world(ConfigKeys{{"DownloadUrl", ""}});
  auto& [scene, stores, view] = world;
  scene.ScriptReleaseNaming("", scene.md5());
  CDownloadPipeline pipeline(install::ReleaseSource(), Settings(scene), view);
  // The answer names no download: nothing to do but report 999.
  install::PipelineResult result = pipeline.Run();
  EXPECT_EQ(result.end, PipelineEnd::DownloadFailure);
  EXPECT_EQ(result.failure_code, 999);
  EXPECT_EQ(pipeline.LastErrorCode(), 999);
  EXPECT_EQ(scene.ReleaseRequests(), 1u);
  // Try again goes back to the home page instead of failing on the same record.
  result = pipeline.Retry();
  EXPECT_EQ(result.end, PipelineEnd::ReturnToHome);
  EXPECT_EQ(scene.ReleaseRequests(), 1u);
  EXPECT_EQ(view.pages().back(), WizardPage::Home);

  // Once the server names a download, running again asks once more and installs.
  scene.ScriptReleaseNaming(scene.GoodUrl(), scene.md5());
  result = pipeline.RunAgain();
  EXPECT_EQ(scene.ReleaseRequests(), 1u);  // counted afresh since the new answer
  EXPECT_EQ(result.end, PipelineEnd::Installed) << result.failure_code;
  EXPECT_EQ(pipeline.ReleaseRecord().sources[0].url, scene.GoodUrl());
}

// A deployment that lets the release server decide: empty configuration
// values keep the server's download, digest and name, and its kill switch.
TEST(PipelineEndToEndTest, EmptyConfigurationValuesLeaveTheServersAnswer) {
  REQUIRE_FIXTURE();
  PipelineScene world(ConfigKeys{{"DownloadUrl", ""}, {"URLMD5", ""}, {"fileRealName", ""}});
  auto& [scene, stores, view] = world;
  scene.ScriptReleaseNaming(scene.GoodUrl(), scene.md5(), "false");
  CDownloadPipeline pipeline(install::ReleaseSource(), Settings(scene), view);
  const install::PipelineResult result = pipeline.Run();
  EXPECT_EQ(result.end, PipelineEnd::Installed) << result.failure_code;
  EXPECT_EQ(pipeline.ReleaseRecord().sources[0].url, scene.GoodUrl());
  EXPECT_EQ(pipeline.ReleaseRecord().md5, scene.md5());
  EXPECT_EQ(pipeline.ReleaseRecord().sources[0].file_name, scene.key() + ".exe");
  EXPECT_FALSE(pipeline.ReleaseRecord().killSwitch);
  EXPECT_EQ(pipeline.Transfers().size(), 1u);
  EXPECT_EQ(scene.InstalledVersion(), " 3.1.0");
}

// The release reply's optional SHA-256 beside its MD5: malformed, it stops
// the run before any download (4002); wrong, the file is refused after the
// downloads again (4000); right, in any case, the installer runs.
TEST(PipelineEndToEndTest, TheReplysSha256IsCheckedBesideItsMd5) {
  REQUIRE_FIXTURE();
  Scene scene;
  InProcess stores(scene, {{"DownloadUrl", ""}, {"URLMD5", ""}, {"URLSHA256", ""}});
  const std::string sha256 = net::FileSha256Hex(net_test::DataFile(scene.key() + ".exe"));
  ASSERT_EQ(sha256.size(), 64u);
  std::string wrong = sha256;
  wrong[0] = wrong[0] == 'a' ? 'b' : 'a';
  const auto script = [&](const std::string& expected) {
    net_test::ScriptReply(scene.key(),
                          R"({"data":{"md5":")" + scene.md5() + R"(","sha256":")" + expected +
                              R"(","killSwitch":"false","WriteLogSwitch":"true","curNum":"3.1",)"
                              R"("download":")" +
                              scene.GoodUrl() +
                              R"(","download2":"","download3":"","url":"","tuijian":"","referNumber":""}})");
  };
  scene.InstallerSucceeds();
  {
    script(sha256.substr(0, 63));
    install_test::RecordingView view;
    CDownloadPipeline pipeline(install::ReleaseSource(), Settings(scene), view);
    const install::PipelineResult result = pipeline.Run();
    EXPECT_EQ(result.end, PipelineEnd::DownloadFailure);
    EXPECT_EQ(result.failure_code, 4002);
    EXPECT_TRUE(pipeline.Transfers().empty());
    EXPECT_FALSE(platform::FileExists(scene.DownloadTarget()));
  }
  {
    script(wrong);
    install_test::RecordingView view;
    CDownloadPipeline pipeline(install::ReleaseSource(), Settings(scene), view);
    const install::PipelineResult result = pipeline.Run();
    EXPECT_EQ(result.end, PipelineEnd::DownloadFailure);
    EXPECT_EQ(result.failure_code, 4000);
    EXPECT_EQ(pipeline.Transfers().size(), 4u);  // the first and three more
    EXPECT_TRUE(scene.installer().Runs().empty());
  }
  {
    std::string upper = sha256;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    script(upper);
    install_test::RecordingView view;
    CDownloadPipeline pipeline(install::ReleaseSource(), Settings(scene), view);
    const install::PipelineResult result = pipeline.Run();
    EXPECT_EQ(result.end, PipelineEnd::Installed) << result.failure_code;
    EXPECT_EQ(pipeline.ReleaseRecord().sha256, upper);
    EXPECT_EQ(scene.InstalledVersion(), " 3.1.0");
  }
}

// A configured publisher: the installer runs only with that publisher's
// trusted signature (unsigned or another publisher's: 4003, never run); a
// malformed thumbprint stops the run before any download (4004). The
// companion downloader is held to the same signer.
TEST(PipelineEndToEndTest, OnlyTheConfiguredPublishersSignedInstallerRuns) {
  REQUIRE_FIXTURE();
  ASSERT_TRUE(net_test::SigningRootTrusted());
  Scene scene;
  InProcess stores(scene, {{"PublisherName", "WebInstaller Test Publisher"}});
  scene.InstallerSucceeds();
  const std::string good = scene.key() + "-publisher.exe";
  const std::string other = scene.key() + "-other.exe";
  ASSERT_FALSE(net_test::SignDataFile(scene.key() + ".exe", good, "publisher").empty());
  ASSERT_FALSE(net_test::SignDataFile(scene.key() + ".exe", other, "other").empty());
  const auto run = [&](const std::string& name, const std::string& thumbprint) {
    net::ReleaseInfo record = HomePageRecord(scene);
    record.sources[0].url = scene.FileUrl(name);
    record.md5 = net::FileMd5Hex(net_test::DataFile(name));
    install::PipelineSettings settings = Settings(scene);
    settings.publisher.thumbprint = thumbprint;
    install_test::RecordingView view;
    CDownloadPipeline pipeline([record] { return record; }, settings, view);
    const install::PipelineResult result = pipeline.Run();
    return std::make_pair(result, pipeline.Transfers().size());
  };
  const auto unsigned_run = run(scene.key() + ".exe", "");
  EXPECT_EQ(unsigned_run.first.failure_code, 4003);
  EXPECT_EQ(run(other, "").first.failure_code, 4003);
  const auto malformed = run(good, "12345");
  EXPECT_EQ(malformed.first.failure_code, 4004);
  EXPECT_EQ(malformed.second, 0u);  // nothing downloaded
  EXPECT_TRUE(scene.installer().Runs().empty());
  const install::PipelineResult result = run(good, "").first;
  EXPECT_EQ(result.end, PipelineEnd::Installed) << result.failure_code;
  EXPECT_EQ(scene.installer().Runs().size(), 1u);

  // The companion: unsigned is never started; signed by the publisher it is.
  test_support::TempFolder companion;
  EXPECT_EQ(install::RunCompanionFetch(L"", scene.FileUrl(scene.key() + ".exe"), companion.File(L"c1.exe")),
            install::CompanionFetchEnd::SignatureRefused);
  EXPECT_EQ(install::RunCompanionFetch(L"", scene.FileUrl(good), companion.File(L"c2.exe")),
            install::CompanionFetchEnd::Started);
  EXPECT_TRUE(install_test::WaitUntilNoFixtureInstallerRuns());
  for (const std::string& name : {good, other}) ::DeleteFileW(net_test::DataFile(name).c_str());
}

// Without EXEDIR the download goes into the run's own folder, never under a
// predictable name in the temporary folder, and goes with the pipeline.
TEST(PipelineEndToEndTest, WithoutExedirTheDownloadStaysInTheRunsOwnFolder) {
  REQUIRE_FIXTURE();
  Scene scene;
  InProcess stores(scene);
  startup::Parameters().Clear();
  startup::Parameters().Insert("DOWNLOAD_VERSION", scene.version());
  scene.InstallerSucceeds();
  install_test::RecordingView view;
  std::wstring downloaded;
  {
    CDownloadPipeline pipeline([&] { return HomePageRecord(scene); }, Settings(scene), view);
    const install::PipelineResult result = pipeline.Run();
    EXPECT_EQ(result.end, PipelineEnd::Installed) << result.failure_code;
    downloaded = pipeline.InstallerPath();
    EXPECT_EQ(downloaded.rfind(platform::TempFolder() + L"Mediloom\\run-", 0), 0u) << platform::WideToUtf8(downloaded);
    EXPECT_EQ(test_support::ReadBytes(downloaded), scene.installer_bytes());
    EXPECT_FALSE(platform::FileExists(platform::TempFolder() + scene.InstallerFileName()));
  }
  EXPECT_FALSE(platform::FileExists(downloaded));
  EXPECT_EQ(scene.InstalledVersion(), " 3.1.0");
}

TEST(PipelineEndToEndTest, TemporaryFileFailureStartsOverOnceThenFails) {
  REQUIRE_FIXTURE();
  const std::wstring read_only = net_test::FixtureFolder("WEBINSTALLER_NET_READONLY_DIR");
  if (read_only.empty()) GTEST_SKIP() << "no read-only folder in this fixture";
  Scene scene;
  InProcess stores(scene);
  startup::Parameters().Clear();
  startup::Parameters().Insert("DOWNLOAD_VERSION", scene.version());
  startup::Parameters().Insert("EXEDIR", read_only);  // the download target cannot be created
  scene.InstallerSucceeds();
  install_test::RecordingView view;
  net::ReleaseInfo record = HomePageRecord(scene);
  record.sources[1].url = scene.GoodUrl();  // not an alternate for a local failure
  CDownloadPipeline pipeline([&] { return record; }, Settings(scene), view);
  const std::string before = test_support::ReadBytes(startup::MainLog().path());
  const install::PipelineResult result = pipeline.Run();
  EXPECT_EQ(result.end, PipelineEnd::DownloadFailure);
  EXPECT_EQ(result.failure_code, 3005);
  EXPECT_TRUE(pipeline.Transfers().empty());
  EXPECT_TRUE(scene.installer().Runs().empty());
  EXPECT_EQ(view.failures(), std::vector<std::string>{"2:3005"});
  // The system's reason (no room, or access denied) travels with the failure to the log.
  const std::string log = test_support::ReadBytes(startup::MainLog().path()).substr(before.size());
  const std::string reason = "Download failure 3005: temporary file at the setup stage, system error ";
  const size_t at = log.find(reason);
  ASSERT_NE(at, std::string::npos) << log;
  EXPECT_TRUE(log[at + reason.size()] >= '1' && log[at + reason.size()] <= '9') << log.substr(at);
}

TEST(PipelineEndToEndTest, InstallAgainVerifiesTheDownloadAgainAndRunsIt) {
  REQUIRE_FIXTURE();
  Scene scene;
  InProcess stores(scene);
  scene.InstallerSucceeds(L"5,5,5,5,0");  // four failures, then it works
  install_test::RecordingView view;
  CDownloadPipeline pipeline([&] { return HomePageRecord(scene); }, Settings(scene), view);
  install::PipelineResult result = pipeline.Run();
  EXPECT_EQ(result.end, PipelineEnd::InstallFailure);
  EXPECT_EQ(result.failure_code, 6005);
  EXPECT_EQ(scene.installer().Runs().size(), 4u);
  EXPECT_TRUE(pipeline.VerifiedPath().empty());  // let go after the last attempt

  // A download changed behind our back is not installed again.
  ASSERT_TRUE(test_support::WriteBytes(scene.DownloadTarget(), "tampered"));
  result = pipeline.InstallAgain();
  EXPECT_EQ(result.end, PipelineEnd::DownloadFailure);
  EXPECT_EQ(result.failure_code, 4000);
  EXPECT_EQ(scene.installer().Runs().size(), 4u);

  ASSERT_TRUE(test_support::WriteBytes(scene.DownloadTarget(), scene.installer_bytes()));
  result = pipeline.InstallAgain();
  EXPECT_EQ(result.end, PipelineEnd::Installed);
  EXPECT_EQ(scene.installer().Runs().size(), 5u);
  EXPECT_EQ(scene.InstalledVersion(), " 3.1.0");
  EXPECT_EQ(view.failures(), (std::vector<std::string>{"3:6005", "2:4000"}));
}

CDownloadPipeline* g_cancel_target = nullptr;  // UI thread only

void CALLBACK CancelOnTimer(HWND, UINT, UINT_PTR timer, DWORD) {
  ::KillTimer(nullptr, timer);
  if (g_cancel_target != nullptr) g_cancel_target->Cancel();
}

TEST(PipelineEndToEndTest, CancelDuringTheDownloadStartsNothingFurther) {
  REQUIRE_FIXTURE();
  PipelineScene world;
  auto& [scene, stores, view] = world;
  const net::ReleaseInfo record = SlowRecord(scene);
  CDownloadPipeline pipeline([&] { return record; }, Settings(scene), view);
  g_cancel_target = &pipeline;
  // The user's quit arrives through the UI thread's messages during the transfer.
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 500, &CancelOnTimer);
  ASSERT_NE(timer, 0u);
  const install::PipelineResult result = pipeline.Run();
  g_cancel_target = nullptr;
  EXPECT_EQ(result.end, PipelineEnd::Cancelled);
  EXPECT_TRUE(view.failures().empty());
  EXPECT_TRUE(scene.installer().Runs().empty());
  EXPECT_EQ(scene.InstalledVersion(), "");
}

// A second request posted while the run pumps its messages (a double click,
// a retry button still enabled): every entry point refuses it and the run in
// progress goes on undisturbed.
std::vector<PipelineEnd> g_nested_ends;  // UI thread only

TEST(PipelineEndToEndTest, RequestsDuringARunAreRefusedNotNested) {
  REQUIRE_FIXTURE();
  PipelineScene world;
  auto& [scene, stores, view] = world;
  const net::ReleaseInfo record = SlowRecord(scene);
  CDownloadPipeline pipeline([&] { return record; }, Settings(scene), view);
  g_cancel_target = &pipeline;
  g_nested_ends.clear();
  const std::string before = test_support::ReadBytes(startup::MainLog().path());
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 500, [](HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    CDownloadPipeline& running = *g_cancel_target;
    for (const auto entry :
         {&CDownloadPipeline::Run, &CDownloadPipeline::Install, &CDownloadPipeline::Retry,
          &CDownloadPipeline::ResumeTransfer, &CDownloadPipeline::RunAgain, &CDownloadPipeline::InstallAgain}) {
      g_nested_ends.push_back((running.*entry)().end);
    }
  });
  ASSERT_NE(timer, 0u);
  const install::PipelineResult result = pipeline.Run();
  g_cancel_target = nullptr;
  EXPECT_EQ(result.end, PipelineEnd::Installed) << result.failure_code;
  EXPECT_EQ(g_nested_ends, std::vector<PipelineEnd>(6, PipelineEnd::Refused));
  EXPECT_EQ(pipeline.Transfers().size(), 1u);
  EXPECT_EQ(scene.installer().Runs().size(), 1u);
  EXPECT_TRUE(view.failures().empty());
  const std::string log = test_support::ReadBytes(startup::MainLog().path()).substr(before.size());
  EXPECT_TRUE(Contains(log, "Pipeline: RunAgain refused, a run is in progress"));
  EXPECT_TRUE(Contains(log, "Pipeline: InstallAgain refused, a run is in progress"));
  // Once the run is over the same entry points work again.
  EXPECT_EQ(pipeline.InstallAgain().end, PipelineEnd::Installed);
}

TEST(PipelineEndToEndTest, QuitDuringTheDownloadEndsTheRunAndLeavesTheQuitQueued) {
  REQUIRE_FIXTURE();
  PipelineScene world;
  auto& [scene, stores, view] = world;
  net::ReleaseInfo record = SlowRecord(scene);
  record.sources[1].url = scene.GoodUrl();  // never an alternate for a quit
  CDownloadPipeline pipeline([&] { return record; }, Settings(scene), view);
  // The window closes while the transfer runs: its wait sees the quit request.
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 500, [](HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    ::PostQuitMessage(7);
  });
  ASSERT_NE(timer, 0u);
  const install::PipelineResult result = pipeline.Run();
  EXPECT_EQ(result.end, PipelineEnd::QuitRequested);
  EXPECT_TRUE(view.failures().empty());  // no failure page for a closing window
  EXPECT_TRUE(pipeline.Transfers().empty());
  EXPECT_TRUE(scene.installer().Runs().empty());
  // The quit is still there for the application's own loop.
  EXPECT_EQ(test_support::TakeQueuedQuit(), std::optional<WPARAM>(7u));
}

TEST(PipelineEndToEndTest, QuitBeforeTheInstallStepStartsNoInstaller) {
  REQUIRE_FIXTURE();
  Scene scene;
  InProcess stores(scene);
  scene.InstallerSucceeds();
  // A verified copy is on disk: the run goes from the digest check straight
  // to the install step.
  ASSERT_TRUE(test_support::WriteBytes(scene.DownloadTarget(), scene.installer_bytes()));
  install_test::RecordingView view;
  install::PipelineHooks hooks;
  hooks.show_ads = [](const std::string&) {
    ::PostQuitMessage(8);  // the window closes while the ads page loads
    return true;
  };
  CDownloadPipeline pipeline([&] { return HomePageRecord(scene); }, Settings(scene), view, hooks);
  const install::PipelineResult result = pipeline.Run();
  EXPECT_EQ(result.end, PipelineEnd::QuitRequested);
  EXPECT_FALSE(pipeline.NeedsDownload());  // the digest check ran, pumping, and saw the quit
  // An installer started now would still be listed, or would have finished
  // and recorded its run: wait until no process has its name, then look.
  const std::wstring installer_name = scene.InstallerFileName();
  const auto installer_listed = [&] {
    bool listed = false;
    (void)platform::ForEachProcess([&](const platform::ProcessEntry& process) {
      listed = process.exe_name == installer_name;
      return listed ? platform::Walk::Stop : platform::Walk::Continue;
    });
    return listed;
  };
  for (int i = 0; i < 200 && installer_listed(); ++i) ::Sleep(50);
  EXPECT_TRUE(scene.installer().Runs().empty());
  EXPECT_TRUE(view.failures().empty());
  EXPECT_EQ(test_support::TakeQueuedQuit(), std::optional<WPARAM>(8u));
}

TEST(PipelineEndToEndTest, FailedReleaseQueryShowsItsCodeAndTransfersNothing) {
  REQUIRE_FIXTURE();
  PipelineScene world;
  auto& [scene, stores, view] = world;
  net::ReleaseInfo record = HomePageRecord(scene);
  record.status = net::ReleaseStatus::Failed(net::ReleaseStage::Reply, net::ReleaseCause::EmptyReply);
  CDownloadPipeline pipeline([&] { return record; }, Settings(scene), view);
  const install::PipelineResult result = pipeline.Run();
  EXPECT_EQ(result.end, PipelineEnd::DownloadFailure);
  EXPECT_EQ(result.failure_code, 1002);
  EXPECT_EQ(pipeline.LastErrorCode(), 1002);
  EXPECT_EQ(view.failures(), std::vector<std::string>{"2:1002"});
  EXPECT_TRUE(pipeline.Transfers().empty());
  EXPECT_EQ(scene.ReleaseRequests(), 0u);  // the home page's answer stands
  EXPECT_FALSE(platform::FileExists(scene.DownloadTarget()));
  EXPECT_TRUE(scene.installer().Runs().empty());
}

TEST(PipelineEndToEndTest, RetryAfterARangeFailureResumesTheKeptRanges) {
  REQUIRE_FIXTURE();
  PipelineScene world(ConfigKeys{{"DownloadThreadCount", "4"}});
  auto& [scene, stores, view] = world;
  net::ReleaseInfo record = HomePageRecord(scene);
  // Every ranged answer breaks off after 90000 bytes: only continuing the
  // ranges on disk ever gets the whole file.
  record.sources[0].url = scene.GoodUrl("?drop=90000");
  CDownloadPipeline pipeline([&] { return record; }, Settings(scene), view);
  install::PipelineResult result = pipeline.Run();
  ASSERT_EQ(result.end, PipelineEnd::DownloadFailure);
  EXPECT_EQ(result.failure_code / 100, 33) << result.failure_code;
  for (int retry = 0; retry < 5 && result.end == PipelineEnd::DownloadFailure; ++retry) {
    EXPECT_EQ(pipeline.LastErrorCode() / 100, 33);
    result = pipeline.Retry();
  }
  EXPECT_EQ(result.end, PipelineEnd::Installed) << result.failure_code;
  EXPECT_EQ(test_support::ReadBytes(scene.DownloadTarget()), scene.installer_bytes());
  EXPECT_EQ(view.failures().front().substr(0, 4), "2:33");
  EXPECT_TRUE(view.stalls().empty()) << "a dropped connection is no stall";
}

// The stall watchdog ends a transfer whose one connection went silent: the
// view hears of the stall (the taskbar button shows it paused), the kept
// ranges are resumed, and progress is reported again after it.
TEST(PipelineEndToEndTest, AStalledTransferIsReportedThenResumed) {
  REQUIRE_FIXTURE();
  PipelineScene world(ConfigKeys{{"DownloadThreadCount", "3"}});
  auto& [scene, stores, view] = world;
  net::ReleaseInfo record = HomePageRecord(scene);
  record.sources[0].url =
      scene.GoodUrl("?stall=1&stalltoken=" + platform::WideToAnsi(test_support::UniqueName(L"stall")));
  install::PipelineTuning tuning;
  tuning.stall_limit_seconds = 2;
  CDownloadPipeline pipeline([&] { return record; }, Settings(scene), view, {}, tuning);
  const install::PipelineResult result = pipeline.Run();
  EXPECT_EQ(result.end, PipelineEnd::Installed) << result.failure_code;
  ASSERT_EQ(view.stalls().size(), 1u);
  EXPECT_LT(view.stalls().front(), view.progress().size()) << "no progress after the stall";
  EXPECT_EQ(test_support::ReadBytes(scene.DownloadTarget()), scene.installer_bytes());
}

}  // namespace
