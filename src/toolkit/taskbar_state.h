// What a window's taskbar button shows of a long task.
#pragma once

namespace toolkit {

enum class TaskbarState {
  None,    // no progress on the button
  Normal,  // the value, in the normal colour
  Paused,  // the value, in the paused colour
  Error,   // the value, in the error colour
};

}  // namespace toolkit
