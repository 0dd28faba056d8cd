// setup.exe as the backup product's and the second product's installer,
// driven through the window with real input: each variant from its first
// page to the finish page with the installer's exact command line, the
// account password handed over in a file only the user can open (and gone
// afterwards, in no log and no command line), and the edition comparison's
// ways out. The fixture servers and the fixture installer stand in for the
// release service, the download and the product's installer.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "e2e_scene.h"
#include "net_fixture.h"
#include "platform/text.h"
#include "platform/unique_resource.h"
// After windows.h, which it needs.
#include <sddl.h>

namespace {

using e2e_test::Contains;
using e2e_test::Count;
using e2e_test::Scene;

// Points of the shipped variant skins, in window coordinates at 96 DPI.
constexpr POINT kInstallButton{400, 307};
constexpr POINT kShowMore{700, 468};
constexpr POINT kFinishCloseButton{779, 20};
constexpr POINT kStartRunLater{255, 184};       // "StartRunDialog.xml": dismiss on the left
constexpr POINT kEntryDialogDismiss{255, 184};  // "ProductRunningDialog.xml": dismiss on the left
// installQS.xml's custom-install area (the window 900 high).
constexpr POINT kBackupEdit{450, 629};
constexpr POINT kCreateAccount{180, 717};
constexpr POINT kUserEdit{300, 761};
constexpr POINT kPasswordEdit{300, 805};
constexpr POINT kConfirmEdit{300, 849};
// contrast_page.xml (tab 5): the buttons from the right.
constexpr POINT kContrastClose{779, 20};

bool WaitFor(const std::function<bool()>& done, DWORD bound_ms = 60000) {
  const ULONGLONG end = ::GetTickCount64() + bound_ms;
  while (!done()) {
    if (::GetTickCount64() > end) return false;
    ::Sleep(50);
  }
  return true;
}

HWND VisibleWindow(const std::wstring& caption) {
  HWND window = ::FindWindowW(L"ToolkitWindow", caption.c_str());
  return window != nullptr && ::IsWindowVisible(window) ? window : nullptr;
}

void Send(std::vector<INPUT> inputs) {
  (void)::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  ::Sleep(100);  // the window takes it before the next step
}

void ClickIn(HWND window, POINT point) {
  ::SetForegroundWindow(window);
  RECT frame;
  ::GetWindowRect(window, &frame);
  ::SetCursorPos(frame.left + point.x, frame.top + point.y);
  std::vector<INPUT> inputs(3);
  for (INPUT& input : inputs) input.type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  Send(inputs);
}

INPUT Key(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}

// Replaces the text of the edit under `point` as a person does: click,
// select it all, type.
void TypeInto(HWND window, POINT point, const std::wstring& text) {
  ClickIn(window, point);
  Send({Key(VK_END, false), Key(VK_END, true), Key(VK_SHIFT, false), Key(VK_HOME, false), Key(VK_HOME, true),
        Key(VK_SHIFT, true), Key(VK_DELETE, false), Key(VK_DELETE, true)});
  std::vector<INPUT> typed;
  for (wchar_t c : text) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = c;
    input.ki.dwFlags = KEYEVENTF_UNICODE;
    typed.push_back(input);
    input.ki.dwFlags |= KEYEVENTF_KEYUP;
    typed.push_back(input);
  }
  Send(typed);
}

std::wstring CurrentUserSidText() {
  platform::UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return {};
  BYTE buffer[512];
  DWORD size = sizeof buffer;
  if (!::GetTokenInformation(token.Get(), TokenUser, buffer, size, &size)) return {};
  wchar_t* text = nullptr;
  if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) return {};
  std::wstring result(text);
  ::LocalFree(text);
  return result;
}

// One variant's wizard: the scene configured for it, setup.exe started and
// its window found and moved to the top of the screen (the tall custom-
// install areas must fit the test display).
class VariantRun {
 public:
  VariantRun(Scene& scene, const std::string& homepage, std::map<std::string, std::string> config = {})
      : scene_(scene) {
    config["homepage"] = homepage;
    scene.WriteConfig(config);
    process_ = scene.StartSetup(L"");
    const std::wstring caption(scene.key().begin(), scene.key().end());
    EXPECT_TRUE(WaitFor([&] { return (window_ = VisibleWindow(caption)) != nullptr; }));
    if (window_ != nullptr) ::SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ::Sleep(300);
  }
  [[nodiscard]] HWND window() const { return window_; }
  [[nodiscard]] const test_support::BackgroundProcess& process() const { return *process_; }
  [[nodiscard]] bool LogSays(const std::string& text, DWORD bound_ms = 60000) const {
    return WaitFor([&] { return Contains(scene_.Log(), text); }, bound_ms);
  }
  // Answers the open question and waits until it has gone and the wizard
  // has the input again (on a busy machine that takes a moment).
  void Answer(POINT button) const {
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (dialog = VisibleWindow(L"PhotoStudio")) != nullptr; }));
    // A click that lands before the dialog takes input is lost: press again.
    for (int press = 0; press < 10 && VisibleWindow(L"PhotoStudio") != nullptr; ++press) {
      ClickIn(dialog, button);
      (void)WaitFor([&] { return VisibleWindow(L"PhotoStudio") == nullptr; }, 2000);
    }
    ASSERT_EQ(VisibleWindow(L"PhotoStudio"), nullptr);
    ::Sleep(300);
  }
  // Closes the finish page with "later" and waits for the end of the run.
  void CloseFromTheFinishPage() const {
    ClickIn(window_, kFinishCloseButton);
    Answer(kStartRunLater);
    EXPECT_EQ(process_->WaitForExit(30000), std::optional<DWORD>(0));
  }

 private:
  Scene& scene_;
  std::unique_ptr<test_support::BackgroundProcess> process_;
  HWND window_ = nullptr;
};

// The installer registers the product and records what it was given.
std::wstring ConfigureInstaller(const Scene& scene, const test_support::TempFolder& records) {
  const std::wstring secrets = records.File(L"secrets.txt");
  scene.installer().Configure({{"registry_address", scene.registry_address()},
                               {"registry_key", scene.RegistryName() + L"3.0_is1"},
                               {"registry_view", L"64"},
                               {"display_name", scene.RegistryName() + L" 3.1.0"},
                               {"secret_record", secrets}});
  return secrets;
}

// The recorded command line without the program's quoted path.
std::wstring ParametersOf(const std::wstring& line) {
  const size_t close = line.size() > 1 && line[0] == L'"' ? line.find(L'"', 1) : std::wstring::npos;
  return close == std::wstring::npos ? line : line.substr(close + 1);
}

// The installer's code for the wizard's language, as the line carries it.
std::wstring LanguageOf(const std::wstring& line) {
  const size_t start = line.find(L"/LANG=");
  return start == std::wstring::npos ? std::wstring() : line.substr(start + 6, line.find(L' ', start) - start - 6);
}

std::string SandboxLogs(const Scene& scene) {
  return scene.Log() + test_support::ReadBytes(scene.sandbox().folder().File(L"log.txt"));
}

TEST(VariantsEndToEndTest, BackupProductInstallsWithItsChoicesOnTheCommandLine) {
  REQUIRE_FIXTURE();
  Scene scene;
  test_support::TempFolder records;
  (void)ConfigureInstaller(scene, records);
  VariantRun run(scene, "kdvHomePage");
  ASSERT_NE(run.window(), nullptr);
  // No release check before Install: the page is usable at once.
  ClickIn(run.window(), kInstallButton);
  ClickIn(run.window(), kInstallButton);
  ASSERT_TRUE(run.LogSays("Pipeline ended: installed")) << scene.Log();
  const std::vector<std::wstring> runs = scene.installer().Runs();
  ASSERT_EQ(runs.size(), 1u);
  const std::wstring log_path = Scene::SetupLogPathOf(runs[0]);
  const std::wstring language = LanguageOf(runs[0]);
  EXPECT_TRUE(language == L"en" || language == L"zh_CN") << platform::WideToUtf8(runs[0]);
  EXPECT_EQ(ParametersOf(runs[0]),
            L" /NORESTART /DIR=\"" + scene.InstallFolder() + L"\" KDVMConsole=true KDVMServer=true /LANG=" + language +
                // The type as shown: quoted where its words hold blanks.
                (language == L"en" ? L" installChoice=\"Server and console\" "
                                   : L" installChoice=\x670d\x52a1\x5668\x548c\x63a7\x5236\x53f0 ") +
                L"GUID=e2e-guid xurlID=1042 /LOG=\"" + log_path +
                L"\" installLumaviewer=false LumaPlayerDownloadURL= ");
  // The pipeline asked the release server itself, once.
  EXPECT_EQ(scene.ReleaseRequests(), 1u);
  EXPECT_EQ(Count(scene.Log(), "Release check done"), 0);
  EXPECT_EQ(scene.InstalledVersion(), " 3.1.0");
  run.CloseFromTheFinishPage();
}

TEST(VariantsEndToEndTest, SecondProductHandsThePasswordOverInAPrivateFileAndRefusesBadAccounts) {
  REQUIRE_FIXTURE();
  Scene scene;
  test_support::TempFolder records;
  const std::wstring secrets = ConfigureInstaller(scene, records);
  VariantRun run(scene, "qsHomePage");
  ASSERT_NE(run.window(), nullptr);
  ClickIn(run.window(), kShowMore);
  const std::wstring password = L"Pa55 w\u00f6rd!";
  const std::wstring backup = L"D:\\My Backups\\Nightly";
  TypeInto(run.window(), kBackupEdit, backup);
  ClickIn(run.window(), kCreateAccount);

  // No user name: the page says so and stays.
  TypeInto(run.window(), kPasswordEdit, password);
  TypeInto(run.window(), kConfirmEdit, password);
  ClickIn(run.window(), kInstallButton);
  ASSERT_TRUE(run.LogSays("Account refused on the options page: no user name"));
  run.Answer(kEntryDialogDismiss);
  // Passwords that differ: the same.
  TypeInto(run.window(), kUserEdit, L"backup admin");
  TypeInto(run.window(), kConfirmEdit, password + L"x");
  ClickIn(run.window(), kInstallButton);
  ASSERT_TRUE(run.LogSays("Account refused on the options page: the passwords differ"));
  run.Answer(kEntryDialogDismiss);
  EXPECT_EQ(Count(scene.Log(), "CDownloadHelper start"), 0) << "nothing was downloaded";

  TypeInto(run.window(), kConfirmEdit, password);
  ClickIn(run.window(), kInstallButton);
  ASSERT_TRUE(run.LogSays("Pipeline ended: installed")) << scene.Log();
  const std::vector<std::wstring> runs = scene.installer().Runs();
  ASSERT_EQ(runs.size(), 1u);
  const std::wstring& line = runs[0];
  const size_t file_start = line.find(L"KDVPasswordFile=\"");
  ASSERT_NE(file_start, std::wstring::npos) << platform::WideToUtf8(line);
  const size_t file_end = line.find(L'"', file_start + 17);
  const std::wstring password_file = line.substr(file_start + 17, file_end - file_start - 17);
  const std::wstring log_path = Scene::SetupLogPathOf(line);
  EXPECT_EQ(ParametersOf(line),
            L" /NORESTART /DIR=\"" + scene.InstallFolder() + L"\" KDVUsername=\"backup admin\" /LANG=" +
                LanguageOf(line) + L" ManagementComponent=true backupPath=\"" + backup +
                L"\" createAccount=true KDVPasswordFile=\"" + password_file + L"\" GUID=e2e-guid xurlID=1042 /LOG=\"" +
                log_path + L"\" installLumaviewer=false LumaPlayerDownloadURL= ");
  // The file sat in the run's folder, for this user alone, holding the password.
  EXPECT_EQ(password_file.substr(0, password_file.rfind(L'\\')), log_path.substr(0, log_path.rfind(L'\\')));
  // Recorded: path, access list, text. Windows reports the list as given;
  // Wine keeps it as file modes and adds the system, but nobody else.
  const std::string recorded = test_support::ReadBytes(secrets);
  const std::string sid = platform::WideToUtf8(CurrentUserSidText());
  EXPECT_TRUE(recorded == platform::WideToUtf8(password_file) + "\tD:P(A;;FA;;;" + sid + ")\t" +
                              platform::WideToUtf8(password) + "\n" ||
              recorded == platform::WideToUtf8(password_file) + "\tD:(A;;FA;;;SY)(A;;FA;;;" + sid + ")\t" +
                              platform::WideToUtf8(password) + "\n")
      << recorded;
  // And it is gone; the password is in no log and no command line.
  EXPECT_EQ(::GetFileAttributesW(password_file.c_str()), INVALID_FILE_ATTRIBUTES);
  const std::string secret = platform::WideToUtf8(password);
  EXPECT_FALSE(Contains(SandboxLogs(scene), secret));
  EXPECT_FALSE(Contains(test_support::ReadBytes(log_path), secret));
  EXPECT_EQ(line.find(password), std::wstring::npos);
  run.CloseFromTheFinishPage();
  EXPECT_FALSE(Contains(SandboxLogs(scene), secret));
}

TEST(VariantsEndToEndTest, ComparisonClosesLikeAConfirmedQuit) {
  REQUIRE_FIXTURE();
  Scene scene;
  scene.InstallerSucceeds();
  VariantRun run(
      scene, "kdvHomePage",
      {{"productContrastPage", "1"}, {"FreeVersionName", platform::WideToUtf8(scene.version())}, {"ProOnServer", "0"}});
  ASSERT_NE(run.window(), nullptr);
  ClickIn(run.window(), kInstallButton);
  ASSERT_TRUE(run.LogSays("Edition comparison shown"));
  ClickIn(run.window(), kContrastClose);
  EXPECT_EQ(run.process().WaitForExit(30000), std::optional<DWORD>(0)) << scene.Log();
  EXPECT_TRUE(scene.installer().Runs().empty());
  EXPECT_EQ(Count(scene.Log(), "CDownloadHelper start"), 0);
  // The run report went out, and the single-instance claim with the process.
  EXPECT_TRUE(WaitFor([&] { return !scene.Reports().empty(); }, 15000));
  const size_t before = scene.Log().size();
  const test_support::ProcessResult next = scene.RunSetup(L"");
  ASSERT_TRUE(next.finished);
  EXPECT_FALSE(Contains(scene.Log().substr(before), "is held by another instance"));
}

}  // namespace
