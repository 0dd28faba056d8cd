#include "install/pipeline_failure.h"

namespace install {
namespace {

int32_t DigestNumber(DigestFailure cause) {
  switch (cause) {
    case DigestFailure::Mismatch: return 4000;
    case DigestFailure::NoExpectedDigest: return 4001;
    case DigestFailure::MalformedSha256: return 4002;
    case DigestFailure::SignatureRefused: return 4003;
    case DigestFailure::MalformedPublisherThumbprint: return 4004;
  }
  return 4000;
}

}  // namespace

int32_t DownloaderNumber(const net::DownloadOutcome& outcome) {
  using net::DownloadCause;
  switch (outcome.cause) {
    case DownloadCause::None: return 0;
    case DownloadCause::BadThreadCount: return 2;
    case DownloadCause::NoWorker: return 3;
    case DownloadCause::NoProbeHandle: return 4;
    case DownloadCause::TempFile: return 5;
    case DownloadCause::Open: return 6;
    case DownloadCause::NoRangeHandle: return 7;
    case DownloadCause::Rename: return 8;
    case DownloadCause::Stopped: return 9;
    case DownloadCause::ServerDisagrees: return 10;
    case DownloadCause::Busy: return 11;
    case DownloadCause::NoLength: return 200;
    case DownloadCause::Curl: return (outcome.stage == net::DownloadStage::SizeProbe ? 200 : 300) + outcome.curl_code;
    case DownloadCause::ShortRange: return 399;
  }
  return 0;
}

PipelineFailure PipelineFailure::Release(const net::ReleaseStatus& status) {
  PipelineFailure failure;
  failure.stage = FailureStage::Release;
  failure.release = status;
  return failure;
}

PipelineFailure PipelineFailure::Transfer(const net::DownloadOutcome& outcome) {
  PipelineFailure failure;
  failure.stage = FailureStage::Transfer;
  failure.transfer = outcome;
  return failure;
}

PipelineFailure PipelineFailure::Digest(DigestFailure cause) {
  PipelineFailure failure;
  failure.stage = FailureStage::Digest;
  failure.digest = cause;
  return failure;
}

PipelineFailure PipelineFailure::Install(int32_t installer_result) {
  PipelineFailure failure;
  failure.stage = FailureStage::Install;
  failure.installer_result = installer_result;
  return failure;
}

int32_t FailureNumber(const PipelineFailure& failure) {
  switch (failure.stage) {
    case FailureStage::Release: return 1000 + net::ReleaseNumber(failure.release);
    case FailureStage::Transfer: return 3000 + DownloaderNumber(failure.transfer);
    case FailureStage::Digest: return DigestNumber(failure.digest);
    case FailureStage::Install: return 6000 + failure.installer_result;
  }
  return 0;
}

}  // namespace install
