// Real windows on the test display, driven by real input (SendInput inside
// Wine): the question dialog's results, the main window's routing, timers,
// close command, copy-data and click filter, and two real setup.exe
// processes for the single instance.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <functional>

#include "message_pumping.h"
#include "platform/text.h"
#include "startup/launch_parameters.h"
#include "startup/product_config.h"
#include "synthetic_input.h"
#include "test_support.h"
#include "toolkit/dpi.h"
#include "toolkit/zip_archive.h"
#include "ui/main_window.h"
#include "ui/message_dialog.h"
#include "ui_stores.h"

namespace {

using test_support::ClickAt;
using test_support::PressKeys;
using test_support::PumpUntil;

std::shared_ptr<toolkit::ZipArchive> WizardSkin() {
  auto archive = std::make_shared<toolkit::ZipArchive>();
  EXPECT_EQ(archive->OpenFile(test_support::PathFromEnvironment("WEBINSTALLER_FIXTURE_DIR") + L"\\skins\\wizard.zip"),
            toolkit::ZipError::kNone);
  return archive;
}

POINT ScreenPoint(HWND window, int x, int y) {
  const int dpi = toolkit::DpiOfWindow(window);
  POINT p{x * dpi / 96, y * dpi / 96};
  ::ClientToScreen(window, &p);
  return p;
}

// The main window of the wizard's test skin, shown.
class ShownMainWindow {
 public:
  explicit ShownMainWindow(const std::wstring& caption = L"Wizard under test") {
    (void)toolkit::EnableDpiAwareness();
    toolkit::SetFatalErrorHandler([](const std::wstring& message) { ADD_FAILURE() << platform::WideToUtf8(message); });
    EXPECT_TRUE(window.Open(WizardSkin(), L"install.xml", caption));
    window.toolkit_window().ShowModeless();
    ::SetForegroundWindow(window.hwnd());
    (void)PumpUntil([] { return false; }, 100);
  }
  ui::MainWindow window;
};

// Runs `texts` as a question over `owner`; `act` runs once the question is
// on screen (from the question's own modal loop), with its window.
// Real input can be lost on a loaded display: a question still open a few
// seconds later gets `act` again, and one still open after that is closed
// from a timer so the test fails instead of hanging.
HWND g_open_question = nullptr;
std::function<void(HWND)> g_question_act;
int g_question_retries_left = 0;
bool g_question_timed_out = false;

void CALLBACK ActAgainOrCloseQuestion(HWND, UINT, UINT_PTR, DWORD) {
  if (g_open_question == nullptr || !::IsWindow(g_open_question)) return;
  if (g_question_retries_left-- > 0) {
    ::SetForegroundWindow(g_open_question);
    g_question_act(g_open_question);
    return;
  }
  g_question_timed_out = true;
  ::PostMessageW(g_open_question, WM_CLOSE, 0, 0);
}

int AskWhile(ui::MainWindow& owner, const ui::DialogTexts& texts, std::function<void(HWND)> act) {
  g_open_question = nullptr;
  g_question_act = std::move(act);
  g_question_retries_left = 3;
  g_question_timed_out = false;
  owner.PostToUiThread([title = texts.title] {
    HWND dialog = ::FindWindowW(L"ToolkitWindow", title.c_str());
    EXPECT_NE(dialog, nullptr);
    g_open_question = dialog;
    ::SetForegroundWindow(dialog);
    g_question_act(dialog);
  });
  const UINT_PTR bound = ::SetTimer(nullptr, 0, 5000, ActAgainOrCloseQuestion);
  const int result = owner.ShowDialog(texts);
  ::KillTimer(nullptr, bound);
  EXPECT_FALSE(g_question_timed_out) << "the question never got its answer";
  return result;
}

ui::DialogTexts Question(const std::wstring& title, const std::wstring& description = L"QuitInstallDialog.xml") {
  return {description, title, L"Yes please", L"No thanks", L"Tip text", L"Detail text"};
}

TEST(MessageDialogTest, ButtonsPictureAndKeyboardEachGiveTheirOwnResult) {
  ui_test::UiStores stores;
  ShownMainWindow main;
  struct Case {
    const char* what;
    std::function<void(HWND)> act;
    int expected;
  } cases[] = {
      {"ok button", [](HWND d) { ClickAt(ScreenPoint(d, 135, 158)); }, ui::kDialogConfirm},
      {"close button", [](HWND d) { ClickAt(ScreenPoint(d, 265, 158)); }, ui::kDialogDismiss},
      {"close picture", [](HWND d) { ClickAt(ScreenPoint(d, 376, 18)); }, ui::kDialogClosePicture},
      {"Esc", [](HWND) { PressKeys({VK_ESCAPE}); }, ui::kDialogClosed},
      {"Alt+F4",
       [](HWND) {
         PressKeys({VK_MENU, VK_F4});
       },
       ui::kDialogClosed},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::wstring title = L"Question " + std::to_wstring(++n);
    bool owner_disabled = false;
    bool texts_set = false;
    bool rounded = false;
    const int result = AskWhile(main.window, Question(title), [&](HWND dialog) {
      owner_disabled = !::IsWindowEnabled(main.window.hwnd());
      HRGN region = ::CreateRectRgn(0, 0, 0, 0);
      rounded = ::GetWindowRgn(dialog, region) != ERROR;
      ::DeleteObject(region);
      wchar_t caption[64] = {};
      ::GetWindowTextW(dialog, caption, 64);
      texts_set = title == caption;
      c.act(dialog);
    });
    EXPECT_EQ(result, c.expected) << c.what;
    EXPECT_TRUE(owner_disabled) << c.what;
    EXPECT_TRUE(rounded) << c.what;
    EXPECT_TRUE(texts_set) << c.what;
    EXPECT_TRUE(::IsWindowEnabled(main.window.hwnd())) << c.what;
  }
}

TEST(MessageDialogTest, TextsNoOwnerMissingDescriptionAndAQuitRequest) {
  ui_test::UiStores stores;
  ShownMainWindow main;
  // The caller's texts, set when the description has every named control.
  {
    ui::MessageDialog dialog(Question(L"With texts"));
    std::wstring ok_text, tip_text;
    main.window.PostToUiThread([&] {
      ok_text = dialog.ReadState(L"btn_ok", L"text").value_or(L"");
      tip_text = dialog.ReadState(L"lb_TipsText", L"text").value_or(L"");
      PressKeys({VK_ESCAPE});
    });
    EXPECT_EQ(dialog.Run(WizardSkin(), main.window.hwnd()), ui::kDialogClosed);
    EXPECT_EQ(ok_text, L"Yes please");
    EXPECT_EQ(tip_text, L"Tip text");
  }
  // Without "layoutPadding" the description's own texts stay.
  {
    ui::MessageDialog dialog(Question(L"Own texts", L"NoTextsDialog.xml"));
    std::wstring ok_text;
    main.window.PostToUiThread([&] {
      ok_text = dialog.ReadState(L"btn_ok", L"text").value_or(L"");
      PressKeys({VK_ESCAPE});
    });
    EXPECT_EQ(dialog.Run(WizardSkin(), main.window.hwnd()), ui::kDialogClosed);
    EXPECT_EQ(ok_text, L"Own OK");
  }
  // No owner, or a description the skin lacks: nothing is shown.
  ui::MessageDialog orphan(Question(L"Orphan"));
  EXPECT_EQ(orphan.Run(WizardSkin(), nullptr), ui::kDialogNoOwner);
  EXPECT_EQ(main.window.ShowDialog(Question(L"Missing", L"NoSuchDialog.xml")), ui::kDialogNoOwner);
  // A quit request while a question is open closes it as "closed" and is
  // passed on to the outer loop.
  const int result = AskWhile(main.window, Question(L"Quitting"), [](HWND) { ::PostQuitMessage(0); });
  EXPECT_EQ(result, ui::kDialogClosed);
  EXPECT_TRUE(test_support::TakeQueuedQuit().has_value());
}

TEST(MainWindowTest, RoutesClicksAfterTheInputWithTheCaptureReleased) {
  ui_test::UiStores stores;
  ShownMainWindow main;
  std::vector<std::wstring> seen;
  HWND capture_in_handler = reinterpret_cast<HWND>(1);
  main.window.RegisterHandler(L"btn_Install", [&](const ui::ControlEvent& event) {
    seen.push_back(event.type + L":" + event.name);
    capture_in_handler = ::GetCapture();
  });
  main.window.SetText(L"btn_Install", L"Install now");
  ClickAt(ScreenPoint(main.window.hwnd(), 400, 215));  // btn_Install: tab origin (0,40) + (400,175)
  EXPECT_TRUE(PumpUntil([&] { return !seen.empty(); }));
  EXPECT_EQ(seen, std::vector<std::wstring>{L"click:btn_Install"});
  EXPECT_EQ(capture_in_handler, nullptr);
  // A control without a handler: nothing routed.
  ClickAt(ScreenPoint(main.window.hwnd(), 720, 20));  // "minimize" has no handler here
  (void)PumpUntil([] { return false; }, 300);
  EXPECT_EQ(seen.size(), 1u);
  EXPECT_FALSE(::IsIconic(main.window.hwnd()));
}

TEST(MainWindowTest, TimersCloseCommandCopyDataResizeAndQuit) {
  ui_test::UiStores stores;
  ShownMainWindow main;
  std::vector<UINT> timers;
  int closes = 0;
  main.window.SetHooks({[&] { ++closes; },
                        [&](UINT id) {
                          timers.push_back(id);
                          main.window.KillTimer(id);
                        },
                        nullptr});
  main.window.SetTimer(20, 0);
  main.window.SetTimer(23, 10);
  EXPECT_TRUE(PumpUntil([&] { return timers.size() == 2; }));
  // Title bar, Alt+F4, Esc and WM_CLOSE all ask the wizard; none closes by itself.
  ::PostMessageW(main.window.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
  ::PostMessageW(main.window.hwnd(), WM_CLOSE, 0, 0);
  ::SetForegroundWindow(main.window.hwnd());
  ::SetFocus(main.window.hwnd());
  PressKeys({VK_ESCAPE});
  EXPECT_TRUE(PumpUntil([&] { return closes == 3; }));
  EXPECT_TRUE(::IsWindow(main.window.hwnd()));

  // Copy-data: a short block without a zero byte, then a second address.
  const char first[] = "https://ads.example/first-and-more";
  COPYDATASTRUCT block{999, 25, const_cast<char*>(first)};
  ::SendMessageW(main.window.hwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&block));
  const char second[] = "https://ads.example/second";
  COPYDATASTRUCT other{999, sizeof(second), const_cast<char*>(second)};
  ::SendMessageW(main.window.hwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&other));
  COPYDATASTRUCT no_block{999, 100, nullptr};
  ::SendMessageW(main.window.hwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&no_block));
  EXPECT_EQ(startup::Parameters().Get("receivedAdUrl"), L"https://ads.example/first");

  // Sizes are in the description's units.
  main.window.Resize(800, 608);
  RECT client;
  ::GetClientRect(main.window.hwnd(), &client);
  const int dpi = toolkit::DpiOfWindow(main.window.hwnd());
  EXPECT_EQ(client.right, 800 * dpi / 96);
  EXPECT_EQ(client.bottom, 608 * dpi / 96);
  EXPECT_GT(main.window.FittingWidth(L"btn_Install", L"Install now"), 40);
  EXPECT_EQ(main.window.FittingWidth(L"btn_Install", L"{a x}{c #0x3196f7}Install now{/c}{/a}"),
            main.window.FittingWidth(L"btn_Install", L"Install now"));

  // Quit: hidden at once, and the modal run's loop hears the quit.
  main.window.Quit();
  EXPECT_FALSE(::IsWindowVisible(main.window.hwnd()));
  EXPECT_TRUE(test_support::TakeQueuedQuit().has_value());
}

TEST(MainWindowTest, ClickFilterTakesTheWebContentsTitleStripOnlyOnTheProgressTab) {
  ui_test::UiStores stores({{"InterceptWebEventX", "520"},
                            {"InterceptWebEventY", "40"},
                            {"InterceptWebEventCloseX", "40"},
                            {"InterceptWebEventCloseY", "40"}});
  ShownMainWindow main;
  HWND window = main.window.hwnd();
  const int dpi = toolkit::DpiOfWindow(window);
  const LPARAM minimize_point = MAKELPARAM(540 * dpi / 96 + 0, 20);
  MSG click{window, WM_LBUTTONDOWN, MK_LBUTTON, minimize_point, 0, {}};
  // Not intercepting, or not on the progress tab: the click passes.
  EXPECT_FALSE(main.window.FilterMessage(click));
  main.window.SetInterceptWebEvents(true);
  EXPECT_FALSE(main.window.FilterMessage(click));
  main.window.SelectItem(L"wizardTab", 1);
  MSG move{window, WM_MOUSEMOVE, 0, minimize_point, 0, {}};
  EXPECT_FALSE(main.window.FilterMessage(move));
  // The platform pump (the pipeline's waits) filters too.
  ::PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, minimize_point);
  EXPECT_TRUE(PumpUntil([&] { return ::IsIconic(window) != FALSE; }));
  ::ShowWindow(window, SW_RESTORE);
  // A point right of both regions passes.
  MSG elsewhere{window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(700 * dpi / 96, 20), 0, {}};
  EXPECT_FALSE(main.window.FilterMessage(elsewhere));
}

// Two real setup.exe processes with the same InstallerName.
TEST(SingleInstanceTest, SecondStartBringsTheFirstForwardAndEnds) {
  test_support::SetupSandbox sandbox;
  const std::wstring name = test_support::UniqueName(L"WizardInstance_");
  std::string config = test_support::ReadBytes(sandbox.folder().File(L"InitConfigure.ini"));
  config.replace(config.find("[Product]"), 9, "[Product]\nInstallerName=" + platform::WideToUtf8(name));
  sandbox.WriteConfig(L"InitConfigure.ini", config);

  test_support::BackgroundProcess first(sandbox.folder().File(L"setup.exe"), L"");
  HWND first_window = nullptr;
  ASSERT_TRUE(PumpUntil(
      [&] {
        first_window = ::FindWindowW(nullptr, name.c_str());
        return first_window != nullptr && ::IsWindowVisible(first_window);
      },
      30000));
  // Something else has the front now.
  ShownMainWindow other(L"Another window");
  ::SetForegroundWindow(other.window.hwnd());
  ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == other.window.hwnd(); }));

  const test_support::ProcessResult second = sandbox.Run(L"");
  ASSERT_TRUE(second.finished);
  EXPECT_EQ(second.exit_code, 0u);
  EXPECT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == first_window; }));
  EXPECT_TRUE(first.IsRunning());

  // The first ends on a quit request, and the next start is the wizard again.
  DWORD thread = ::GetWindowThreadProcessId(first_window, nullptr);
  ASSERT_TRUE(::PostThreadMessageW(thread, WM_QUIT, 0, 0));
  EXPECT_EQ(first.WaitForExit(20000), std::optional<DWORD>(0));
  const std::string before = sandbox.MainLog();
  const test_support::ProcessResult third = sandbox.Run(L"");
  ASSERT_TRUE(third.finished);
  EXPECT_EQ(third.exit_code, 0u);
  const std::string third_log = sandbox.MainLog().substr(before.size());
  EXPECT_EQ(third_log.find("is held by another instance"), std::string::npos) << third_log;
  EXPECT_NE(third_log.find("The wizard has ended"), std::string::npos) << third_log;
}

}  // namespace
