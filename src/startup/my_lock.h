// The in-process lock interface and its system-mutex implementation: the log
// has one process-wide instance, each download's transfer watch its own.
#pragma once

#include "platform/unique_resource.h"

namespace startup {

class IMyLock {
 public:
  virtual ~IMyLock() = default;
  virtual void Lock() = 0;
  virtual void Unlock() = 0;
};

// An unnamed system mutex. If the system cannot make one, a critical section
// stands in: the lock never silently turns into a no-op.
class Mutex final : public IMyLock {
 public:
  Mutex();
  ~Mutex() override;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void Lock() override;
  void Unlock() override;
  [[nodiscard]] bool UsesSystemMutex() const { return mutex_.IsValid(); }

 private:
  platform::UniqueHandle mutex_;
  CRITICAL_SECTION fallback_;
};

class ScopedLock {
 public:
  explicit ScopedLock(IMyLock& lock) : lock_(lock) { lock_.Lock(); }
  ~ScopedLock() { lock_.Unlock(); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  IMyLock& lock_;
};

// The log's process-wide instance.
[[nodiscard]] IMyLock& LogLock();

}  // namespace startup
