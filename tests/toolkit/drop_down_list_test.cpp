// The combo box's drop-down list without a window: keys, letters, wheel and
// pointer positions move the hot row and keep it in view; the list ends
// once; its painting is checked in a memory bitmap at 96 and 144 DPI.
#include "toolkit/drop_down_list.h"

#include <gtest/gtest.h>

#include "skin_test_support.h"
#include "toolkit/gdi_owners.h"

namespace {

using toolkit::DropDownList;

std::vector<std::wstring> Numbered(int count) {
  std::vector<std::wstring> items;
  for (int i = 0; i < count; ++i) items.push_back(L"Item " + std::to_wstring(i));
  return items;
}

DropDownList::Look LookOf(int rows, int dpi = 96) {
  DropDownList::Look look;
  look.dpi = dpi;
  look.row_height = 20 * dpi / 96;
  look.visible_rows = rows;
  return look;
}

TEST(DropDownListTest, KeysMoveTheHotRowAndScrollItIntoView) {
  DropDownList list(Numbered(30), 12, LookOf(5));
  EXPECT_EQ(list.hot(), 12);
  EXPECT_EQ(list.top(), 8) << "the current item starts in view";
  struct Step {
    UINT key;
    int hot, top;
  } steps[] = {
      {VK_DOWN, 13, 9}, {VK_UP, 12, 9},    {VK_HOME, 0, 0},    {VK_UP, 0, 0},   {VK_NEXT, 5, 1},
      {VK_END, 29, 25}, {VK_DOWN, 29, 25}, {VK_PRIOR, 24, 24}, {VK_UP, 23, 23},
  };
  for (const Step& step : steps) {
    EXPECT_TRUE(list.KeyDown(step.key));
    EXPECT_EQ(list.hot(), step.hot) << step.key;
    EXPECT_EQ(list.top(), step.top) << step.key;
  }
  EXPECT_FALSE(list.KeyDown('Q')) << "other keys are not the list's";
  // The wheel scrolls the view, not the hot row, and stops at both ends.
  list.Wheel(-WHEEL_DELTA);
  EXPECT_EQ(list.top(), 25);
  list.Wheel(3 * WHEEL_DELTA);
  EXPECT_EQ(list.top(), 16);
  list.Wheel(100 * WHEEL_DELTA);
  EXPECT_EQ(list.top(), 0);
  EXPECT_EQ(list.hot(), 23);
}

TEST(DropDownListTest, FirstLettersCycleThroughMatchingItemsIgnoringCase) {
  DropDownList list({L"English", L"Deutsch", L"espa\u00F1ol", L"Fran\u00E7ais", L"\u00C9ire"}, 1, LookOf(10));
  EXPECT_TRUE(list.Char(L'e'));
  EXPECT_EQ(list.hot(), 2);
  EXPECT_TRUE(list.Char(L'E'));
  EXPECT_EQ(list.hot(), 0) << "wraps to the first match";
  EXPECT_TRUE(list.Char(L'\u00E9'));
  EXPECT_EQ(list.hot(), 4) << "letters beyond ASCII compare without case too";
  EXPECT_TRUE(list.Char(L'z'));
  EXPECT_EQ(list.hot(), 4) << "no match leaves the hot row";
  EXPECT_FALSE(list.Char(L'\r'));
}

TEST(DropDownListTest, EndsExactlyOnceWithTheChoiceOrNone) {
  struct Case {
    UINT key;
    int expected;
  } cases[] = {{VK_RETURN, 3}, {VK_ESCAPE, -1}, {VK_TAB, -1}, {VK_F4, -1}};
  for (const Case& c : cases) {
    DropDownList list(Numbered(6), 2, LookOf(4));
    std::vector<int> ends;
    // No owner, so no window: the end is still reported.
    EXPECT_FALSE(list.Open(nullptr, RECT{0, 0, 100, 20}, [&](int chosen) { ends.push_back(chosen); }));
    (void)list.KeyDown(VK_DOWN);
    EXPECT_TRUE(list.KeyDown(c.key));
    list.Finish(5);
    (void)list.KeyDown(VK_RETURN);
    EXPECT_EQ(ends, std::vector<int>{c.expected}) << c.key;
  }
}

TEST(DropDownListTest, PointsMapToVisibleRowsOnly) {
  DropDownList list(Numbered(3), 0, LookOf(5));
  EXPECT_EQ(list.shown_rows(), 3) << "a short list is only as tall as its items";
  EXPECT_EQ(list.ClientSize(90), (toolkit::Size{90, 60}));
  DropDownList scrolled(Numbered(30), 29, LookOf(5));
  struct Case {
    int x, y, expected;
  } cases[] = {{5, 0, 25}, {5, 19, 25}, {5, 20, 26}, {5, 99, 29}, {5, 100, -1}, {-1, 5, -1}, {5, -1, -1}};
  for (const Case& c : cases) EXPECT_EQ(scrolled.ItemAt({c.x, c.y}), c.expected) << c.x << "," << c.y;
  scrolled.SetHot(-5);
  EXPECT_EQ(scrolled.hot(), 0);
  EXPECT_EQ(scrolled.top(), 0);
}

// Renders the list into a 32-bit memory bitmap.
std::vector<uint32_t> Render(const DropDownList& list, toolkit::Size size) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), size.cx, -size.cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  toolkit::UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
  toolkit::UniqueGdiObject bitmap(::CreateDIBSection(dc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  EXPECT_TRUE(bitmap);
  if (!bitmap) return {};
  toolkit::ScopedSelectObject select(dc.Get(), bitmap.Get());
  list.Paint(dc.Get(), size);
  ::GdiFlush();
  const auto* pixels = static_cast<const uint32_t*>(bits);
  return {pixels, pixels + static_cast<size_t>(size.cx) * size.cy};
}

toolkit_test::Rgb SysRgb(int index) {
  const COLORREF c = ::GetSysColor(index);
  return {GetRValue(c), GetGValue(c), GetBValue(c)};
}

TEST(DropDownListTest, PaintsTheHotRowHighlightedTextInRowsAndAScrollStrip) {
  for (int dpi : {96, 144}) {
    LOGFONTW face{};
    face.lfHeight = -12 * dpi / 96;
    (void)std::wstring_view(L"Tahoma").copy(face.lfFaceName, LF_FACESIZE - 1);
    toolkit::UniqueGdiObject font(::CreateFontIndirectW(&face));
    DropDownList::Look look = LookOf(4, dpi);
    look.font = static_cast<HFONT>(font.Get());
    DropDownList list(Numbered(10), 1, look);
    const toolkit::Size size = list.ClientSize(100 * dpi / 96);
    ASSERT_EQ(size.cy, 4 * look.row_height);
    const std::vector<uint32_t> image = Render(list, size);
    ASSERT_EQ(image.size(), static_cast<size_t>(size.cx) * size.cy);
    auto at = [&](int x, int y) { return image[static_cast<size_t>(y) * size.cx + x]; };
    const int row = look.row_height;
    const int strip = 8 * dpi / 96;
    // Row 1 is hot: its left margin has the highlight, row 0's the window colour.
    EXPECT_TRUE(toolkit_test::ColorNear(at(1, row + row / 2), SysRgb(COLOR_HIGHLIGHT))) << dpi;
    EXPECT_TRUE(toolkit_test::ColorNear(at(1, row / 2), SysRgb(COLOR_WINDOW))) << dpi;
    // Each visible row carries text drawn in the given font.
    for (int r = 0; r < 4; ++r) {
      int ink = 0;
      const auto background = r == 1 ? SysRgb(COLOR_HIGHLIGHT) : SysRgb(COLOR_WINDOW);
      for (int y = r * row; y < (r + 1) * row; ++y) {
        for (int x = 0; x < size.cx - strip; ++x) ink += toolkit_test::ColorNear(at(x, y), background, 40) ? 0 : 1;
      }
      EXPECT_GT(ink, 10) << "row " << r << " at " << dpi;
    }
    // Ten items in four rows: a scroll strip with its thumb at the top.
    EXPECT_TRUE(toolkit_test::ColorNear(at(size.cx - strip / 2, 2), SysRgb(COLOR_BTNSHADOW))) << dpi;
    EXPECT_TRUE(toolkit_test::ColorNear(at(size.cx - strip / 2, size.cy - 2), SysRgb(COLOR_BTNFACE))) << dpi;
  }
}

}  // namespace
