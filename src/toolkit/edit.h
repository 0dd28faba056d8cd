// Edit fields: a native EDIT child in a window, painted text without one.
#pragma once

#include "toolkit/label.h"

namespace toolkit {

// Plain text, or rich text in the system's rich edit (multi-line, longer).
enum class EditKind {
  kPlain,
  kRich,
};

// Edit and RichEdit: the text lives in a native child while a window shows
// the control (an EDIT, or for RichEdit the system's rich edit); without one
// (render-only) the control paints it.
class Edit : public Label {
 public:
  Edit(std::wstring class_name, EditKind kind);
  [[nodiscard]] bool IsFocusable() const override { return true; }
  void RequestNative(NativeChildren& children) override { children.AddEdit(*this); }
  [[nodiscard]] bool password() const { return password_; }
  [[nodiscard]] bool read_only() const { return read_only_; }
  [[nodiscard]] bool multi_line() const { return HasFlag(style_.text_flags, TextFlags::kMultiLine); }
  [[nodiscard]] int max_chars() const { return max_chars_; }
  [[nodiscard]] Argb native_bk_color() const { return native_bk_color_; }
  // Asks for the system's rich edit (RichEdit, ExtendRichEdit).
  [[nodiscard]] bool rich() const { return rich_; }
  // Multi-line text wraps at the control's width unless wordwrap="false".
  [[nodiscard]] bool word_wrap() const { return word_wrap_; }
  // The native child, set by the host that made it (nullptr once it goes).
  [[nodiscard]] HWND native() const { return native_; }
  void SetNative(HWND native) { native_ = native; }
  void SetText(const std::wstring& text) override;
  // "text" reads the native child when there is one.
  [[nodiscard]] std::optional<std::wstring> GetAttribute(std::wstring_view name) const override;
  // Enter raises "return".
  bool HandleEvent(const UiEvent& event) override;
  // The native child's text changed (EN_CHANGE): the control takes it and
  // raises "textchanged".
  void TakeNativeText();

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;
  void PaintText(Painter& painter) override;

 private:
  // Flags, limit and colour changed after the native child was made.
  void UpdateNative();
  bool password_ = false;
  bool read_only_ = false;
  bool rich_;
  bool word_wrap_ = true;
  int max_chars_ = 255;
  Argb native_bk_color_ = 0xFFFFFFFF;
  HWND native_ = nullptr;
};

}  // namespace toolkit
