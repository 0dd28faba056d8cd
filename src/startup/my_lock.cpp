#include "startup/my_lock.h"

namespace startup {

Mutex::Mutex() : mutex_(::CreateMutexW(nullptr, FALSE, nullptr)) { ::InitializeCriticalSection(&fallback_); }

Mutex::~Mutex() { ::DeleteCriticalSection(&fallback_); }

void Mutex::Lock() {
  if (mutex_.IsValid()) {
    // An abandoned mutex (a thread ended while holding it) is still ours now.
    (void)::WaitForSingleObject(mutex_.Get(), INFINITE);
    return;
  }
  ::EnterCriticalSection(&fallback_);
}

void Mutex::Unlock() {
  if (mutex_.IsValid()) {
    ::ReleaseMutex(mutex_.Get());
    return;
  }
  ::LeaveCriticalSection(&fallback_);
}

IMyLock& LogLock() {
  static Mutex lock;
  return lock;
}

}  // namespace startup
