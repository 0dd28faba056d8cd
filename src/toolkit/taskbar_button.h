// A window's taskbar button as a progress display (ITaskbarList3). Optional
// by nature: older systems and Wine may offer no such interface, or one that
// does nothing. The interface is asked for once, on first use; when it is
// missing that is logged once and every later call does nothing.
#pragma once

#include <shobjidl.h>

#include "platform/windows_api.h"
#include "toolkit/com_owners.h"
#include "toolkit/taskbar_state.h"

namespace toolkit {

class TaskbarButton {
 public:
  explicit TaskbarButton(HWND window) : window_(window) {}
  TaskbarButton(const TaskbarButton&) = delete;
  TaskbarButton& operator=(const TaskbarButton&) = delete;

  // Shows `state` with `percent` (clamped to 0..100; ignored for None).
  // Repeating what shows already costs nothing.
  void Show(TaskbarState state, int percent);
  // The shell made the button afresh (the shell restarted): shows the last
  // state again.
  void ButtonCreated();
  // Asks the shell for its interface now (once; later calls do nothing).
  void Connect() { (void)Interface(); }
  [[nodiscard]] TaskbarState state() const { return state_; }
  [[nodiscard]] int percent() const { return percent_; }

 private:
  [[nodiscard]] ITaskbarList3* Interface();
  void Apply();

  enum class Link { NotTried, Connected, Missing };
  HWND window_;
  ScopedOle ole_;  // the shell's object needs COM on this (the UI) thread; outlives list_
  Link link_ = Link::NotTried;
  UniqueCom<ITaskbarList3> list_;
  TaskbarState state_ = TaskbarState::None;
  int percent_ = 0;
};

}  // namespace toolkit
