#include "toolkit/tree_view.h"

#include <algorithm>

#include "platform/text.h"
#include "toolkit/list.h"

namespace toolkit {
namespace {

constexpr int kTreeIndent = 16;

// A child node's own height, or one default row for other controls.
int ChildHeight(Control& child, Size available) {
  const int measured = child.Measure(available).cy;
  return measured > 0 ? measured : child.Scale(22);
}

}  // namespace

TreeNode::TreeNode() : Container(L"TreeNode") {}

bool TreeNode::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (name == L"expanded" || name == L"expand")
    SetExpanded(ParseBool(value).value_or(true));
  else if (name == L"itemheight")
    row_height_ = std::clamp(ParseInt(value).value_or(22), 1, 1000);
  else if (name == L"folderattr" || name == L"itemattr" || name == L"checkboxattr" || name == L"dottedline") {
  } else
    return Container::ApplyAttribute(name, value);
  NeedLayout();
  return true;
}

std::optional<std::wstring> TreeNode::GetAttribute(std::wstring_view name) const {
  if (name == L"expanded") return expanded_ ? L"true" : L"false";
  return Container::GetAttribute(name);
}

int TreeNode::Depth() const {
  int depth = 0;
  for (Control* c = parent(); c != nullptr && dynamic_cast<TreeNode*>(c) != nullptr; c = c->parent()) ++depth;
  return depth;
}

Rect TreeNode::RowRect() const { return {rect_.left, rect_.top, rect_.right, rect_.top + Scale(row_height_)}; }

TreeView* TreeNode::Tree() const {
  for (Control* c = parent(); c != nullptr; c = c->parent()) {
    if (auto* tree = dynamic_cast<TreeView*>(c)) return tree;
  }
  return nullptr;
}

void TreeNode::FinishBuild() {
  for (auto& child : children_) child->SetVisible(expanded_);
}

void TreeNode::SetExpanded(bool expanded) {
  if (expanded == expanded_) return;
  expanded_ = expanded;
  for (auto& child : children_) child->SetVisible(expanded_);
  NeedLayout();
  Invalidate();
  if (!expanded_) {
    if (TreeView* tree = Tree()) tree->NodeCollapsed(this);
  }
}

Size TreeNode::Measure(Size available) {
  int height = Scale(row_height_);
  if (expanded_) {
    for (auto& child : children_) {
      if (child->visible()) height += ChildHeight(*child, available);
    }
  }
  return {0, height};
}

int TreeNode::ArrangeChildren(const Rect& inner) {
  int top = inner.top + Scale(row_height_);
  for (auto& child : children_) {
    if (!child->visible()) continue;
    const int height = ChildHeight(*child, {inner.width(), 0});
    child->Arrange({inner.left, top, inner.right, top + height});
    top += height;
  }
  return top - inner.top;
}

Control* TreeNode::HitTest(Point point) {
  if (!visible() || !rect_.Contains(point)) return nullptr;
  if (RowRect().Contains(point)) return this;
  return Container::HitTest(point);
}

bool TreeNode::HandleEvent(const UiEvent& event) {
  if (event.type == UiEventType::kButtonUp && IsEnabledInTree() && (state_ & kStatePushed)) {
    SetStateFlag(kStatePushed, false);
    const int expander_right = rect_.left + Scale(kTreeIndent * (Depth() + 1));
    if (!children_.empty() && event.point.x < expander_right) {
      SetExpanded(!expanded_);
    } else {
      SetSelected(true, true);
    }
    return true;
  }
  return Control::HandleEvent(event);
}

void TreeNode::SetSelected(bool selected, bool notify) {
  if (selected == selected_) return;
  selected_ = selected;
  Invalidate();
  if (selected && notify) {
    if (TreeView* tree = Tree()) tree->NodeSelected(this);
  }
}

void TreeNode::PaintBackground(Painter& painter) {
  Container::PaintBackground(painter);
  PaintRowHighlight(painter, RowRect(), selected_, (state_ & kStateHot) != 0);
}

void TreeNode::PaintText(Painter& painter) {
  const Rect row = RowRect();
  const int indent = painter.Scale(kTreeIndent * Depth());
  if (!children_.empty()) {
    // A plus or minus sign as the expander.
    const int size = painter.Scale(8);
    const int cx = row.left + indent + painter.Scale(kTreeIndent) / 2;
    const int cy = row.top + row.height() / 2;
    const Argb color = CurrentTextColor();
    painter.FillRect({cx - size / 2, cy, cx + size / 2, cy + std::max(1, painter.Scale(1))}, color);
    if (!expanded_) painter.FillRect({cx, cy - size / 2, cx + std::max(1, painter.Scale(1)), cy + size / 2}, color);
  }
  Rect text_rect = row;
  text_rect.left += indent + painter.Scale(kTreeIndent);
  painter.DrawText(DisplayText(), text_rect, style_.font, CurrentTextColor(), TextFlags::kEndEllipsis);
}

void TreeNode::PaintChildren(Painter& painter, const Rect& dirty) {
  for (auto& child : children_) {
    if (child->visible()) child->Paint(painter, dirty);
  }
}

TreeView::TreeView(std::wstring class_name) : LinearLayout(std::move(class_name), Axis::kVertical) {}

void TreeView::NodeSelected(TreeNode* node) {
  if (selected_ != nullptr && selected_ != node) selected_->SetSelected(false, false);
  selected_ = node;
  const std::vector<TreeNode*> all = Nodes(false);
  const auto found = std::find(all.begin(), all.end(), node);
  Notify(L"itemselect", found == all.end() ? -1 : static_cast<int>(found - all.begin()), node->text());
}

void TreeView::NodeCollapsed(TreeNode* node) {
  for (Control* c = selected_ != nullptr ? selected_->parent() : nullptr; c != nullptr && c != this; c = c->parent()) {
    if (c == node) {
      Select(node);
      return;
    }
  }
}

void TreeView::Select(TreeNode* node) {
  if (node == nullptr || node == selected_) return;
  node->SetSelected(true, true);
  ScrollIntoView(node);
}

std::vector<TreeNode*> TreeView::Nodes(bool shown_only) const {
  std::vector<TreeNode*> nodes;
  for (size_t i = 0; i < child_count(); ++i) {
    WalkTree(*child(i), [&](Control& control) {
      auto* node = dynamic_cast<TreeNode*>(&control);
      if (node == nullptr) return Walk::kPastChildren;
      nodes.push_back(node);
      return shown_only && !node->expanded() ? Walk::kPastChildren : Walk::kIntoChildren;
    });
  }
  return nodes;
}

bool TreeView::HandleEvent(const UiEvent& event) {
  if (event.type != UiEventType::kKeyDown || !IsEnabledInTree()) return LinearLayout::HandleEvent(event);
  const std::vector<TreeNode*> shown = Nodes(true);
  if (shown.empty()) return false;
  const auto at = std::find(shown.begin(), shown.end(), selected_);
  const int index = at == shown.end() ? -1 : static_cast<int>(at - shown.begin());
  const int last = static_cast<int>(shown.size()) - 1;
  TreeNode* node = index >= 0 ? shown[index] : nullptr;
  switch (event.key) {
    case VK_DOWN: Select(shown[std::min(index + 1, last)]); return true;
    case VK_UP: Select(shown[std::max(index - 1, 0)]); return true;
    case VK_HOME: Select(shown.front()); return true;
    case VK_END: Select(shown.back()); return true;
    case VK_RIGHT:
      // Opens a closed node; on an open one, steps to its first child.
      if (node == nullptr)
        Select(shown.front());
      else if (!node->expanded())
        node->SetExpanded(true);
      else if (node->child_count() > 0 && index < last)
        Select(shown[index + 1]);
      return true;
    case VK_LEFT:
      // Closes an open node; on a closed one or a leaf, steps to its parent.
      if (node == nullptr)
        Select(shown.front());
      else if (node->expanded() && node->child_count() > 0)
        node->SetExpanded(false);
      else if (auto* parent_node = dynamic_cast<TreeNode*>(node->parent()))
        Select(parent_node);
      return true;
    case VK_RETURN:
    case VK_SPACE:
      if (node != nullptr && node->child_count() > 0) node->SetExpanded(!node->expanded());
      return node != nullptr;
    default: return LinearLayout::HandleEvent(event);
  }
}

std::optional<std::wstring> TreeView::GetAttribute(std::wstring_view name) const {
  if (name == L"text" && selected_ != nullptr) return selected_->text();
  if (name == L"index") {
    if (selected_ == nullptr) return L"-1";
    const std::vector<TreeNode*> all = Nodes(false);
    return platform::DecimalText(std::find(all.begin(), all.end(), selected_) - all.begin());
  }
  return LinearLayout::GetAttribute(name);
}

}  // namespace toolkit
