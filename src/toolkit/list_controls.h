// Lists and trees: a List holds an optional header and selectable elements
// (label or container elements) and reports "itemselect"; a TreeView holds
// TreeNodes that expand and collapse.
#pragma once

#include "toolkit/containers.h"
#include "toolkit/controls.h"

namespace toolkit {

class List : public LinearLayout {
 public:
  explicit List(std::wstring class_name = L"List");
  [[nodiscard]] std::optional<std::wstring> GetAttribute(std::wstring_view name) const override;
  // Element `index` (header not counted); false when out of range.
  bool SelectItem(int index, bool notify);
  [[nodiscard]] int selected() const { return selected_; }
  [[nodiscard]] int ElementCount() const;
  [[nodiscard]] int IndexOf(const Control* element) const;
  [[nodiscard]] Control* Element(int index) const;
  bool HandleEvent(const UiEvent& event) override;
  [[nodiscard]] bool IsFocusable() const override { return true; }
  [[nodiscard]] bool TakesMouse() const override { return false; }

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;

 private:
  int selected_ = -1;
  int item_height_ = 0;
};

// Walks up to the List that owns `element` (nullptr when there is none).
[[nodiscard]] List* OwningList(Control* element);

class ListLabelElement : public Label {
 public:
  explicit ListLabelElement(std::wstring class_name = L"ListLabelElement");
  [[nodiscard]] bool TakesMouse() const override { return Control::TakesMouse(); }
  [[nodiscard]] bool IsSelected() const override { return selected_; }
  void SetSelected(bool selected, bool notify) override;
  void Activate() override;
  void PaintBackground(Painter& painter) override;

 private:
  bool selected_ = false;
};

class ListContainerElement : public LinearLayout {
 public:
  explicit ListContainerElement(std::wstring class_name = L"ListContainerElement");
  [[nodiscard]] bool TakesMouse() const override { return Control::TakesMouse(); }
  [[nodiscard]] bool IsSelected() const override { return selected_; }
  void SetSelected(bool selected, bool notify) override;
  void Activate() override;
  [[nodiscard]] Control* HitTest(Point point) override;

 protected:
  void PaintBackground(Painter& painter) override;

 private:
  bool selected_ = false;
};

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
  void FinishBuild();
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
