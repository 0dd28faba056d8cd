#include "net/download_outcome.h"

#include "net/curl_handle.h"

namespace net {

bool DownloadOutcome::IsResolveFailure() const {
  return cause == DownloadCause::Curl && curl_code == CURLE_COULDNT_RESOLVE_HOST;
}

bool DownloadOutcome::IsTimeOut() const {
  return cause == DownloadCause::Curl && curl_code == CURLE_OPERATION_TIMEDOUT;
}

bool DownloadOutcome::IsConnectFailure() const {
  return cause == DownloadCause::Curl && curl_code == CURLE_COULDNT_CONNECT;
}

const char* StageName(DownloadStage stage) {
  switch (stage) {
    case DownloadStage::Setup: return "setup";
    case DownloadStage::SizeProbe: return "size probe";
    case DownloadStage::Range: return "range";
    case DownloadStage::Finish: return "finish";
  }
  return "?";
}

const char* CauseName(DownloadCause cause) {
  switch (cause) {
    case DownloadCause::None: return "none";
    case DownloadCause::BadThreadCount: return "bad connection count";
    case DownloadCause::NoWorker: return "no thread";
    case DownloadCause::NoProbeHandle: return "no probe handle";
    case DownloadCause::TempFile: return "temporary file";
    case DownloadCause::Open: return "open";
    case DownloadCause::NoRangeHandle: return "no range handle";
    case DownloadCause::Rename: return "rename";
    case DownloadCause::Stopped: return "stopped";
    case DownloadCause::ServerDisagrees: return "server disagrees";
    case DownloadCause::Busy: return "busy";
    case DownloadCause::NoLength: return "no length";
    case DownloadCause::Curl: return "libcurl";
    case DownloadCause::ShortRange: return "short range";
  }
  return "?";
}

}  // namespace net
