#include "toolkit/control_timers.h"

#include "platform/text.h"
#include "toolkit/control.h"
#include "toolkit/log.h"

namespace toolkit {

ControlTimers::ControlTimers(HWND window, UINT first, UINT last) : window_(window), first_(first), last_(last) {}

ControlTimers::~ControlTimers() {
  for (const auto& [native, target] : timers_) ::KillTimer(window_, native);
}

UINT ControlTimers::NativeId(const Control* control, UINT id) const {
  for (const auto& [native, target] : timers_) {
    if (target.control == control && target.id == id) return native;
  }
  return 0;
}

// The lowest id not in use: the ids of ended timers come back first.
UINT ControlTimers::FreeNativeId() const {
  UINT candidate = first_;
  for (const auto& [native, target] : timers_) {
    if (native != candidate) break;
    ++candidate;
  }
  return candidate <= last_ ? candidate : 0;
}

bool ControlTimers::Set(Control* control, UINT id, UINT elapse_ms) {
  UINT native = NativeId(control, id);
  if (native == 0) native = FreeNativeId();
  if (native == 0) {
    LogOnce(L"control-timers-full", L"a control timer cannot start: all " + platform::DecimalText(last_ - first_ + 1) +
                                        L" timer ids of the window are in use");
    return false;
  }
  if (::SetTimer(window_, native, elapse_ms, nullptr) == 0) {
    LogOnce(L"control-timer-refused",
            L"a control timer cannot start (" + platform::DecimalText(::GetLastError()) + L")");
    timers_.erase(native);
    return false;
  }
  timers_[native] = {control, id};
  return true;
}

void ControlTimers::Kill(Control* control, UINT id) {
  const UINT native = NativeId(control, id);
  if (native == 0) return;
  ::KillTimer(window_, native);
  timers_.erase(native);
}

void ControlTimers::KillAll(const Control* control) {
  for (auto it = timers_.begin(); it != timers_.end();) {
    if (it->second.control == control) {
      ::KillTimer(window_, it->first);
      it = timers_.erase(it);
    } else {
      ++it;
    }
  }
}

bool ControlTimers::Fire(UINT native_id) {
  auto found = timers_.find(native_id);
  if (found == timers_.end()) return false;
  ::KillTimer(window_, native_id);
  const Target target = found->second;
  timers_.erase(found);
  target.control->OnTimer(target.id);
  return true;
}

}  // namespace toolkit
