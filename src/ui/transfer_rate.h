// Speed and time left of the running transfer, smoothed over the last few
// seconds of progress reports and withheld until they mean something (a
// second of samples gives a wild figure; a stalled transfer has none).
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace ui {

class TransferRate {
 public:
  static constexpr uint64_t kWindowMs = 5000;   // the smoothing span
  static constexpr uint64_t kMinSpanMs = 2000;  // shown once the samples cover this
  static constexpr size_t kMaxSamples = 64;
  static constexpr uint64_t kMaxSecondsLeft = 99 * 3600;

  // A report at `now_ms`: bytes done of `bytes_total`. Fewer bytes than the
  // last report mean a new transfer: the history starts again.
  void Add(uint64_t now_ms, uint64_t bytes_done, uint64_t bytes_total);
  void Reset() { samples_.clear(); }

  [[nodiscard]] std::optional<uint64_t> BytesPerSecond() const;
  [[nodiscard]] std::optional<uint64_t> SecondsLeft() const;

 private:
  struct Sample {
    uint64_t ms;
    uint64_t bytes;
  };
  std::deque<Sample> samples_;
  uint64_t total_ = 0;
};

// "2.40MB/s".
[[nodiscard]] std::wstring SpeedText(uint64_t bytes_per_second);
// "About 25 s left", "About 3 min left", "About 1 h 5 min left" in the
// current language; seconds round up to 5, minutes up.
[[nodiscard]] std::wstring TimeLeftText(uint64_t seconds);

}  // namespace ui
