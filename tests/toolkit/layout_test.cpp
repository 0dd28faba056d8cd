#include <gtest/gtest.h>

#include "skin_test_support.h"
#include "toolkit/tab_layout.h"
#include "toolkit/control_registry.h"
#include "toolkit/painter.h"
#include "toolkit/skin_resources.h"

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
      {96, L"root", {0, 0, 400, 300}},       {96, L"top", {10, 10, 390, 50}},
      {96, L"red", {10, 10, 60, 50}},        {96, L"stretch", {70, 10, 340, 50}},
      {96, L"blue", {355, 15, 385, 45}},     {96, L"floater", {350, 5, 390, 25}},
      {96, L"images", {10, 55, 390, 95}},    {96, L"nine", {10, 55, 110, 95}},
      {96, L"progress", {302, 55, 382, 95}}, {96, L"tabs", {10, 164, 390, 204}},
      {96, L"bottom", {10, 209, 390, 290}},  {96, L"list", {10, 209, 130, 290}},
      {96, L"item0", {10, 229, 130, 249}},   {144, L"root", {0, 0, 600, 450}},
      {144, L"top", {15, 15, 585, 75}},      {144, L"red", {15, 15, 90, 75}},
      {144, L"stretch", {105, 15, 509, 75}}, {144, L"blue", {532, 23, 577, 67}},
      {144, L"floater", {525, 8, 585, 38}},  {144, L"nine", {15, 83, 165, 143}},
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
          EXPECT_FALSE(a->rect().Intersects(b->rect())) << testing::PrintToString(a->name()) << " overlaps "
                                                        << testing::PrintToString(b->name()) << " at " << dpi;
        }
      }
    }
    // The auto-sized label holds its whole text at every scale.
    toolkit::Control* hello = window->FindControl(L"hello");
    const toolkit::Size text =
        toolkit::MeasureTextForLayout(window->resources(), dpi, L"Hello", -1, 0, toolkit::TextFlags::kNone);
    EXPECT_GE(hello->rect().width(), text.cx) << dpi;
    EXPECT_GE(hello->rect().height(), text.cy) << dpi;
    EXPECT_GT(text.cx, 20 * dpi / 96) << "the font did not scale";
  }
}

using Attributes = std::vector<std::pair<std::wstring, std::wstring>>;

// A layout of a known size built in code.
std::unique_ptr<toolkit::WindowCore> BuiltLayout(const wchar_t* layout_class, const Attributes& layout_attributes,
                                                 toolkit::Size size, int dpi, const std::vector<Attributes>& children) {
  auto description = std::make_unique<toolkit::WindowDescription>();
  description->resources = std::make_shared<toolkit::SkinResources>(nullptr);
  description->size = size;
  auto apply = [](toolkit::Control& control, const Attributes& attributes) {
    for (const auto& [name, value] : attributes) {
      if (!control.SetAttribute(name, value)) ADD_FAILURE() << testing::PrintToString(name);
    }
  };
  description->root = toolkit::CreateControl(layout_class);
  apply(*description->root, layout_attributes);
  for (const Attributes& attributes : children) {
    auto child = toolkit::CreateControl(L"Control");
    apply(*child, attributes);
    (void)description->root->AddChild(std::move(child));
  }
  auto window = std::make_unique<toolkit::WindowCore>(std::move(description), dpi);
  window->LayoutIfNeeded();
  return window;
}

TEST(LayoutTest, StretchedSiblingsShareTheExtraSpaceEvenlyTheLastTakingTheRemainder) {
  struct Case {
    const char* what;
    const wchar_t* layout;
    Attributes layout_attributes;
    toolkit::Size size;  // 96-DPI units
    int dpi;
    std::vector<Attributes> children;
    std::vector<Rect> expected;  // one per child, device pixels
  } cases[] = {
      {"three stretched after a fixed one",
       L"HorizontalLayout",
       {},
       {400, 40},
       96,
       {{{L"width", L"40"}}, {}, {}, {}},
       {{0, 0, 40, 40}, {40, 0, 160, 40}, {160, 0, 280, 40}, {280, 0, 400, 40}}},
      {"100 pixels in three, with gaps",
       L"HorizontalLayout",
       {{L"childpadding", L"5"}},
       {110, 20},
       96,
       {{}, {}, {}},
       {{0, 0, 33, 20}, {38, 0, 71, 20}, {76, 0, 110, 20}}},
      {"a column with margins",
       L"VerticalLayout",
       {},
       {50, 300},
       96,
       {{{L"height", L"60"}}, {{L"padding", L"0,5,0,5"}}, {{L"padding", L"0,5,0,5"}}},
       {{0, 0, 50, 60}, {0, 65, 50, 175}, {0, 185, 50, 295}}},
      {"four stretched at 144 DPI",
       L"HorizontalLayout",
       {},
       {300, 20},
       144,
       {{{L"width", L"30"}}, {}, {}, {}, {}},
       {{0, 0, 45, 30}, {45, 0, 146, 30}, {146, 0, 247, 30}, {247, 0, 348, 30}, {348, 0, 450, 30}}},
      {"a capped one leaves its share to the rest",
       L"HorizontalLayout",
       {},
       {400, 40},
       96,
       {{{L"width", L"40"}}, {{L"maxwidth", L"50"}}, {}, {}},
       {{0, 0, 40, 40}, {40, 0, 90, 40}, {90, 0, 245, 40}, {245, 0, 400, 40}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto window = BuiltLayout(c.layout, c.layout_attributes, c.size, c.dpi, c.children);
    ASSERT_EQ(window->root()->child_count(), c.expected.size());
    for (size_t i = 0; i < c.expected.size(); ++i) EXPECT_EQ(window->root()->child(i)->rect(), c.expected[i]) << i;
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

TEST(LayoutTest, ContainersScrollSidewaysByWheelThumbAndTrackAndStayInRangeOnResize) {
  auto archive = OpenTestSkin(L"gallery");
  for (int dpi : {96, 144}) {
    SCOPED_TRACE(dpi);
    const auto px = [dpi](int value) { return value * dpi / 96; };
    auto window = OpenWindow(archive, L"scrolling.xml", dpi);
    ASSERT_TRUE(window);
    window->LayoutIfNeeded();
    auto* wide_box = dynamic_cast<toolkit::Container*>(window->FindControl(L"wide"));
    ASSERT_NE(wide_box, nullptr);
    const Rect wide = RectOf(*window, L"wide");
    EXPECT_EQ(wide, (Rect{px(10), px(10), px(290), px(60)}));
    // The row keeps its fixed widths past the view instead of squeezing them.
    EXPECT_EQ(RectOf(*window, L"w4"), (Rect{px(410), px(10), px(510), px(60)}));
    EXPECT_EQ(wide_box->content_width(), px(500));
    const int max_offset = px(500) - px(280);

    // Shift+wheel: one notch moves 40 (scaled) pixels; far past either end stops there.
    const toolkit::Point over{px(50), px(30)};
    window->Wheel(over, -WHEEL_DELTA, true);
    EXPECT_EQ(RectOf(*window, L"w0").left, px(10) - px(40));
    EXPECT_EQ(window->ReadState(L"wide", L"hscrollpos"), std::optional<std::wstring>(std::to_wstring(px(40))));
    EXPECT_EQ(wide_box->scroll_offset(), 0) << "the vertical offset stays";
    for (int i = 0; i < 30; ++i) window->Wheel(over, -WHEEL_DELTA, true);
    EXPECT_EQ(wide_box->hscroll_offset(), max_offset);
    EXPECT_EQ(RectOf(*window, L"w4").right, wide.right);
    for (int i = 0; i < 30; ++i) window->Wheel(over, WHEEL_DELTA, true);
    EXPECT_EQ(RectOf(*window, L"w0"), (Rect{px(10), px(10), px(110), px(60)}));
    // A plain wheel turn does not move a container that only scrolls sideways.
    window->Wheel(over, -WHEEL_DELTA);
    EXPECT_EQ(wide_box->hscroll_offset(), 0);

    // The bar lies along the bottom edge; its thumb follows the pointer.
    const int bar = px(6);
    const toolkit::Point thumb{wide.left + px(20), wide.bottom - bar / 2};
    EXPECT_EQ(window->ControlAt(thumb), wide_box);
    EXPECT_NE(window->ControlAt({thumb.x, wide.bottom - bar - 2}), wide_box);
    window->ButtonDown(thumb);
    window->MouseMove({wide.right + px(300), thumb.y});
    window->ButtonUp({wide.right + px(300), thumb.y});
    EXPECT_EQ(wide_box->hscroll_offset(), max_offset);
    window->ButtonDown({wide.right - px(10), thumb.y});
    window->MouseMove({wide.left - px(300), thumb.y + px(40)});
    window->ButtonUp({wide.left - px(300), thumb.y + px(40)});
    EXPECT_EQ(wide_box->hscroll_offset(), 0);
    // Half the thumb's travel shows half the hidden content.
    const int thumb_length = std::max(px(16), px(280) * px(280) / px(500));
    const int travel = px(280) - thumb_length;
    window->ButtonDown(thumb);
    window->MouseMove({thumb.x + travel / 2, thumb.y});
    window->ButtonUp({thumb.x + travel / 2, thumb.y});
    EXPECT_NEAR(wide_box->hscroll_offset(), max_offset / 2, 2);
    // A press on the track beside the thumb pages towards it.
    window->ButtonDown({wide.left + 1, thumb.y});
    window->ButtonUp({wide.left + 1, thumb.y});
    EXPECT_EQ(wide_box->hscroll_offset(), 0);
    window->ButtonDown({wide.right - 2, thumb.y});
    window->ButtonUp({wide.right - 2, thumb.y});
    EXPECT_EQ(wide_box->hscroll_offset(), std::min(max_offset, px(280) - px(16)));

    // Pixels: the thumb is drawn over the content at the bottom, the rest of the track is not.
    for (int i = 0; i < 30; ++i) window->Wheel(over, WHEEL_DELTA, true);
    {
      const toolkit::RenderedImage image = window->Render();
      EXPECT_TRUE(toolkit_test::ColorNear(image.At(wide.left + px(20), wide.bottom - bar / 2), {191, 64, 64}, 6));
      EXPECT_TRUE(toolkit_test::ColorNear(image.At(wide.right - px(20), wide.bottom - bar / 2), {0, 0, 255}));
      EXPECT_TRUE(toolkit_test::ColorNear(image.At(wide.left + px(20), wide.bottom - bar - 2), {255, 0, 0}));
    }
    for (int i = 0; i < 30; ++i) window->Wheel(over, -WHEEL_DELTA, true);
    {
      const toolkit::RenderedImage image = window->Render();
      EXPECT_TRUE(toolkit_test::ColorNear(image.At(wide.left + px(20), wide.bottom - bar / 2), {0, 0, 255}));
      EXPECT_TRUE(toolkit_test::ColorNear(image.At(wide.right - px(20), wide.bottom - bar / 2), {64, 191, 191}, 6));
    }

    // Resizing keeps the offset in range: wider shows more and scrolls back,
    // wide enough for everything shows all without a bar.
    window->Resize({px(400), px(200)});
    window->LayoutIfNeeded();
    EXPECT_EQ(wide_box->hscroll_offset(), px(500) - px(380));
    EXPECT_EQ(RectOf(*window, L"w4").right, RectOf(*window, L"wide").right);
    window->Resize({px(600), px(200)});
    window->LayoutIfNeeded();
    EXPECT_EQ(wide_box->hscroll_offset(), 0);
    EXPECT_EQ(RectOf(*window, L"w0").left, px(10));
    EXPECT_NE(window->ControlAt({px(20), RectOf(*window, L"wide").bottom - 1}), wide_box);
    window->Resize({px(300), px(200)});
    window->LayoutIfNeeded();

    // Both ways at once: the axes move independently, each bar stops short of the corner.
    auto* both_box = dynamic_cast<toolkit::Container*>(window->FindControl(L"both"));
    ASSERT_NE(both_box, nullptr);
    const Rect both = RectOf(*window, L"both");
    EXPECT_EQ(both, (Rect{px(10), px(70), px(210), px(150)}));
    EXPECT_EQ(RectOf(*window, L"b1").width(), px(500)) << "a stretched child spans the content's width";
    EXPECT_EQ(RectOf(*window, L"b2").width(), px(300));
    const toolkit::Point inside{both.left + px(30), both.top + px(30)};
    window->Wheel(inside, -WHEEL_DELTA);
    EXPECT_EQ(both_box->scroll_offset(), px(40));
    EXPECT_EQ(both_box->hscroll_offset(), 0);
    window->Wheel(inside, -WHEEL_DELTA, true);
    EXPECT_EQ(both_box->scroll_offset(), px(40));
    EXPECT_EQ(both_box->hscroll_offset(), px(40));
    EXPECT_EQ(RectOf(*window, L"b0").left, both.left - px(40));
    EXPECT_EQ(RectOf(*window, L"b0").top, both.top - px(40));
    for (int i = 0; i < 30; ++i) {
      window->Wheel(inside, -WHEEL_DELTA);
      window->Wheel(inside, -WHEEL_DELTA, true);
    }
    EXPECT_EQ(both_box->scroll_offset(), px(180) - px(80));
    EXPECT_EQ(both_box->hscroll_offset(), px(500) - px(200));
    EXPECT_EQ(window->ControlAt({both.right - bar / 2, both.bottom - bar - 2}), both_box);
    EXPECT_EQ(window->ControlAt({both.right - bar - 2, both.bottom - bar / 2}), both_box);
    // Dragging the vertical thumb back to the top leaves the sideways offset alone.
    window->ButtonDown({both.right - bar / 2, both.bottom - bar - 3});
    window->MouseMove({both.right - bar / 2, both.top - px(200)});
    window->ButtonUp({both.right - bar / 2, both.top - px(200)});
    EXPECT_EQ(both_box->scroll_offset(), 0);
    EXPECT_EQ(both_box->hscroll_offset(), px(500) - px(200));

    // A row with both bars scrolls down only by what lies below it: its
    // children fit its height, so a plain wheel turn moves nothing.
    ASSERT_TRUE(window->SetAttribute(L"wide", L"vscrollbar", L"true"));
    window->LayoutIfNeeded();
    window->Wheel(over, -WHEEL_DELTA);
    EXPECT_EQ(wide_box->scroll_offset(), 0);
    EXPECT_EQ(wide_box->content_extent(), px(50));
    EXPECT_NE(window->ControlAt({wide.right - 1, wide.top + px(10)}), wide_box) << "no vertical bar";

    // Content narrower than the view: no bar, Shift+wheel moves nothing.
    const Rect n0 = RectOf(*window, L"n0");
    window->Wheel({n0.left + 5, n0.top + 5}, -WHEEL_DELTA, true);
    EXPECT_EQ(RectOf(*window, L"n0"), n0);
    EXPECT_EQ(window->ReadState(L"narrow", L"hscrollpos"), std::optional<std::wstring>(L"0"));
  }
}

TEST(LayoutTest, EveryClassOfTheContractIsRegisteredAndBuilds) {
  const wchar_t* contract[] = {L"Control",
                               L"Container",
                               L"VerticalLayout",
                               L"HorizontalLayout",
                               L"VBox",
                               L"HBox",
                               L"TileLayout",
                               L"TabLayout",
                               L"ChildLayout",
                               L"Label",
                               L"Text",
                               L"Button",
                               L"Option",
                               L"CheckBox",
                               L"Combo",
                               L"ComboBox",
                               L"Edit",
                               L"RichEdit",
                               L"ExtendRichEdit",
                               L"Progress",
                               L"Slider",
                               L"ScrollBar",
                               L"List",
                               L"ListHeader",
                               L"ListHeaderItem",
                               L"ListLabelElement",
                               L"ListTextElement",
                               L"ListHBoxElement",
                               L"ListContainerElement",
                               L"Tree",
                               L"TreeView",
                               L"TreeNode",
                               L"DateTime",
                               L"ActiveX",
                               L"WebBrowser",
                               L"GifAnim"};
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
