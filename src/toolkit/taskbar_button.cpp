#include "toolkit/taskbar_button.h"

#include <algorithm>
#include <cwchar>

#include "toolkit/log.h"

namespace toolkit {
namespace {

TBPFLAG FlagOf(TaskbarState state) {
  switch (state) {
    case TaskbarState::None: return TBPF_NOPROGRESS;
    case TaskbarState::Normal: return TBPF_NORMAL;
    case TaskbarState::Paused: return TBPF_PAUSED;
    case TaskbarState::Error: return TBPF_ERROR;
  }
  return TBPF_NOPROGRESS;
}

}  // namespace

void TaskbarButton::Show(TaskbarState state, int percent) {
  percent = state == TaskbarState::None ? 0 : std::clamp(percent, 0, 100);
  if (state == state_ && percent == percent_) return;
  state_ = state;
  percent_ = percent;
  Apply();
}

void TaskbarButton::ButtonCreated() {
  if (state_ != TaskbarState::None) Apply();
}

ITaskbarList3* TaskbarButton::Interface() {
  if (link_ == Link::NotTried) {
    // The caller's thread has COM (the window's OLE session).
    HRESULT result = ::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                        reinterpret_cast<void**>(list_.Receive()));
    if (SUCCEEDED(result)) result = list_.Get()->HrInit();
    if (SUCCEEDED(result)) {
      link_ = Link::Connected;
    } else {
      list_.Reset();
      link_ = Link::Missing;
      wchar_t status[16];
      (void)std::swprintf(status, 16, L"0x%08lX", static_cast<unsigned long>(result));
      LogLine(std::wstring(L"taskbar progress: the shell offers none (") + status + L"); the button shows no progress");
    }
  }
  return link_ == Link::Connected ? list_.Get() : nullptr;
}

void TaskbarButton::Apply() {
  ITaskbarList3* list = Interface();
  if (list == nullptr || window_ == nullptr) return;
  // Failures change nothing the user relies on: the window shows the same.
  (void)list->SetProgressState(window_, FlagOf(state_));
  if (state_ != TaskbarState::None) (void)list->SetProgressValue(window_, static_cast<ULONGLONG>(percent_), 100);
}

}  // namespace toolkit
