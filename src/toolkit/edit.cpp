#include "toolkit/edit.h"

#include "toolkit/native_edits.h"

namespace toolkit {
namespace {

std::wstring WindowText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(std::max(0, length)) + 1, L'\0');
  text.resize(static_cast<size_t>(std::max(0, ::GetWindowTextW(window, text.data(), length + 1))));
  return text;
}

}  // namespace

Edit::Edit(std::wstring class_name, EditKind kind) : Label(std::move(class_name)), rich_(kind == EditKind::kRich) {
  if (!rich_) return;
  // Rich text takes lines, and is usually longer than a field's 255
  // characters (a licence).
  style_.text_flags = style_.text_flags | TextFlags::kMultiLine;
  max_chars_ = 1 << 20;
}

bool Edit::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (name == L"password") {
    password_ = ParseBool(value).value_or(false);
    UpdateNative();
  } else if (name == L"readonly") {
    read_only_ = ParseBool(value).value_or(false);
    UpdateNative();
  } else if (name == L"maxchar") {
    max_chars_ = std::clamp(ParseInt(value).value_or(255), 1, 1 << 20);
    UpdateNative();
  } else if (name == L"nativebkcolor") {
    native_bk_color_ = ParseColor(value).value_or(native_bk_color_);
    UpdateNative();
  } else if (name == L"wordwrap")
    word_wrap_ = ParseBool(value).value_or(true);
  else if (name == L"numberonly" || name == L"rich" || name == L"vscrollbar" || name == L"autovscroll" ||
           name == L"wantreturn" || name == L"wantctrlreturn" || name == L"transparent" || name == L"autohscroll") {
  } else
    return Label::ApplyAttribute(name, value);
  return true;
}

void Edit::UpdateNative() {
  // A child not made yet takes them all when it is made.
  if (native_ != nullptr) UpdateNativeEdit(native_, *this);
}

void Edit::SetText(const std::wstring& text) {
  Label::SetText(text);
  if (native_ != nullptr && WindowText(native_) != text) ::SetWindowTextW(native_, text.c_str());
}

std::optional<std::wstring> Edit::GetAttribute(std::wstring_view name) const {
  if (name == L"text" && native_ != nullptr) return WindowText(native_);
  return Label::GetAttribute(name);
}

bool Edit::HandleEvent(const UiEvent& event) {
  if (event.type == UiEventType::kKeyDown && event.key == VK_RETURN) {
    Notify(L"return");
    return true;
  }
  return Label::HandleEvent(event);
}

void Edit::TakeNativeText() {
  const std::wstring typed = WindowText(native_);
  if (typed == text()) return;
  Label::SetText(typed);
  Notify(L"textchanged");
}

void Edit::PaintText(Painter& painter) {
  if (native_ != nullptr) return;  // the native child draws its own text
  if (password_) {
    painter.DrawText(std::wstring(text().size(), L'\x25CF'), TextRect(), style_.font, CurrentTextColor(),
                     style_.text_flags);
    return;
  }
  Control::PaintText(painter);
}

}  // namespace toolkit
