// Wakes the download loop out of its wait for socket activity from another
// thread (a stop), so the loop need not poll for it: a datagram to a
// loopback socket of its own that the wait watches beside the transfers'.
#pragma once

#include <mutex>

#include "platform/windows_api.h"

namespace net {

class LoopWaker {
 public:
  LoopWaker() = default;
  ~LoopWaker();
  LoopWaker(const LoopWaker&) = delete;
  LoopWaker& operator=(const LoopWaker&) = delete;

  // The waiting thread's owner, before the wait starts (sockets must be
  // initialised). False when no socket could be had: the wait then notices
  // a stop only at its bound.
  [[nodiscard]] bool Open();
  // Any thread; never blocks. A wake-up while nobody waits is taken by the
  // next wait, which then returns at once.
  void Wake();
  // The waiting thread: what the wait watches (INVALID_SOCKET when closed),
  // and taking the wake-ups it saw.
  [[nodiscard]] SOCKET Socket() const { return socket_; }
  void Drain();

 private:
  std::mutex mutex_;  // Open and Wake may meet on different threads
  SOCKET socket_ = INVALID_SOCKET;
  sockaddr_in address_{};
};

}  // namespace net
