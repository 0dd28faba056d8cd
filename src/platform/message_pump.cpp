#include "platform/message_pump.h"

#include <atomic>

namespace platform {
namespace {

std::atomic<MessagePreTranslator> g_pre_translator{nullptr};

DWORD RemainingMs(ULONGLONG deadline) {
  const ULONGLONG now = ::GetTickCount64();
  return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

}  // namespace

void SetMessagePreTranslator(MessagePreTranslator translator) { g_pre_translator = translator; }

bool DispatchPendingMessages() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    }
    MessagePreTranslator translator = g_pre_translator.load();
    if (translator != nullptr && translator(message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return true;
}

bool QuitRequestPending() {
  MSG message;
  return ::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
}

WaitOutcome WaitWithMessages(HANDLE handle, DWORD timeout_ms) {
  const bool unbounded = timeout_ms == INFINITE;
  const ULONGLONG deadline = unbounded ? 0 : ::GetTickCount64() + timeout_ms;
  const DWORD handle_count = handle != nullptr ? 1 : 0;
  for (;;) {
    const DWORD wait_ms = unbounded ? INFINITE : RemainingMs(deadline);
    const DWORD result =
        ::MsgWaitForMultipleObjectsEx(handle_count, &handle, wait_ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (handle_count == 1 && result == WAIT_OBJECT_0) return WaitOutcome::Signalled;
    if (result == WAIT_OBJECT_0 + handle_count) {
      if (!DispatchPendingMessages()) return WaitOutcome::Closing;
      if (!unbounded && RemainingMs(deadline) == 0) {
        // Messages kept arriving up to the deadline: give the handle a last look.
        if (handle_count == 1 && ::WaitForSingleObject(handle, 0) == WAIT_OBJECT_0) {
          return WaitOutcome::Signalled;
        }
        return WaitOutcome::TimedOut;
      }
      continue;
    }
    if (result == WAIT_TIMEOUT) return WaitOutcome::TimedOut;
    return WaitOutcome::Failed;
  }
}

}  // namespace platform
