#include "net/http_client.h"

#include <cctype>
#include <ctime>
#include <mutex>

#include "net/curl_handle.h"
#include "net/retry_after.h"
#include "platform/internet_library.h"
#include "platform/system_paths.h"
#include "platform/text.h"
#include "platform/windows_api.h"
#include "startup/log.h"
#include "startup/product_config.h"

namespace net {
namespace {

static_assert(kTransferAborted == CURLE_ABORTED_BY_CALLBACK);

constexpr long kTransferTimeoutSeconds = 120;
constexpr long kMaxRedirects = 5;

int ProgressAbort(void* cancel, curl_off_t, curl_off_t, curl_off_t, curl_off_t) noexcept {
  const auto* flag = static_cast<const std::atomic<bool>*>(cancel);
  return flag != nullptr && flag->load() ? 1 : 0;
}

bool IsAsciiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsAsciiSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsAsciiSpace(text.back())) text.remove_suffix(1);
  return text;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

// Longer validators than this are no validators of ours.
constexpr size_t kMaxValidatorBytes = 256;

// Keeps the ETag and Last-Modified of the latest answer (a redirect's
// headers are dropped when the next answer starts).
size_t CaptureValidators(char* data, size_t size, size_t count, void* user) noexcept {
  const size_t bytes = size * count;
  try {
    auto* probe = static_cast<SizeProbe*>(user);
    const std::string_view line(data, bytes);
    if (StartsWithIgnoringCase(line, "http/")) {
      probe->etag.clear();
      probe->last_modified.clear();
    } else if (StartsWithIgnoringCase(line, "etag:")) {
      const std::string_view value = Trim(line.substr(5));
      probe->etag.assign(value.size() <= kMaxValidatorBytes ? value : std::string_view());
    } else if (StartsWithIgnoringCase(line, "last-modified:")) {
      const std::string_view value = Trim(line.substr(14));
      probe->last_modified.assign(value.size() <= kMaxValidatorBytes ? value : std::string_view());
    }
  } catch (...) {
    // Out of memory: without validators a later run simply starts clean.
  }
  return bytes;
}

constexpr DWORD kVersionFetchTimeoutMs = 30000;
constexpr ULONGLONG kVersionFetchLimitMs = 60000;
constexpr DWORD kContentLengthQuery = 5;  // HTTP_QUERY_CONTENT_LENGTH
constexpr DWORD kStatusCodeQuery = 19;    // HTTP_QUERY_STATUS_CODE
constexpr DWORD kProxyChallenge = 407;

// A WinINet session that takes the same way as the libcurl transfers.
platform::InternetHandle OpenSession(const platform::InternetLibrary& inet, const ProxyChoice& choice) {
  constexpr const wchar_t* kAgent = L"Wendlebox-Agent/1.0";
  if (choice.route == ProxyChoice::Route::Untouched) return inet.Open(kAgent);
  if (choice.route == ProxyChoice::Route::Direct) return inet.Open(kAgent, platform::ProxyUse::Direct);
  // WinINet names a proxy without its scheme.
  std::string name = choice.proxy;
  if (const size_t scheme_end = name.find("://"); scheme_end != std::string::npos) name.erase(0, scheme_end + 3);
  return inet.Open(kAgent, platform::ProxyUse::Named, platform::Utf8ToWide(name));
}

// Reads the whole body through WinINet; false on any failure, past `cap`
// bytes, once `cancel` is set, or when the whole fetch takes longer than its
// overall limit (a server that drips a byte per read time-out would hold the
// worker for days).
bool FetchBody(const platform::InternetLibrary& inet, const std::wstring& url, DWORD flags, size_t cap,
               const TlsSettings& tls, const std::atomic<bool>* cancel, std::string& body) {
  const ULONGLONG deadline = ::GetTickCount64() + kVersionFetchLimitMs;
  const ProxyChoice choice = tls.proxy ? tls.proxy->ChooseFor(platform::WideToUtf8(url)) : ProxyChoice{};
  const platform::InternetHandle session = OpenSession(inet, choice);
  if (!session) return false;
  // Bounded like every other transfer: the query's worker must end.
  inet.SetTimeouts(session.get(), kVersionFetchTimeoutMs);
  const platform::InternetHandle request = inet.OpenUrl(session.get(), url, flags);
  if (!request) return false;
  DWORD first_status = 0;
  if (choice.route == ProxyChoice::Route::Through && !tls.proxy->settings().user.empty() &&
      inet.QueryNumber(request.get(), kStatusCodeQuery, first_status) && first_status == kProxyChallenge) {
    const ProxySettings& settings = tls.proxy->settings();
    if (!inet.ResendWithProxyCredentials(request.get(), platform::Utf8ToWide(settings.user),
                                         platform::Utf8ToWide(settings.password))) {
      return false;
    }
  }
  char buffer[4096];
  for (;;) {
    if ((cancel != nullptr && cancel->load()) || ::GetTickCount64() > deadline) return false;
    // Only what has arrived: a full-buffer read waits for all of it, and
    // the cancel and the deadline are looked at between reads.
    // A failed call is a cut body, not its end: a partial file must not be parsed.
    DWORD available = 0;
    if (!inet.QueryAvailable(request.get(), available)) return false;
    if (available == 0) break;
    DWORD read = 0;
    const DWORD wanted = available < sizeof buffer ? available : static_cast<DWORD>(sizeof buffer);
    if (!inet.Read(request.get(), buffer, wanted, read)) return false;
    if (read == 0) break;
    if (body.size() + read > cap) return false;
    body.append(buffer, read);
  }
  // Only a successful answer counts, and only whole: a connection closed
  // early reads as an ordinary end.
  DWORD status = 0;
  DWORD length = 0;
  if (!inet.QueryNumber(request.get(), kStatusCodeQuery, status) || status / 100 != 2) return false;
  return !inet.QueryNumber(request.get(), kContentLengthQuery, length) || length == body.size();
}

// Status and Retry-After of the latest answer (a redirect starts a new one).
struct AnswerHeaders {
  std::string retry_after;
};

size_t CaptureRetryAfter(char* data, size_t size, size_t count, void* user) noexcept {
  const size_t bytes = size * count;
  try {
    auto* headers = static_cast<AnswerHeaders*>(user);
    const std::string_view line(data, bytes);
    if (line.size() >= 5 && (line.substr(0, 5) == "HTTP/" || line.substr(0, 5) == "http/"))
      headers->retry_after.clear();
    constexpr size_t kMaxValue = 64;
    if (const auto value = RetryAfterHeaderValue(line)) headers->retry_after.assign(value->substr(0, kMaxValue));
  } catch (...) {
    // Out of memory: the answer reads as one without Retry-After.
  }
  return bytes;
}

void ApplyProxy(CURL* easy, const TlsSettings& tls, const std::string& url) {
  if (!tls.proxy) return;
  const ProxyChoice choice = tls.proxy->ChooseFor(url);
  switch (choice.route) {
    case ProxyChoice::Route::Untouched: return;
    case ProxyChoice::Route::Direct:
      (void)curl_easy_setopt(easy, CURLOPT_PROXY, "");  // also past libcurl's environment variables
      return;
    case ProxyChoice::Route::Through: break;
  }
  // libcurl copies every string it is given.
  (void)curl_easy_setopt(easy, CURLOPT_PROXY, choice.proxy.c_str());
  const ProxySettings& settings = tls.proxy->settings();
  if (settings.user.empty()) return;
  (void)curl_easy_setopt(easy, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
  (void)curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, settings.user.c_str());
  (void)curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, settings.password.c_str());
}

}  // namespace

void ApplyTransferSafety(CURL* easy, const TlsSettings& tls, const std::string& url) {
  ApplyProxy(easy, tls, url);
  (void)curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  (void)curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  (void)curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  (void)curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
  if (tls.skip_verification) {
    (void)curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 0L);
    (void)curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
    return;
  }
  (void)curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  (void)curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
  // Revocation servers are often unreachable behind firewalls: check when possible.
  (void)curl_easy_setopt(easy, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));
  if (!tls.ca_file.empty()) {
    (void)curl_easy_setopt(easy, CURLOPT_CAINFO, platform::WideToAnsi(tls.ca_file).c_str());
  }
}

size_t AppendToBodySink(char* data, size_t size, size_t count, void* sink) noexcept {
  try {
    auto* target = static_cast<BodySink*>(sink);
    const size_t bytes = size * count;
    if (target == nullptr || target->body == nullptr) return 0;
    if (bytes > target->cap || target->body->size() > target->cap - bytes) return 0;
    target->body->append(data, bytes);
    return bytes;
  } catch (...) {
    return 0;  // out of memory: libcurl ends the transfer with a write error
  }
}

void AbortWhenSet(CURL* easy, const std::atomic<bool>* cancel) {
  SetCurlCallback(easy, CURLOPT_XFERINFOFUNCTION, &ProgressAbort);
  (void)curl_easy_setopt(easy, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(cancel));
  (void)curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
}

// Names the trust the transfers use, once and again whenever it changes.
void LogTrust(const TlsSettings& tls) {
  static std::mutex mutex;
  static std::wstring logged;  // guarded by `mutex`
  const std::wstring now = tls.skip_verification ? L"off" : L"ca:" + tls.ca_file;
  const std::lock_guard<std::mutex> lock(mutex);
  if (now == logged) return;
  logged = now;
  if (tls.skip_verification) {
    startup::Log("TLS: certificates are not checked (SkipCertificateCheck=1)\n");
  } else if (tls.ca_file.empty()) {
    startup::Log("TLS: certificates are checked against the system's trusted roots\n");
  } else {
    startup::Log(
        "TLS: certificates are checked against CaFile %s only; the system's trusted "
        "roots are not used\n",
        tls.ca_file);
  }
}

TlsSettings TlsSettingsFromConfig() {
  TlsSettings tls;
  tls.skip_verification = startup::Config().IsOn("SkipCertificateCheck");
  tls.ca_file = startup::Config().Get("CaFile");
  tls.proxy = std::make_shared<ProxyResolver>(ProxySettingsFromConfig());
  const bool relative = !tls.ca_file.empty() && tls.ca_file.find(L':') == std::wstring::npos &&
                        tls.ca_file[0] != L'\\' && tls.ca_file[0] != L'/';
  if (relative) tls.ca_file = platform::ExecutableFolder() + tls.ca_file;
  LogTrust(tls);
  return tls;
}

void InitializeTransfers() {
  static std::once_flag once;
  std::call_once(once, [] {
    const CURLcode code = curl_global_init(CURL_GLOBAL_ALL);
    startup::Log("Transfers: libcurl set up, code %d\n", static_cast<int>(code));
  });
}

std::string EncodeFormValue(std::string_view value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(value.size());
  for (const char ch : value) {
    const auto byte = static_cast<unsigned char>(ch);
    const bool special = ch == '&' || ch == '=' || ch == '+' || ch == '%' || ch == '#' || byte < 0x20 || byte == 0x7F;
    if (!special) {
      out.push_back(ch);
      continue;
    }
    out.push_back('%');
    out.push_back(kHex[byte >> 4]);
    out.push_back(kHex[byte & 0x0F]);
  }
  return out;
}

std::string BuildFormFields(const std::map<std::string, std::string>& fields) {
  std::string body;
  for (const auto& [key, value] : fields) {
    if (value.empty()) continue;
    body += key + "=" + EncodeFormValue(value) + "&";
  }
  if (!body.empty()) body.pop_back();
  return body;
}

int PostForm(const PostRequest& request, std::string& reply) {
  InitializeTransfers();
  startup::Log("PostData Start download url=%S param=%S\n", request.url, request.fields);
  CurlEasy easy(curl_easy_init());
  if (!easy) return kNoTransferHandle;
  BodySink sink{&reply, request.reply_cap};
  CURL* e = easy.get();
  (void)curl_easy_setopt(e, CURLOPT_POST, 1L);
  (void)curl_easy_setopt(e, CURLOPT_POSTFIELDS, request.fields.c_str());
  (void)curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.fields.size()));
  (void)curl_easy_setopt(e, CURLOPT_URL, request.url.c_str());
  (void)curl_easy_setopt(e, CURLOPT_DNS_CACHE_TIMEOUT, 86400L);
  (void)curl_easy_setopt(e, CURLOPT_TIMEOUT, kTransferTimeoutSeconds);
  (void)curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, kTransferTimeoutSeconds);
  ApplyTransferSafety(e, request.tls != nullptr ? *request.tls : TlsSettingsFromConfig(), request.url);
  (void)curl_easy_setopt(e, CURLOPT_FAILONERROR, 1L);
  AnswerHeaders headers;
  SetCurlCallback(e, CURLOPT_HEADERFUNCTION, &CaptureRetryAfter);
  (void)curl_easy_setopt(e, CURLOPT_HEADERDATA, &headers);
  SetCurlCallback(e, CURLOPT_WRITEFUNCTION, &AppendToBodySink);
  (void)curl_easy_setopt(e, CURLOPT_WRITEDATA, &sink);
  if (!request.user_agent.empty()) (void)curl_easy_setopt(e, CURLOPT_USERAGENT, request.user_agent.c_str());
  AbortWhenSet(e, request.cancel);
  const CURLcode code = curl_easy_perform(e);
  long status = 0;
  (void)curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
  easy.reset();
  if (request.retry_after_seconds != nullptr) {
    const std::optional<int64_t> wait =
        status == 503 ? ParseRetryAfter(headers.retry_after, static_cast<int64_t>(std::time(nullptr))) : std::nullopt;
    *request.retry_after_seconds = wait ? BoundedRetryAfter(*wait) : -1;
  }
  startup::Log("PostData end\n");
  return static_cast<int>(code);
}

SizeProbe ProbeFileSize(const std::string& url, const std::string& user_agent, const std::atomic<bool>* cancel) {
  return ProbeFileSize(url, user_agent, TlsSettingsFromConfig(), cancel);
}

SizeProbe ProbeFileSize(const std::string& url, const std::string& user_agent, const TlsSettings& tls,
                        const std::atomic<bool>* cancel) {
  InitializeTransfers();
  startup::Log("GetDownloadFileSize Start\n");
  SizeProbe probe;
  CurlEasy easy(curl_easy_init());
  if (!easy) {
    probe.made_handle = false;
    return probe;
  }
  CURL* e = easy.get();
  (void)curl_easy_setopt(e, CURLOPT_URL, url.c_str());
  (void)curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, "GET");
  (void)curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
  (void)curl_easy_setopt(e, CURLOPT_TIMEOUT, kTransferTimeoutSeconds);
  ApplyTransferSafety(e, tls, url);
  (void)curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, kTransferTimeoutSeconds);
  (void)curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
  (void)curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects);
  // An error page's length is not the file's length.
  (void)curl_easy_setopt(e, CURLOPT_FAILONERROR, 1L);
  if (!user_agent.empty()) (void)curl_easy_setopt(e, CURLOPT_USERAGENT, user_agent.c_str());
  SetCurlCallback(e, CURLOPT_HEADERFUNCTION, &CaptureValidators);
  (void)curl_easy_setopt(e, CURLOPT_HEADERDATA, &probe);
  AbortWhenSet(e, cancel);
  probe.code = static_cast<int>(curl_easy_perform(e));
  if (probe.code == CURLE_OK) {
    long status = 0;
    curl_off_t length = -1;
    (void)curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
    const bool have_length = curl_easy_getinfo(e, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK;
    if (status >= 200 && status < 300 && have_length && length > 0) {
      probe.size = static_cast<int64_t>(length);
      startup::Log("GetDownloadFileSize success, file size=%lld\n", static_cast<long long>(probe.size));
      return probe;
    }
  }
  startup::Log("GetDownloadFileSize failed ,lastCode=%d\n", probe.code);
  return probe;
}

int64_t GetDownloadFileSize(const std::string& url, const std::string& user_agent) {
  return ProbeFileSize(url, user_agent).size;
}

bool IsSecureVersionUrl(std::string_view url) {
  return url.substr(0, 8) == "https://" || url.substr(0, 8) == "HTTPS://";
}

std::string ParseVersionFile(std::string_view body) {
  while (!body.empty()) {
    const size_t end = body.find('\n');
    std::string_view line = body.substr(0, end);
    body = end == std::string_view::npos ? std::string_view() : body.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    std::string key;
    for (const char ch : Trim(line.substr(0, equals))) {
      if (!IsAsciiSpace(ch)) key.push_back(ch);
    }
    if (platform::AsciiLower(key) != "productversion") continue;
    std::string_view value = Trim(line.substr(equals + 1));
    if (value.size() >= 2 &&
        ((value.front() == '"' && value.back() == '"') || (value.front() == '\'' && value.back() == '\''))) {
      value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
  }
  return std::string();
}

std::string FetchProductVersion(const std::string& url, const std::atomic<bool>* cancel) {
  if (url.empty()) return std::string();
  return FetchProductVersion(url, TlsSettingsFromConfig(), cancel);
}

std::string FetchProductVersion(const std::string& url, const TlsSettings& tls, const std::atomic<bool>* cancel) {
  if (url.empty()) return std::string();
  const std::wstring wide_url = platform::Utf8ToWide(url);
  if (wide_url.empty()) return std::string();
  const platform::InternetLibrary inet;
  if (!inet.IsUsable()) return std::string();
  constexpr DWORD kReload = 0x80000000;         // INTERNET_FLAG_RELOAD
  constexpr DWORD kPragmaNoCache = 0x00000100;  // INTERNET_FLAG_PRAGMA_NOCACHE
  constexpr DWORD kSecure = 0x00800000;         // INTERNET_FLAG_SECURE
  const DWORD flags = kReload | kPragmaNoCache | (IsSecureVersionUrl(url) ? kSecure : 0);
  std::string body;
  if (!FetchBody(inet, wide_url, flags, kVersionFileCap, tls, cancel, body) || body.empty()) return std::string();
  return ParseVersionFile(body);
}

}  // namespace net
