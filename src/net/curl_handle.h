// libcurl inside the net layer only: the easy-handle owner, the options every
// transfer shares (protocols, TLS verification, buffer size) and the callbacks
// that never let an exception out.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <memory>
#include <string>

#include "net/http_client.h"

namespace net {

struct CurlEasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;

struct CurlMultiDeleter {
  void operator()(CURLM* multi) const { (void)curl_multi_cleanup(multi); }
};
using CurlMulti = std::unique_ptr<CURLM, CurlMultiDeleter>;

struct CurlHeadersDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlHeaders = std::unique_ptr<curl_slist, CurlHeadersDeleter>;

// Hands libcurl a callback that cannot throw: the shipped libcurl has no
// unwind tables, so an exception leaving a callback could never be caught.
template <typename Result, typename... Args>
void SetCurlCallback(CURL* easy, CURLoption option, Result (*callback)(Args...) noexcept) {
  (void)curl_easy_setopt(easy, option, callback);
}

// Only http and https, also after a redirect; TLS verification from the
// settings; a large receive buffer; the proxy the settings choose for `url`.
void ApplyTransferSafety(CURL* easy, const TlsSettings& tls, const std::string& url);

// Collects a reply body up to `cap` bytes; past the cap the transfer ends
// with CURLE_WRITE_ERROR.
struct BodySink {
  std::string* body = nullptr;
  size_t cap = 0;
};
size_t AppendToBodySink(char* data, size_t size, size_t count, void* sink) noexcept;

// Progress callback that aborts the transfer once `*cancel` is set (also
// while no data arrives). `cancel` may be null.
void AbortWhenSet(CURL* easy, const std::atomic<bool>* cancel);

}  // namespace net
