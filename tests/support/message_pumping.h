// Waiting in a test while the thread's windows keep working: messages are
// dispatched through the platform pump (as the program's own waits do) until
// a condition holds or a bound passes. A bound, never a timing check.
#pragma once

#include "platform/windows_api.h"

#include <functional>

namespace test_support {

// True once `done` holds; false when the bound passed first or a quit
// request (kept queued for the caller) ended the wait before it held.
[[nodiscard]] bool PumpUntil(const std::function<bool()>& done, DWORD bound_ms = 10000);
// Dispatches for `ms` milliseconds (a quit request ends it early).
void PumpFor(DWORD ms);

}  // namespace test_support
