#include "net/range_transfer.h"

#include <algorithm>
#include <vector>

#include <ctime>

#include "net/curl_handle.h"
#include "net/retry_after.h"
#include "startup/log.h"

namespace net {
namespace {

constexpr size_t kMaxHeaderValue = 128;
constexpr ULONGLONG kSampleIntervalMs = 100;
constexpr int kReceiveWindowBytes = 8 * 1024 * 1024;
// How often one range follows a busy server's Retry-After before it fails.
constexpr int kRetryAfterPauses = 3;

using TransferState = RangeTransferState;

bool ParseNumber(std::string_view& text, int64_t& value) {
  size_t i = 0;
  value = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    const int digit = text[i] - '0';
    if (value > (INT64_MAX - digit) / 10) return false;
    value = value * 10 + digit;
    ++i;
  }
  if (i == 0) return false;
  text.remove_prefix(i);
  return true;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

size_t CaptureHeader(char* data, size_t size, size_t count, void* user) noexcept {
  const size_t bytes = size * count;
  try {
    auto* state = static_cast<TransferState*>(user);
    std::string_view line(data, bytes);
    if (StartsWithIgnoringCase(line, "http/")) {
      state->content_range.clear();
      state->retry_after.clear();
    } else if (const auto value = RetryAfterHeaderValue(line)) {
      state->retry_after.assign(value->substr(0, kMaxHeaderValue));
    } else if (StartsWithIgnoringCase(line, "content-range:")) {
      line.remove_prefix(14);
      while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
      while (!line.empty() && (line.back() == '\r' || line.back() == '\n' || line.back() == ' ')) {
        line.remove_suffix(1);
      }
      state->content_range.assign(line.substr(0, kMaxHeaderValue));
    }
  } catch (...) {
    // Out of memory: the missing header makes the answer fail its check.
  }
  return bytes;
}

// A ranged request must be answered with exactly that range of a file of the
// probed length; a whole-file request with the whole file. Anything else
// (an error page, a server that ignores Range, a changed file) is refused
// before a byte of it is written.
bool AnswerMatches(const TransferState& state) {
  long status = 0;
  (void)curl_easy_getinfo(state.easy, CURLINFO_RESPONSE_CODE, &status);
  if (state.ranged) {
    int64_t first = 0, last = 0, total = 0;
    return status == 206 && ParseContentRange(state.content_range, first, last, total) &&
           first == state.requested_first && last == state.range->last && total == state.expected_total;
  }
  curl_off_t length = -1;
  (void)curl_easy_getinfo(state.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
  return status == 200 && (length < 0 || length == state.expected_total);
}

// Writes `bytes` at range->next; false (and the error recorded) when the file
// refuses them.
bool WriteAtNext(TransferState& state, const char* data, size_t size) {
  DownloadRange& range = *state.range;
  DWORD written = 0;
  const DWORD bytes = static_cast<DWORD>(size);
  if (!::WriteFile(state.file, data, bytes, &written, nullptr) || written != bytes) {
    const DWORD error = ::GetLastError();
    range.owner->RecordWriteError(error != 0 ? error : ERROR_WRITE_FAULT);
    return false;
  }
  // Only bytes on disk count as fetched: a resume starts after them.
  range.next = range.next.load() + bytes;
  return true;
}

// Writes what is pending at range->next.
bool FlushPending(TransferState& state) {
  if (state.pending.empty()) return true;
  if (!WriteAtNext(state, state.pending.data(), state.pending.size())) return false;
  state.pending.clear();
  return true;
}

size_t WriteRange(char* data, size_t size, size_t count, void* user) noexcept {
  try {
    auto* state = static_cast<TransferState*>(user);
    DownloadRange& range = *state->range;
    const size_t bytes = size * count;
    if (range.file == nullptr || range.owner == nullptr) return 0;
    if (state->watch->IsStalled() || range.owner->IsStopRequested()) return 0;
    if (!state->checked) {
      state->checked = true;
      if (!AnswerMatches(*state)) {
        state->rejected = true;
        long status = 0;
        (void)curl_easy_getinfo(state->easy, CURLINFO_RESPONSE_CODE, &status);
        state->changed = state->conditional && status == 200;
        if (state->changed) range.owner->RecordFileChanged();
        return 0;
      }
    }
    curl_off_t speed = 0;
    (void)curl_easy_getinfo(state->easy, CURLINFO_SPEED_DOWNLOAD_T, &speed);
    range.speed = static_cast<int64_t>(speed);

    // Ranges are disjoint and each range's offset is written only by its own
    // thread, so the write needs no lock. Each transfer writes sequentially
    // through its own handle: positional writes on one shared handle cost a
    // system call more per block on some systems.
    const int64_t room = range.last - (range.next.load() + static_cast<int64_t>(state->pending.size())) + 1;
    // More than the range asked for: keep what belongs to it, end the transfer.
    const size_t to_write = room <= 0 ? 0 : (static_cast<int64_t>(bytes) > room ? static_cast<size_t>(room) : bytes);
    // libcurl hands over each receive whole (our build of it). Each write is
    // a system call (and more under some systems), so receives smaller than
    // a block are gathered into one; a receive of a block or more goes to
    // the file as it is: copied into the block first, it would leave the
    // processor's cache before its write.
    size_t taken = 0;
    while (taken < to_write) {
      if (state->pending.empty() && to_write - taken >= state->pending.capacity()) {
        if (!WriteAtNext(*state, data + taken, to_write - taken)) return 0;
        break;
      }
      const size_t part = std::min(to_write - taken, state->pending.capacity() - state->pending.size());
      state->pending.insert(state->pending.end(), data + taken, data + taken + part);
      taken += part;
      if (state->pending.size() == state->pending.capacity() && !FlushPending(*state)) return 0;
    }
    // The watchdog needs a few samples a second, not one per block: the
    // watch's lock (a system mutex, costly under some systems) is taken at
    // most every 100 ms.
    const ULONGLONG now = ::GetTickCount64();
    if (now - state->last_sample_ms >= kSampleIntervalMs) {
      state->last_sample_ms = now;
      state->watch->AddSample(static_cast<int64_t>(speed));
    }
    state->received += to_write;
    return to_write;
  } catch (...) {
    return 0;
  }
}

RangeResult Failed(DownloadCause cause, uint32_t os_error = 0) {
  return {RangeAnswer::Matched, DownloadOutcome::Failed(DownloadStage::Range, cause, os_error)};
}

int StopOrStall(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) noexcept {
  const auto* state = static_cast<const TransferState*>(user);
  return (state->watch->IsStalled() || state->range->owner->IsStopRequested()) ? 1 : 0;
}

// A receive window of its own, so one receive can take several MiB while the
// program writes: left to the system's tuning, the window stayed small on a
// fast link and receives came in hundreds of KiB.
int WidenReceiveWindow(void*, curl_socket_t socket, curlsocktype) noexcept {
  (void)::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&kReceiveWindowBytes),
                     sizeof kReceiveWindowBytes);  // refused: the system's own tuning stays
  return CURL_SOCKOPT_OK;
}

// Seconds a 503 answer asked us to wait (bounded), or -1 for any other end.
int RetryAfterOf503(const TransferState& state, CURLcode code) {
  if (code != CURLE_HTTP_RETURNED_ERROR) return -1;
  long status = 0;
  (void)curl_easy_getinfo(state.easy, CURLINFO_RESPONSE_CODE, &status);
  if (status != 503) return -1;
  const std::optional<int64_t> wait = ParseRetryAfter(state.retry_after, static_cast<int64_t>(std::time(nullptr)));
  return wait ? BoundedRetryAfter(*wait) : -1;
}

}  // namespace

bool ParseContentRange(std::string_view value, int64_t& first, int64_t& last, int64_t& total) {
  if (!StartsWithIgnoringCase(value, "bytes ")) return false;
  value.remove_prefix(6);
  if (!ParseNumber(value, first) || value.empty() || value.front() != '-') return false;
  value.remove_prefix(1);
  if (!ParseNumber(value, last) || value.empty() || value.front() != '/') return false;
  value.remove_prefix(1);
  return ParseNumber(value, total) && value.empty() && first <= last && last < total;
}

std::optional<RangeResult> RangeTransfer::Prepare() {
  if (range_.IsComplete() || range_.owner == nullptr || request_.watch == nullptr) return RangeResult{};
  easy_.reset(curl_easy_init());
  if (!easy_) return Failed(DownloadCause::NoRangeHandle);
  if (range_.owner->IsStopRequested()) return Failed(DownloadCause::Stopped);

  // Shared with the other ranges' handles; each writes only its own part.
  file_.Reset(::CreateFileW(request_.temp_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER start{};
  start.QuadPart = range_.next.load();
  if (!file_.IsValid() || !::SetFilePointerEx(file_.Get(), start, nullptr, FILE_BEGIN)) {
    const DWORD error = ::GetLastError();
    startup::Log("Open file error (range), system error %u\n", error);
    return Failed(DownloadCause::Open, error);
  }

  state_.pending.reserve(std::max<size_t>(request_.write_bytes, 1));
  state_.range = &range_;
  state_.watch = request_.watch;
  state_.file = file_.Get();
  state_.easy = easy_.get();
  state_.requested_first = range_.next.load();
  state_.expected_total = request_.expected_total;
  state_.ranged = request_.send_range;
  state_.conditional = request_.send_range && !request_.if_range.empty();
  range_text_ = std::to_string(state_.requested_first) + "-" + std::to_string(range_.last);

  CURL* e = easy_.get();
  (void)curl_easy_setopt(e, CURLOPT_URL, request_.url.c_str());
  SetCurlCallback(e, CURLOPT_WRITEFUNCTION, &WriteRange);
  (void)curl_easy_setopt(e, CURLOPT_WRITEDATA, &state_);
  ApplyTransferSafety(e, request_.tls, request_.url);
  (void)curl_easy_setopt(e, CURLOPT_BUFFERSIZE, request_.buffer_bytes);
  if (state_.ranged) (void)curl_easy_setopt(e, CURLOPT_RANGE, range_text_.c_str());
  if (!request_.user_agent.empty()) (void)curl_easy_setopt(e, CURLOPT_USERAGENT, request_.user_agent.c_str());
  (void)curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, request_.connect_timeout_seconds);
  (void)curl_easy_setopt(e, CURLOPT_FAILONERROR, 1L);  // an error page is never written
  (void)curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
  (void)curl_easy_setopt(e, CURLOPT_MAXREDIRS, 5L);
  SetCurlCallback(e, CURLOPT_HEADERFUNCTION, &CaptureHeader);
  (void)curl_easy_setopt(e, CURLOPT_HEADERDATA, &state_);
  SetCurlCallback(e, CURLOPT_XFERINFOFUNCTION, &StopOrStall);
  (void)curl_easy_setopt(e, CURLOPT_XFERINFODATA, &state_);
  (void)curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
  SetCurlCallback(e, CURLOPT_SOCKOPTFUNCTION, &WidenReceiveWindow);
  if (state_.conditional) {
    headers_.reset(curl_slist_append(nullptr, ("If-Range: " + request_.if_range).c_str()));
    if (!headers_) return Failed(DownloadCause::NoRangeHandle);
    (void)curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers_.get());
  }
  return std::nullopt;
}

int RangeTransfer::RetryPause(CURLcode code) {
  // A busy server's 503 is refused before a byte is written: the same
  // request again after the pause it asked for.
  if (pauses_ >= kRetryAfterPauses || IsStopOrStall()) return -1;
  const int seconds = RetryAfterOf503(state_, code);
  if (seconds < 0) return -1;
  ++pauses_;
  startup::Log("Range %lld-%lld: the server is busy; again in %d s\n", static_cast<long long>(state_.requested_first),
               static_cast<long long>(range_.last), seconds);
  return seconds;
}

bool RangeTransfer::IsStopOrStall() const { return request_.watch->IsStalled() || range_.owner->IsStopRequested(); }

RangeResult RangeTransfer::Finish(CURLcode code) {
  easy_.reset();
  // Whatever arrived is kept, also when the transfer failed or was stopped:
  // a resume then fetches only the rest.
  // (A failed write is recorded in the owner, which reports it.)
  if (!state_.rejected && !FlushPending(state_)) return Failed(DownloadCause::TempFile);
  if (state_.changed) return {RangeAnswer::Changed, {}};
  if (state_.rejected) return {RangeAnswer::Rejected, {}};
  if (range_.owner->IsStopRequested()) return Failed(DownloadCause::Stopped);
  // A stall aborts through the callbacks: reported as the write error it
  // has always been, whichever callback noticed it first.
  if (request_.watch->IsStalled() || code == CURLE_ABORTED_BY_CALLBACK) {
    return {RangeAnswer::Matched, DownloadOutcome::CurlFailed(DownloadStage::Range, CURLE_WRITE_ERROR)};
  }
  if (code != CURLE_OK) {
    return {RangeAnswer::Matched, DownloadOutcome::CurlFailed(DownloadStage::Range, static_cast<int32_t>(code))};
  }
  if (!range_.IsComplete()) return Failed(DownloadCause::ShortRange);
  return {};
}

}  // namespace net
