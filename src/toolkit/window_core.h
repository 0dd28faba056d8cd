// The part of a window that needs no native window: the control tree, its
// layout at a DPI, painting into any DC (or a memory bitmap), input routing
// (hover, pressed, capture, focus and Tab order, wheel, caption) and the
// control operations the program uses. The native host and the tests both
// drive it.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/control.h"
#include "toolkit/window_description.h"

namespace toolkit {

// 32-bit pixels of a rendered window, 0x00RRGGBB, row by row.
struct RenderedImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  [[nodiscard]] uint32_t At(int x, int y) const {
    return x >= 0 && y >= 0 && x < width && y < height ? pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF : 0;
  }
};

using NotificationHandler = std::function<void(const Notification&)>;

class WindowCore : public ControlHost {
 public:
  WindowCore(std::unique_ptr<WindowDescription> description, int dpi);
  ~WindowCore() override;
  WindowCore(const WindowCore&) = delete;
  WindowCore& operator=(const WindowCore&) = delete;

  // ControlHost.
  [[nodiscard]] int dpi() const override { return dpi_; }
  [[nodiscard]] SkinResources& resources() override { return *description_->resources; }
  void Invalidate(const Rect& rect) override;
  void RequestLayout() override;
  void Notify(const Notification& notification) override;
  [[nodiscard]] Control* root() const override { return description_->root.get(); }
  void ControlRemoved(Control* control) override;
  // The focus, a press and the pointer's hover let go of a hidden control.
  void ControlHidden(Control& control) override;

  [[nodiscard]] const WindowDescription& description() const { return *description_; }
  void SetDpi(int dpi);
  // The client size the description asks for, at the current DPI.
  [[nodiscard]] Size PreferredClientSize() const;
  void Resize(Size client);
  [[nodiscard]] Size client_size() const { return client_; }
  void LayoutIfNeeded();

  // Paints `dirty` (window coordinates) into `dc`, whose (0,0) is `origin`.
  void Paint(HDC dc, const Rect& dirty, Point origin);
  [[nodiscard]] RenderedImage Render();
  // The area invalidated since the last call, then forgotten.
  [[nodiscard]] Rect TakeDirty();

  // Input in window coordinates.
  void MouseMove(Point point);
  void MouseLeave();
  void ButtonDown(Point point);
  void ButtonUp(Point point);
  void DoubleClick(Point point);
  // `sideways` for Shift+wheel and the tilt wheel (delta as for Shift+wheel).
  void Wheel(Point point, int delta, bool sideways = false);
  // True when the key was used (Tab, Enter, Space, arrows on the focus).
  bool KeyDown(int virtual_key, bool shift);
  [[nodiscard]] bool IsCaption(Point point) const;
  [[nodiscard]] HCURSOR CursorAt(Point point) const;
  [[nodiscard]] Control* hot() const { return hot_; }
  [[nodiscard]] Control* pushed() const { return pushed_; }
  [[nodiscard]] Control* focused() const { return focused_; }
  void SetFocus(Control* control);
  bool MoveFocus(bool backward);
  [[nodiscard]] Control* ControlAt(Point point) const;
  // The deepest visible control at `point` that has a tooltip, whether or
  // not it takes mouse input (plain labels carry tooltips too).
  [[nodiscard]] Control* TooltipAt(Point point) const;

  // Operations of the program.
  [[nodiscard]] Control* FindControl(std::wstring_view name) const;
  bool SetAttribute(std::wstring_view name, std::wstring_view attribute, const std::wstring& value);
  bool SelectItem(std::wstring_view name, int index);
  [[nodiscard]] std::optional<std::wstring> ReadState(std::wstring_view name, std::wstring_view attribute) const;
  [[nodiscard]] bool IsSelected(std::wstring_view name) const;
  [[nodiscard]] int CurrentIndex(std::wstring_view name) const;
  [[nodiscard]] std::wstring Text(std::wstring_view name) const;
  bool FillCombo(std::wstring_view name, const std::vector<std::wstring>& items, const std::wstring& selected_text);
  // The handler hears every notification of that control; empty removes it.
  void SetControlHandler(const std::wstring& name, NotificationHandler handler);
  // Window-wide notifications (after the control's own handler).
  void SetNotificationSink(NotificationHandler sink) { sink_ = std::move(sink); }

 protected:
  // A native host repaints these; the render path just collects them.
  virtual void OnInvalidate(const Rect& rect) { (void)rect; }
  virtual void OnFocusChanged(Control* focused) { (void)focused; }

 private:
  std::unique_ptr<WindowDescription> description_;
  int dpi_;
  Size client_;
  bool layout_pending_ = true;
  Rect dirty_;
  Control* hot_ = nullptr;
  Control* pushed_ = nullptr;
  Control* focused_ = nullptr;
  std::map<std::wstring, NotificationHandler> handlers_;
  NotificationHandler sink_;
  bool destroying_ = false;
};

}  // namespace toolkit
