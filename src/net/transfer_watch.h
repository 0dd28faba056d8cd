// The stall control of one download: its range transfers leave speed
// samples here, and a watchdog thread beside the download judges them once
// a second and sets the stall flag after too many slow or silent seconds.
// Every start or resume of a download has a watch of its own, so neither
// two downloads nor two runs of one ever see each other's samples or stall.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/windows_api.h"
#include "startup/my_lock.h"

namespace net {

struct WatchdogSettings {
  int window = 1;                 // newest samples averaged: the connection count
  int stall_limit_seconds = 120;  // more consecutive bad seconds than this end the download
  int64_t min_bytes_per_second = 1024;
};

class TransferWatch {
 public:
  TransferWatch() = default;
  TransferWatch(const TransferWatch&) = delete;
  TransferWatch& operator=(const TransferWatch&) = delete;

  // One sample of a range's speed (any range thread).
  void AddSample(int64_t bytes_per_second);
  [[nodiscard]] bool IsStalled() const { return stalled_.load(); }
  [[nodiscard]] size_t SampleCount() const;

  // The watchdog's body: waits until the ranged connections start (the size
  // probe and the pre-sizing of the file are not silence), then judges once
  // a second until `finished` is signalled or it sets the stall flag.
  // Returns true when it ended the download.
  bool Watch(const WatchdogSettings& settings, HANDLE ranges_started, HANDLE finished);

 private:
  mutable startup::Mutex lock_;  // guards samples_
  std::vector<int64_t> samples_;
  std::atomic<bool> stalled_{false};  // set by the watchdog only
};

}  // namespace net
