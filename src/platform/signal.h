// A one-shot "done" flag that a UI-thread wait can sleep on: a worker sets
// it, the waiting thread wakes at once instead of polling.
#pragma once

#include "platform/message_pump.h"
#include "platform/unique_resource.h"

namespace platform {

class Signal {
 public:
  Signal();  // manual-reset, initially clear
  Signal(const Signal&) = delete;
  Signal& operator=(const Signal&) = delete;

  void Set();
  [[nodiscard]] bool IsSet() const;
  [[nodiscard]] HANDLE Handle() const { return event_.Get(); }

  // Message-aware wait until Set() (see WaitWithMessages).
  [[nodiscard]] WaitOutcome WaitPumping(DWORD timeout_ms = INFINITE) const;

 private:
  UniqueHandle event_;
};

// Sets the signal when it goes out of scope, so a worker reports "done" on
// every return path.
class SignalOnExit {
 public:
  explicit SignalOnExit(Signal& signal) : signal_(signal) {}
  ~SignalOnExit() { signal_.Set(); }
  SignalOnExit(const SignalOnExit&) = delete;
  SignalOnExit& operator=(const SignalOnExit&) = delete;

 private:
  Signal& signal_;
};

}  // namespace platform
