// How one start or resume of the segmented downloader ended: the stage it
// reached, the cause, and the libcurl or system code behind it. The
// downloader never turns these into numbers; the install layer numbers them
// once, where pages and logs need a code.
#pragma once

#include <cstdint>

namespace net {

enum class DownloadStage : uint8_t {
  Setup,      // before any byte moved: arguments, threads, the files
  SizeProbe,  // the headers-only request for the file's length
  Range,      // a ranged (or whole-file) GET
  Finish,     // renaming the finished file
};

enum class DownloadCause : uint8_t {
  None,             // the file is complete
  BadThreadCount,   // no connections asked for
  NoWorker,         // a thread could not start (no thread, no memory)
  NoProbeHandle,    // libcurl gave no handle for the size probe
  TempFile,         // the temporary file could not be made, sized or written (also: no room)
  Open,             // the temporary file could not be opened for the ranges
  NoRangeHandle,    // libcurl gave no handle for a range
  Rename,           // the finished file could not take its name
  Stopped,          // a stop request (the user, a quit) ended it
  ServerDisagrees,  // ranges refused and the whole file's length differs from the probe's
  Busy,             // a start or resume while the downloader runs: refused
  NoLength,         // the size probe learned no usable length
  Curl,             // libcurl failed the request: see curl_code (23 after a stall)
  ShortRange,       // a range's answer ended before its last byte
};

struct DownloadOutcome {
  DownloadStage stage = DownloadStage::Setup;
  DownloadCause cause = DownloadCause::None;
  int32_t curl_code = 0;  // the CURLcode when cause is Curl
  uint32_t os_error = 0;  // the system's error code when a file operation failed, else 0

  [[nodiscard]] bool Ok() const { return cause == DownloadCause::None; }
  // A ranged connection failed or ended short: the ranges on disk are kept
  // and the same downloader can resume them.
  [[nodiscard]] bool IsRangeFailure() const {
    return stage == DownloadStage::Range && (cause == DownloadCause::Curl || cause == DownloadCause::ShortRange);
  }
  // The source's name did not resolve, it timed out, or nobody answered at
  // its address: another source may do better.
  [[nodiscard]] bool IsResolveFailure() const;
  [[nodiscard]] bool IsTimeOut() const;
  [[nodiscard]] bool IsConnectFailure() const;
  // The temporary file failed: a new downloader starts it over.
  [[nodiscard]] bool IsTempFileFailure() const {
    return cause == DownloadCause::TempFile || cause == DownloadCause::Open;
  }

  [[nodiscard]] static DownloadOutcome Done() { return {}; }
  [[nodiscard]] static DownloadOutcome Failed(DownloadStage stage, DownloadCause cause, uint32_t os_error = 0) {
    return {stage, cause, 0, os_error};
  }
  [[nodiscard]] static DownloadOutcome CurlFailed(DownloadStage stage, int32_t curl_code) {
    return {stage, DownloadCause::Curl, curl_code, 0};
  }
};

// For log lines: "range", "temporary file".
[[nodiscard]] const char* StageName(DownloadStage stage);
[[nodiscard]] const char* CauseName(DownloadCause cause);

}  // namespace net
