// What the benchmark programs measure of themselves: a monotonic clock, the
// process's own CPU time and its peak working set.
#pragma once

#include "platform/windows_api.h"
#include <psapi.h>

namespace bench {

// Milliseconds on the performance counter (only differences mean anything).
inline double MillisecondsNow() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER c;
  ::QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) * 1000.0 / frequency;
}

// User + kernel seconds of this process so far; -1 when the system says none.
inline double ProcessCpuSeconds() {
  FILETIME created, exited, kernel, user;
  if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return -1.0;
  const auto seconds = [](const FILETIME& time) {
    return static_cast<double>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

// Bytes; 0 when the system says none.
inline unsigned long long PeakWorkingSetBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  return ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)
             ? static_cast<unsigned long long>(counters.PeakWorkingSetSize)
             : 0;
}

}  // namespace bench
