// What the wizard's pages ask of the toolkit, on the test skin "pages": a
// hidden browser really disappears, a float slide moves within its frame
// and a new progress text repaints its label without a layout or repaint
// of the whole window, a grown window stays on the screen, and widths
// measured from text are in description units at every DPI.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/text.h"
#include "skin_test_support.h"
#include "toolkit/dpi.h"
#include "toolkit/gdi_owners.h"
#include "toolkit/markup.h"
#include "toolkit/skin_resources.h"
#include "toolkit/window.h"

namespace {

using toolkit::Rect;
using toolkit_test::ColorNear;
using toolkit_test::OpenTestSkin;

void Pump() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

HWND ChildOfClass(HWND parent, const wchar_t* class_name) {
  struct Search {
    const wchar_t* name;
    HWND found;
  } search{class_name, nullptr};
  ::EnumChildWindows(
      parent,
      [](HWND child, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        wchar_t name[64] = {};
        ::GetClassNameW(child, name, 64);
        if (std::wstring(name) != s->name) return TRUE;
        s->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool HasVisibleStyle(HWND window) { return (::GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

TEST(PageSupportTest, AHiddenBrowserHidesItsOwnWindowWhetherItOrItsTabGoes) {
  toolkit::Window window;
  ASSERT_TRUE(window.Create(OpenTestSkin(L"pages"), L"main.xml", {}));
  window.ShowModeless();
  // The engine's window inside ours, made once the first frame is up; the
  // control's Visible property alone leaves it drawn over whatever the page
  // shows instead.
  HWND native = nullptr;
  for (int i = 0; i < 200 && native == nullptr; ++i) {
    Pump();
    native = ChildOfClass(window.hwnd(), L"Shell Embedding");
    if (native == nullptr) ::Sleep(10);
  }
  ASSERT_NE(native, nullptr) << "no embedded browser window";
  EXPECT_TRUE(::IsWindowVisible(native));
  EXPECT_TRUE(window.SetAttribute(L"browser", L"visible", L"false"));
  EXPECT_FALSE(HasVisibleStyle(native));
  EXPECT_TRUE(window.SetAttribute(L"browser", L"visible", L"true"));
  EXPECT_TRUE(::IsWindowVisible(native));
  EXPECT_TRUE(window.SelectItem(L"tabs", 1));
  EXPECT_FALSE(HasVisibleStyle(native)) << "the tab was left";
  EXPECT_TRUE(window.SelectItem(L"tabs", 0));
  EXPECT_TRUE(::IsWindowVisible(native));
  // Hidden by the description from the start: never shown, not even before the first paint.
  EXPECT_TRUE(window.SetAttribute(L"browser", L"visible", L"false"));
  window.Close(0);
  Pump();
}

TEST(PageSupportTest, AFloatSlideMovesWithinItsFrameAloneAndShowsOnlyThere) {
  auto core = toolkit_test::OpenWindow(OpenTestSkin(L"pages"), L"main.xml", 96);
  ASSERT_NE(core, nullptr);
  core->LayoutIfNeeded();
  (void)core->TakeDirty();
  const Rect frame = core->FindControl(L"frame")->rect();
  ASSERT_EQ(frame.width(), 320);

  // One animation frame: both slides move by half the frame.
  EXPECT_TRUE(core->SetAttribute(L"slide_out", L"pos", L"-160,0,160,100"));
  EXPECT_TRUE(core->SetAttribute(L"slide_in", L"pos", L"160,0,480,100"));
  // Placed at once, not at a later layout of the window.
  EXPECT_EQ(core->FindControl(L"slide_in")->rect(),
            (Rect{frame.left + 160, frame.top, frame.left + 480, frame.bottom}));
  const Rect dirty = core->TakeDirty();
  EXPECT_FALSE(dirty.empty());
  EXPECT_EQ(dirty.Intersect(frame), dirty) << "only the frame is repainted";

  const toolkit::RenderedImage shot = core->Render();
  const int middle = frame.top + 50;
  EXPECT_TRUE(ColorNear(shot.At(frame.left + 10, middle), {255, 0, 0}));
  EXPECT_TRUE(ColorNear(shot.At(frame.left + 200, middle), {0, 0, 255}));
  // Beside the frame the parts of the slides outside it do not show.
  EXPECT_TRUE(ColorNear(shot.At(frame.left - 5, middle), {255, 255, 255}));
  EXPECT_TRUE(ColorNear(shot.At(frame.right + 5, middle), {255, 255, 255}));

  // Once hidden (the web page took the frame's place) the slides keep
  // moving at no cost: nothing is laid out or repainted.
  EXPECT_TRUE(core->SetAttribute(L"slide_in", L"visible", L"false"));
  core->LayoutIfNeeded();
  (void)core->TakeDirty();
  EXPECT_TRUE(core->SetAttribute(L"slide_in", L"pos", L"0,0,320,100"));
  EXPECT_TRUE(core->TakeDirty().empty());
  // Shown again, it is where it was last put.
  EXPECT_TRUE(core->SetAttribute(L"slide_in", L"visible", L"true"));
  core->LayoutIfNeeded();
  EXPECT_EQ(core->FindControl(L"slide_in")->rect(), (Rect{frame.left, frame.top, frame.right, frame.bottom}));
}

TEST(PageSupportTest, ANewTextRepaintsItsLabelAloneUnlessTheLabelsWidthFollowsItsText) {
  auto core = toolkit_test::OpenWindow(OpenTestSkin(L"pages"), L"main.xml", 96);
  ASSERT_NE(core, nullptr);
  core->LayoutIfNeeded();
  (void)core->TakeDirty();
  const Rect figures = core->FindControl(L"figures")->rect();
  EXPECT_TRUE(core->SetAttribute(L"figures", L"text", L"12.75MB/s"));
  EXPECT_EQ(core->TakeDirty(), figures);
  // A label as wide as its text moves what follows it: laid out again.
  const int before = core->FindControl(L"fitting")->rect().width();
  EXPECT_TRUE(core->SetAttribute(L"fitting", L"text", L"About 1 h 5 min left"));
  EXPECT_EQ(core->TakeDirty(), (Rect{0, 0, 400, 300}));
  core->LayoutIfNeeded();
  EXPECT_GT(core->FindControl(L"fitting")->rect().width(), before);
}

TEST(PageSupportTest, AWindowGrownPastTheScreensBottomMovesUpJustEnough) {
  toolkit::Window window;
  ASSERT_TRUE(window.Create(OpenTestSkin(L"pages"), L"main.xml", {}));
  window.ShowModeless();
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(window.hwnd(), MONITOR_DEFAULTTONEAREST), &monitor));
  const RECT area = monitor.rcWork;
  ::SetWindowPos(window.hwnd(), nullptr, area.left + 50, area.bottom - 320, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  // Room enough: the top-left corner stays.
  window.Resize(400, 300);
  RECT r;
  ::GetWindowRect(window.hwnd(), &r);
  EXPECT_EQ(r.left, area.left + 50);
  EXPECT_EQ(r.top, area.bottom - 320);
  // Taller than the room below: up just enough, the left side kept.
  window.Resize(400, 500);
  ::GetWindowRect(window.hwnd(), &r);
  EXPECT_EQ(r.left, area.left + 50);
  EXPECT_EQ(r.bottom, area.bottom);
  EXPECT_EQ(r.bottom - r.top, 500);
  // Taller than the whole area: its top stays on the screen.
  window.Resize(400, area.bottom - area.top + 200);
  ::GetWindowRect(window.hwnd(), &r);
  EXPECT_EQ(r.top, area.top);
  window.Close(0);
  Pump();
}

// Runs at 96 DPI in the shared prefix and at 144 in the 150 % one.
TEST(WindowDpiTest, WidthsMeasuredFromTextFitTheirControlsOnceScaled) {
  (void)toolkit::EnableDpiAwareness();
  toolkit::Window window;
  ASSERT_TRUE(window.Create(OpenTestSkin(L"pages"), L"main.xml", {}));
  window.ShowModeless();
  Pump();
  const int dpi = window.core().dpi();
  if (const char* expected = std::getenv("WEBINSTALLER_EXPECT_DPI")) {
    EXPECT_EQ(dpi, std::atoi(expected));
  }
  const toolkit::Control* label = window.FindControl(L"fitted");
  ASSERT_NE(label, nullptr);
  HFONT font = window.core().resources().Font(label->style().font, dpi);
  const int insets = toolkit::ScaleBy(label->style().text_padding.left + label->style().text_padding.right, dpi);
  for (const std::wstring text : {L"Install now", L"\x5B89\x88C5\x5230\x6B64\x6587\x4EF6\x5939",
                                  L"I agree to the {a Licence}{c #0x3196f7}Licence{/c}{/a}"}) {
    const int width = window.TextWidth(L"fitted", text);
    EXPECT_TRUE(window.SetAttribute(L"fitted", L"width", platform::DecimalText(width)));
    EXPECT_TRUE(window.SetAttribute(L"fitted", L"text", text));
    window.core().LayoutIfNeeded();
    const std::wstring plain = toolkit::HasMarkup(text) ? toolkit::PlainText(toolkit::ParseMarkup(text)) : text;
    SIZE extent{};
    {
      const toolkit::ScopedWindowDc screen(nullptr);
      const toolkit::ScopedSelectObject select(screen.Get(), font);
      ASSERT_TRUE(::GetTextExtentPoint32W(screen.Get(), plain.c_str(), static_cast<int>(plain.size()), &extent));
    }
    const int shown = label->rect().width();
    EXPECT_GE(shown, extent.cx + insets) << "clipped at " << dpi << " DPI";
    EXPECT_LE(shown, extent.cx + insets + toolkit::ScaleBy(2, dpi) + 1) << "scaled twice at " << dpi << " DPI";
  }
  window.Close(0);
  Pump();
}

}  // namespace
