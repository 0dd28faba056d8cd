#include "ui/message_dialog.h"

#include "startup/log.h"
#include "toolkit/dpi.h"
#include "toolkit/gdi_owners.h"
#include "toolkit/geometry.h"

namespace ui {
namespace {

// Named controls every dialog description has; the texts are set only when
// all of them exist, otherwise the description's own texts stay.
constexpr const wchar_t* kRequiredControls[] = {L"btn_ok",     L"btn_close",    L"lb_TipsText", L"lb_TipsDetailText",
                                                L"dialogName", L"layoutPadding"};

}  // namespace

int MessageDialog::Run(std::shared_ptr<const toolkit::ZipArchive> archive, HWND owner) {
  if (owner == nullptr) return kDialogNoOwner;
  toolkit::WindowOptions options;
  options.owner = owner;
  options.style = WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_SYSMENU;
  options.icon = kWindowIcon;
  options.caption = texts_.title;
  std::wstring error;
  if (!Create(std::move(archive), texts_.description, options, &error)) {
    startup::Log("The question %s cannot be shown: %s\n", texts_.description, error);
    return kDialogNoOwner;
  }
  ApplyTexts();
  ApplyRoundCorners();
  CenterOnOwner();
  return RunModal();
}

void MessageDialog::ApplyTexts() {
  for (const wchar_t* name : kRequiredControls) {
    if (FindControl(name) == nullptr) {
      startup::Log("Dialog %s has no %s: its own texts stay\n", texts_.description, name);
      return;
    }
  }
  SetAttribute(L"btn_ok", L"text", texts_.confirm);
  SetAttribute(L"btn_close", L"text", texts_.dismiss);
  SetAttribute(L"lb_TipsText", L"text", texts_.tip);
  SetAttribute(L"lb_TipsDetailText", L"text", texts_.detail);
  SetAttribute(L"dialogName", L"text", texts_.title);
}

void MessageDialog::ApplyRoundCorners() {
  HWND window = hwnd();
  if (window == nullptr || ::IsIconic(window)) return;
  const int round = core().description().round_corner;
  if (round <= 0) return;
  const int corner = toolkit::ScaleBy(round, core().dpi());
  RECT r;
  ::GetWindowRect(window, &r);
  toolkit::UniqueGdiObject region(
      ::CreateRoundRectRgn(0, 0, r.right - r.left + 1, r.bottom - r.top + 1, corner, corner));
  if (!region.IsValid()) return;
  // The system owns the region once it is set.
  if (::SetWindowRgn(window, static_cast<HRGN>(region.Get()), TRUE) != 0) (void)region.Release();
}

void MessageDialog::OnNotify(const toolkit::Notification& notification) {
  if (notification.type != L"click") return;
  if (notification.sender_name == L"btn_ok") {
    Close(kDialogConfirm);
  } else if (notification.sender_name == L"btn_close") {
    Close(kDialogDismiss);
  } else if (notification.sender_name == L"btn_ClosePic") {
    Close(kDialogClosePicture);
  }
}

bool MessageDialog::OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  (void)wparam, (void)lparam;
  switch (message) {
    case WM_CLOSE:
      // Esc and Alt+F4: closed, which is neither of the buttons.
      Close(kDialogClosed);
      *result = 0;
      return true;
    case WM_SIZE:
      if (wparam != SIZE_MINIMIZED) ApplyRoundCorners();
      return false;
    default: return false;
  }
}

}  // namespace ui
