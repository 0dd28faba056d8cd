#include <gtest/gtest.h>

#include "skin_test_support.h"
#include "toolkit/label.h"
#include "toolkit/tree_view.h"

namespace {

using toolkit::Notification;
using toolkit::Rect;
using toolkit_test::OpenTestSkin;
using toolkit_test::OpenWindow;

toolkit::Point Centre(const Rect& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

struct Recorded {
  std::wstring type;
  std::wstring name;
  int index;
  std::wstring text;
  bool operator==(const Recorded&) const = default;
};

void PrintTo(const Recorded& r, std::ostream* os) {
  *os << testing::PrintToString(r.type) << "/" << testing::PrintToString(r.name) << "/" << r.index << "/"
      << testing::PrintToString(r.text);
}

class WindowCoreTest : public testing::Test {
 protected:
  void SetUp() override {
    window_ = OpenWindow(OpenTestSkin(L"gallery"), L"main.xml", 96);
    ASSERT_TRUE(window_);
    // Focus changes are checked on their own; the other tests look at the rest.
    window_->SetNotificationSink([this](const Notification& n) {
      if (n.type != L"setfocus" && n.type != L"killfocus") seen_.push_back({n.type, n.sender_name, n.index, n.text});
    });
    (void)window_->Render();
  }
  void Click(const wchar_t* name) {
    const toolkit::Point p = Centre(window_->FindControl(name)->rect());
    window_->MouseMove(p);
    window_->ButtonDown(p);
    window_->ButtonUp(p);
  }
  std::unique_ptr<toolkit::WindowCore> window_;
  std::vector<Recorded> seen_;
};

TEST_F(WindowCoreTest, ClickNeedsPressAndReleaseOnTheSameControl) {
  Click(L"nine");
  EXPECT_EQ(seen_, (std::vector<Recorded>{{L"click", L"nine", 0, L""}}));
  seen_.clear();
  // Pressed on the button, released elsewhere: captured, no click.
  const toolkit::Point p = Centre(window_->FindControl(L"nine")->rect());
  window_->ButtonDown(p);
  window_->MouseMove({p.x + 300, p.y});
  EXPECT_EQ(window_->pushed(), window_->FindControl(L"nine"));
  window_->ButtonUp({p.x + 300, p.y});
  EXPECT_TRUE(seen_.empty());
  EXPECT_EQ(window_->pushed(), nullptr);
  // Disabled controls stay silent.
  ASSERT_TRUE(window_->SetAttribute(L"nine", L"enabled", L"false"));
  Click(L"nine");
  EXPECT_TRUE(seen_.empty());
}

TEST_F(WindowCoreTest, OptionsOfAGroupExcludeEachOtherAndCheckBoxesToggle) {
  EXPECT_TRUE(window_->IsSelected(L"opt1"));
  Click(L"opt2");
  EXPECT_FALSE(window_->IsSelected(L"opt1"));
  EXPECT_TRUE(window_->IsSelected(L"opt2"));
  EXPECT_EQ(seen_, (std::vector<Recorded>{{L"click", L"opt2", 0, L""},
                                          {L"selectchanged", L"opt1", 0, L""},
                                          {L"selectchanged", L"opt2", 0, L""}}));
  EXPECT_EQ(window_->ReadState(L"opt2", L"selected"), L"true");
  Click(L"chk");
  EXPECT_TRUE(window_->IsSelected(L"chk"));
  Click(L"chk");
  EXPECT_FALSE(window_->IsSelected(L"chk"));
}

TEST_F(WindowCoreTest, LinksRaiseTheirIndexAndTargetAndShowTheHand) {
  auto* links = dynamic_cast<toolkit::Label*>(window_->FindControl(L"links"));
  ASSERT_EQ(links->link_rects().size(), 2u);
  const toolkit::Point second = Centre(links->link_rects()[1].second);
  EXPECT_EQ(window_->CursorAt(second), ::LoadCursorW(nullptr, IDC_HAND));
  EXPECT_EQ(window_->CursorAt({links->rect().left + 1, links->rect().top + 1}), nullptr);
  window_->ButtonDown(second);
  window_->ButtonUp(second);
  EXPECT_EQ(seen_, (std::vector<Recorded>{{L"link", L"links", 1, L"privacy"}}));
  std::vector<Recorded> own;
  window_->SetControlHandler(L"links", [&](const Notification& n) {
    own.push_back({n.type, n.sender_name, n.index, n.text});
  });
  const toolkit::Point first = Centre(links->link_rects()[0].second);
  window_->ButtonDown(first);
  window_->ButtonUp(first);
  EXPECT_EQ(own, (std::vector<Recorded>{{L"link", L"links", 0, L"licence.html"}}));
}

TEST_F(WindowCoreTest, SelectItemChecksTheCountOfTabsCombosAndLists) {
  EXPECT_TRUE(window_->SelectItem(L"tabs", 2));
  EXPECT_EQ(window_->CurrentIndex(L"tabs"), 2);
  EXPECT_FALSE(window_->SelectItem(L"tabs", 3));
  EXPECT_FALSE(window_->SelectItem(L"tabs", -1));
  EXPECT_EQ(window_->CurrentIndex(L"tabs"), 2);
  EXPECT_FALSE(window_->SelectItem(L"missing", 0));
  EXPECT_EQ(window_->CurrentIndex(L"missing"), 0);

  EXPECT_EQ(window_->Text(L"combo"), L"English");
  EXPECT_TRUE(window_->SelectItem(L"combo", 2));
  EXPECT_EQ(window_->Text(L"combo"), L"Fran\u00e7ais");
  EXPECT_FALSE(window_->SelectItem(L"combo", 3));
  EXPECT_TRUE(window_->FillCombo(L"combo", {L"A", L"B", L"C"}, L"B"));
  EXPECT_EQ(window_->CurrentIndex(L"combo"), 1);
  EXPECT_TRUE(window_->FillCombo(L"combo", {L"X"}, L"nothing matches"));
  EXPECT_EQ(window_->CurrentIndex(L"combo"), 0);
  EXPECT_FALSE(window_->FillCombo(L"tabs", {L"X"}, L"X"));

  seen_.clear();
  Click(L"item1");
  EXPECT_EQ(window_->CurrentIndex(L"list"), 1);
  EXPECT_EQ(seen_, (std::vector<Recorded>{{L"itemselect", L"list", 1, L""}}));
  EXPECT_FALSE(window_->SelectItem(L"list", 3));
}

TEST_F(WindowCoreTest, TabCyclesFocusAndEnterOrSpaceActivates) {
  std::vector<std::wstring> order;
  for (int i = 0; i < 12; ++i) {
    ASSERT_TRUE(window_->KeyDown(VK_TAB, false));
    order.push_back(window_->focused()->name());
  }
  EXPECT_EQ(order[0], L"nine");
  EXPECT_EQ(order[1], L"opt1");
  // Shift+Tab goes back.
  ASSERT_TRUE(window_->KeyDown(VK_TAB, true));
  EXPECT_EQ(window_->focused()->name(), order[10]);
  window_->SetFocus(window_->FindControl(L"nine"));
  seen_.clear();
  EXPECT_TRUE(window_->KeyDown(VK_RETURN, false));
  EXPECT_TRUE(window_->KeyDown(VK_SPACE, false));
  EXPECT_EQ(seen_, (std::vector<Recorded>{{L"click", L"nine", 0, L""}, {L"click", L"nine", 0, L""}}));
  window_->SetFocus(window_->FindControl(L"edit"));
  seen_.clear();
  EXPECT_TRUE(window_->KeyDown(VK_RETURN, false));
  ASSERT_FALSE(seen_.empty());
  EXPECT_EQ(seen_.back(), (Recorded{L"return", L"edit", 0, L""}));
  // Hidden controls are skipped.
  (void)window_->SetAttribute(L"inputs", L"visible", L"false");
  for (int i = 0; i < 12; ++i) {
    ASSERT_TRUE(window_->KeyDown(VK_TAB, false));
    EXPECT_NE(window_->focused()->name(), L"opt1");
  }
}

TEST_F(WindowCoreTest, HiddenOrDisabledControlsTakeNoKeysNorClicks) {
  // A focused button hidden by the program, or inside a hidden parent, lets
  // the focus go; the keys then reach nothing.
  window_->SetFocus(window_->FindControl(L"nine"));
  ASSERT_TRUE(window_->SetAttribute(L"nine", L"visible", L"false"));
  EXPECT_EQ(window_->focused(), nullptr);
  window_->SetFocus(window_->FindControl(L"edit"));
  ASSERT_TRUE(window_->SetAttribute(L"inputs", L"visible", L"false"));
  EXPECT_EQ(window_->focused(), nullptr);
  // Even a hidden control that still has the focus takes no keys.
  window_->SetFocus(window_->FindControl(L"opt2"));
  ASSERT_EQ(window_->focused(), window_->FindControl(L"opt2"));
  seen_.clear();
  for (int key : {VK_RETURN, VK_SPACE}) EXPECT_FALSE(window_->KeyDown(key, false));
  window_->SetFocus(window_->FindControl(L"edit"));
  EXPECT_FALSE(window_->KeyDown(VK_RETURN, false));
  EXPECT_TRUE(seen_.empty());
  EXPECT_FALSE(window_->IsSelected(L"opt2"));

  // Disabled controls keep no keys either, the edit's Enter included.
  ASSERT_TRUE(window_->SetAttribute(L"inputs", L"visible", L"true"));
  ASSERT_TRUE(window_->SetAttribute(L"nine", L"visible", L"true"));
  (void)window_->Render();
  for (const wchar_t* name : {L"nine", L"opt2", L"edit"}) {
    ASSERT_TRUE(window_->SetAttribute(name, L"enabled", L"false"));
    window_->SetFocus(window_->FindControl(name));
    for (int key : {VK_RETURN, VK_SPACE})
      EXPECT_FALSE(window_->KeyDown(key, false)) << testing::PrintToString(std::wstring(name));
  }
  EXPECT_TRUE(seen_.empty());
  EXPECT_FALSE(window_->IsSelected(L"opt2"));
  ASSERT_TRUE(window_->SetAttribute(L"nine", L"enabled", L"true"));

  // A button pressed and then hidden before the release is not clicked.
  const toolkit::Point p = Centre(window_->FindControl(L"nine")->rect());
  window_->MouseMove(p);
  window_->ButtonDown(p);
  ASSERT_EQ(window_->pushed(), window_->FindControl(L"nine"));
  ASSERT_TRUE(window_->SetAttribute(L"images", L"visible", L"false"));
  EXPECT_EQ(window_->pushed(), nullptr);
  window_->ButtonUp(p);
  EXPECT_TRUE(seen_.empty());
  EXPECT_EQ(window_->FindControl(L"nine")->state() & (toolkit::kStatePushed | toolkit::kStateHot), 0u);

  // A scroll thumb dragged when its container goes away is dragged no more:
  // back in view, the pointer passing over it moves nothing.
  const Rect scroller = window_->FindControl(L"scroller")->rect();
  const toolkit::Point thumb{scroller.right - 2, scroller.top + 5};
  window_->MouseMove(thumb);
  window_->ButtonDown(thumb);
  ASSERT_TRUE(window_->SetAttribute(L"bottom", L"visible", L"false"));
  ASSERT_TRUE(window_->SetAttribute(L"bottom", L"visible", L"true"));
  window_->LayoutIfNeeded();
  window_->MouseMove({thumb.x, scroller.bottom - 2});
  EXPECT_EQ(window_->ReadState(L"scroller", L"scrollpos"), L"0");
}

TEST(TabFocusTest, AFocusedControlOnAPageThatGoesLetsTheFocusGo) {
  auto window = OpenWindow(OpenTestSkin(L"gallery"), L"tabs.xml", 96);
  ASSERT_TRUE(window);
  std::vector<Recorded> seen;
  window->SetNotificationSink([&seen](const Notification& n) {
    if (n.type != L"setfocus" && n.type != L"killfocus") seen.push_back({n.type, n.sender_name, n.index, n.text});
  });
  (void)window->Render();
  for (const wchar_t* name : {L"first", L"name"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
    ASSERT_TRUE(window->SelectItem(L"pages", 0));
    window->SetFocus(window->FindControl(name));
    ASSERT_TRUE(window->SelectItem(L"pages", 1));
    EXPECT_EQ(window->focused(), nullptr);
    for (int key : {VK_RETURN, VK_SPACE}) EXPECT_FALSE(window->KeyDown(key, false));
    EXPECT_TRUE(seen.empty());
    // Tab goes on from the start among what shows.
    EXPECT_TRUE(window->KeyDown(VK_TAB, false));
    EXPECT_EQ(window->focused(), window->FindControl(L"second"));
  }
}

TEST_F(WindowCoreTest, CaptionDragsExceptOverControlsThatTakeInput) {
  EXPECT_TRUE(window_->IsCaption({200, 3}));
  EXPECT_TRUE(window_->IsCaption({30, 20}));  // over a plain coloured control
  EXPECT_FALSE(window_->IsCaption({200, 40}));
  window_->SetAttribute(L"red", L"visible", L"false");
}

TEST_F(WindowCoreTest, AttributesSetAtRunTimeReadBack) {
  struct Case {
    const wchar_t* name;
    const wchar_t* attribute;
    const wchar_t* value;
  } cases[] = {
      {L"hello", L"text", L"Changed"}, {L"hello", L"visible", L"false"}, {L"nine", L"enabled", L"false"},
      {L"opt2", L"selected", L"true"}, {L"red", L"width", L"70"},        {L"logo", L"bkimage", L"images/alpha.png"},
      {L"nine", L"tooltip", L"Press"}, {L"progress", L"value", L"75"},   {L"tabs", L"index", L"0"},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(window_->SetAttribute(c.name, c.attribute, c.value))
        << testing::PrintToString(std::wstring(c.attribute));
    EXPECT_EQ(window_->ReadState(c.name, c.attribute), std::wstring(c.value))
        << testing::PrintToString(std::wstring(c.attribute));
  }
  EXPECT_FALSE(window_->SetAttribute(L"missing", L"text", L"x"));
  EXPECT_FALSE(window_->SetAttribute(L"hello", L"no-such-attribute", L"x"));
  EXPECT_EQ(window_->ReadState(L"missing", L"text"), std::nullopt);
  EXPECT_EQ(window_->ReadState(L"progress", L"value"), L"75");
  (void)window_->SetAttribute(L"progress", L"value", L"1000");
  EXPECT_EQ(window_->ReadState(L"progress", L"value"), L"100");
}

TEST_F(WindowCoreTest, TreeNodesCollapseAndSelect) {
  toolkit::Control* node = window_->FindControl(L"node");
  const Rect row{node->rect().left, node->rect().top, node->rect().right, node->rect().top + 20};
  window_->ButtonDown({row.left + 4, row.top + 10});
  window_->ButtonUp({row.left + 4, row.top + 10});
  EXPECT_EQ(window_->ReadState(L"node", L"expanded"), L"false");
  EXPECT_FALSE(window_->FindControl(L"leaf1")->visible());
  window_->LayoutIfNeeded();
  EXPECT_EQ(node->rect().height(), 20);
  window_->ButtonDown({row.left + 40, row.top + 10});
  window_->ButtonUp({row.left + 40, row.top + 10});
  EXPECT_TRUE(node->IsSelected());
  ASSERT_FALSE(seen_.empty());
  EXPECT_EQ(seen_.back(), (Recorded{L"itemselect", L"tree", 0, L"Root"}));
}

// Dark (text or expander) pixels of one row between two x positions.
int DarkPixels(const toolkit::RenderedImage& image, int top, int height, int from_x, int to_x) {
  int count = 0;
  for (int y = top; y < top + height; ++y) {
    for (int x = from_x; x < to_x; ++x) count += (image.At(x, y) & 0xFF) < 128 ? 1 : 0;
  }
  return count;
}

TEST(TreeViewTest, ClicksAndKeysOpenCloseAndSelectNodesWithIndentedRowsAt96And144Dpi) {
  auto archive = OpenTestSkin(L"gallery");
  for (int dpi : {96, 144}) {
    SCOPED_TRACE(dpi);
    const auto px = [dpi](int value) { return value * dpi / 96; };
    auto window = OpenWindow(archive, L"tree.xml", dpi);
    ASSERT_TRUE(window);
    std::vector<Recorded> seen;
    window->SetNotificationSink([&seen](const Notification& n) {
      if (n.type == L"itemselect") seen.push_back({n.type, n.sender_name, n.index, n.text});
    });
    window->LayoutIfNeeded();
    auto* tree = dynamic_cast<toolkit::TreeView*>(window->FindControl(L"tree"));
    ASSERT_NE(tree, nullptr);
    const auto row_of = [&](const wchar_t* name) { return window->FindControl(name)->rect(); };
    const Rect a = row_of(L"a");
    const int row = px(20);
    // Rows stack in order; the closed node hides its child and takes one row.
    EXPECT_EQ(a.top, px(10));
    EXPECT_EQ(row_of(L"a1").top, a.top + row);
    EXPECT_EQ(row_of(L"a1x").top, a.top + 2 * row);
    EXPECT_EQ(row_of(L"a2").top, a.top + 3 * row);
    EXPECT_EQ(row_of(L"b").top, a.top + 4 * row);
    EXPECT_FALSE(window->FindControl(L"b1")->visible());
    EXPECT_EQ(row_of(L"c").top, a.top + 5 * row);

    // Indentation: each level moves the expander and the text one step right.
    {
      const toolkit::RenderedImage image = window->Render();
      const int step = px(16);
      const Rect a1 = row_of(L"a1");
      const Rect deep = row_of(L"a1x");
      EXPECT_EQ(DarkPixels(image, a1.top, row, a1.left, a1.left + step), 0);
      EXPECT_GT(DarkPixels(image, a1.top, row, a1.left + step, a1.left + 2 * step), 0) << "the expander";
      EXPECT_GT(DarkPixels(image, a1.top, row, a1.left + 2 * step, a1.right), 0) << "the text";
      EXPECT_EQ(DarkPixels(image, deep.top, row, deep.left, deep.left + 3 * step - 1), 0) << "a leaf has no expander";
      EXPECT_GT(DarkPixels(image, deep.top, row, deep.left + 3 * step, deep.right), 0);
      EXPECT_GT(DarkPixels(image, a.top, row, a.left, a.left + step), 0);
    }

    // A click on the expander opens the closed node and moves the rows under it.
    const Rect b = row_of(L"b");
    window->ButtonDown({b.left + px(8), b.top + row / 2});
    window->ButtonUp({b.left + px(8), b.top + row / 2});
    EXPECT_EQ(window->ReadState(L"b", L"expanded"), L"true");
    window->LayoutIfNeeded();
    EXPECT_TRUE(window->FindControl(L"b1")->visible());
    EXPECT_TRUE(seen.empty()) << "opening is not selecting";

    // A click on the text selects, raises itemselect with the position from the
    // top among all nodes, and gives the tree the keys.
    const Rect deep = row_of(L"a1x");
    window->ButtonDown({deep.left + px(60), deep.top + row / 2});
    window->ButtonUp({deep.left + px(60), deep.top + row / 2});
    EXPECT_EQ(window->focused(), tree);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen.back(), (Recorded{L"itemselect", L"tree", 2, L"Deep"}));
    EXPECT_EQ(window->CurrentIndex(L"tree"), 2);
    EXPECT_EQ(window->ReadState(L"tree", L"text"), L"Deep");

    struct Step {
      int key;
      const wchar_t* selected;
      int index;
      const wchar_t* opened;  // a node whose state the key sets, or nullptr
      bool open;
    } steps[] = {
        {VK_DOWN, L"a2", 3, nullptr, false},   {VK_UP, L"a1x", 2, nullptr, false},
        {VK_LEFT, L"a1", 1, nullptr, false},                                       // a leaf steps to its parent
        {VK_LEFT, L"a1", 1, L"a1", false},                                         // an open node closes
        {VK_DOWN, L"a2", 3, nullptr, false},                                       // the closed node's child is skipped
        {VK_UP, L"a1", 1, nullptr, false},     {VK_RIGHT, L"a1", 1, L"a1", true},  // a closed node opens
        {VK_RIGHT, L"a1x", 2, nullptr, false},  // an open node steps into its first child
        {VK_HOME, L"a", 0, nullptr, false},    {VK_END, L"c", 6, nullptr, false},
        {VK_UP, L"b1", 5, nullptr, false},     {VK_UP, L"b", 4, nullptr, false},
        {VK_RETURN, L"b", 4, L"b", false},     {VK_SPACE, L"b", 4, L"b", true},
        {VK_DOWN, L"b1", 5, nullptr, false},   {VK_DOWN, L"c", 6, nullptr, false},
        {VK_DOWN, L"c", 6, nullptr, false},  // the last row stays
    };
    for (const Step& step : steps) {
      SCOPED_TRACE(testing::PrintToString(std::wstring(step.selected)) + " after key " + std::to_string(step.key));
      EXPECT_TRUE(window->KeyDown(step.key, false));
      window->LayoutIfNeeded();
      EXPECT_TRUE(window->FindControl(step.selected)->IsSelected());
      EXPECT_EQ(tree->selected(), window->FindControl(step.selected));
      EXPECT_EQ(window->CurrentIndex(L"tree"), step.index);
      EXPECT_EQ(seen.back(),
                (Recorded{L"itemselect", L"tree", step.index, window->FindControl(step.selected)->text()}));
      if (step.opened != nullptr) {
        EXPECT_EQ(window->ReadState(step.opened, L"expanded"), step.open ? L"true" : L"false");
      }
      // The selected row is always in view: the short view scrolls to it.
      const Rect selected = window->FindControl(step.selected)->rect();
      EXPECT_GE(selected.top, tree->rect().top);
      EXPECT_LE(selected.top + row, tree->rect().bottom);
    }
    // One selection at a time.
    int selected_count = 0;
    for (const wchar_t* name : {L"a", L"a1", L"a1x", L"a2", L"b", L"b1", L"c"}) {
      selected_count += window->FindControl(name)->IsSelected() ? 1 : 0;
    }
    EXPECT_EQ(selected_count, 1);

    // Closing a node over the selection moves the selection to that node.
    for (int i = 0; i < 6; ++i) (void)window->KeyDown(VK_UP, false);
    (void)window->KeyDown(VK_DOWN, false);
    (void)window->KeyDown(VK_DOWN, false);
    ASSERT_EQ(tree->selected(), window->FindControl(L"a1x"));
    window->LayoutIfNeeded();
    const Rect a_now = row_of(L"a");
    window->ButtonDown({a_now.left + px(8), a_now.top + row / 2});
    window->ButtonUp({a_now.left + px(8), a_now.top + row / 2});
    EXPECT_EQ(window->ReadState(L"a", L"expanded"), L"false");
    EXPECT_EQ(tree->selected(), window->FindControl(L"a"));
    EXPECT_EQ(seen.back(), (Recorded{L"itemselect", L"tree", 0, L"Alpha"}));
    EXPECT_FALSE(window->FindControl(L"a1x")->IsSelected());
  }
}

}  // namespace
