// The release-info query: a form POST to the release service, its JSON reply
// turned into a ReleaseInfo, and the version file beside it. The query runs
// on a worker thread per attempt while the calling UI thread keeps pumping.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "net/http_client.h"
#include "net/release_status.h"

namespace net {

// One place the installer can be downloaded from.
struct DownloadSource {
  std::string url;        // empty: no source
  int64_t size = 0;       // probed; 0 when unknown
  std::string file_name;  // the address's last path piece, or the configured name
};

// The first source and its two alternates, in the order they are tried.
inline constexpr size_t kDownloadSources = 3;

// One release answer; a plain value that the pages copy.
struct ReleaseInfo {
  ReleaseStatus status;
  bool killSwitch = false;
  bool writeLogSwitch = true;
  std::array<DownloadSource, kDownloadSources> sources;
  std::string md5;
  std::string sha256;  // optional; checked beside the MD5 when present
  std::string tuijian;
  std::string referNumber;
  std::string url;
  std::string productVersion;
  std::string userAgent;
  std::string testid;
  std::string requestUrl;
  std::string response;
};

// Ordered by key (ascending bytes): the POST body lists them in that order.
using ReleaseParameters = std::map<std::string, std::string>;

inline constexpr int kReleaseAttempts = 3;

// The pause before retry `retry` (1 or 2): about 1 s, then 2 s, each drawn
// from 50 % to 150 % of that by `unit` (0 to 1), so a fleet that failed
// together does not come back together.
[[nodiscard]] uint32_t RetryBackoffMs(int retry, double unit);

class CReleaseClient {
 public:
  CReleaseClient() = default;
  CReleaseClient(const CReleaseClient&) = delete;
  CReleaseClient& operator=(const CReleaseClient&) = delete;

  // Up to three attempts, each on its own worker thread while this thread
  // pumps its window messages. A quit request ends the wait at once (a POST
  // aborted by its cancel flag): the attempt's worker, which may sit in a
  // connect that nothing interrupts, is told to stop and finishes on its own
  // state.
  [[nodiscard]] ReleaseInfo QueryReleaseInfo(const std::string& service_url, const ReleaseParameters& parameters,
                                             const std::string& version_url, const std::string& user_agent);

  [[nodiscard]] const std::string& post_fields() const { return post_fields_; }

  // The certificate checks and proxy of the query's transfers; by default
  // the configuration's.
  void SetTlsSettings(const TlsSettings& tls) { tls_ = tls; }
  // For tests: the pause between attempts, on the calling (UI) thread;
  // false when a quit ended it. By default a message-pumping wait.
  using RetryWait = bool (*)(uint32_t milliseconds);
  void SetRetryWait(RetryWait wait) { retry_wait_ = wait; }

 private:
  std::string service_url_;
  std::string version_url_;
  std::string post_fields_;
  ReleaseInfo info_;
  std::optional<TlsSettings> tls_;
  RetryWait retry_wait_ = nullptr;
};

// Reads the reply into `info` (the members of "data"); returns the status.
// Probes nothing.
[[nodiscard]] ReleaseStatus ReadReleaseReply(const std::string& body, ReleaseInfo& info);

// The text after the last "/" of a download URL, when the URL is probed at
// all (its first "/" stands at index 1 or later).
[[nodiscard]] bool ShouldProbeDownloadUrl(const std::string& url);
[[nodiscard]] std::string DownloadFileName(const std::string& url);

// The release check's inputs from the configuration and the command line,
// read once where the wizard or a pipeline starts
// (ReleaseCheckSettingsFromStores); the check itself looks up no store.
// Tests build it directly.
struct ReleaseCheckSettings {
  std::string service_url;  // DownloadInfoUrl (the edition's)
  std::string version_url;  // UpdateIni
  // The request's fields; each check adds the language chosen then.
  std::string product_id;            // ProductID (the edition's)
  std::string recommend_product_id;  // RecommendProductID
  std::string download_version;      // DOWNLOAD_VERSION
  std::string exe_number;            // exeNumber
  std::string pc_version;            // "home" or "server"
  // Each replaces the reply's first download, its MD5 or its file name when
  // it is not empty.
  std::string download_url;  // DownloadUrl
  std::string md5;           // URLMD5
  std::string sha256;        // URLSHA256
  std::string file_name;     // fileRealName
  // Certificate checks and proxy, shared with the run; unset: the configuration's.
  std::optional<TlsSettings> tls;
};
[[nodiscard]] ReleaseCheckSettings ReleaseCheckSettingsFromStores();

// The home page's request: pid, version, tid, lang, exeNumber, pcVersion.
[[nodiscard]] ReleaseParameters BuildReleaseParameters(const ReleaseCheckSettings& settings,
                                                       const std::string& language);

// What the configuration decides over the reply: each of the first download
// URL with its size (probed here: call it on a worker thread) and file name
// that the configuration names (non-empty); when it names an MD5 or a
// SHA-256, both digests are the configuration's. A configured download URL
// makes the check a success even when the query failed; without one the
// query's status stands. The reply's killSwitch is kept.
void CompleteFromConfiguration(ReleaseInfo& info, const ReleaseCheckSettings& settings,
                               const std::atomic<bool>* cancel = nullptr);

// The whole check as the home page runs it and as the pipeline runs it when
// it starts without a release record: request, query, completion. The
// completion's size probe runs on a worker thread too.
[[nodiscard]] ReleaseInfo CheckReleaseFromConfiguration(const ReleaseCheckSettings& settings,
                                                        const std::string& language);

}  // namespace net
