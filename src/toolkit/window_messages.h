// The private messages and timer ids of the toolkit's host window, in one
// place so no two parts of the host pick the same number.
#pragma once

#include "platform/windows_api.h"

namespace toolkit {

// Window::Close: the window closes when this message is handled.
constexpr UINT kCloseMessage = WM_APP + 0x301;
// The UI task queue has closures to run.
constexpr UINT kRunQueuedMessage = WM_APP + 0x302;
// The drop-down list ended; wparam is its generation, lparam the choice.
constexpr UINT kDropDownDoneMessage = WM_APP + 0x303;
// Not in the headers for WINVER 0x0601; sent from Windows 8.1 on.
constexpr UINT kDpiChangedMessage = 0x02E0;

// Native timer ids: the program's own timers stay below the first control
// timer (Window::SetTimer refuses larger ids); the control timers take ids
// from their range and give them back; the browser watch sits above both.
constexpr UINT kFirstControlTimer = 0x10000;
constexpr UINT kLastControlTimer = 0xFFFEF;
constexpr UINT kBrowserWatchTimer = 0xFFFF0;
// After the first frame, while idle: reports the first frame to its hook,
// then makes what takes long to make (the native edits, the hosted
// browsers, the taskbar's interface), one per tick.
constexpr UINT kIdleStartTimer = 0xFFFF1;

}  // namespace toolkit
