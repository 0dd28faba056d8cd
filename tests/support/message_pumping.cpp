#include "message_pumping.h"

#include "platform/message_pump.h"

namespace test_support {

bool PumpUntil(const std::function<bool()>& done, DWORD bound_ms) {
  const ULONGLONG end = ::GetTickCount64() + bound_ms;
  while (!done()) {
    if (::GetTickCount64() > end) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    if (!platform::DispatchPendingMessages()) return done();
  }
  return true;
}

void PumpFor(DWORD ms) {
  (void)PumpUntil([] { return false; }, ms);
}

}  // namespace test_support
