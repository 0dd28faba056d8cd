// setup.exe's wizard as a person drives it: real input on its windows (the
// shipped skin's controls found through its description), the fixture
// release server and download server, the fixture installer and the
// fixture product. The shell's dry run keeps web pages and restarts in the
// log.
#include <gtest/gtest.h>
#include <cstdio>

#include <map>
#include <optional>
#include <vector>

#include "e2e_scene.h"
#include "net_fixture.h"
#include "platform/file_io.h"
#include "platform/text.h"
#include "synthetic_input.h"
#include "wizard_driver.h"

namespace {

using e2e_test::Contains;
using e2e_test::Count;
using e2e_test::Scene;
using e2e_test::SkinLayout;
using e2e_test::WaitFor;
using e2e_test::WizardRun;

constexpr wchar_t kMainDescription[] = L"install.xml";
constexpr wchar_t kTab[] = L"wizardTab";
constexpr wchar_t kFirstLanguage[] = L"Chinese";  // the wizard starts in it

std::string Narrow(const std::wstring& text) { return platform::WideToUtf8(text); }

// The parameters after the quoted program of a recorded installer run.
std::wstring ParametersOf(const std::wstring& run) {
  const size_t close = run.size() > 1 && run[0] == L'"' ? run.find(L'"', 1) : std::wstring::npos;
  return close == std::wstring::npos ? std::wstring() : run.substr(close + 1);
}

// One ranged request as the server logged it: "bytes=<first>-<last>".
struct ByteRange {
  uint64_t first = 0;
  uint64_t last = 0;
};

std::optional<ByteRange> RangeOf(const std::string& header, uint64_t size) {
  const std::string prefix = "bytes=";
  if (header.rfind(prefix, 0) != 0) return std::nullopt;
  const size_t dash = header.find('-');
  if (dash == std::string::npos) return std::nullopt;
  ByteRange range;
  range.first = std::stoull(header.substr(prefix.size(), dash - prefix.size()));
  range.last = dash + 1 < header.size() ? std::stoull(header.substr(dash + 1)) : size - 1;
  return range;
}

// The GETs of a file in the server's log under `log_key`, from `from` on.
std::vector<ByteRange> RangedGets(const std::string& log_key, uint64_t size, size_t from = 0,
                                  size_t* whole_file_gets = nullptr) {
  std::vector<ByteRange> ranges;
  const auto requests = net_test::Recorded(log_key);
  for (size_t i = from; i < requests.size(); ++i) {
    if (requests[i].first != "GET") continue;
    if (const auto range = RangeOf(requests[i].second, size)) {
      ranges.push_back(*range);
    } else if (whole_file_gets != nullptr) {
      ++*whole_file_gets;
    }
  }
  return ranges;
}

uint64_t BytesAsked(const std::vector<ByteRange>& ranges) {
  uint64_t total = 0;
  for (const ByteRange& range : ranges) total += range.last - range.first + 1;
  return total;
}

// A copy-data block as a program sends it: `size` bytes of `text`; the
// window's answer (TRUE: taken).
LRESULT SendCopyData(HWND window, ULONG_PTR tag, const std::string& text, DWORD size) {
  COPYDATASTRUCT block{tag, size, const_cast<char*>(text.c_str())};
  DWORD_PTR answer = 0;
  if (!::SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&block), SMTO_NORMAL, 30000, &answer)) {
    ADD_FAILURE() << "the copy-data message was not answered";
  }
  return static_cast<LRESULT>(answer);
}

// The failure tabs' two buttons sit side by side, each as wide as its text.
void ShowFailureTab(const Scene& scene, SkinLayout& layout, int tab, const wchar_t* retry, const char* retry_key,
                    const wchar_t* offline) {
  layout.Select(kTab, tab);
  layout.SetAttribute(retry, L"text", e2e_test::LanguageText(scene, kFirstLanguage, retry_key));
  layout.SetAttribute(offline, L"text", e2e_test::LanguageText(scene, kFirstLanguage, "DownloadOffline"));
}

TEST(WizardEndToEndTest, ChosenOptionsReachTheInstallerAndStartNowStartsTheInstalledProgram) {
  REQUIRE_FIXTURE();
  Scene scene;
  test_support::TempFolder place;
  const std::wstring browsed = place.path() + L"Browsed Apps";
  ASSERT_TRUE(::CreateDirectoryW(browsed.c_str(), nullptr));
  const std::wstring typed = place.path() + L"My Programs\\Photo Studio";
  const std::string companion_log = scene.key() + "-companion";
  scene.ScriptRelease("", "", scene.FileUrl("companion.exe", "?log=" + companion_log));
  scene.WriteConfig({{"HasRecommendProduct", "1"}, {"RegistryNameWithVer", Narrow(scene.RegistryName()) + "*"}});
  scene.InstallerSucceeds(L"0", {{"product_program", install_test::FixturePath(L"fake_product.exe")},
                                 {"product_name", L"PhotoStudio.exe"}});
  WizardRun run(scene);
  ASSERT_NE(run.window(), nullptr);
  ASSERT_TRUE(run.LogSays("Release check done: status 0"));
  // Nothing competes with the first frame: libcurl's set-up and the proxy
  // lookup (the release check's too) start once it is on the screen.
  const std::string start_log = scene.Log();
  const size_t first_frame = start_log.find("The first frame is on the screen");
  const size_t set_up = start_log.find("Transfers: libcurl set up, code 0");
  const size_t proxy_lookup = start_log.find("Proxy: looking up the user's settings");
  ASSERT_NE(first_frame, std::string::npos) << start_log;
  ASSERT_NE(set_up, std::string::npos) << start_log;
  ASSERT_NE(proxy_lookup, std::string::npos) << start_log;
  EXPECT_GT(set_up, first_frame) << start_log;
  EXPECT_GT(proxy_lookup, first_frame) << start_log;

  // The custom-install area opens below the page.
  SkinLayout home(scene, kMainDescription);
  run.Click(home, L"btn_ShowMore");
  home.SetAttribute(L"moreconfiginfo", L"visible", L"true");
  home.SetAttribute(L"btn_ShowMore", L"visible", L"false");
  home.SetAttribute(L"btn_HideMore", L"visible", L"true");
  home.Resize(800, 608);
  ASSERT_TRUE(WaitFor(
      [&] {
        RECT client;
        return ::GetClientRect(run.window(), &client) && client.bottom == 608 && run.FolderEdit() != nullptr &&
               ::IsWindowVisible(run.FolderEdit());
      },
      10000));
  const std::wstring default_folder = run.FolderText();
  EXPECT_FALSE(default_folder.empty());

  // The system's folder browser: cancelled changes nothing; a chosen folder
  // gets the product's folder name.
  run.Click(home, L"Btn_open_file");
  ASSERT_TRUE(e2e_test::CancelFolderBrowser(run)) << scene.Log();
  EXPECT_EQ(run.FolderText(), default_folder);
  run.Click(home, L"Btn_open_file");
  ASSERT_TRUE(e2e_test::ChooseInFolderBrowser(run, browsed)) << scene.Log();
  EXPECT_TRUE(WaitFor([&] { return run.FolderText() == browsed + L"\\PhotoStudio"; }, 10000))
      << Narrow(run.FolderText());

  // Typed over: a folder with blanks.
  run.Click(home, L"editDir");
  ASSERT_TRUE(WaitFor([&] { return run.KeyboardFocus() == run.FolderEdit(); }, 10000));
  test_support::PressKey(VK_END);
  test_support::PressKey(VK_HOME, true);
  test_support::TypeText(typed);
  EXPECT_TRUE(WaitFor([&] { return run.FolderText() == typed; }, 20000)) << Narrow(run.FolderText());

  // The language box's list: English is its second item (names in byte order).
  run.Click(home, L"language_Combo");
  HWND list = nullptr;
  ASSERT_TRUE(WaitFor(
      [&] { return (list = e2e_test::FindProcessWindow(run.process().id(), L"ToolkitDropDown")) != nullptr; }, 10000));
  RECT rows;
  ::GetClientRect(list, &rows);
  POINT english{rows.right / 2, rows.bottom * 3 / 4};
  ::ClientToScreen(list, &english);
  // At a point of the screen, activating nothing first: the pop-up list
  // closes when its owner loses the front.
  test_support::ClickAt(english);
  ASSERT_TRUE(run.LogSays("Language switched to English", 10000)) << scene.Log();
  EXPECT_TRUE(e2e_test::ShowsText(run.window(), home, L"homePage_Title",
                                  e2e_test::LanguageTextWith(scene, L"English", "InstallerName", "ProductName"),
                                  e2e_test::LanguageTextWith(scene, kFirstLanguage, "InstallerName", "ProductName")));

  // The companion offer ticked and unticked again.
  run.Click(home, L"recommend_ChkAgree");
  run.Click(home, L"recommend_ChkAgree");

  run.Click(home, L"btn_Install");
  ASSERT_TRUE(run.LogSays("Pipeline ended: installed")) << scene.Log();
  // No companion: the install step starts no fetch of it (it would have
  // said so before the pipeline ended).
  EXPECT_FALSE(Contains(scene.Log(), "Install recomand return")) << scene.Log();
  const auto runs = scene.installer().Runs();
  ASSERT_EQ(runs.size(), 1u) << scene.Log();
  const std::wstring parameters = ParametersOf(runs[0]);
  const std::wstring setup_log = Scene::SetupLogPathOf(parameters);
  EXPECT_FALSE(setup_log.empty());
  EXPECT_EQ(parameters, L" /NORESTART /DIR=\"" + typed + L"\" /LANG=en GUID=e2e-guid xurlID=1042 /LOG=\"" + setup_log +
                            L"\" installLumaviewer=false LumaPlayerDownloadURL= ");

  // The finish page speaks the language chosen on the home page too.
  SkinLayout finish(scene, kMainDescription);
  finish.Select(kTab, 4);
  EXPECT_TRUE(e2e_test::ShowsText(run.window(), finish, L"complete_title",
                                  e2e_test::LanguageText(scene, L"English", "InstallComplete"),
                                  e2e_test::LanguageText(scene, kFirstLanguage, "InstallComplete")));
  // "Start now": the program the uninstall entry's DisplayIcon names, in
  // its own folder; the wizard ends.
  run.Click(finish, L"btn_Run");
  EXPECT_EQ(run.process().WaitForExit(30000), std::optional<DWORD>(0)) << scene.Log();
  const std::wstring started = typed + L"\\PhotoStudio.exe.started";
  // The program makes the file, then writes its line: wait for the whole line.
  std::string record;
  ASSERT_TRUE(WaitFor(
      [&] {
        record = platform::FileExists(started) ? test_support::ReadBytes(started) : std::string();
        return record.size() >= 2 * sizeof(wchar_t) && record.size() % sizeof(wchar_t) == 0 &&
               record.compare(record.size() - sizeof(wchar_t), sizeof(wchar_t), "\n\0", 2) == 0;
      },
      20000))
      << scene.Log();
  const std::wstring folder(reinterpret_cast<const wchar_t*>(record.data()), record.size() / sizeof(wchar_t));
  EXPECT_EQ(folder, typed + L"\n");
  EXPECT_TRUE(net_test::Recorded(companion_log).empty());
}

TEST(WizardEndToEndTest, RetryAfterDroppedRangesFetchesOnlyTheMissingBytes) {
  REQUIRE_FIXTURE();
  Scene scene;
  scene.InstallerSucceeds();
  // Every ranged answer breaks off after 150000 bytes: the transfer fails,
  // and only continuing the ranges on disk ever completes it.
  const std::string log_key = scene.key() + "-ranges";
  const std::string url = scene.GoodUrl("?drop=150000&log=" + log_key);
  scene.WriteConfig({{"DownloadUrl", url}, {"DownloadThreadCount", "2"}});
  const uint64_t size = scene.installer_bytes().size();
  WizardRun run(scene);
  ASSERT_NE(run.window(), nullptr);
  ASSERT_TRUE(run.LogSays("Release check done: status 0"));
  SkinLayout home(scene, kMainDescription);
  run.Click(home, L"btn_Install");
  ASSERT_TRUE(run.LogSays("Pipeline ended: download failure")) << scene.Log();
  ASSERT_TRUE(Contains(scene.Log(), "SwitchDownloadErrorPage=33")) << scene.Log();

  // The offline button opens the download's own web address.
  SkinLayout failure(scene, kMainDescription);
  ShowFailureTab(scene, failure, 2, L"downloadRetry", "Retry", L"downloadOffline");
  run.Click(failure, L"downloadOffline");
  EXPECT_TRUE(run.LogSays("Dry run: the browser would open " + url, 10000)) << scene.Log();

  // Try again until the file is complete: no retry starts a range over.
  for (int retry = 1; retry <= 4 && !Contains(scene.Log(), "Pipeline ended: installed"); ++retry) {
    const size_t before = net_test::Recorded(log_key).size();
    run.Click(failure, L"downloadRetry");
    ASSERT_TRUE(run.LogSaysTimes("Pipeline ended: ", retry + 1)) << scene.Log();
    size_t whole_gets = 0;
    EXPECT_FALSE(RangedGets(log_key, size, before, &whole_gets).empty());
    EXPECT_EQ(whole_gets, 0u) << "a retry fetched the whole file again";
  }
  // Each range (told apart by its last byte) only moves on: every request
  // starts after the one before and no further than a broken-off answer
  // delivered, so no byte is fetched twice and none is skipped.
  std::map<uint64_t, std::vector<uint64_t>> starts;
  for (const ByteRange& range : RangedGets(log_key, size)) starts[range.last].push_back(range.first);
  EXPECT_GT(starts.size(), 1u);
  for (const auto& [last, firsts] : starts) {
    for (size_t i = 1; i < firsts.size(); ++i) {
      EXPECT_GT(firsts[i], firsts[i - 1]) << "range ending at " << last << " fetched again from " << firsts[i];
      EXPECT_LE(firsts[i], firsts[i - 1] + 150000) << "range ending at " << last << " skipped bytes";
    }
  }
  ASSERT_TRUE(Contains(scene.Log(), "Pipeline ended: installed")) << scene.Log();
  EXPECT_EQ(test_support::ReadBytes(scene.DownloadTarget()), scene.installer_bytes());
  EXPECT_EQ(scene.installer().Runs().size(), 1u);
}

TEST(WizardEndToEndTest, RetryAfterAFailedReleaseQueryGoesHomeAndAsksAgain) {
  REQUIRE_FIXTURE();
  Scene scene;
  scene.InstallerSucceeds();
  // The first check's three attempts get a server error; the next check is
  // answered. Only the server names the download here.
  scene.ScriptReleaseNaming(scene.GoodUrl(), scene.md5(), "true", "&fail=3");
  scene.WriteConfig({{"DownloadUrl", ""}, {"URLMD5", ""}, {"OfflineDownloadUrl", "C:\\windows\\notepad.exe"}});
  WizardRun run(scene);
  ASSERT_NE(run.window(), nullptr);
  ASSERT_TRUE(run.LogSays("Release check done: status 122")) << scene.Log();
  EXPECT_EQ(scene.ReleaseRequests(), 3u);
  // The failed check, with no download configured to stand in, goes to the
  // failure page by itself with the last attempt's number; nothing is
  // downloaded.
  ASSERT_TRUE(run.LogSays("Failure page 2 shown with code 1122")) << scene.Log();
  EXPECT_TRUE(Contains(scene.Log(), "Pipeline ended: download failure")) << scene.Log();
  EXPECT_TRUE(Contains(scene.Log(), "SwitchDownloadErrorPage=1122")) << scene.Log();
  SkinLayout home(scene, kMainDescription);

  // Nothing to offer offline: no address, and never a local program.
  SkinLayout failure(scene, kMainDescription);
  ShowFailureTab(scene, failure, 2, L"downloadRetry", "Retry", L"downloadOffline");
  run.Click(failure, L"downloadOffline");
  EXPECT_TRUE(run.LogSays("Offline link not opened: not a web address", 10000)) << scene.Log();
  EXPECT_FALSE(Contains(scene.Log(), "the browser would open")) << scene.Log();

  // Retry: the home page, which asks the server again; then an install.
  run.Click(failure, L"downloadRetry");
  ASSERT_TRUE(run.LogSays("Pipeline ended: back to the home page")) << scene.Log();
  ASSERT_TRUE(run.LogSaysTimes("Release check done: status", 2)) << scene.Log();
  EXPECT_EQ(scene.ReleaseRequests(), 4u);
  EXPECT_TRUE(scene.installer().Runs().empty());
  run.Click(home, L"btn_Install");
  ASSERT_TRUE(run.LogSays("Pipeline ended: installed")) << scene.Log();
  EXPECT_EQ(scene.InstalledVersion(), " 3.1.0");
}

TEST(WizardEndToEndTest, RestartAsksFirstAndADeclineKeepsTheWindow) {
  REQUIRE_FIXTURE();
  Scene scene;
  scene.InstallerSucceeds(L"5");
  WizardRun run(scene);
  ASSERT_NE(run.window(), nullptr);
  ASSERT_TRUE(run.LogSays("Release check done: status 0"));
  SkinLayout home(scene, kMainDescription);
  run.Click(home, L"btn_Install");
  ASSERT_TRUE(run.LogSays("Pipeline ended: install failure")) << scene.Log();

  SkinLayout failure(scene, kMainDescription);
  ShowFailureTab(scene, failure, 3, L"installRetry", "Restart", L"installOffline");
  run.Click(failure, L"installRetry");
  run.Answer(L"QuitInstallDialog.xml", kFirstLanguage, "Restart", "Canncel", L"btn_close");
  ASSERT_TRUE(run.LogSays("Restart of Windows declined", 10000)) << scene.Log();
  EXPECT_TRUE(run.process().IsRunning());
  EXPECT_TRUE(::IsWindowVisible(run.window()));
  EXPECT_FALSE(Contains(scene.Log(), "Windows would restart")) << scene.Log();

  // Confirmed, the restart is asked of the shell (a dry run here).
  run.Click(failure, L"installRetry");
  run.Answer(L"QuitInstallDialog.xml", kFirstLanguage, "Restart", "Canncel", L"btn_ok");
  ASSERT_TRUE(run.LogSays("Dry run: Windows would restart now", 10000)) << scene.Log();
  EXPECT_EQ(Count(scene.Log(), "Question QuitInstallDialog.xml answered"), 2) << scene.Log();

  // The install failure's offline button opens the download's web address.
  run.Click(failure, L"installOffline");
  EXPECT_TRUE(run.LogSays("Dry run: the browser would open " + scene.GoodUrl(), 10000)) << scene.Log();

  run.Click(failure, L"installErrBtnClose");
  EXPECT_EQ(run.process().WaitForExit(30000), std::optional<DWORD>(0)) << scene.Log();
}

TEST(WizardEndToEndTest, TwoQuickInstallClicksRunOnePipelineAndShortCopyDataIsIgnored) {
  REQUIRE_FIXTURE();
  Scene scene;
  scene.InstallerSucceeds();
  const std::string download_log = scene.key() + "-download";
  const std::string companion_log = scene.key() + "-companion";
  scene.ScriptRelease("", "", scene.FileUrl("companion.exe", "?log=" + companion_log));
  scene.WriteConfig(
      {{"DownloadUrl", scene.GoodUrl("?log=" + download_log)}, {"ShowWebAds", "1"}, {"HasRecommendProduct", "1"}});
  WizardRun run(scene);
  ASSERT_NE(run.window(), nullptr);

  // Blocks of the web content: empty and cut short ones name no page and
  // must not take the place of the whole one that follows.
  const std::string ad = "http://127.0.0.1:9/thanks?from=e2e";
  EXPECT_EQ(SendCopyData(run.window(), 999, ad, 0), FALSE);
  EXPECT_EQ(SendCopyData(run.window(), 999, ad, 5), FALSE);
  EXPECT_EQ(SendCopyData(run.window(), 998, ad, static_cast<DWORD>(ad.size() + 1)), FALSE);
  EXPECT_EQ(SendCopyData(run.window(), 999, ad, static_cast<DWORD>(ad.size() + 1)), TRUE);
  EXPECT_TRUE(run.process().IsRunning());

  ASSERT_TRUE(run.LogSays("Release check done: status 0"));
  SkinLayout home(scene, kMainDescription);
  run.Click(home, L"recommend_ChkAgree");  // the companion offer taken
  // Two quick clicks on Install: one pipeline (the second lands on the
  // progress tab, or is refused while the first runs).
  run.Click(home, L"btn_Install");
  run.Click(home, L"btn_Install");
  // On a loaded machine the display server has been seen to lose both
  // clicks; one more, before anything started, still means one pipeline.
  if (!run.LogSays("Install chosen", 15000)) {
    std::printf("both Install clicks were lost; clicking once more\n");
    run.Click(home, L"btn_Install");
  }
  ASSERT_TRUE(run.LogSays("Pipeline ended: installed")) << scene.Log();
  EXPECT_EQ(Count(scene.Log(), "Install chosen"), 1) << scene.Log();
  EXPECT_EQ(scene.InstalledVersion(), " 3.1.0");
  // The companion offer, taken, fetches the companion.
  EXPECT_TRUE(Contains(scene.Log(), "Install recomand return")) << scene.Log();
  EXPECT_TRUE(WaitFor([&] { return !net_test::Recorded(companion_log).empty(); }, 30000)) << scene.Log();

  // The finish page's close: the web content's page, then "start now or later?".
  SkinLayout finish(scene, kMainDescription);
  finish.Select(kTab, 4);
  run.Click(finish, L"btn_CloseInstalls");
  run.Answer(L"StartRunDialog.xml", kFirstLanguage, "StartNow", "Later", L"btn_close");
  EXPECT_EQ(run.process().WaitForExit(30000), std::optional<DWORD>(0)) << scene.Log();
  const std::string log = scene.Log();
  // Counted once the wizard has ended: one pipeline, one download, one
  // installer run. On the server the ranges cover the file once, no byte
  // twice (the size probes ask without a range and carry no body).
  EXPECT_EQ(Count(log, "Pipeline ended: "), 1) << log;
  EXPECT_EQ(Count(log, "CDownloadHelper start"), 1) << log;
  EXPECT_EQ(scene.installer().Runs().size(), 1u);
  EXPECT_EQ(BytesAsked(RangedGets(download_log, scene.installer_bytes().size())), scene.installer_bytes().size());
  EXPECT_EQ(Count(log, "Dry run: the browser would open"), 1) << log;
  EXPECT_TRUE(Contains(log, "Dry run: the browser would open " + ad)) << log;
  EXPECT_TRUE(Contains(log, "The wizard has ended")) << log;
}

TEST(WizardEndToEndTest, QuitDuringTheDownloadStopsEverythingAndFreesTheNextStart) {
  REQUIRE_FIXTURE();
  Scene scene;
  scene.InstallerSucceeds();
  // A download slow enough to quit in the middle of it.
  scene.WriteConfig({{"DownloadUrl", scene.GoodUrl("?rate=20000")}});
  WizardRun run(scene);
  ASSERT_NE(run.window(), nullptr);
  ASSERT_TRUE(run.LogSays("Release check done: status 0"));
  SkinLayout home(scene, kMainDescription);
  run.Click(home, L"btn_Install");
  ASSERT_TRUE(run.LogSays("CDownloadHelper start"));
  ::PostMessageW(run.window(), WM_SYSCOMMAND, SC_CLOSE, 0);
  run.Answer(L"QuitInstallDialog.xml", kFirstLanguage, "Quit", "Canncel", L"btn_ok");
  // The process ends while the transfer was on its stack.
  EXPECT_EQ(run.process().WaitForExit(30000), std::optional<DWORD>(0)) << scene.Log();
  const std::string log = scene.Log();
  EXPECT_TRUE(Contains(log, "The wizard quits during the install")) << log;
  EXPECT_FALSE(Contains(log, "Install finished")) << log;
  EXPECT_TRUE(Contains(log, "Pipeline ended: cancelled") || Contains(log, "Pipeline ended: quit requested")) << log;
  EXPECT_TRUE(scene.installer().Runs().empty());
  // The single-instance claim went with it: the next start is a wizard again.
  const size_t before = scene.Log().size();
  const test_support::ProcessResult next = scene.RunSetup(L"");
  ASSERT_TRUE(next.finished);
  EXPECT_EQ(next.exit_code, 0u);
  const std::string next_log = scene.Log().substr(before);
  EXPECT_FALSE(Contains(next_log, "is held by another instance")) << next_log;
  EXPECT_TRUE(Contains(next_log, "The wizard has ended")) << next_log;
}

}  // namespace
