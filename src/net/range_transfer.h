// One ranged GET of the segmented downloader: the request, the check that
// the server answered exactly the range asked for, and the positional writes
// into the shared temporary file.
#pragma once

#include <cstdint>
#include <string>
#include <optional>
#include <string_view>
#include <vector>

#include "net/curl_handle.h"
#include "net/download_helper.h"
#include "net/download_outcome.h"
#include "net/http_client.h"
#include "net/transfer_watch.h"
#include "platform/unique_resource.h"

namespace net {

// Whether the server answered the range as asked. Rejected: its status,
// Content-Range or length did not match the request, and nothing of it was
// written; the downloader then falls back to one connection. Changed: the
// request carried If-Range and the server sent the whole file instead (it is
// no longer the file the earlier bytes came from); nothing of it was written.
enum class RangeAnswer : uint8_t { Matched, Rejected, Changed };

struct RangeResult {
  RangeAnswer answer = RangeAnswer::Matched;
  DownloadOutcome outcome;  // when matched
};

struct RangeRequest {
  std::string url;
  std::wstring temp_path;  // the pre-sized temporary file
  std::string user_agent;
  TlsSettings tls;
  long connect_timeout_seconds = 30;
  long buffer_bytes = kReceiveBufferBytes;
  size_t write_bytes = 1024 * 1024;  // received bytes are written to the file in blocks of this size
  int64_t expected_total = 0;
  bool send_range = true;          // false: the whole file without a Range header
  std::string if_range;            // a validator: the range only if the file is still that one
  TransferWatch* watch = nullptr;  // the download's: takes the speed samples, says when it stalled
};

// What the callbacks of one range's easy handle share (the handle's thread only).
struct RangeTransferState {
  DownloadRange* range = nullptr;
  std::vector<char> pending;  // received, not yet written: reserved once, never grown
  TransferWatch* watch = nullptr;
  HANDLE file = nullptr;  // this transfer's own handle, positioned at range->next
  CURL* easy = nullptr;
  int64_t requested_first = 0;
  int64_t expected_total = 0;
  bool ranged = true;
  bool conditional = false;  // the request carried If-Range
  bool checked = false;
  bool rejected = false;
  bool changed = false;       // rejected because If-Range no longer matched
  std::string content_range;  // of the latest response (a redirect starts a new one)
  std::string retry_after;    // likewise
  uint64_t received = 0;      // body bytes taken, of every response
  ULONGLONG last_sample_ms = 0;
};

// The transfer for one range: its easy handle is run by a MultiTransfer
// beside the other ranges' until the range is complete, fails, or the stop
// or stall flag ends it. A failure is at the Range stage: Stopped,
// NoRangeHandle, Open, Curl (23 after a stall) or ShortRange.
class RangeTransfer {
 public:
  RangeTransfer(RangeRequest request, DownloadRange& range) : request_(std::move(request)), range_(range) {}
  RangeTransfer(const RangeTransfer&) = delete;
  RangeTransfer& operator=(const RangeTransfer&) = delete;

  // Opens the file and makes the handle. A result instead when the range
  // needs no request or cannot make one.
  [[nodiscard]] std::optional<RangeResult> Prepare();
  [[nodiscard]] CURL* Handle() const { return easy_.get(); }
  // After the handle ended with `code`: the seconds a busy server asked us
  // to wait before the same request again, or -1 when the transfer is over.
  [[nodiscard]] int RetryPause(CURLcode code);
  [[nodiscard]] bool IsStopOrStall() const;
  // Body bytes the handle delivered so far: whether a receive brought any.
  // The running loop's thread only; other threads read the range's `next`.
  [[nodiscard]] uint64_t Received() const { return state_.received; }
  // Writes what is still pending and judges the end. The handle is no
  // longer run by anyone.
  [[nodiscard]] RangeResult Finish(CURLcode code);

 private:
  RangeRequest request_;
  DownloadRange& range_;
  RangeTransferState state_;
  std::string range_text_;
  CurlHeaders headers_;
  platform::UniqueHandle file_;
  CurlEasy easy_;  // last: goes first, before what its callbacks use
  int pauses_ = 0;
};

// "bytes <first>-<last>/<total>"; false for anything else (also "*" totals).
[[nodiscard]] bool ParseContentRange(std::string_view value, int64_t& first, int64_t& last, int64_t& total);

}  // namespace net
