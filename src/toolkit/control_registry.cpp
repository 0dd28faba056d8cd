#include "toolkit/control_registry.h"

#include "toolkit/button.h"
#include "toolkit/child_layout.h"
#include "toolkit/combo.h"
#include "toolkit/date_time.h"
#include "toolkit/edit.h"
#include "toolkit/gif_anim.h"
#include "toolkit/list.h"
#include "toolkit/progress.h"
#include "toolkit/tab_layout.h"
#include "toolkit/tile_layout.h"
#include "toolkit/tree_view.h"
#include "toolkit/web_browser.h"

namespace toolkit {
namespace {

using Factory = std::unique_ptr<Control> (*)();

struct ClassEntry {
  std::wstring_view name;
  Factory create;
};

template <class T>
std::unique_ptr<Control> Make() {
  return std::make_unique<T>();
}

const ClassEntry kClasses[] = {
    {L"Control", [] { return std::make_unique<Control>(L"Control"); }},
    {L"Container", [] { return std::unique_ptr<Control>(std::make_unique<Container>()); }},
    {L"VerticalLayout",
     [] { return std::unique_ptr<Control>(std::make_unique<LinearLayout>(L"VerticalLayout", Axis::kVertical)); }},
    {L"VBox", [] { return std::unique_ptr<Control>(std::make_unique<LinearLayout>(L"VBox", Axis::kVertical)); }},
    {L"HorizontalLayout",
     [] { return std::unique_ptr<Control>(std::make_unique<LinearLayout>(L"HorizontalLayout", Axis::kHorizontal)); }},
    {L"HBox", [] { return std::unique_ptr<Control>(std::make_unique<LinearLayout>(L"HBox", Axis::kHorizontal)); }},
    {L"TileLayout", Make<TileLayout>},
    {L"TabLayout", Make<TabLayout>},
    {L"ChildLayout", Make<ChildLayout>},
    {L"Label", [] { return std::unique_ptr<Control>(std::make_unique<Label>(L"Label")); }},
    {L"Text", [] { return std::unique_ptr<Control>(std::make_unique<Label>(L"Text")); }},
    {L"Button", [] { return std::unique_ptr<Control>(std::make_unique<Button>(L"Button")); }},
    {L"Option", [] { return std::unique_ptr<Control>(std::make_unique<Option>(L"Option", OptionKind::kRadio)); }},
    {L"CheckBox",
     [] { return std::unique_ptr<Control>(std::make_unique<Option>(L"CheckBox", OptionKind::kCheckBox)); }},
    {L"Combo", [] { return std::unique_ptr<Control>(std::make_unique<Combo>(L"Combo")); }},
    {L"ComboBox", [] { return std::unique_ptr<Control>(std::make_unique<Combo>(L"ComboBox")); }},
    {L"Edit", [] { return std::unique_ptr<Control>(std::make_unique<Edit>(L"Edit", EditKind::kPlain)); }},
    {L"RichEdit", [] { return std::unique_ptr<Control>(std::make_unique<Edit>(L"RichEdit", EditKind::kRich)); }},
    {L"ExtendRichEdit",
     [] { return std::unique_ptr<Control>(std::make_unique<Edit>(L"ExtendRichEdit", EditKind::kRich)); }},
    {L"Progress", [] { return std::unique_ptr<Control>(std::make_unique<Progress>(L"Progress")); }},
    {L"Slider", Make<Slider>},
    {L"ScrollBar", Make<ScrollBar>},
    {L"List", [] { return std::unique_ptr<Control>(std::make_unique<List>(L"List")); }},
    {L"ListHeader",
     [] { return std::unique_ptr<Control>(std::make_unique<LinearLayout>(L"ListHeader", Axis::kHorizontal)); }},
    {L"ListHeaderItem", [] { return std::unique_ptr<Control>(std::make_unique<Button>(L"ListHeaderItem")); }},
    {L"ListLabelElement",
     [] { return std::unique_ptr<Control>(std::make_unique<ListLabelElement>(L"ListLabelElement")); }},
    {L"ListTextElement",
     [] { return std::unique_ptr<Control>(std::make_unique<ListLabelElement>(L"ListTextElement")); }},
    {L"ListHBoxElement",
     [] { return std::unique_ptr<Control>(std::make_unique<ListContainerElement>(L"ListHBoxElement")); }},
    {L"ListContainerElement",
     [] { return std::unique_ptr<Control>(std::make_unique<ListContainerElement>(L"ListContainerElement")); }},
    {L"Tree", [] { return std::unique_ptr<Control>(std::make_unique<TreeView>(L"Tree")); }},
    {L"TreeView", [] { return std::unique_ptr<Control>(std::make_unique<TreeView>(L"TreeView")); }},
    {L"TreeNode", Make<TreeNode>},
    {L"DateTime", Make<DateTime>},
    {L"ActiveX", [] { return std::unique_ptr<Control>(std::make_unique<WebBrowser>(L"ActiveX")); }},
    {L"WebBrowser", [] { return std::unique_ptr<Control>(std::make_unique<WebBrowser>(L"WebBrowser")); }},
    {L"GifAnim", Make<GifAnim>},
};

}  // namespace

std::unique_ptr<Control> CreateControl(std::wstring_view class_name) {
  for (const ClassEntry& entry : kClasses) {
    if (entry.name == class_name) return entry.create();
  }
  return nullptr;
}

const std::vector<std::wstring_view>& RegisteredClassNames() {
  static const std::vector<std::wstring_view> names = [] {
    std::vector<std::wstring_view> list;
    for (const ClassEntry& entry : kClasses) list.push_back(entry.name);
    return list;
  }();
  return names;
}

}  // namespace toolkit
