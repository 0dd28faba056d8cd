#include "ui/transfer_rate.h"

#include "net/file_digest.h"
#include "platform/text.h"
#include "startup/product_config.h"
#include "ui/general_page.h"

namespace ui {

void TransferRate::Add(uint64_t now_ms, uint64_t bytes_done, uint64_t bytes_total) {
  if (!samples_.empty() && (bytes_done < samples_.back().bytes || now_ms < samples_.back().ms)) {
    samples_.clear();
  }
  total_ = bytes_total;
  samples_.push_back({now_ms, bytes_done});
  while (samples_.size() > kMaxSamples || (samples_.size() > 2 && samples_.front().ms + kWindowMs < now_ms)) {
    samples_.pop_front();
  }
}

std::optional<uint64_t> TransferRate::BytesPerSecond() const {
  if (samples_.size() < 2) return std::nullopt;
  const Sample& first = samples_.front();
  const Sample& last = samples_.back();
  const uint64_t span = last.ms - first.ms;
  if (span < kMinSpanMs || last.bytes <= first.bytes) return std::nullopt;
  return (last.bytes - first.bytes) * 1000 / span;
}

std::optional<uint64_t> TransferRate::SecondsLeft() const {
  const std::optional<uint64_t> speed = BytesPerSecond();
  if (!speed || *speed == 0 || samples_.empty() || total_ <= samples_.back().bytes) return std::nullopt;
  const uint64_t left = total_ - samples_.back().bytes;
  const uint64_t seconds = left / *speed + (left % *speed != 0 ? 1 : 0);
  if (seconds > kMaxSecondsLeft) return std::nullopt;
  return seconds;
}

std::wstring SpeedText(uint64_t bytes_per_second) {
  return net::FormatSizeText(static_cast<int64_t>(bytes_per_second)) + L"/s";
}

std::wstring TimeLeftText(uint64_t seconds) {
  const startup::LanguageStrings& strings = startup::Strings();
  if (seconds < 60) {
    const uint64_t rounded = seconds <= 5 ? 5 : (seconds + 4) / 5 * 5;
    if (rounded < 60) return ReplaceMarks(strings.Get("TimeLeftSeconds"), platform::DecimalText(rounded));
  }
  const uint64_t minutes = (seconds + 59) / 60;
  if (minutes < 60) return ReplaceMarks(strings.Get("TimeLeftMinutes"), platform::DecimalText(minutes));
  return ReplaceMarks(strings.Get("TimeLeftHours"), platform::DecimalText(minutes / 60),
                      platform::DecimalText(minutes % 60));
}

}  // namespace ui
