#include <gtest/gtest.h>

#include "skin_test_support.h"
#include "toolkit/controls.h"

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
  window_->SetControlHandler(L"links", [&](const Notification& n) { own.push_back({n.type, n.sender_name, n.index, n.text}); });
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
      {L"hello", L"text", L"Changed"},  {L"hello", L"visible", L"false"}, {L"nine", L"enabled", L"false"},
      {L"opt2", L"selected", L"true"},  {L"red", L"width", L"70"},        {L"logo", L"bkimage", L"images/alpha.png"},
      {L"nine", L"tooltip", L"Press"},  {L"progress", L"value", L"75"},   {L"tabs", L"index", L"0"},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(window_->SetAttribute(c.name, c.attribute, c.value)) << testing::PrintToString(std::wstring(c.attribute));
    EXPECT_EQ(window_->ReadState(c.name, c.attribute), std::wstring(c.value)) << testing::PrintToString(std::wstring(c.attribute));
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

}  // namespace
