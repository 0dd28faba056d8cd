#include "net/multi_transfer.h"

#include <optional>

#include "net/curl_handle.h"
#include "platform/windows_api.h"

namespace net {
namespace {

// The longest wait for socket activity: a stop, a stall or the end of a
// busy server's pause is noticed within it.
constexpr int kPollMs = 100;

enum class Phase : uint8_t { Running, Paused, Over };

struct Slot {
  Phase phase = Phase::Over;
  ULONGLONG resume_ms = 0;  // paused: when the same request goes again
  CURLcode last_code = CURLE_OK;
};

RangeResult NoHandle() {
  return {RangeAnswer::Matched, DownloadOutcome::Failed(DownloadStage::Range, DownloadCause::NoRangeHandle)};
}

// Takes the handles still in the run out of it before the multi handle
// goes, also when the loop ends early.
class Detach {
 public:
  Detach(CURLM* multi, const std::vector<Slot>& slots, const std::vector<std::unique_ptr<RangeTransfer>>& transfers)
      : multi_(multi), slots_(slots), transfers_(transfers) {}
  Detach(const Detach&) = delete;
  Detach& operator=(const Detach&) = delete;
  ~Detach() {
    for (size_t i = 0; i < slots_.size(); ++i) {
      if (slots_[i].phase == Phase::Running) (void)curl_multi_remove_handle(multi_, transfers_[i]->Handle());
    }
  }

 private:
  CURLM* multi_;
  const std::vector<Slot>& slots_;
  const std::vector<std::unique_ptr<RangeTransfer>>& transfers_;
};

}  // namespace

std::vector<RangeResult> MultiTransfer::Run(const std::vector<std::unique_ptr<RangeTransfer>>& transfers) {
  const size_t count = transfers.size();
  std::vector<RangeResult> results(count);
  std::vector<Slot> slots(count);
  CurlMulti multi(curl_multi_init());
  if (!multi) {
    for (RangeResult& result : results) result = NoHandle();
    return results;
  }
  // A connection of its own per range, as with one handle per thread: never
  // several ranges multiplexed over one connection.
  (void)curl_multi_setopt(multi.get(), CURLMOPT_PIPELINING, CURLPIPE_NOTHING);
  const Detach detach(multi.get(), slots, transfers);

  size_t active = 0;
  for (size_t i = 0; i < count; ++i) {
    if (std::optional<RangeResult> early = transfers[i]->Prepare()) {
      results[i] = *early;
    } else if (curl_multi_add_handle(multi.get(), transfers[i]->Handle()) != CURLM_OK) {
      results[i] = NoHandle();
    } else {
      slots[i].phase = Phase::Running;
      ++active;
    }
  }

  ULONGLONG next_tick = ::GetTickCount64() + tick_ms_;
  while (active > 0) {
    int running = 0;
    (void)curl_multi_perform(multi.get(), &running);
    int queued = 0;
    while (const CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
      if (message->msg != CURLMSG_DONE) continue;
      // The message goes with the removal below: read it first.
      const CURL* easy = message->easy_handle;
      const CURLcode code = message->data.result;
      size_t i = 0;
      while (i < count && transfers[i]->Handle() != easy) ++i;
      if (i == count || slots[i].phase != Phase::Running) continue;
      (void)curl_multi_remove_handle(multi.get(), transfers[i]->Handle());
      const int pause = transfers[i]->RetryPause(code);
      if (pause >= 0) {
        slots[i] = {Phase::Paused, ::GetTickCount64() + static_cast<ULONGLONG>(pause) * 1000, code};
      } else {
        slots[i].phase = Phase::Over;
        results[i] = transfers[i]->Finish(code);
        --active;
      }
    }
    const ULONGLONG now = ::GetTickCount64();
    for (size_t i = 0; i < count; ++i) {
      if (slots[i].phase != Phase::Paused) continue;
      if (transfers[i]->IsStopOrStall()) {
        slots[i].phase = Phase::Over;
        results[i] = transfers[i]->Finish(slots[i].last_code);
        --active;
      } else if (now >= slots[i].resume_ms) {
        if (curl_multi_add_handle(multi.get(), transfers[i]->Handle()) == CURLM_OK) {
          slots[i].phase = Phase::Running;
        } else {
          slots[i].phase = Phase::Over;
          results[i] = transfers[i]->Finish(slots[i].last_code);
          --active;
        }
      }
    }
    if (now >= next_tick) {
      next_tick = now + tick_ms_;
      if (tick_) tick_();
    }
    if (active > 0) (void)curl_multi_poll(multi.get(), nullptr, 0, kPollMs, nullptr);
  }
  return results;
}

}  // namespace net
