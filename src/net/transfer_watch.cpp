#include "net/transfer_watch.h"

#include <algorithm>

#include "startup/log.h"

namespace net {
namespace {

constexpr size_t kSampleListCap = 1000;

}  // namespace

void TransferWatch::AddSample(int64_t bytes_per_second) {
  startup::ScopedLock lock(lock_);
  try {
    samples_.push_back(bytes_per_second);
  } catch (...) {
    // Out of memory: a lost sample only delays the judgement.
  }
}

size_t TransferWatch::SampleCount() const {
  startup::ScopedLock lock(lock_);
  return samples_.size();
}

bool TransferWatch::Watch(const WatchdogSettings& settings, HANDLE ranges_started, HANDLE finished) {
  // Never wider than what the trimmed list keeps, or the trim would reach before its start.
  constexpr int kWidestWindow = static_cast<int>(kSampleListCap / 2);
  const size_t window = static_cast<size_t>(std::clamp(settings.window, 1, kWidestWindow));
  const HANDLE first_events[] = {finished, ranges_started};
  if (::WaitForMultipleObjects(2, first_events, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return false;
  int bad_seconds = 0;
  size_t previous_count = 0;
  for (;;) {
    if (::WaitForSingleObject(finished, 1000) != WAIT_TIMEOUT) return false;
    size_t count = 0;
    int64_t average = 0;
    {
      startup::ScopedLock lock(lock_);
      count = samples_.size();
      if (count != previous_count && count >= window) {
        int64_t sum = 0;
        for (size_t i = count - window; i < count; ++i) sum += samples_[i];
        average = sum / static_cast<int64_t>(window);
      }
      if (count > kSampleListCap) samples_.erase(samples_.begin(), samples_.end() - static_cast<ptrdiff_t>(window));
    }
    if (count == previous_count) {
      // Nothing arrived in the last second: a silent connection counts too,
      // also before the first samples exist.
      ++bad_seconds;
    } else if (count >= window) {
      if (average >= settings.min_bytes_per_second) {
        bad_seconds = 0;
      } else {
        ++bad_seconds;
        startup::Log("%s %d time:%d,size:%I64d\n", "CDownloadHelper::CalcSpeedPro", 471, bad_seconds,
                     static_cast<long long>(average));
      }
    } else {
      bad_seconds = 0;  // data flows, too few samples to judge its speed yet
    }
    previous_count = count > kSampleListCap ? window : count;
    if (bad_seconds > settings.stall_limit_seconds) {
      stalled_ = true;
      startup::Log("%s %d download mini size timeout:%d\n", "CDownloadHelper::CalcSpeedPro", 443, bad_seconds);
      return true;
    }
  }
}

}  // namespace net
