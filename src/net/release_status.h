// How a release query ended: the stage it reached, the cause, and the libcurl
// code behind a failed POST. The query and its callers read the causes;
// ReleaseNumber is the one place the number of the log and the failure page
// (1000 + it) is made.
#pragma once

#include <cstdint>

namespace net {

enum class ReleaseStage : uint8_t {
  None,     // no attempt has run
  Attempt,  // starting an attempt's worker thread
  Post,     // the form POST
  Reply,    // reading the reply
};

enum class ReleaseCause : uint8_t {
  None,        // a usable answer
  NotQueried,  // no query has run (also: a record that names no download)
  NoWorker,    // an attempt's thread could not start
  Curl,        // the POST failed: see curl_code (42 after a quit)
  EmptyReply,  // the server answered with no body
  NotJson,     // the body is not JSON (or nests too deep)
  NoData,      // no "data" member
  NoMd5,       // a required member of "data" is missing or not a string
  NoKillSwitch,
  NoWriteLogSwitch,
  NoCurNum,
  NoDownload,
  NoDownload2,
  NoDownload3,
};

struct ReleaseStatus {
  ReleaseStage stage = ReleaseStage::None;
  ReleaseCause cause = ReleaseCause::NotQueried;
  int32_t curl_code = 0;  // the CURLcode when cause is Curl

  [[nodiscard]] bool Ok() const { return cause == ReleaseCause::None; }
  [[nodiscard]] bool Queried() const { return cause != ReleaseCause::NotQueried; }
  bool operator==(const ReleaseStatus&) const = default;

  [[nodiscard]] static ReleaseStatus NotQueried() { return {}; }
  [[nodiscard]] static ReleaseStatus Answered() { return {ReleaseStage::Reply, ReleaseCause::None, 0}; }
  [[nodiscard]] static ReleaseStatus Failed(ReleaseStage stage, ReleaseCause cause) { return {stage, cause, 0}; }
  [[nodiscard]] static ReleaseStatus PostFailed(int32_t curl_code) {
    return {ReleaseStage::Post, ReleaseCause::Curl, curl_code};
  }
};

// The number support knows: -1 not queried, 0 answered, 1 no worker, 2 empty
// reply, 3 not JSON, 4 no "data", 5 to 11 the missing member (md5 5,
// download 6, killSwitch 7, WriteLogSwitch 8, curNum 9, download2 10,
// download3 11), 100 + libcurl code for a failed POST (142 after a quit).
// Numbers are never reused.
[[nodiscard]] int32_t ReleaseNumber(const ReleaseStatus& status);

}  // namespace net
