// The HTTP calls of the release service: the form POST, the size probe and
// the version-file fetch (through the system's WinINet), with their result
// codes and body caps. Every call blocks; callers run them on worker threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "net/proxy_resolver.h"

namespace net {

// Codes of our own next to libcurl's CURLcode values.
inline constexpr int kNoTransferHandle = 99;
// CURLE_ABORTED_BY_CALLBACK: a cancel flag ended the transfer.
inline constexpr int kTransferAborted = 42;

inline constexpr size_t kReleaseReplyCap = 1024 * 1024;
inline constexpr size_t kVersionFileCap = 64 * 1024;
// Measured: libcurl's default of 16 KiB halves the throughput of a connection.
inline constexpr long kReceiveBufferBytes = 512 * 1024;

struct TlsSettings {
  bool skip_verification = false;  // configuration SkipCertificateCheck=1: a private test server
  // Configuration CaFile: the certificate authorities (PEM) that replace the
  // system's trusted roots for this deployment (how the TLS layer works).
  std::wstring ca_file;
  // Which proxy each address goes through, shared by a run's transfers so
  // each address is looked up once. Null: libcurl's defaults.
  std::shared_ptr<ProxyResolver> proxy;
};
// From the product configuration, with a new proxy resolver; a relative
// CaFile is taken beside the executable. The log names the trust in use
// whenever it changes.
[[nodiscard]] TlsSettings TlsSettingsFromConfig();

// libcurl's global state, once per process: the entry point starts it on a
// thread of its own (at once, or once the wizard's first frame is on the
// screen); every transfer calls it first and waits until it is made.
void InitializeTransfers();

// Percent-encodes the bytes that could add or cut a form field (& = + % #)
// and control bytes; everything else goes out unchanged.
[[nodiscard]] std::string EncodeFormValue(std::string_view value);
// "key=value&…" in key order for the non-empty values.
[[nodiscard]] std::string BuildFormFields(const std::map<std::string, std::string>& fields);

struct PostRequest {
  std::string url;
  std::string fields;      // the POST body, already encoded
  std::string user_agent;  // empty: no User-Agent header
  size_t reply_cap = kReleaseReplyCap;
  const std::atomic<bool>* cancel = nullptr;  // set by another thread to abort
  const TlsSettings* tls = nullptr;           // null: the configuration's
  int* retry_after_seconds = nullptr;         // receives a 503's Retry-After (-1: none)
};
// The CURLcode of the transfer (22 for an HTTP status of 400 or more), or
// kNoTransferHandle. `reply` receives the body.
[[nodiscard]] int PostForm(const PostRequest& request, std::string& reply);

struct SizeProbe {
  int64_t size = 0;  // 0: no length learned
  int code = 0;      // libcurl code; 0 with size 0 when the answer had no usable length
  bool made_handle = true;
  // The final answer's ETag and Last-Modified as sent (empty when absent):
  // they tell whether a file is still the one an earlier run began.
  std::string etag;
  std::string last_modified;
};
// Headers-only GET: only a 2xx answer with a positive length counts.
[[nodiscard]] SizeProbe ProbeFileSize(const std::string& url, const std::string& user_agent, const TlsSettings& tls,
                                      const std::atomic<bool>* cancel = nullptr);
// The same with the configuration's TLS settings.
[[nodiscard]] SizeProbe ProbeFileSize(const std::string& url, const std::string& user_agent,
                                      const std::atomic<bool>* cancel = nullptr);
// The plain form: the length, or 0.
[[nodiscard]] int64_t GetDownloadFileSize(const std::string& url, const std::string& user_agent);

// The version file through WinINet, parsed; empty on any failure, also when
// `cancel` is set while it reads. It goes through the proxy of `tls`.
[[nodiscard]] std::string FetchProductVersion(const std::string& url, const TlsSettings& tls,
                                              const std::atomic<bool>* cancel = nullptr);
// The same with the configuration's settings.
[[nodiscard]] std::string FetchProductVersion(const std::string& url, const std::atomic<bool>* cancel = nullptr);
// Exactly "https://" or "HTTPS://" asks WinINet for a secure request.
[[nodiscard]] bool IsSecureVersionUrl(std::string_view url);
// The value of the first "productversion" line of a key=value text.
[[nodiscard]] std::string ParseVersionFile(std::string_view body);

}  // namespace net
