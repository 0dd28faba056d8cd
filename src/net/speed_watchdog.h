// Transfer speed and stall control: the range writes leave speed samples in
// a process-wide list; a watchdog thread beside every download judges them
// once a second and sets the stall flag after too many slow or silent seconds.
#pragma once

#include <cstdint>

#include "platform/windows_api.h"

namespace net {

struct WatchdogSettings {
  int window = 1;                 // newest samples averaged: the connection count
  int stall_limit_seconds = 120;  // more consecutive bad seconds than this end the download
  int64_t min_bytes_per_second = 1024;
};

// Empties the sample list and clears the stall flag (start of a download).
void ResetTransferWatch();
// Appends one sample; the caller holds startup::DownloadLock().
void AddSpeedSampleLocked(int64_t bytes_per_second);
[[nodiscard]] bool IsStalled();
[[nodiscard]] size_t SpeedSampleCount();

// The watchdog's body: waits until the ranged connections start (the size
// probe and the pre-sizing of the file are not silence), then judges once a
// second until `finished` is signalled or it sets the stall flag. Returns
// true when it ended the download.
bool RunStallWatchdog(const WatchdogSettings& settings, HANDLE ranges_started, HANDLE finished);

}  // namespace net
