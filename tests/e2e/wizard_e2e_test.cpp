// setup.exe's wizard as a person drives it: real input on its window (the
// shipped skin, whose controls sit at known points), the fixture
// release server and download server, the fixture installer.
#include <gtest/gtest.h>

#include <functional>

#include "e2e_scene.h"
#include "net_fixture.h"

namespace {

using e2e_test::Contains;
using e2e_test::Count;
using e2e_test::Scene;

// Points of the shipped skin, in window coordinates at 96 DPI.
constexpr POINT kInstallButton{400, 307};
constexpr POINT kFinishCloseButton{779, 20};
constexpr POINT kStartRunLater{255, 184};  // "StartRunDialog.xml": dismiss on the left
constexpr POINT kQuitConfirm{250, 184};    // "QuitInstallDialog.xml": confirm on the left

// Waits (polling, bounded) until `done`.
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

// A click as a person makes it: the window to the front, the pointer there.
void ClickIn(HWND window, POINT point) {
  ::SetForegroundWindow(window);
  RECT frame;
  ::GetWindowRect(window, &frame);
  ::SetCursorPos(frame.left + point.x, frame.top + point.y);
  INPUT inputs[3] = {};
  inputs[0].type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE;
  inputs[1].type = INPUT_MOUSE;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[2].type = INPUT_MOUSE;
  inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ::SendInput(3, inputs, sizeof(INPUT));
}

class WizardRun {
 public:
  explicit WizardRun(const Scene& scene) : scene_(scene), process_(scene.StartSetup(L"")) {
    const std::wstring caption(scene.key().begin(), scene.key().end());
    EXPECT_TRUE(WaitFor([&] { return (window_ = VisibleWindow(caption)) != nullptr; }));
  }
  [[nodiscard]] HWND window() const { return window_; }
  [[nodiscard]] const test_support::BackgroundProcess& process() const { return *process_; }
  [[nodiscard]] bool LogSays(const std::string& text) const {
    return WaitFor([&] { return Contains(scene_.Log(), text); });
  }
  // Answers the open question (its title is the product name) with a button.
  void Answer(POINT button) const {
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (dialog = VisibleWindow(L"PhotoStudio")) != nullptr; }));
    ClickIn(dialog, button);
  }

 private:
  const Scene& scene_;
  std::unique_ptr<test_support::BackgroundProcess> process_;
  HWND window_ = nullptr;
};

TEST(WizardEndToEndTest, InstallThroughTheWindowAndCloseFromTheFinishPage) {
  REQUIRE_FIXTURE();
  Scene scene;
  scene.InstallerSucceeds();
  WizardRun run(scene);
  ASSERT_NE(run.window(), nullptr);
  ASSERT_TRUE(run.LogSays("Release check done: status 0"));
  // Two quick clicks on Install: one pipeline (the second lands on the
  // progress tab, or is refused while the first runs).
  ClickIn(run.window(), kInstallButton);
  ClickIn(run.window(), kInstallButton);
  ASSERT_TRUE(run.LogSays("Install finished")) << scene.Log();
  ASSERT_TRUE(run.LogSays("Pipeline ended: installed"));
  EXPECT_EQ(scene.InstalledVersion(), " 3.1.0");
  EXPECT_EQ(scene.installer().Runs().size(), 1u);
  const std::string log = scene.Log();
  EXPECT_EQ(Count(log, "CDownloadHelper start"), 1) << log;
  // The finish page's close asks "start now or later"; later ends the run.
  ClickIn(run.window(), kFinishCloseButton);
  run.Answer(kStartRunLater);
  EXPECT_EQ(run.process().WaitForExit(30000), std::optional<DWORD>(0));
  EXPECT_TRUE(Contains(scene.Log(), "The wizard has ended"));
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
  ClickIn(run.window(), kInstallButton);
  ASSERT_TRUE(run.LogSays("CDownloadHelper start"));
  ::PostMessageW(run.window(), WM_SYSCOMMAND, SC_CLOSE, 0);
  run.Answer(kQuitConfirm);  // "Quit"
  // The process ends while the transfer was on its stack.
  EXPECT_EQ(run.process().WaitForExit(30000), std::optional<DWORD>(0)) << scene.Log();
  const std::string log = scene.Log();
  EXPECT_TRUE(Contains(log, "The wizard quits during the install")) << log;
  EXPECT_FALSE(Contains(log, "Install finished")) << log;
  EXPECT_TRUE(Contains(log, "Pipeline ended: cancelled") || Contains(log, "Pipeline ended: quit requested"))
      << log;
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
