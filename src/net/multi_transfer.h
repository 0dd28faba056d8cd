// Runs the range transfers of one download side by side through libcurl
// multi handles: one loop per core (at most four), each over an even share
// of the ranges, the calling thread running the first. Not a thread per
// connection: that costs more memory than its socket and buffers on some
// systems.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "net/loop_waker.h"
#include "net/range_transfer.h"

namespace net {

class MultiTransfer {
 public:
  // `tick` runs on the calling thread about every `tick_ms` while the
  // transfers run (progress, journal). `waker` (may be null) ends a wait
  // for the sockets at once when a stop comes.
  MultiTransfer(std::function<void()> tick, unsigned long tick_ms, LoopWaker* waker)
      : tick_(std::move(tick)), tick_ms_(tick_ms), waker_(waker) {}

  // Runs every transfer until it ended; a result per transfer, in order.
  // A busy server's pause takes that transfer's handle out of the run until
  // it is over, so the others go on meanwhile. A stop or stall ends them all.
  [[nodiscard]] std::vector<RangeResult> Run(const std::vector<std::unique_ptr<RangeTransfer>>& transfers);

 private:
  std::function<void()> tick_;
  unsigned long tick_ms_;
  LoopWaker* waker_;
};

}  // namespace net
