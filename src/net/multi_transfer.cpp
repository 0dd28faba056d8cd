#include "net/multi_transfer.h"

#include <algorithm>
#include <optional>
#include <thread>

#include "net/curl_handle.h"
#include "platform/signal.h"
#include "platform/windows_api.h"

namespace net {
namespace {

// The longest wait for the sockets: a stall, which the watchdog flags from
// its own thread without a wake-up, is noticed within it.
constexpr ULONGLONG kMaxWaitMs = 200;
// Rounds over the readable sockets before the loop looks at the clock
// (tick, pauses) again.
constexpr int kMaxReadRounds = 64;
// Loops (each a thread) a download's ranges are spread over, at most one per
// core: under some systems every receive and write waits on a system
// service, so one thread cannot keep several fast connections busy.
constexpr size_t kMaxLoops = 4;

enum class Phase : uint8_t { Running, Paused, Over };

struct Slot {
  Phase phase = Phase::Over;
  ULONGLONG resume_ms = 0;  // paused: when the same request goes again
  CURLcode last_code = CURLE_OK;
};

// A socket libcurl asked to have watched, and for what (CURL_POLL_*).
struct Watched {
  curl_socket_t socket;
  int what;
};

// A socket the wait found ready, with what it is ready for (CURL_CSELECT_*).
struct Ready {
  curl_socket_t socket;
  int events;
};

// What libcurl asks of the loop through its callbacks (the loop's thread only).
struct Requests {
  std::vector<Watched> sockets;
  std::optional<ULONGLONG> timer_due;  // when libcurl wants to be called for its timeouts
};

int WatchSocket(CURL*, curl_socket_t socket, int what, void* user, void*) noexcept {
  std::vector<Watched>& sockets = static_cast<Requests*>(user)->sockets;
  const auto it =
      std::find_if(sockets.begin(), sockets.end(), [socket](const Watched& w) { return w.socket == socket; });
  if (what == CURL_POLL_REMOVE) {
    if (it != sockets.end()) sockets.erase(it);
  } else if (it != sockets.end()) {
    it->what = what;
  } else {
    try {
      sockets.push_back({socket, what});
    } catch (...) {
      // Out of memory: unwatched, the transfer ends at its time-out or stall.
    }
  }
  return 0;
}

int SetTimer(CURLM*, long timeout_ms, void* user) noexcept {
  std::optional<ULONGLONG>& due = static_cast<Requests*>(user)->timer_due;
  if (timeout_ms < 0) {
    due.reset();
  } else {
    due = ::GetTickCount64() + static_cast<ULONGLONG>(timeout_ms);
  }
  return 0;
}

RangeResult NoHandle() {
  return {RangeAnswer::Matched, DownloadOutcome::Failed(DownloadStage::Range, DownloadCause::NoRangeHandle)};
}

// One run of the transfers. libcurl is driven socket by socket: told which
// socket is readable, it receives without first asking the system again, and
// a socket is read for as long as it delivers before the loop waits for all
// of them at once. Under some systems each of those calls is a round trip
// to a system service, so this is what keeps a connection near the speed of
// a plain receive loop.
class Loop {
 public:
  Loop(CURLM* multi, const std::vector<RangeTransfer*>& transfers, LoopWaker* waker)
      : multi_(multi), transfers_(transfers), waker_(waker), slots_(transfers.size()), results_(transfers.size()) {}
  Loop(const Loop&) = delete;
  Loop& operator=(const Loop&) = delete;
  // Takes the handles still in the run out of it before the multi handle
  // goes, also when the loop ends early; the multi handle's clean-up must
  // not call back into what is gone by then.
  ~Loop() {
    for (size_t i = 0; i < slots_.size(); ++i) {
      if (slots_[i].phase == Phase::Running) (void)curl_multi_remove_handle(multi_, transfers_[i]->Handle());
    }
    (void)curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, nullptr);
    (void)curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, nullptr);
  }

  [[nodiscard]] std::vector<RangeResult> Run(const std::function<void()>& tick, unsigned long tick_ms);

 private:
  void Start();
  [[nodiscard]] bool IsStopOrStall() const;
  [[nodiscard]] ULONGLONG NextDeadline(std::optional<ULONGLONG> next_tick) const;
  void Wait(ULONGLONG deadline);
  void ReadReadySockets();
  void RunTimer();
  void CollectFinished();
  void ResumePaused();
  void End(size_t i, CURLcode code);
  void EndAll();
  [[nodiscard]] uint64_t Received() const;
  [[nodiscard]] bool IsWatchedForReading(curl_socket_t socket) const;

  CURLM* multi_;
  const std::vector<RangeTransfer*>& transfers_;
  LoopWaker* waker_;
  std::vector<Slot> slots_;
  std::vector<RangeResult> results_;
  Requests requests_;
  std::vector<Ready> ready_;
  size_t active_ = 0;
};

std::vector<RangeResult> Loop::Run(const std::function<void()>& tick, unsigned long tick_ms) {
  // Every handle has at most a couple of sockets (a second address family
  // tried while connecting): reserved so the callbacks rarely allocate.
  requests_.sockets.reserve(2 * transfers_.size() + 2);
  ready_.reserve(2 * transfers_.size() + 2);
  (void)curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, &WatchSocket);
  (void)curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, &requests_);
  (void)curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, &SetTimer);
  (void)curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, &requests_);
  Start();
  // A loop without a tick waits for its sockets alone: a tick that is always
  // due would make every wait return at once.
  std::optional<ULONGLONG> next_tick;
  if (tick) next_tick = ::GetTickCount64() + tick_ms;
  while (active_ > 0) {
    if (IsStopOrStall()) {
      EndAll();
      break;
    }
    Wait(NextDeadline(next_tick));
    ReadReadySockets();
    RunTimer();
    CollectFinished();
    ResumePaused();
    if (const ULONGLONG now = ::GetTickCount64(); next_tick && now >= *next_tick) {
      next_tick = now + tick_ms;
      tick();
    }
  }
  return results_;
}

void Loop::Start() {
  for (size_t i = 0; i < transfers_.size(); ++i) {
    if (std::optional<RangeResult> early = transfers_[i]->Prepare()) {
      results_[i] = *early;
    } else if (curl_multi_add_handle(multi_, transfers_[i]->Handle()) != CURLM_OK) {
      results_[i] = NoHandle();
    } else {
      slots_[i].phase = Phase::Running;
      ++active_;
    }
  }
}

// The stop and stall flags are the download's, the same for every transfer.
bool Loop::IsStopOrStall() const {
  for (size_t i = 0; i < slots_.size(); ++i) {
    if (slots_[i].phase != Phase::Over) return transfers_[i]->IsStopOrStall();
  }
  return false;
}

// A paused range's end is a deadline too: a loop whose ranges all wait out
// a busy server wakes for it with no socket to watch.
ULONGLONG Loop::NextDeadline(std::optional<ULONGLONG> next_tick) const {
  ULONGLONG deadline = ::GetTickCount64() + kMaxWaitMs;
  if (next_tick) deadline = std::min(deadline, *next_tick);
  if (requests_.timer_due) deadline = std::min(deadline, *requests_.timer_due);
  for (const Slot& slot : slots_) {
    if (slot.phase == Phase::Paused) deadline = std::min(deadline, slot.resume_ms);
  }
  return deadline;
}

// One wait for every watched socket (and the waker) until `deadline`; the
// sockets found ready go into ready_.
void Loop::Wait(ULONGLONG deadline) {
  ready_.clear();
  const ULONGLONG now = ::GetTickCount64();
  const ULONGLONG wait_ms = deadline > now ? deadline - now : 0;
  fd_set readable, writable, failed;
  FD_ZERO(&readable);
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  for (const Watched& w : requests_.sockets) {
    if ((w.what & CURL_POLL_IN) != 0) FD_SET(w.socket, &readable);
    // A connect that failed shows as an exception, not as writable.
    if ((w.what & CURL_POLL_OUT) != 0) {
      FD_SET(w.socket, &writable);
      FD_SET(w.socket, &failed);
    }
  }
  const SOCKET wake = waker_ != nullptr ? waker_->Socket() : INVALID_SOCKET;
  if (wake != INVALID_SOCKET) FD_SET(wake, &readable);
  if (readable.fd_count == 0 && writable.fd_count == 0) {
    ::Sleep(static_cast<DWORD>(wait_ms));  // nothing to watch: select would refuse empty sets
    return;
  }
  timeval timeout{static_cast<long>(wait_ms / 1000), static_cast<long>(wait_ms % 1000 * 1000)};
  const int count = ::select(0, &readable, &writable, &failed, &timeout);
  if (count == SOCKET_ERROR) {
    // Not expected; libcurl looks at each socket itself then.
    for (const Watched& w : requests_.sockets) ready_.push_back({w.socket, 0});
    ::Sleep(10);
    return;
  }
  if (count == 0) return;
  // Only a stop wakes the loops, and its wake-up stays unread so that every
  // loop of the download sees it. The waker is the downloader's, kept over
  // its runs: the next run's first wait finds that wake-up, returns at once
  // and takes it here, one extra pass. Should a loop take a new stop's
  // wake-up with an old one, the other loops see the stop flag within
  // kMaxWaitMs. A stall sends none: the same bound covers it.
  if (wake != INVALID_SOCKET && FD_ISSET(wake, &readable) && !IsStopOrStall()) waker_->Drain();
  for (const Watched& w : requests_.sockets) {
    const int events = (FD_ISSET(w.socket, &readable) ? CURL_CSELECT_IN : 0) |
                       (FD_ISSET(w.socket, &writable) ? CURL_CSELECT_OUT : 0) |
                       (FD_ISSET(w.socket, &failed) ? CURL_CSELECT_ERR : 0);
    if (events != 0) ready_.push_back({w.socket, events});
  }
}

// Hands each ready socket to libcurl in turn, again and again while it
// delivers bytes, so no connection waits for another to run dry.
void Loop::ReadReadySockets() {
  for (int round = 0; round < kMaxReadRounds && !ready_.empty(); ++round) {
    for (Ready& ready : ready_) {
      const uint64_t before = Received();
      int running = 0;
      (void)curl_multi_socket_action(multi_, ready.socket, ready.events, &running);
      const bool delivered = (ready.events & CURL_CSELECT_IN) != 0 && Received() > before;
      ready.events = delivered && IsWatchedForReading(ready.socket) ? CURL_CSELECT_IN : 0;
    }
    std::erase_if(ready_, [](const Ready& ready) { return ready.events == 0; });
    CollectFinished();
    if (IsStopOrStall()) return;
  }
}

void Loop::RunTimer() {
  if (!requests_.timer_due || *requests_.timer_due > ::GetTickCount64()) return;
  requests_.timer_due.reset();  // libcurl sets the next one during the call
  int running = 0;
  (void)curl_multi_socket_action(multi_, CURL_SOCKET_TIMEOUT, 0, &running);
}

void Loop::CollectFinished() {
  int queued = 0;
  while (const CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
    if (message->msg != CURLMSG_DONE) continue;
    // The message goes with the removal below: read it first.
    const CURL* easy = message->easy_handle;
    const CURLcode code = message->data.result;
    size_t i = 0;
    while (i < transfers_.size() && transfers_[i]->Handle() != easy) ++i;
    if (i == transfers_.size() || slots_[i].phase != Phase::Running) continue;
    (void)curl_multi_remove_handle(multi_, transfers_[i]->Handle());
    const int pause = transfers_[i]->RetryPause(code);
    if (pause >= 0) {
      slots_[i] = {Phase::Paused, ::GetTickCount64() + static_cast<ULONGLONG>(pause) * 1000, code};
    } else {
      End(i, code);
    }
  }
}

void Loop::ResumePaused() {
  const ULONGLONG now = ::GetTickCount64();
  for (size_t i = 0; i < slots_.size(); ++i) {
    if (slots_[i].phase != Phase::Paused || now < slots_[i].resume_ms) continue;
    if (curl_multi_add_handle(multi_, transfers_[i]->Handle()) == CURLM_OK) {
      slots_[i].phase = Phase::Running;
    } else {
      End(i, slots_[i].last_code);
    }
  }
}

// The transfer is out of the run (or never went back into it) and ends with `code`.
void Loop::End(size_t i, CURLcode code) {
  slots_[i].phase = Phase::Over;
  results_[i] = transfers_[i]->Finish(code);
  --active_;
}

// A stop or stall: every transfer ends now, a running one as if its
// callbacks had aborted it.
void Loop::EndAll() {
  for (size_t i = 0; i < slots_.size(); ++i) {
    if (slots_[i].phase == Phase::Running) {
      (void)curl_multi_remove_handle(multi_, transfers_[i]->Handle());
      End(i, CURLE_ABORTED_BY_CALLBACK);
    } else if (slots_[i].phase == Phase::Paused) {
      End(i, slots_[i].last_code);
    }
  }
}

uint64_t Loop::Received() const {
  uint64_t total = 0;
  for (const RangeTransfer* transfer : transfers_) total += transfer->Received();
  return total;
}

bool Loop::IsWatchedForReading(curl_socket_t socket) const {
  return std::any_of(requests_.sockets.begin(), requests_.sockets.end(),
                     [socket](const Watched& w) { return w.socket == socket && (w.what & CURL_POLL_IN) != 0; });
}

// One loop over `share` (indices into `transfers`) with a multi handle of
// its own; a result per transfer of the share, in its order.
std::vector<RangeResult> RunLoop(const std::vector<std::unique_ptr<RangeTransfer>>& transfers,
                                 const std::vector<size_t>& share, const std::function<void()>& tick,
                                 unsigned long tick_ms, LoopWaker* waker) {
  std::vector<RangeTransfer*> own;
  own.reserve(share.size());
  for (const size_t i : share) own.push_back(transfers[i].get());
  CurlMulti multi(curl_multi_init());
  if (!multi) return std::vector<RangeResult>(own.size(), NoHandle());
  // A connection of its own per range, as with one handle per thread: never
  // several ranges multiplexed over one connection.
  (void)curl_multi_setopt(multi.get(), CURLMOPT_PIPELINING, CURLPIPE_NOTHING);
  Loop loop(multi.get(), own, waker);
  return loop.Run(tick, tick_ms);
}

// RunLoop with its failures as values: out of memory inside a loop (the
// only exception there, bad_alloc) leaves the share's transfers without
// results, which counts them as failed; the other loops and the tick go on.
std::vector<RangeResult> RunShare(const std::vector<std::unique_ptr<RangeTransfer>>& transfers,
                                  const std::vector<size_t>& share, const std::function<void()>& tick,
                                  unsigned long tick_ms, LoopWaker* waker) noexcept {
  try {
    return RunLoop(transfers, share, tick, tick_ms, waker);
  } catch (...) {
    return {};
  }
}

size_t LoopCount(size_t transfers) {
  SYSTEM_INFO info{};
  ::GetNativeSystemInfo(&info);
  return std::max<size_t>(1, std::min({transfers, static_cast<size_t>(info.dwNumberOfProcessors), kMaxLoops}));
}

}  // namespace

std::vector<RangeResult> MultiTransfer::Run(const std::vector<std::unique_ptr<RangeTransfer>>& transfers) {
  // Every loop gets every n-th range, so the shares are as even as the count allows.
  const size_t loops = LoopCount(transfers.size());
  std::vector<std::vector<size_t>> shares(loops);
  for (size_t i = 0; i < transfers.size(); ++i) shares[i % loops].push_back(i);
  std::vector<std::vector<RangeResult>> share_results(loops);
  std::vector<platform::Signal> done(loops);
  {
    // The first share runs here with the tick; a share whose thread cannot
    // start joins it.
    std::vector<std::jthread> threads;
    threads.reserve(loops);
    std::vector<size_t> own = shares[0];
    own.reserve(transfers.size());  // taking a share in below allocates nothing
    for (size_t k = 1; k < loops; ++k) {
      try {
        threads.emplace_back([&, k] {
          const platform::SignalOnExit finished(done[k]);
          share_results[k] = RunShare(transfers, shares[k], nullptr, 0, waker_);
        });
      } catch (...) {
        // std::system_error when the system gives no thread, bad_alloc when
        // there is no memory for its start: the share runs here instead.
        own.insert(own.end(), shares[k].begin(), shares[k].end());
        shares[k].clear();
        done[k].Set();
      }
    }
    shares[0] = std::move(own);
    share_results[0] = RunShare(transfers, shares[0], tick_, tick_ms_, waker_);
    // The tick goes on while the other loops finish their shares.
    for (size_t k = 1; k < loops; ++k) {
      while (::WaitForSingleObject(done[k].Handle(), tick_ms_) == WAIT_TIMEOUT) {
        if (tick_) tick_();
      }
    }
  }
  // A transfer no loop reported on (its loop ran out of memory) failed.
  std::vector<RangeResult> results(transfers.size(), NoHandle());
  for (size_t k = 0; k < loops; ++k) {
    for (size_t j = 0; j < shares[k].size() && j < share_results[k].size(); ++j) {
      results[shares[k][j]] = share_results[k][j];
    }
  }
  return results;
}

}  // namespace net
