#include "toolkit/native_edits.h"

#include <algorithm>

#include <commctrl.h>
#include <richedit.h>

#include "platform/text.h"
#include "toolkit/common_controls.h"
#include "toolkit/edit.h"
#include "toolkit/log.h"
#include "toolkit/rich_edit_library.h"
#include "toolkit/skin_resources.h"
#include "toolkit/window_core.h"

namespace toolkit {
namespace {

COLORREF ColorRefOf(Argb color) { return RGB((color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF); }

bool IsRich(const Edit& edit) { return edit.rich() && SystemRichEditClass().rich(); }

bool IsMultiLine(HWND native) { return (::GetWindowLongPtrW(native, GWL_STYLE) & ES_MULTILINE) != 0; }

DWORD StyleOf(const Edit& edit) {
  DWORD style = WS_CHILD;
  if (edit.password()) style |= ES_PASSWORD;
  if (edit.read_only()) style |= ES_READONLY;
  if (!edit.multi_line()) return style | ES_AUTOHSCROLL;
  style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL;
  // A multi-line EDIT wraps unless it scrolls sideways.
  if (!edit.word_wrap()) style |= ES_AUTOHSCROLL | WS_HSCROLL;
  return style;
}

// Font, colours, wrapping and limit of a rich edit child (a plain EDIT gets
// its colours from WM_CTLCOLOREDIT instead).
void ApplyRichEditLook(HWND native, const Edit& edit, HFONT font) {
  ::SendMessageW(native, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  CHARFORMAT2W format{};
  format.cbSize = sizeof(format);
  format.dwMask = CFM_COLOR;
  format.crTextColor = ColorRefOf(edit.style().text_color);
  // The default format colours what the user types; SCF_ALL what is there.
  ::SendMessageW(native, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
  ::SendMessageW(native, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
  ::SendMessageW(native, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ColorRefOf(edit.native_bk_color())));
  // A null target device wraps at the window's width; 1 means no wrapping.
  ::SendMessageW(native, EM_SETTARGETDEVICE, 0, edit.multi_line() && edit.word_wrap() ? 0 : 1);
  ::SendMessageW(native, EM_EXLIMITTEXT, 0, static_cast<LPARAM>(edit.max_chars()));
  ::InvalidateRect(native, nullptr, TRUE);
}

}  // namespace

void UpdateNativeEdit(HWND native, const Edit& edit) {
  ::SendMessageW(native, EM_SETREADONLY, edit.read_only() ? TRUE : FALSE, 0);
  ::SendMessageW(native, EM_SETPASSWORDCHAR, edit.password() ? L'\x25CF' : 0, 0);
  ::SendMessageW(native, EM_SETLIMITTEXT, static_cast<WPARAM>(edit.max_chars()), 0);
  if (IsRich(edit)) {
    // Rich edits take their limit and background through messages of their own.
    ::SendMessageW(native, EM_EXLIMITTEXT, 0, static_cast<LPARAM>(edit.max_chars()));
    ::SendMessageW(native, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ColorRefOf(edit.native_bk_color())));
  }
  // A plain EDIT asks for its colours again when it repaints.
  ::InvalidateRect(native, nullptr, TRUE);
}

NativeEdits::NativeEdits(HWND parent, WindowCore& core) : parent_(parent), core_(core) {}

NativeEdits::~NativeEdits() {
  for (auto& [native, child] : edits_) {
    child.edit->SetNative(nullptr);
    (void)child.native.Release();  // destroyed with the parent
  }
}

void NativeEdits::Add(Edit& edit) { waiting_.push_back(&edit); }

HWND NativeEdits::MakeNative(Edit& edit) {
  std::erase(waiting_, &edit);
  // It may have been shown a moment ago, with no layout since.
  core_.LayoutIfNeeded();
  const bool rich = IsRich(edit);
  HWND native = ::CreateWindowExW(
      0, rich ? SystemRichEditClass().window_class : L"EDIT", edit.text().c_str(), StyleOf(edit), 0, 0, 0, 0, parent_,
      reinterpret_cast<HMENU>(static_cast<intptr_t>(next_id_++)), ::GetModuleHandleW(nullptr), nullptr);
  if (native == nullptr) {
    LogLine(L"the native edit of \"" + edit.name() + L"\" cannot be made (" + platform::DecimalText(::GetLastError()) +
            L")");
    return nullptr;
  }
  edits_[native] = {&edit, UniqueWindow(native)};
  edit.SetNative(native);
  HFONT font = core_.resources().Font(edit.style().font, core_.dpi());
  if (rich) {
    // Rich edits report changes only when asked to.
    ::SendMessageW(native, EM_SETEVENTMASK, 0, ENM_CHANGE);
    ApplyRichEditLook(native, edit, font);
  } else {
    ::SendMessageW(native, EM_SETLIMITTEXT, static_cast<WPARAM>(edit.max_chars()), 0);
    ::SendMessageW(native, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  // Without the subclass, Tab, Enter and Esc stay with the edit.
  const CommonControls& controls = LoadCommonControls();
  if (controls.set_subclass != nullptr && controls.def_subclass_proc != nullptr) {
    (void)controls.set_subclass(native, KeyProc, 1, reinterpret_cast<DWORD_PTR>(this));
  }
  PlaceOne(native, edit);
  // The control painted its own text until now; the child covers only its
  // inner part.
  edit.Invalidate();
  return native;
}

bool NativeEdits::MakeNext(Waiting which) {
  if (which == Waiting::kNone) return false;
  auto next = std::find_if(waiting_.begin(), waiting_.end(), [](const Edit* edit) { return edit->IsVisibleInTree(); });
  if (next == waiting_.end() && which == Waiting::kAll) next = waiting_.begin();
  if (next == waiting_.end()) return false;
  (void)MakeNative(**next);  // a failure is logged, and not tried again
  return true;
}

HWND NativeEdits::Make(const Control* control) {
  auto waiting = std::find(waiting_.begin(), waiting_.end(), control);
  return waiting != waiting_.end() ? MakeNative(**waiting) : NativeOf(control);
}

void NativeEdits::Remove(const Control* control) {
  std::erase(waiting_, control);
  std::erase_if(edits_, [control](const auto& entry) { return entry.second.edit == control; });
}

HWND NativeEdits::NativeOf(const Control* control) const {
  for (const auto& [native, child] : edits_) {
    if (child.edit == control) return native;
  }
  return nullptr;
}

void NativeEdits::ApplyFonts() {
  for (auto& [native, child] : edits_) {
    Edit* edit = child.edit;
    HFONT font = core_.resources().Font(edit->style().font, core_.dpi());
    if (IsRich(*edit)) {
      ApplyRichEditLook(native, *edit, font);
    } else {
      ::SendMessageW(native, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
  }
}

void NativeEdits::Place(Waiting making) {
  while (MakeNext(making)) {
  }
  for (const auto& [native, child] : edits_) PlaceOne(native, *child.edit);
}

void NativeEdits::PlaceOne(HWND native, const Edit& edit) {
  const int inset = edit.Scale(std::max(edit.style().border_size, 1)) + edit.Scale(2);
  Rect r = edit.rect().Deflate({inset, inset, inset, inset});
  if (!edit.multi_line()) {
    // Single-line edits sit vertically centred on their font's height.
    const int line = core_.resources().FontInfo(edit.style().font).size;
    const int height = std::min(r.height(), edit.Scale(line + 4));
    r.top += (r.height() - height) / 2;
    r.bottom = r.top + height;
  }
  ::SetWindowPos(native, nullptr, r.left, r.top, r.width(), r.height(),
                 SWP_NOZORDER | SWP_NOACTIVATE | (edit.IsVisibleInTree() ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
  ::EnableWindow(native, edit.IsEnabledInTree());
}

bool NativeEdits::OnCommand(WPARAM wparam, LPARAM lparam) {
  auto found = edits_.find(reinterpret_cast<HWND>(lparam));
  if (found == edits_.end()) return false;
  if (HIWORD(wparam) == EN_CHANGE) {
    found->second.edit->TakeNativeText();
  } else if (HIWORD(wparam) == EN_SETFOCUS) {
    core_.SetFocus(found->second.edit);
  }
  return true;
}

HBRUSH NativeEdits::OnColor(HDC dc, HWND child) {
  // The description's text and background colours for plain edits.
  auto found = edits_.find(child);
  const Edit* edit = found != edits_.end() ? found->second.edit : nullptr;
  const COLORREF back = ColorRefOf(edit != nullptr ? edit->native_bk_color() : 0xFFFFFFFF);
  if (!brush_ || brush_color_ != back) {
    brush_.Reset(::CreateSolidBrush(back));
    brush_color_ = back;
  }
  ::SetBkColor(dc, back);
  if (edit != nullptr) ::SetTextColor(dc, ColorRefOf(edit->style().text_color));
  return static_cast<HBRUSH>(brush_.Get());
}

LRESULT CALLBACK NativeEdits::KeyProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                      DWORD_PTR data) {
  (void)id;
  auto* self = reinterpret_cast<NativeEdits*>(data);
  if (message == WM_KEYDOWN && self != nullptr) {
    const bool shift = (::GetKeyState(VK_SHIFT) & 0x8000) != 0;
    if (wparam == VK_TAB) {
      (void)self->core_.KeyDown(VK_TAB, shift);
      return 0;
    }
    if (wparam == VK_RETURN && !IsMultiLine(hwnd)) {
      (void)self->core_.KeyDown(VK_RETURN, false);
      return 0;
    }
    if (wparam == VK_ESCAPE) {
      ::PostMessageW(self->parent_, WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    }
  }
  if (message == WM_CHAR && (wparam == L'\t' || wparam == 27 || (wparam == L'\r' && !IsMultiLine(hwnd))))
    return 0;                                             // no beep for keys handled above
  const CommonControls& controls = LoadCommonControls();  // loaded when the subclass was set
  if (message == WM_NCDESTROY && controls.remove_subclass != nullptr) controls.remove_subclass(hwnd, KeyProc, 1);
  return controls.def_subclass_proc(hwnd, message, wparam, lparam);
}

}  // namespace toolkit
