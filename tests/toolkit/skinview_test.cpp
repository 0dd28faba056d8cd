// skinview as a user runs it: a real child process showing a description,
// and the error path of a window that cannot be built (message box, then
// exit code 1).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "skin_test_support.h"

namespace {

std::wstring SkinviewPath() {
  return test_support::PathFromEnvironment("WEBINSTALLER_FIXTURE_DIR") + L"\\..\\tools\\skinview.exe";
}

// Meanwhile, on another thread: waits (bounded) for a top-level window of
// `window_class` titled `title`, records that it appeared and sends it `message`.
class WindowCloser {
 public:
  WindowCloser(const wchar_t* window_class, std::wstring title, UINT message, WPARAM wparam)
      : thread_([=, this] {
          for (int i = 0; i < 300 && !stop_; ++i) {
            HWND found = ::FindWindowW(window_class, title.c_str());
            if (found != nullptr && ::IsWindowVisible(found)) {
              seen_ = true;
              ::PostMessageW(found, message, wparam, 0);
              return;
            }
            ::Sleep(50);
          }
        }) {}
  ~WindowCloser() {
    stop_ = true;
    thread_.join();
  }
  [[nodiscard]] bool seen() const { return seen_; }

 private:
  std::atomic<bool> stop_{false};  // written by the test thread
  std::atomic<bool> seen_{false};  // written by the closer thread
  std::thread thread_;
};

TEST(SkinviewTest, ShowsADescriptionUntilClosed) {
  const std::wstring arguments = L"\"" + toolkit_test::TestSkinPath(L"gallery") + L"\" main.xml";
  WindowCloser closer(L"ToolkitWindow", L"skinview - main.xml", WM_SYSCOMMAND, SC_CLOSE);
  const test_support::ProcessResult result = test_support::RunProcess(SkinviewPath(), arguments, L"", 20000);
  ASSERT_TRUE(result.started);
  EXPECT_TRUE(result.finished);
  EXPECT_EQ(result.exit_code, 0u);
  EXPECT_TRUE(closer.seen());
}

TEST(SkinviewTest, AnUnbuildableDescriptionShowsAnErrorAndExitsWithOne) {
  struct Case {
    std::wstring archive;
    std::wstring description;
  } cases[] = {
      {L"C:\\no\\such\\skin.zip", L"install.xml"},
      {toolkit_test::TestSkinPath(L"gallery"), L"no_such_window.xml"},
  };
  for (const Case& c : cases) {
    WindowCloser closer(L"#32770", L"Error", WM_COMMAND, IDOK);
    const test_support::ProcessResult result =
        test_support::RunProcess(SkinviewPath(), L"\"" + c.archive + L"\" " + c.description, L"", 20000);
    ASSERT_TRUE(result.started);
    EXPECT_TRUE(result.finished);
    EXPECT_EQ(result.exit_code, 1u);
    EXPECT_TRUE(closer.seen()) << "no error box";
  }
}

}  // namespace
