// One ranged GET of the segmented downloader: the request, the check that
// the server answered exactly the range asked for, and the positional writes
// into the shared temporary file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "net/download_helper.h"
#include "net/download_outcome.h"
#include "net/http_client.h"
#include "net/transfer_watch.h"

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

// Runs the transfer for `range` until it is complete, fails, or the stop or
// stall flag ends it. A failure is at the Range stage: Stopped,
// NoRangeHandle, Open, Curl (23 after a stall) or ShortRange.
[[nodiscard]] RangeResult RunRangeTransfer(const RangeRequest& request, DownloadRange& range);

// "bytes <first>-<last>/<total>"; false for anything else (also "*" totals).
[[nodiscard]] bool ParseContentRange(std::string_view value, int64_t& first, int64_t& last, int64_t& total);

}  // namespace net
