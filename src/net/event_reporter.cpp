#include "net/event_reporter.h"

#include <ctime>
#include <memory>
#include <system_error>
#include <thread>

#include "net/curl_handle.h"
#include "net/http_client.h"
#include "platform/signal.h"
#include "platform/text.h"
#include "startup/launch_parameters.h"
#include "startup/product_config.h"

namespace net {
namespace {

constexpr int kSendAttempts = 3;
constexpr long kSendTimeoutSeconds = 120;

// What the sender thread owns: its own copy of everything it sends, and the
// signal the caller waits on (shared: the caller may stop waiting first).
struct ReportJob {
  std::string endpoint;
  std::string body;
  TlsSettings tls;
  std::shared_ptr<platform::Signal> done;
};

size_t DiscardReply(char*, size_t size, size_t count, void*) noexcept { return size * count; }

bool PostOnce(const ReportJob& job) {
  CurlEasy easy(curl_easy_init());
  if (!easy) return false;
  CURL* e = easy.get();
  (void)curl_easy_setopt(e, CURLOPT_POST, 1L);
  (void)curl_easy_setopt(e, CURLOPT_POSTFIELDS, job.body.c_str());
  (void)curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(job.body.size()));
  (void)curl_easy_setopt(e, CURLOPT_URL, job.endpoint.c_str());
  (void)curl_easy_setopt(e, CURLOPT_TIMEOUT, kSendTimeoutSeconds);
  (void)curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, kSendTimeoutSeconds);
  ApplyTransferSafety(e, job.tls, job.endpoint);
  SetCurlCallback(e, CURLOPT_WRITEFUNCTION, &DiscardReply);
  return curl_easy_perform(e) == CURLE_OK;
}

void SendWithRetries(std::unique_ptr<ReportJob> job) noexcept {
  for (int attempt = 1; attempt <= kSendAttempts; ++attempt) {
    if (PostOnce(*job)) break;
    if (attempt < kSendAttempts) ::Sleep(100);
  }
  job->done->Set();
}

void AppendPair(std::string& body, const char* key, const std::wstring& value) {
  body += key;
  body += EncodeFormValue(platform::WideToUtf8(value));
}

}  // namespace

EventReporter& Reporter() {
  static EventReporter reporter;
  return reporter;
}

void EventReporter::SetIdentity(const std::wstring& exe_number, const std::wstring& product_version) {
  std::lock_guard lock(mutex_);
  exe_number_ = exe_number;
  product_version_ = product_version;
}

void EventReporter::MarkStartTime() { start_time_ = static_cast<int64_t>(std::time(nullptr)); }

std::string EventReporter::BuildBody(const std::wstring& uid) const {
  std::lock_guard lock(mutex_);
  std::string body;
  AppendPair(body, "uid=", uid);
  if (!exe_number_.empty()) AppendPair(body, "&url=", exe_number_);
  if (!product_version_.empty()) AppendPair(body, "&downloader_num=", product_version_);
  body += install_started_ ? "&install_start_downloader=true" : "&install_start_downloader=false";
  body += install_finished_ ? "&install_finish_downloader=true" : "&install_finish_downloader=false";
  return body;
}

bool EventReporter::SendReport(DWORD wait_ms) {
  if (sent_.exchange(true)) return true;
  const std::string endpoint = platform::WideToAnsi(startup::Config().Get("UpdateEventUrl"));
  return SendBody(endpoint, BuildBody(startup::Parameters().Get("GUID")), wait_ms);
}

bool EventReporter::SendBody(const std::string& endpoint, const std::string& body, DWORD wait_ms) {
  InitializeTransfers();
  auto done = std::make_shared<platform::Signal>();
  try {
    auto job = std::make_unique<ReportJob>(ReportJob{endpoint, body, TlsSettingsFromConfig(), done});
    std::thread(SendWithRetries, std::move(job)).detach();
  } catch (...) {
    return false;  // no thread (or no memory): the report is lost
  }
  return ::WaitForSingleObject(done->Handle(), wait_ms) == WAIT_OBJECT_0;
}

void EventReporter::ResetForTest() {
  SetIdentity(std::wstring(), std::wstring());
  install_started_ = false;
  install_finished_ = false;
  start_time_ = 0;
  sent_ = false;
}

}  // namespace net
