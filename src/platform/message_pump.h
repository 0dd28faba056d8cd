// Message-aware waits for the UI thread: every long wait on that thread keeps
// dispatching window messages so the window stays responsive, and a quit
// request is never swallowed.
#pragma once

#include "platform/windows_api.h"

namespace platform {

// Lets a window toolkit see each message before it is dispatched (keyboard
// navigation, dialog messages). Returns true when it handled the message.
using MessagePreTranslator = bool (*)(MSG& message);
void SetMessagePreTranslator(MessagePreTranslator translator);

enum class WaitOutcome {
  Signalled,  // the handle was signalled
  TimedOut,   // the time ran out first
  Closing,    // WM_QUIT arrived: it was posted again for the outer loop
  Failed,     // the wait itself failed (bad handle)
};

// Dispatches every pending message of this thread. Returns false when WM_QUIT
// was among them; it is posted again so the caller's own loop sees it.
[[nodiscard]] bool DispatchPendingMessages();

// True while a quit request waits in this thread's queue (it stays there):
// a wait that saw it and posted it again may have returned a plain result.
[[nodiscard]] bool QuitRequestPending();

// Waits for `handle` (may be null: then only the time-out ends the wait)
// while dispatching this thread's messages. `timeout_ms` may be INFINITE.
[[nodiscard]] WaitOutcome WaitWithMessages(HANDLE handle, DWORD timeout_ms);

}  // namespace platform
