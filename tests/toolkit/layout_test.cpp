#include <gtest/gtest.h>

#include "skin_test_support.h"
#include "toolkit/containers.h"
#include "toolkit/control_registry.h"
#include "toolkit/painter.h"

namespace {

using toolkit::Rect;
using toolkit_test::OpenTestSkin;
using toolkit_test::OpenWindow;

Rect RectOf(toolkit::WindowCore& window, const wchar_t* name) {
  toolkit::Control* control = window.FindControl(name);
  EXPECT_NE(control, nullptr) << testing::PrintToString(std::wstring(name));
  return control != nullptr ? control->rect() : Rect{};
}

TEST(LayoutTest, PlacesFixedStretchedPaddedAndFloatingControlsAt96And144Dpi) {
  struct Case {
    int dpi;
    const wchar_t* name;
    Rect expected;
  } cases[] = {
      {96, L"root", {0, 0, 400, 300}},
      {96, L"top", {10, 10, 390, 50}},
      {96, L"red", {10, 10, 60, 50}},
      {96, L"stretch", {70, 10, 340, 50}},
      {96, L"blue", {355, 15, 385, 45}},
      {96, L"floater", {350, 5, 390, 25}},
      {96, L"images", {10, 55, 390, 95}},
      {96, L"nine", {10, 55, 110, 95}},
      {96, L"progress", {302, 55, 382, 95}},
      {96, L"tabs", {10, 164, 390, 204}},
      {96, L"bottom", {10, 209, 390, 290}},
      {96, L"list", {10, 209, 130, 290}},
      {96, L"item0", {10, 229, 130, 249}},
      {144, L"root", {0, 0, 600, 450}},
      {144, L"top", {15, 15, 585, 75}},
      {144, L"red", {15, 15, 90, 75}},
      {144, L"stretch", {105, 15, 509, 75}},
      {144, L"blue", {532, 23, 577, 67}},
      {144, L"floater", {525, 8, 585, 38}},
      {144, L"nine", {15, 83, 165, 143}},
  };
  auto archive = OpenTestSkin(L"gallery");
  for (int dpi : {96, 144}) {
    auto window = OpenWindow(archive, L"main.xml", dpi);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->client_size(), (toolkit::Size{400 * dpi / 96, 300 * dpi / 96}));
    window->LayoutIfNeeded();
    for (const Case& c : cases) {
      if (c.dpi != dpi) continue;
      EXPECT_EQ(RectOf(*window, c.name), c.expected) << testing::PrintToString(std::wstring(c.name)) << " at " << dpi;
    }
  }
}

TEST(LayoutTest, SiblingsNeverOverlapAndTextFitsAtBothDpis) {
  auto archive = OpenTestSkin(L"gallery");
  for (int dpi : {96, 120, 144, 192}) {
    auto window = OpenWindow(archive, L"main.xml", dpi);
    ASSERT_TRUE(window);
    window->LayoutIfNeeded();
    std::vector<toolkit::Control*> pending{window->root()};
    while (!pending.empty()) {
      toolkit::Control* parent = pending.back();
      pending.pop_back();
      if (dynamic_cast<toolkit::TabLayout*>(parent) != nullptr) continue;  // tabs share one place by design
      for (size_t i = 0; i < parent->child_count(); ++i) {
        toolkit::Control* a = parent->child(i);
        pending.push_back(a);
        for (size_t j = i + 1; j < parent->child_count(); ++j) {
          toolkit::Control* b = parent->child(j);
          if (a->is_float() || b->is_float() || !a->visible() || !b->visible()) continue;
          EXPECT_FALSE(a->rect().Intersects(b->rect()))
              << testing::PrintToString(a->name()) << " overlaps " << testing::PrintToString(b->name()) << " at " << dpi;
        }
      }
    }
    // The auto-sized label holds its whole text at every scale.
    toolkit::Control* hello = window->FindControl(L"hello");
    const toolkit::Size text = toolkit::MeasureTextForLayout(window->resources(), dpi, L"Hello", -1, 0, toolkit::TextFlags::kNone);
    EXPECT_GE(hello->rect().width(), text.cx) << dpi;
    EXPECT_GE(hello->rect().height(), text.cy) << dpi;
    EXPECT_GT(text.cx, 20 * dpi / 96) << "the font did not scale";
  }
}

TEST(LayoutTest, StableUnderResizeAndClampedByMinAndMax) {
  auto archive = OpenTestSkin(L"gallery");
  auto window = OpenWindow(archive, L"main.xml", 96);
  ASSERT_TRUE(window);
  window->Resize({600, 300});
  window->LayoutIfNeeded();
  EXPECT_EQ(RectOf(*window, L"stretch"), (Rect{70, 10, 540, 50}));
  EXPECT_EQ(RectOf(*window, L"blue"), (Rect{555, 15, 585, 45}));
  window->Resize({400, 300});
  window->LayoutIfNeeded();
  EXPECT_EQ(RectOf(*window, L"stretch"), (Rect{70, 10, 340, 50}));
  // Too small: stretched controls shrink to nothing, never negative.
  window->Resize({50, 30});
  window->LayoutIfNeeded();
  EXPECT_GE(RectOf(*window, L"stretch").width(), 0);
  window->Resize({400, 300});

  ASSERT_TRUE(window->SetAttribute(L"stretch", L"maxwidth", L"100"));
  window->LayoutIfNeeded();
  EXPECT_EQ(RectOf(*window, L"stretch").width(), 100);
  ASSERT_TRUE(window->SetAttribute(L"red", L"width", L"80"));
  window->LayoutIfNeeded();
  EXPECT_EQ(RectOf(*window, L"red"), (Rect{10, 10, 90, 50}));
  ASSERT_TRUE(window->SetAttribute(L"red", L"visible", L"false"));
  window->LayoutIfNeeded();
  EXPECT_EQ(RectOf(*window, L"stretch").left, 10);
}

TEST(LayoutTest, TileTabListTreeAndScrollingContainers) {
  auto archive = OpenTestSkin(L"gallery");
  auto window = OpenWindow(archive, L"main.xml", 96);
  ASSERT_TRUE(window);
  window->LayoutIfNeeded();
  const Rect tiles = RectOf(*window, L"tiles");
  EXPECT_EQ(RectOf(*window, L"t0"), (Rect{tiles.left, tiles.top, tiles.left + tiles.width() / 2, tiles.top + 20}));
  EXPECT_EQ(RectOf(*window, L"t2").top, tiles.top + 20);
  EXPECT_EQ(RectOf(*window, L"t2").left, tiles.left);

  EXPECT_EQ(window->CurrentIndex(L"tabs"), 1);
  EXPECT_FALSE(window->FindControl(L"tab0")->visible());
  EXPECT_TRUE(window->FindControl(L"tab1")->visible());

  const Rect leaf = RectOf(*window, L"leaf1");
  EXPECT_EQ(leaf.top, RectOf(*window, L"node").top + 20);

  const Rect first = RectOf(*window, L"s0");
  window->Wheel({first.left + 5, first.top + 5}, -WHEEL_DELTA);
  window->LayoutIfNeeded();
  EXPECT_LT(RectOf(*window, L"s0").top, first.top);
  // Scrolling is bounded: far past the end stops with the last child in view.
  for (int i = 0; i < 20; ++i) window->Wheel({first.left + 5, first.top + 5}, -WHEEL_DELTA);
  EXPECT_EQ(RectOf(*window, L"s7").bottom, RectOf(*window, L"scroller").bottom);
  for (int i = 0; i < 20; ++i) window->Wheel({first.left + 5, first.top + 5}, WHEEL_DELTA);
  EXPECT_EQ(RectOf(*window, L"s0"), first);
  // Dragging the thumb down the whole track shows the end of the content.
  const Rect scroller = RectOf(*window, L"scroller");
  const toolkit::Point thumb{scroller.right - 2, scroller.top + 5};
  EXPECT_EQ(window->ControlAt(thumb), window->FindControl(L"scroller"));
  window->ButtonDown(thumb);
  window->MouseMove({thumb.x, scroller.bottom + 50});
  window->ButtonUp({thumb.x, scroller.bottom + 50});
  EXPECT_EQ(RectOf(*window, L"s7").bottom, scroller.bottom);
  window->ButtonDown({thumb.x, scroller.bottom - 3});
  window->MouseMove({thumb.x, scroller.top - 500});
  window->ButtonUp({thumb.x, scroller.top - 500});
  EXPECT_EQ(RectOf(*window, L"s0"), first);
}

TEST(LayoutTest, EveryClassOfTheContractIsRegisteredAndBuilds) {
  const wchar_t* contract[] = {L"Control", L"Container", L"VerticalLayout", L"HorizontalLayout", L"VBox", L"HBox",
                               L"TileLayout", L"TabLayout", L"ChildLayout", L"Label", L"Text", L"Button", L"Option",
                               L"CheckBox", L"Combo", L"ComboBox", L"Edit", L"RichEdit", L"ExtendRichEdit",
                               L"Progress", L"Slider", L"ScrollBar", L"List", L"ListHeader", L"ListHeaderItem",
                               L"ListLabelElement", L"ListTextElement", L"ListHBoxElement", L"ListContainerElement",
                               L"Tree", L"TreeView", L"TreeNode", L"DateTime", L"ActiveX", L"WebBrowser", L"GifAnim"};
  for (const wchar_t* name : contract) {
    auto control = toolkit::CreateControl(name);
    ASSERT_NE(control, nullptr) << testing::PrintToString(std::wstring(name));
    EXPECT_EQ(control->class_name(), name);
  }
  EXPECT_EQ(toolkit::RegisteredClassNames().size(), std::size(contract));
  EXPECT_EQ(toolkit::CreateControl(L"Marquee"), nullptr);

  toolkit_test::LogCapture log;
  auto window = OpenWindow(OpenTestSkin(L"gallery"), L"all_classes.xml", 96);
  ASSERT_TRUE(window);
  for (const std::wstring& line : log.lines()) ADD_FAILURE() << testing::PrintToString(line);
  EXPECT_NE(window->FindControl(L"included"), nullptr);
  EXPECT_NE(window->FindControl(L"childbutton"), nullptr);
  EXPECT_NE(window->FindControl(L"datetime"), nullptr);
  const toolkit::RenderedImage image = window->Render();
  EXPECT_EQ(image.width, 500);
}

}  // namespace
