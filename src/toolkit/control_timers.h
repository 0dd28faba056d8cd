// The timers controls ask their window for (animation frames), on one
// native window. Each (control, id) pair runs on a native timer id of its
// own, taken from a fixed range and given back when the timer ends, so
// the ids never run out however long an animation runs. Control timers
// are one-shot: the control schedules its next tick from OnTimer.
#pragma once

#include <map>

#include "platform/windows_api.h"

namespace toolkit {

class Control;

class ControlTimers {
 public:
  // `first`..`last`: the native ids these timers may use on `window`.
  ControlTimers(HWND window, UINT first, UINT last);
  ~ControlTimers();  // stops the timers still running
  ControlTimers(const ControlTimers&) = delete;
  ControlTimers& operator=(const ControlTimers&) = delete;

  // Starts or restarts the timer; false when the system refuses it or
  // every id of the range is taken (both logged).
  bool Set(Control* control, UINT id, UINT elapse_ms);
  void Kill(Control* control, UINT id);
  // Stops every timer of a control that goes away.
  void KillAll(const Control* control);
  // WM_TIMER: true when `native_id` is one of these timers; the control has
  // then had its tick.
  bool Fire(UINT native_id);
  [[nodiscard]] size_t running() const { return timers_.size(); }
  // The native id the timer runs on, or 0 when it does not run.
  [[nodiscard]] UINT NativeId(const Control* control, UINT id) const;

 private:
  struct Target {
    Control* control;
    UINT id;
  };
  [[nodiscard]] UINT FreeNativeId() const;

  HWND window_;
  UINT first_;
  UINT last_;
  std::map<UINT, Target> timers_;  // by native id
};

}  // namespace toolkit
