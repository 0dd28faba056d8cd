// setup.exe as a user's machine runs it: unattended install and companion
// fetch against the fixture release server, with the fixture installer as
// the product's installer and the registry of the Wine prefix.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "e2e_scene.h"
#include "net/download_journal.h"
#include "net/file_digest.h"
#include "net/http_client.h"
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

// The fixture installer padded to `total_bytes` (still a program that
// runs: the loader ignores what follows its image), served
// under its own name with validators, slowly, and counting the bytes of
// its ranged answers. The scene's configuration downloads it.
class LargeInstaller {
 public:
  LargeInstaller(const Scene& scene, size_t total_bytes, int bytes_per_second_per_connection)
      : name_(scene.key() + "-large.exe"), count_key_(scene.key() + "-sent") {
    bytes_ = scene.installer_bytes();
    uint32_t state = 20261208;
    while (bytes_.size() < total_bytes) {
      state = state * 1664525u + 1013904223u;
      bytes_.push_back(static_cast<char>(state >> 24));
    }
    EXPECT_TRUE(test_support::WriteBytes(net_test::DataFile(name_), bytes_));
    scene.WriteConfig({{"DownloadUrl", scene.FileUrl(name_, "?validators=strong&rate=" +
                                                                std::to_string(bytes_per_second_per_connection) +
                                                                "&count=" + count_key_)},
                       {"URLMD5", net::FileMd5Hex(net_test::DataFile(name_))}});
  }
  ~LargeInstaller() { ::DeleteFileW(net_test::DataFile(name_).c_str()); }
  LargeInstaller(const LargeInstaller&) = delete;
  LargeInstaller& operator=(const LargeInstaller&) = delete;

  [[nodiscard]] const std::string& bytes() const { return bytes_; }
  [[nodiscard]] int64_t size() const { return static_cast<int64_t>(bytes_.size()); }

  // Body bytes of ranged answers sent so far, once no connection of an
  // ended run still writes (the count stays put for a second; bounded).
  [[nodiscard]] int64_t SettledSentBytes() const {
    int64_t last = SentBytes();
    for (int i = 0; i < 30; ++i) {
      ::Sleep(500);
      const int64_t now = SentBytes();
      if (now == last && i > 0) return now;
      last = now;
    }
    ADD_FAILURE() << "the server kept sending";
    return last;
  }

 private:
  [[nodiscard]] int64_t SentBytes() const {
    std::string reply;
    net::PostRequest request{net_test::HttpBase() + "/sent?key=" + count_key_, "", "", net::kReleaseReplyCap};
    (void)net::PostForm(request, reply);
    return std::atoll(reply.c_str());
  }

  std::string name_;
  std::string count_key_;
  std::string bytes_;
};

// Starts setup.exe unattended and ends it with TerminateProcess once its
// download journal shows at least `share_percent` of the file present;
// the bytes the journal then called present, or -1 when that never came.
int64_t KillWhenJournalShows(const Scene& scene, int64_t total, int share_percent) {
  const auto run = scene.StartSetup(L"INSTALL_TYPE=1");
  const net::DownloadJournal journal(scene.DownloadTarget() + L".temp");
  for (int i = 0; i < 1200 && run->IsRunning(); ++i) {  // two minutes at most
    const std::optional<net::JournalRecord> record = journal.Load();
    if (record && record->PresentBytes() * 100 >= total * share_percent) {
      EXPECT_TRUE(run->Terminate());
      return record->PresentBytes();
    }
    ::Sleep(100);
  }
  ADD_FAILURE() << "the journal never showed " << share_percent << " %; " << scene.Log();
  return -1;
}

// The case: a run killed about halfway through a 64 MiB download,
// then the next run. It asks only for the missing bytes (the server's count
// of what it sent the second time) and installs the byte-exact, verified file.
TEST(SetupEndToEndTest, AKilledRunsDownloadIsResumedByTheNextRun) {
  REQUIRE_FIXTURE();
  Scene scene;
  scene.InstallerSucceeds();
  const LargeInstaller large(scene, 64 * 1024 * 1024, 1000000);
  ASSERT_EQ(large.size(), 64 * 1024 * 1024);
  const int64_t present = KillWhenJournalShows(scene, large.size(), 45);
  ASSERT_GT(present, 0);
  EXPECT_TRUE(platform::FileExists(scene.DownloadTarget() + L".temp"));
  EXPECT_TRUE(scene.installer().Runs().empty());
  const int64_t sent_before = large.SettledSentBytes();

  ASSERT_TRUE(RunUnattended(scene));
  const int64_t sent_second = large.SettledSentBytes() - sent_before;
  const std::string log = scene.Log();
  std::printf("[ measured ] %lld of %lld bytes present at the kill; the second run was sent %lld bytes (%.1f %%)\n",
              static_cast<long long>(present), static_cast<long long>(large.size()),
              static_cast<long long>(sent_second), 100.0 * static_cast<double>(sent_second) / large.size());
  EXPECT_TRUE(Contains(log, "StartDownload: resuming, ")) << log;
  EXPECT_TRUE(Contains(log, " bytes already present")) << log;
  // Only what was missing when the journal was last read, at most.
  EXPECT_GT(sent_second, 0);
  EXPECT_LE(sent_second, large.size() - present);
  EXPECT_LT(sent_second * 4, large.size() * 3);
  EXPECT_TRUE(test_support::ReadBytes(scene.DownloadTarget()) == large.bytes()) << "not byte-exact";
  EXPECT_EQ(scene.InstalledVersion(), " 3.1.0") << log;
  EXPECT_EQ(scene.installer().Runs().size(), 1u);
  EXPECT_FALSE(platform::FileExists(scene.DownloadTarget() + L".temp"));
  EXPECT_FALSE(platform::FileExists(scene.DownloadTarget() + L".temp.journal"));
}

// The first byte the journal calls present, or -1.
int64_t FirstPresentByte(const net::JournalRecord& journal) {
  int64_t at = 0;
  for (const net::ByteSpan& span : journal.missing) {
    if (span.first > at) return at;
    at = span.last + 1;
  }
  return at < journal.total ? at : -1;
}

// The bytes a killed run left are damaged on disk (the journal cannot know):
// the digest check after the resume fails, the file and its journal go, and
// the download starts clean and installs the verified file.
TEST(SetupEndToEndTest, AResumedDownloadFailingItsDigestIsFetchedCleanAgain) {
  REQUIRE_FIXTURE();
  Scene scene;
  scene.InstallerSucceeds();
  const LargeInstaller large(scene, 6 * 1024 * 1024, 250000);
  ASSERT_EQ(large.size(), 6 * 1024 * 1024);
  ASSERT_GT(KillWhenJournalShows(scene, large.size(), 30), 0);
  const std::wstring temp = scene.DownloadTarget() + L".temp";
  const std::optional<net::JournalRecord> journal = net::DownloadJournal(temp).Load();
  ASSERT_TRUE(journal);
  const int64_t damaged = FirstPresentByte(*journal);
  ASSERT_GE(damaged, 0);
  std::string kept = test_support::ReadBytes(temp);
  ASSERT_EQ(static_cast<int64_t>(kept.size()), large.size());
  kept[static_cast<size_t>(damaged)] = static_cast<char>(kept[static_cast<size_t>(damaged)] ^ 0x20);
  ASSERT_TRUE(test_support::WriteBytes(temp, kept));
  const int64_t sent_before = large.SettledSentBytes();

  ASSERT_TRUE(RunUnattended(scene));
  const std::string log = scene.Log();
  EXPECT_TRUE(Contains(log, "StartDownload: resuming, ")) << log;
  EXPECT_TRUE(Contains(log, "The resumed download does not match its digest")) << log;
  EXPECT_EQ(Count(log, "Digest mismatch: download"), 1) << log;
  // The missing part, then the whole file once more.
  EXPECT_GT(large.SettledSentBytes() - sent_before, large.size());
  EXPECT_TRUE(test_support::ReadBytes(scene.DownloadTarget()) == large.bytes()) << "not byte-exact";
  EXPECT_EQ(scene.InstalledVersion(), " 3.1.0") << log;
  EXPECT_FALSE(platform::FileExists(temp + L".journal"));
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
