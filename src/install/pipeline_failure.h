// One failure of the download and install pipeline, kept typed from where it
// happened (the release record, the downloader, the digest check, the
// installer) to the edge where a failure page or a log line needs its
// number. FailureNumber is the only place such a number is made.
#pragma once

#include <cstdint>

#include "net/download_outcome.h"
#include "net/release_status.h"

namespace install {

enum class FailureStage : uint8_t { Release, Transfer, Digest, Install };

enum class DigestFailure : uint8_t {
  Mismatch,                      // the file's MD5 or SHA-256 differs, or the file could not be read or held
  NoExpectedDigest,              // neither the release answer nor the configuration names one
  MalformedSha256,               // the expected SHA-256 is not 64 hexadecimal digits
  SignatureRefused,              // the verified file lacks the configured publisher's trusted signature
  MalformedPublisherThumbprint,  // PublisherThumbprint is not 40 or 64 hexadecimal digits
};

struct PipelineFailure {
  FailureStage stage = FailureStage::Transfer;
  net::ReleaseStatus release;     // Release: the record's status (not queried: no record or no download)
  net::DownloadOutcome transfer;  // Transfer: how the downloader ended
  DigestFailure digest = DigestFailure::Mismatch;
  int32_t installer_result = 0;  // Install: the exit code, or a launcher result (997 to 999)

  [[nodiscard]] static PipelineFailure Release(const net::ReleaseStatus& status);
  [[nodiscard]] static PipelineFailure Transfer(const net::DownloadOutcome& outcome);
  [[nodiscard]] static PipelineFailure Digest(DigestFailure cause);
  [[nodiscard]] static PipelineFailure Install(int32_t installer_result);
};

// The code support knows: 1000 + the release number; 3000 + the downloader's
// number; 4000 for a digest mismatch, 4001 without an expected digest,
// 4002 for a malformed expected SHA-256, 4003 for a refused publisher
// signature, 4004 for a malformed PublisherThumbprint; 6000 + installer
// result. Numbers are never reused.
[[nodiscard]] int32_t FailureNumber(const PipelineFailure& failure);
// The downloader's number: its own causes 2 to 11, 200 when the size probe
// learned no length, 200 + libcurl code for the size probe, 300 + libcurl
// code for a range (323 after a stall), 399 for a short range.
[[nodiscard]] int32_t DownloaderNumber(const net::DownloadOutcome& outcome);

}  // namespace install
