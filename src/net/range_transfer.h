// One ranged GET of the segmented downloader: the request, the check that
// the server answered exactly the range asked for, and the positional writes
// into the shared temporary file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "net/download_helper.h"
#include "net/http_client.h"
#include "net/transfer_watch.h"

namespace net {

// Outcome of one range transfer besides the download result codes: the
// server's answer did not match the request (status, Content-Range or
// length), and nothing of it was written.
inline constexpr int32_t kRangeAnswerRejected = -1;

struct RangeRequest {
  std::string url;
  std::wstring temp_path;  // the pre-sized temporary file
  std::string user_agent;
  TlsSettings tls;
  long connect_timeout_seconds = 30;
  long buffer_bytes = kReceiveBufferBytes;
  int64_t expected_total = 0;
  bool send_range = true;  // false: the whole file without a Range header
  TransferWatch* watch = nullptr;  // the download's: takes the speed samples, says when it stalled
};

// Runs the transfer for `range` until it is complete, fails, or the stop or
// stall flag ends it. Returns 0, kDownloadStopped, kDownloadNoRangeHandle,
// kDownloadOpenFailed, kRangeAnswerRejected, 300 + libcurl code, 323 after a stall, or 399 when
// the answer ended short of the range.
[[nodiscard]] int32_t RunRangeTransfer(const RangeRequest& request, DownloadRange& range);

// "bytes <first>-<last>/<total>"; false for anything else (also "*" totals).
[[nodiscard]] bool ParseContentRange(std::string_view value, int64_t& first, int64_t& last,
                                     int64_t& total);

}  // namespace net
