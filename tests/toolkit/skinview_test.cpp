// skinview as a user runs it: a real child process showing a description,
// and the error path of a window that cannot be built (message box, then
// exit code 1).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>

#include <zlib.h>

#include "platform/file_io.h"
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

uint32_t BigEndian(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

struct PngSize {
  uint32_t width = 0;
  uint32_t height = 0;
};

// The size a PNG file declares, when it is one: the signature, then an IHDR
// chunk of 8-bit RGB whose CRC matches.
std::optional<PngSize> ReadPngSize(const std::wstring& path) {
  const std::optional<std::string> png = platform::ReadFileLimited(path, 64u << 20);
  if (!png || png->size() < 8 + 25 || png->compare(0, 8, "\x89PNG\r\n\x1a\n", 8) != 0) return std::nullopt;
  if (BigEndian(*png, 8) != 13 || png->compare(12, 4, "IHDR") != 0 || (*png)[24] != 8 || (*png)[25] != 2) {
    return std::nullopt;
  }
  const auto* chunk = reinterpret_cast<const Bytef*>(png->data() + 12);
  if (::crc32(0, chunk, 17) != BigEndian(*png, 29)) return std::nullopt;
  if (png->find("IDAT") == std::string::npos || png->find("IEND") == std::string::npos) return std::nullopt;
  return PngSize{BigEndian(*png, 16), BigEndian(*png, 20)};
}

}  // namespace

// Skin authors review windows without a screen: --png renders the window at
// --dpi; 144 DPI gives 1.5 times the pixels of 96, with or without --size.
TEST(SkinviewTest, PngOptionWritesTheWindowScaledByTheDpi) {
  const test_support::TempFolder folder;
  const std::wstring skin = L"\"" + toolkit_test::TestSkinPath(L"gallery") + L"\" main.xml";
  struct Case {
    std::wstring options;
    std::wstring file;
  } cases[] = {
      {L" --dpi 96", L"96.png"},
      {L" --dpi 144", L"144.png"},
      {L" --size 300,200 --dpi 144", L"sized144.png"},
      {L"", L"default.png"},  // 96 when --dpi is left out
  };
  std::optional<PngSize> sizes[4];
  for (size_t i = 0; i < 4; ++i) {
    const std::wstring png = folder.File(cases[i].file);
    const test_support::ProcessResult result =
        test_support::RunProcess(SkinviewPath(), skin + L" --png \"" + png + L"\"" + cases[i].options, L"", 60000);
    ASSERT_TRUE(result.started);
    ASSERT_TRUE(result.finished) << testing::PrintToString(cases[i].file);
    EXPECT_EQ(result.exit_code, 0u) << testing::PrintToString(cases[i].file);
    sizes[i] = ReadPngSize(png);
    ASSERT_TRUE(sizes[i]) << "not a PNG: " << testing::PrintToString(cases[i].file);
  }
  EXPECT_GT(sizes[0]->width, 0u);
  EXPECT_EQ(sizes[1]->width, static_cast<uint32_t>(toolkit::ScaleBy(static_cast<int>(sizes[0]->width), 144)));
  EXPECT_EQ(sizes[1]->height, static_cast<uint32_t>(toolkit::ScaleBy(static_cast<int>(sizes[0]->height), 144)));
  EXPECT_EQ(sizes[2]->width, 450u);
  EXPECT_EQ(sizes[2]->height, 300u);
  EXPECT_EQ(sizes[3]->width, sizes[0]->width);
  EXPECT_EQ(sizes[3]->height, sizes[0]->height);
}

// A window that cannot be built, or a file that cannot be written, ends
// with 1 and writes nothing, without an error box waiting for a click.
TEST(SkinviewTest, PngOptionFailsWithoutAWindow) {
  const test_support::TempFolder folder;
  const std::wstring gallery = L"\"" + toolkit_test::TestSkinPath(L"gallery") + L"\"";
  struct Case {
    std::wstring arguments;
    std::wstring png;
  } cases[] = {
      {gallery + L" no_such_window.xml", folder.File(L"missing.png")},
      {L"\"C:\\no\\such\\skin.zip\" main.xml", folder.File(L"no-skin.png")},
      {gallery + L" main.xml", folder.File(L"no\\such\\folder\\out.png")},
  };
  for (const Case& c : cases) {
    const test_support::ProcessResult result =
        test_support::RunProcess(SkinviewPath(), c.arguments + L" --png \"" + c.png + L"\"", L"", 30000);
    ASSERT_TRUE(result.started);
    EXPECT_TRUE(result.finished) << "waiting for a click? " << testing::PrintToString(c.arguments);
    EXPECT_EQ(result.exit_code, 1u) << testing::PrintToString(c.arguments);
    EXPECT_FALSE(platform::FileExists(c.png));
  }
}
