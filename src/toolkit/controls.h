// The leaf controls: labels with mark-up, buttons, options and check boxes,
// progress bars and sliders, scroll bars, edit fields (a native EDIT child
// in a window), combo boxes, animated GIFs, date fields and the web browser
// placeholder whose native side the window host creates.
#pragma once

#include "toolkit/control.h"
#include "toolkit/markup.h"

namespace toolkit {

class Label : public Control {
 public:
  explicit Label(std::wstring class_name = L"Label");
  void SetText(const std::wstring& text) override;
  [[nodiscard]] Size Measure(Size available) override;
  [[nodiscard]] HCURSOR CursorAt(Point point) const override;
  bool HandleEvent(const UiEvent& event) override;
  [[nodiscard]] bool TakesMouse() const override;
  [[nodiscard]] const MarkupText& markup() const { return markup_; }
  // Window rectangles of the links as last painted (link index, rectangle).
  [[nodiscard]] const std::vector<std::pair<int, Rect>>& link_rects() const { return link_rects_; }

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;
  void PaintText(Painter& painter) override;
  [[nodiscard]] int LinkAt(Point point) const;

 private:
  void PaintMarkup(Painter& painter);
  bool auto_width_ = false;
  bool has_markup_ = false;
  MarkupText markup_;
  std::vector<std::pair<int, Rect>> link_rects_;
  int pressed_link_ = -1;
};

class Button : public Label {
 public:
  explicit Button(std::wstring class_name = L"Button");
  [[nodiscard]] bool IsFocusable() const override { return true; }
  [[nodiscard]] bool TakesMouse() const override { return Control::TakesMouse(); }
  void Activate() override;
};

// Option (grouped radio) and CheckBox (toggle).
class Option : public Button {
 public:
  explicit Option(std::wstring class_name = L"Option");
  [[nodiscard]] bool IsSelected() const override { return selected_; }
  void SetSelected(bool selected, bool notify) override;
  void Activate() override;
  [[nodiscard]] const std::wstring& group() const { return group_; }

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;

 private:
  std::wstring group_;
  bool selected_ = false;
  bool toggles_;
};

class Progress : public Label {
 public:
  explicit Progress(std::wstring class_name = L"Progress");
  [[nodiscard]] std::optional<std::wstring> GetAttribute(std::wstring_view name) const override;
  void SetValue(int value);
  [[nodiscard]] int value() const { return value_; }

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;
  void PaintStatusImages(Painter& painter) override;
  [[nodiscard]] Rect FillRect() const;

  int min_ = 0;
  int max_ = 100;
  int value_ = 0;
  bool horizontal_ = true;
  Argb fore_color_ = 0;
};

class Slider : public Progress {
 public:
  Slider();
  [[nodiscard]] bool IsFocusable() const override { return true; }
  bool HandleEvent(const UiEvent& event) override;

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;
  void PaintStatusImages(Painter& painter) override;

 private:
  void SetFromPoint(Point point);
  Size thumb_size_{10, 10};
  ImageDescription thumb_image_;
  bool dragging_ = false;
};

class ScrollBar : public Progress {
 public:
  ScrollBar();
  bool HandleEvent(const UiEvent& event) override;
  bool ScrollBy(int delta) override;

 protected:
  void PaintStatusImages(Painter& painter) override;
};

// Edit and RichEdit: the text lives in a native child while a window shows
// the control (an EDIT, or for RichEdit the system's rich edit); without one
// (render-only) the control paints it.
class Edit : public Label {
 public:
  explicit Edit(std::wstring class_name = L"Edit");
  [[nodiscard]] bool IsFocusable() const override { return true; }
  [[nodiscard]] bool WantsNativeWindow() const override { return true; }
  [[nodiscard]] bool password() const { return password_; }
  [[nodiscard]] bool read_only() const { return read_only_; }
  [[nodiscard]] bool multi_line() const { return HasFlag(text_flags_, TextFlags::kMultiLine); }
  [[nodiscard]] int max_chars() const { return max_chars_; }
  [[nodiscard]] Argb native_bk_color() const { return native_bk_color_; }
  // RichEdit and ExtendRichEdit ask for the system's rich edit.
  [[nodiscard]] bool rich() const { return rich_; }
  // Multi-line text wraps at the control's width unless wordwrap="false".
  [[nodiscard]] bool word_wrap() const { return word_wrap_; }
  // The native child, set by the host.
  HWND native = nullptr;
  void SetText(const std::wstring& text) override;
  // The native child's text changed (EN_CHANGE).
  void TextChangedByUser(const std::wstring& text);

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;
  void PaintText(Painter& painter) override;

 private:
  bool password_ = false;
  bool read_only_ = false;
  bool rich_;
  bool word_wrap_ = true;
  int max_chars_ = 255;
  Argb native_bk_color_ = 0xFFFFFFFF;
};

class Combo : public Label {
 public:
  explicit Combo(std::wstring class_name = L"Combo");
  [[nodiscard]] bool AcceptsChildren() const override { return true; }
  [[nodiscard]] bool IsFocusable() const override { return true; }
  [[nodiscard]] bool TakesMouse() const override { return Control::TakesMouse(); }
  [[nodiscard]] std::optional<std::wstring> GetAttribute(std::wstring_view name) const override;
  bool HandleEvent(const UiEvent& event) override;
  void Activate() override;
  // Children written in the description become items.
  void FinishBuild();
  void SetItems(std::vector<std::wstring> items);
  // Selects item `index`; false when out of range.
  bool SelectItem(int index, bool notify);
  [[nodiscard]] int selected() const { return selected_; }
  [[nodiscard]] const std::vector<std::wstring>& items() const { return items_; }
  // The drop-down list's limits: at most `drop_rows` rows, and at most
  // `drop_height` unscaled pixels when that is not 0.
  [[nodiscard]] int drop_rows() const { return drop_rows_; }
  [[nodiscard]] int drop_height() const { return drop_height_; }

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;
  void PaintText(Painter& painter) override;

 private:
  std::vector<std::wstring> items_;
  int selected_ = -1;
  int drop_rows_ = 10;
  int drop_height_ = 0;
};

class GifAnim : public Control {
 public:
  GifAnim();
  ~GifAnim() override;
  void OnTimer(UINT id) override;
  void Paint(Painter& painter, const Rect& dirty) override;

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;

 private:
  void Schedule(const struct DecodedImage* image);
  bool auto_play_ = true;
  bool running_ = false;
};

class DateTime : public Label {
 public:
  DateTime();
  [[nodiscard]] bool IsFocusable() const override { return true; }
  [[nodiscard]] bool TakesMouse() const override { return Control::TakesMouse(); }
  bool HandleEvent(const UiEvent& event) override;
  [[nodiscard]] std::optional<std::wstring> GetAttribute(std::wstring_view name) const override;

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;

 private:
  void Show();
  SYSTEMTIME date_{};
};

// WebBrowser and ActiveX: the native browser is made by the window host.
class WebBrowser : public Control {
 public:
  explicit WebBrowser(std::wstring class_name = L"WebBrowser");
  [[nodiscard]] bool WantsNativeWindow() const override { return true; }
  [[nodiscard]] const std::wstring& home_page() const { return home_page_; }
  // How long a navigation may neither complete nor fail before the handler
  // hears of an error.
  [[nodiscard]] DWORD navigate_timeout_ms() const { return navigate_timeout_ms_; }
  [[nodiscard]] std::optional<std::wstring> GetAttribute(std::wstring_view name) const override;

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;

 private:
  std::wstring home_page_;
  std::wstring clsid_;
  DWORD navigate_timeout_ms_ = 15000;
};

}  // namespace toolkit
