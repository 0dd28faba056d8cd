#include "platform/signal.h"

#include <cstdlib>

namespace platform {

Signal::Signal() : event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  // Without its event a waiter could never wake: that is not recoverable.
  if (!event_.IsValid()) std::abort();
}

void Signal::Set() { ::SetEvent(event_.Get()); }

bool Signal::IsSet() const { return ::WaitForSingleObject(event_.Get(), 0) == WAIT_OBJECT_0; }

WaitOutcome Signal::WaitPumping(DWORD timeout_ms) const { return WaitWithMessages(event_.Get(), timeout_ms); }

}  // namespace platform
