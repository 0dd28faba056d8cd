// The base of every control: a name, attributes set by name, children owned
// by their parent, measure-and-arrange layout in device pixels, painting of
// background, images per state, text and border, and input state (hot,
// pushed, focused). A control reaches its window only through ControlHost.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/windows_api.h"
#include "toolkit/attribute_values.h"
#include "toolkit/control_style.h"
#include "toolkit/geometry.h"
#include "toolkit/painter.h"

namespace toolkit {

class Combo;
class Control;
class Edit;
class SkinResources;
class WebBrowser;

// What a control tells its window: a type ("click", "selectchanged", …), the
// sender, and for "link" the link's index and target text.
struct Notification {
  std::wstring type;
  Control* sender = nullptr;
  std::wstring sender_name;
  int index = 0;
  std::wstring text;
};

class ControlHost {
 public:
  virtual ~ControlHost() = default;
  [[nodiscard]] virtual int dpi() const = 0;
  [[nodiscard]] virtual SkinResources& resources() = 0;
  virtual void Invalidate(const Rect& rect) = 0;
  virtual void RequestLayout() = 0;
  virtual void Notify(const Notification& notification) = 0;
  [[nodiscard]] virtual HWND native_window() const { return nullptr; }
  // Timers of a control (animation); ticks come back as Control::OnTimer.
  virtual void SetControlTimer(Control* control, UINT id, UINT elapse_ms) { (void)control, (void)id, (void)elapse_ms; }
  virtual void KillControlTimer(Control* control, UINT id) { (void)control, (void)id; }
  virtual void ControlRemoved(Control* control) { (void)control; }
  // `control` was hidden: it and everything inside it are no longer shown.
  virtual void ControlHidden(Control& control) { (void)control; }
  // Opens the drop-down list of a combo box; the choice comes back later
  // through Combo::SelectItem. False when the host has no list to show.
  virtual bool OpenDropDown(Combo& combo) {
    (void)combo;
    return false;
  }
  [[nodiscard]] virtual Control* root() const = 0;
};

// The native child windows a window host makes for the controls that ask.
class NativeChildren {
 public:
  virtual void AddEdit(Edit& edit) = 0;
  virtual void AddBrowser(WebBrowser& browser) = 0;

 protected:
  ~NativeChildren() = default;
};

enum class UiEventType {
  kMouseEnter,
  kMouseLeave,
  kMouseMove,
  kButtonDown,
  kButtonUp,
  // The press ended without a release on this control (it was hidden or
  // disabled meanwhile): whatever the press started stops, nothing is clicked.
  kPressCancelled,
  kDoubleClick,
  kWheel,
  kKeyDown,
  kSetFocus,
  kKillFocus,
};

struct UiEvent {
  UiEventType type = UiEventType::kMouseMove;
  Point point;    // window coordinates
  int key = 0;    // virtual key for kKeyDown
  int wheel = 0;  // wheel delta for kWheel
};

enum ControlState : unsigned {
  kStateHot = 1,
  kStatePushed = 2,
  kStateFocused = 4,
  kStateSelected = 8,
  kStateDisabled = 16,
};

class Control {
 public:
  explicit Control(std::wstring class_name);
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  // Identity and tree.
  [[nodiscard]] const std::wstring& class_name() const { return class_name_; }
  [[nodiscard]] const std::wstring& name() const { return name_; }
  [[nodiscard]] Control* parent() const { return parent_; }
  [[nodiscard]] size_t child_count() const { return children_.size(); }
  [[nodiscard]] Control* child(size_t index) const {
    return index < children_.size() ? children_[index].get() : nullptr;
  }
  [[nodiscard]] virtual bool AcceptsChildren() const { return false; }
  // Called once the description's children are built (a combo box takes
  // them as items, a tab layout shows one page, a closed tree node hides).
  virtual void FinishBuild() {}
  Control* AddChild(std::unique_ptr<Control> child);
  void RemoveAllChildren();
  [[nodiscard]] Control* FindByName(std::wstring_view name);
  void AttachHost(ControlHost* host);
  [[nodiscard]] ControlHost* host() const { return host_; }

  // Attributes by name: true when this class knows the name.
  bool SetAttribute(std::wstring_view name, const std::wstring& value);
  [[nodiscard]] virtual std::optional<std::wstring> GetAttribute(std::wstring_view name) const;

  // State.
  [[nodiscard]] const std::wstring& text() const { return text_; }
  virtual void SetText(const std::wstring& text);
  // Whether the control's size follows its text (a new text then lays the
  // window out again; otherwise only the control is repainted).
  [[nodiscard]] virtual bool SizeFollowsText() const { return false; }
  [[nodiscard]] bool visible() const { return visible_; }
  void SetVisible(bool visible);
  [[nodiscard]] bool enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  [[nodiscard]] bool IsVisibleInTree() const;
  [[nodiscard]] bool IsEnabledInTree() const;
  [[nodiscard]] bool is_float() const { return float_; }
  [[nodiscard]] const Edges& padding() const { return padding_; }  // outer margin, 96-DPI units
  [[nodiscard]] const std::wstring& tooltip() const { return tooltip_; }
  [[nodiscard]] unsigned state() const { return state_; }
  [[nodiscard]] const ControlStyle& style() const { return style_; }
  void SetStateFlag(unsigned flag, bool on);
  [[nodiscard]] virtual bool IsSelected() const { return false; }
  virtual void SetSelected(bool selected, bool notify) { (void)selected, (void)notify; }
  // Selects item `index` of a control that has items (tab pages, combo box
  // and list entries) as the program asks; false when it has none such.
  virtual bool SelectItem(int index) {
    (void)index;
    return false;
  }

  // Layout in device pixels. Measure answers the preferred size (0 in a
  // dimension means "stretch"); Arrange places the control and its children.
  [[nodiscard]] virtual Size Measure(Size available);
  virtual void Arrange(const Rect& rect);
  [[nodiscard]] const Rect& rect() const { return rect_; }
  [[nodiscard]] int Scale(int value) const;
  [[nodiscard]] int fixed_width() const { return fixed_width_; }
  [[nodiscard]] int fixed_height() const { return fixed_height_; }
  void SetFixedWidth(int width);
  void SetFixedHeight(int height);
  // Clamps a stretched size to the min/max attributes, in device pixels.
  [[nodiscard]] int ClampWidth(int width) const;
  [[nodiscard]] int ClampHeight(int height) const;
  // For float children: the rectangle relative to the parent's.
  [[nodiscard]] Rect FloatRect(const Rect& parent) const;

  // Painting: the whole control including its children, clipped to `dirty`.
  virtual void Paint(Painter& painter, const Rect& dirty);

  // Input. Hit testing returns the deepest visible control at `point` that
  // takes mouse input.
  [[nodiscard]] virtual Control* HitTest(Point point);
  virtual bool HandleEvent(const UiEvent& event);
  [[nodiscard]] virtual bool IsFocusable() const { return false; }
  [[nodiscard]] virtual bool TakesMouse() const { return mouse_enabled_; }
  [[nodiscard]] virtual HCURSOR CursorAt(Point point) const {
    (void)point;
    return nullptr;
  }
  virtual void OnTimer(UINT id) { (void)id; }
  // Wheel scrolling; true when the control moved.
  virtual bool ScrollBy(int delta) {
    (void)delta;
    return false;
  }
  // Sideways scrolling (Shift+wheel, tilt wheel); positive shows what lies left.
  virtual bool ScrollSideways(int delta) {
    (void)delta;
    return false;
  }

  // Asks `children` for the native child window this control shows in (Edit,
  // WebBrowser); a window host asks every control once.
  virtual void RequestNative(NativeChildren& children) { (void)children; }

  // Repaints the control where it can show (float controls show only
  // within their parents).
  void Invalidate();
  void NeedLayout();
  void Notify(const std::wstring& type, int index = 0, const std::wstring& text = {});
  // The click of buttons and options: mouse release inside or Enter/Space.
  virtual void Activate() {}

 protected:
  virtual bool ApplyAttribute(std::wstring_view name, const std::wstring& value);
  virtual void PaintBackground(Painter& painter);
  virtual void PaintStatusImages(Painter& painter);
  virtual void PaintText(Painter& painter);
  virtual void PaintBorder(Painter& painter);
  virtual void PaintChildren(Painter& painter, const Rect& dirty);
  [[nodiscard]] Rect ClipToFloatParents(Rect area) const;
  // After "pos" changed.
  void PlaceFloat();
  // The frame of an animated background image shown now.
  [[nodiscard]] virtual size_t BackgroundFrame() const { return 0; }
  [[nodiscard]] Argb CurrentTextColor() const;
  [[nodiscard]] TextFlags TextFormat() const;
  [[nodiscard]] Rect TextRect() const;
  [[nodiscard]] std::wstring DisplayText() const;

  std::vector<std::unique_ptr<Control>> children_;
  Rect rect_;
  unsigned state_ = 0;
  // Derived classes set their own defaults in their constructors; the
  // description's attributes do the rest.
  ControlStyle style_;

 private:
  std::wstring class_name_;
  std::wstring name_;
  std::wstring text_;
  std::wstring tooltip_;
  std::wstring user_data_;
  Control* parent_ = nullptr;
  ControlHost* host_ = nullptr;
  bool visible_ = true;
  bool enabled_ = true;
  bool float_ = false;
  bool mouse_enabled_ = true;
  Edges padding_;
  Edges pos_;
  int fixed_width_ = 0;
  int fixed_height_ = 0;
  int min_width_ = 0;
  int min_height_ = 0;
  int max_width_ = 0;
  int max_height_ = 0;
};

// What a tree walk does after visiting a control.
enum class Walk {
  kIntoChildren,
  kPastChildren,
  kStop,
};

// Visits `root` and the controls below it, each parent before its children
// and the children in order, without recursion (deep trees are safe).
void WalkTree(Control& root, const std::function<Walk(Control&)>& visit);

}  // namespace toolkit
