// Trees: nodes that open and close, and one Tab stop for the whole tree.
#pragma once

#include "toolkit/linear_layout.h"

namespace toolkit {

class TreeView;

class TreeNode : public Container {
 public:
  TreeNode();
  [[nodiscard]] Size Measure(Size available) override;
  [[nodiscard]] Control* HitTest(Point point) override;
  bool HandleEvent(const UiEvent& event) override;
  [[nodiscard]] bool TakesMouse() const override { return Control::TakesMouse(); }
  [[nodiscard]] bool IsSelected() const override { return selected_; }
  void SetSelected(bool selected, bool notify) override;
  [[nodiscard]] bool expanded() const { return expanded_; }
  void SetExpanded(bool expanded);
  // "expanded" is read before the children exist: hides them in a closed node.
  void FinishBuild() override;
  [[nodiscard]] std::optional<std::wstring> GetAttribute(std::wstring_view name) const override;

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;
  int ArrangeChildren(const Rect& inner) override;
  void PaintBackground(Painter& painter) override;
  void PaintText(Painter& painter) override;
  void PaintChildren(Painter& painter, const Rect& dirty) override;

 private:
  [[nodiscard]] Rect RowRect() const;
  [[nodiscard]] int Depth() const;
  [[nodiscard]] TreeView* Tree() const;
  bool expanded_ = true;
  bool selected_ = false;
  int row_height_ = 22;
};

// One Tab stop for the whole tree: the keys move the selection among the
// shown nodes (Up, Down, Home, End), open and close nodes (Right, Left,
// Enter, Space). Every new selection raises "itemselect" with the node's
// position among all nodes, from the top, and its text.
class TreeView : public LinearLayout {
 public:
  explicit TreeView(std::wstring class_name = L"TreeView");
  void NodeSelected(TreeNode* node);
  // A node closing over the selected one takes the selection.
  void NodeCollapsed(TreeNode* node);
  [[nodiscard]] bool IsFocusable() const override { return true; }
  bool HandleEvent(const UiEvent& event) override;
  [[nodiscard]] std::optional<std::wstring> GetAttribute(std::wstring_view name) const override;
  [[nodiscard]] TreeNode* selected() const { return selected_; }

 private:
  // Nodes from the top; `shown_only` skips those inside closed nodes.
  [[nodiscard]] std::vector<TreeNode*> Nodes(bool shown_only) const;
  void Select(TreeNode* node);
  TreeNode* selected_ = nullptr;
};

}  // namespace toolkit
