// Opening the test skins the build packed, and checking rendered pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "test_support.h"
#include "toolkit/log.h"
#include "toolkit/window_core.h"
#include "toolkit/zip_archive.h"

namespace toolkit {
inline void PrintTo(const Rect& r, std::ostream* os) {
  *os << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}";
}
inline void PrintTo(const Size& s, std::ostream* os) { *os << "{" << s.cx << "," << s.cy << "}"; }
}  // namespace toolkit

namespace toolkit_test {

inline std::wstring TestSkinPath(const std::wstring& name) {
  return test_support::PathFromEnvironment("WEBINSTALLER_FIXTURE_DIR") + L"\\skins\\" + name + L".zip";
}

inline std::shared_ptr<toolkit::ZipArchive> OpenTestSkin(const std::wstring& name) {
  auto archive = std::make_shared<toolkit::ZipArchive>();
  EXPECT_EQ(archive->OpenFile(TestSkinPath(name)), toolkit::ZipError::kNone) << testing::PrintToString(name);
  return archive;
}

inline std::unique_ptr<toolkit::WindowCore> OpenWindow(std::shared_ptr<const toolkit::ZipArchive> archive,
                                                       const std::wstring& file, int dpi) {
  toolkit::DescriptionResult built = toolkit::BuildWindowDescription(std::move(archive), file);
  EXPECT_TRUE(built.description) << testing::PrintToString(built.error);
  if (!built.description) return nullptr;
  return std::make_unique<toolkit::WindowCore>(std::move(built.description), dpi);
}

// Collects the toolkit's log lines for one test.
class LogCapture {
 public:
  LogCapture() {
    toolkit::SetLogSink([this](const std::wstring& line) { lines_.push_back(line); });
  }
  ~LogCapture() { toolkit::SetLogSink(nullptr); }
  [[nodiscard]] const std::vector<std::wstring>& lines() const { return lines_; }
  [[nodiscard]] bool Contains(const std::wstring& words) const {
    for (const auto& line : lines_) {
      if (line.find(words) != std::wstring::npos) return true;
    }
    return false;
  }

 private:
  std::vector<std::wstring> lines_;
};

struct Rgb {
  int r, g, b;
};

inline ::testing::AssertionResult ColorNear(uint32_t pixel, Rgb expected, int tolerance = 3) {
  const int r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
  if (std::abs(r - expected.r) <= tolerance && std::abs(g - expected.g) <= tolerance &&
      std::abs(b - expected.b) <= tolerance)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "pixel (" << r << "," << g << "," << b << ") expected (" << expected.r << ","
                                       << expected.g << "," << expected.b << ")";
}

}  // namespace toolkit_test
