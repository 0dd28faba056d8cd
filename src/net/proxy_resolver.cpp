#include "net/proxy_resolver.h"

#include <thread>
#include <vector>

// clang-format off
#include "platform/windows_api.h"
#include <winhttp.h>
// clang-format on

#include "platform/signal.h"
#include "platform/system_paths.h"
#include "platform/text.h"
#include "startup/log.h"
#include "startup/product_config.h"

namespace net {
namespace {

// A script download or a discovery that takes longer than this is given up
// for the run: the user would otherwise wait on every start.
constexpr DWORD kAutomaticLimitMs = 5000;
constexpr int kAutomaticStepTimeoutMs = 4000;

std::string Lower(std::string_view text) { return platform::AsciiLower(std::string(text)); }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Splits at ';' and blanks, which both separate entries in the system's lists.
std::vector<std::string_view> Entries(std::string_view list) {
  std::vector<std::string_view> entries;
  size_t start = 0;
  for (size_t i = 0; i <= list.size(); ++i) {
    if (i < list.size() && list[i] != ';' && list[i] != ' ' && list[i] != '\t' && list[i] != ',') continue;
    if (i > start) entries.push_back(list.substr(start, i - start));
    start = i + 1;
  }
  return entries;
}

bool WildcardMatch(std::string_view pattern, std::string_view text) {
  // Iterative '*' matching: bounded by pattern × text steps.
  size_t p = 0, t = 0, star = std::string_view::npos, resume = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = t;
    } else if (p < pattern.size() && pattern[p] == text[t]) {
      ++p;
      ++t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

struct UrlParts {
  std::string scheme;
  std::string host;  // lower case, without brackets
  std::string port;
};

std::optional<UrlParts> SplitUrl(std::string_view url) {
  const size_t colon = url.find("://");
  if (colon == std::string_view::npos || colon == 0) return std::nullopt;
  UrlParts parts;
  parts.scheme = Lower(url.substr(0, colon));
  std::string_view rest = url.substr(colon + 3);
  rest = rest.substr(0, rest.find_first_of("/?#"));
  const size_t at = rest.rfind('@');
  if (at != std::string_view::npos) rest.remove_prefix(at + 1);
  std::string_view port;
  if (!rest.empty() && rest.front() == '[') {
    const size_t close = rest.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    if (close + 1 < rest.size() && rest[close + 1] == ':') port = rest.substr(close + 2);
    rest = rest.substr(1, close - 1);
  } else if (const size_t port_colon = rest.rfind(':'); port_colon != std::string_view::npos) {
    port = rest.substr(port_colon + 1);
    rest = rest.substr(0, port_colon);
  }
  if (rest.empty()) return std::nullopt;
  parts.host = Lower(rest);
  parts.port = port.empty() ? (parts.scheme == "https" ? "443" : "80") : std::string(port);
  return parts;
}

// "host:port" or "http://host:port" as libcurl takes it.
std::string AsProxyUrl(std::string_view entry) {
  entry = Trimmed(entry);
  if (entry.empty()) return std::string();
  if (entry.find("://") != std::string_view::npos) return std::string(entry);
  return "http://" + std::string(entry);
}

std::string Narrow(const wchar_t* text) { return text != nullptr ? platform::WideToUtf8(text) : std::string(); }

// WinHTTP, loaded from System32 when the user's settings are read.
class WinHttp {
 public:
  WinHttp() : module_(platform::LoadSystemLibrary(L"winhttp.dll")) {
    if (!module_.IsValid()) return;
    read_user_config_ = Lookup<ReadUserConfigFunction>("WinHttpGetIEProxyConfigForCurrentUser");
    open_ = Lookup<OpenFunction>("WinHttpOpen");
    set_timeouts_ = Lookup<SetTimeoutsFunction>("WinHttpSetTimeouts");
    proxy_for_url_ = Lookup<ProxyForUrlFunction>("WinHttpGetProxyForUrl");
    close_ = Lookup<CloseFunction>("WinHttpCloseHandle");
  }

  [[nodiscard]] bool ReadUserConfig(SystemProxyConfig& config) const {
    if (read_user_config_ == nullptr) return false;
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG raw{};
    if (!read_user_config_(&raw)) return false;
    config.auto_detect = raw.fAutoDetect != FALSE;
    config.auto_config_url = Narrow(raw.lpszAutoConfigUrl);
    config.proxy = Narrow(raw.lpszProxy);
    config.bypass = Narrow(raw.lpszProxyBypass);
    for (wchar_t* text : {raw.lpszAutoConfigUrl, raw.lpszProxy, raw.lpszProxyBypass}) {
      if (text != nullptr) (void)::GlobalFree(text);
    }
    return true;
  }

  // The script's or the discovery's answer for `url`: the proxy list
  // ("" for direct) and its bypass list; nullopt when it failed.
  [[nodiscard]] std::optional<std::pair<std::string, std::string>> ProxyFor(const std::wstring& url,
                                                                            const std::wstring& script_url) const {
    if (open_ == nullptr || proxy_for_url_ == nullptr || close_ == nullptr) return std::nullopt;
    HINTERNET session =
        open_(L"Wendlebox-Agent/1.0", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (session == nullptr) return std::nullopt;
    if (set_timeouts_ != nullptr) {
      (void)set_timeouts_(session, kAutomaticStepTimeoutMs, kAutomaticStepTimeoutMs, kAutomaticStepTimeoutMs,
                          kAutomaticStepTimeoutMs);  // refused: the overall limit still holds
    }
    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (script_url.empty()) {
      options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
      options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    } else {
      options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
      options.lpszAutoConfigUrl = script_url.c_str();
    }
    WINHTTP_PROXY_INFO info{};
    const BOOL found = proxy_for_url_(session, url.c_str(), &options, &info);
    const DWORD error = found ? 0 : ::GetLastError();
    (void)close_(session);
    if (!found) {
      startup::Log("Proxy: the automatic configuration gave no answer, system error %u\n", error);
      return std::nullopt;
    }
    std::pair<std::string, std::string> answer;
    if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY)
      answer = {Narrow(info.lpszProxy), Narrow(info.lpszProxyBypass)};
    for (wchar_t* text : {info.lpszProxy, info.lpszProxyBypass}) {
      if (text != nullptr) (void)::GlobalFree(text);
    }
    return answer;
  }

 private:
  using ReadUserConfigFunction = BOOL(WINAPI*)(WINHTTP_CURRENT_USER_IE_PROXY_CONFIG*);
  using OpenFunction = HINTERNET(WINAPI*)(LPCWSTR, DWORD, LPCWSTR, LPCWSTR, DWORD);
  using SetTimeoutsFunction = BOOL(WINAPI*)(HINTERNET, int, int, int, int);
  using ProxyForUrlFunction = BOOL(WINAPI*)(HINTERNET, LPCWSTR, WINHTTP_AUTOPROXY_OPTIONS*, WINHTTP_PROXY_INFO*);
  using CloseFunction = BOOL(WINAPI*)(HINTERNET);

  template <class Function>
  Function Lookup(const char* name) const {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module_.Get(), name)));
  }

  platform::UniqueModule module_;
  ReadUserConfigFunction read_user_config_ = nullptr;
  OpenFunction open_ = nullptr;
  SetTimeoutsFunction set_timeouts_ = nullptr;
  ProxyForUrlFunction proxy_for_url_ = nullptr;
  CloseFunction close_ = nullptr;
};

// One automatic lookup on a thread of its own, so that a discovery that
// hangs costs the caller kAutomaticLimitMs at most; the thread owns its state
// and finishes alone.
struct AutomaticLookup {
  std::wstring url;
  std::wstring script_url;
  std::optional<std::pair<std::string, std::string>> answer;  // written by the thread before `done`
  platform::Signal done;
};

std::optional<std::pair<std::string, std::string>> LookUpAutomatically(const std::string& url,
                                                                       const std::string& script_url) {
  auto lookup = std::make_shared<AutomaticLookup>();
  lookup->url = platform::Utf8ToWide(url);
  lookup->script_url = platform::Utf8ToWide(script_url);
  try {
    std::thread([lookup] {
      platform::SignalOnExit signal_done(lookup->done);
      try {
        const WinHttp winhttp;
        lookup->answer = winhttp.ProxyFor(lookup->url, lookup->script_url);
      } catch (...) {
        // Out of memory: no answer.
      }
    }).detach();
  } catch (...) {
    return std::nullopt;
  }
  if (::WaitForSingleObject(lookup->done.Handle(), kAutomaticLimitMs) != WAIT_OBJECT_0) {
    startup::Log("Proxy: the automatic configuration took longer than %u ms; not used this run\n", kAutomaticLimitMs);
    return std::nullopt;
  }
  return lookup->answer;
}

const char* RouteText(ProxyChoice::Route route) {
  switch (route) {
    case ProxyChoice::Route::Untouched: return "no proxy set";
    case ProxyChoice::Route::Direct: return "direct";
    case ProxyChoice::Route::Through: return "through";
  }
  return "";
}

}  // namespace

std::optional<ProxySettings> ParseProxySetting(std::string_view value) {
  value = Trimmed(value);
  const std::string lower = Lower(value);
  ProxySettings settings;
  if (lower.empty() || lower == "system") return settings;
  if (lower == "direct" || lower == "none") {
    settings.mode = ProxySettings::Mode::Direct;
    return settings;
  }
  const std::string address = AsProxyUrl(value);
  const std::optional<UrlParts> parts = SplitUrl(address);
  // libcurl would take other schemes (socks) too, but the transfers' own
  // checks only know http proxies.
  if (!parts || parts->scheme != "http" || value.find_first_of(" \t;|\"'") != std::string_view::npos) {
    return std::nullopt;
  }
  settings.mode = ProxySettings::Mode::Fixed;
  settings.address = address;
  return settings;
}

ProxySettings ProxySettingsFromConfig() {
  const startup::ProductConfig& config = startup::Config();
  const std::string value = platform::WideToUtf8(config.Get("Proxy"));
  std::optional<ProxySettings> settings = ParseProxySetting(value);
  if (!settings) {
    // A mistyped address must not silently send everything elsewhere.
    startup::Log("Proxy: the configured value \"%S\" is not a proxy address; every transfer goes direct\n", value);
    settings = ProxySettings{ProxySettings::Mode::Direct, {}, {}, {}};
  }
  settings->user = platform::WideToUtf8(config.Get("ProxyUser"));
  settings->password = platform::WideToUtf8(config.Get("ProxyPassword"));
  return *settings;
}

std::string ProxyForScheme(std::string_view list, std::string_view scheme) {
  std::string plain;
  for (const std::string_view entry : Entries(list)) {
    const size_t equals = entry.find('=');
    if (equals == std::string_view::npos) {
      if (plain.empty()) plain = std::string(entry);
      continue;
    }
    if (Lower(entry.substr(0, equals)) == scheme) return std::string(entry.substr(equals + 1));
  }
  return plain;
}

bool IsBypassed(std::string_view bypass_list, std::string_view host) {
  const std::string lower_host = Lower(host);
  for (const std::string_view entry : Entries(bypass_list)) {
    std::string pattern = Lower(entry);
    if (pattern == "<local>") {
      if (lower_host.find('.') == std::string::npos && lower_host.find(':') == std::string::npos) return true;
      continue;
    }
    const size_t scheme_end = pattern.find("://");
    if (scheme_end != std::string::npos) pattern.erase(0, scheme_end + 3);
    if (WildcardMatch(pattern, lower_host)) return true;
  }
  return false;
}

ProxyChoice ProxyResolver::ChooseFor(const std::string& url) {
  if (settings_.mode == ProxySettings::Mode::Direct) return {ProxyChoice::Route::Direct, {}};
  if (settings_.mode == ProxySettings::Mode::Fixed) return {ProxyChoice::Route::Through, settings_.address};
  const std::optional<UrlParts> parts = SplitUrl(url);
  if (!parts) return {};
  const std::string key = parts->scheme + "://" + parts->host + ":" + parts->port;
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto known = by_host_.find(key);
  if (known != by_host_.end()) return known->second;
  const ProxyChoice choice = Resolve(url, parts->scheme, parts->host);
  by_host_[key] = choice;
  startup::Log("Proxy for %S: %S %S\n", key, std::string(RouteText(choice.route)), choice.proxy);
  return choice;
}

ProxyChoice ProxyResolver::Resolve(const std::string& url, const std::string& scheme, const std::string& host) {
  if (!system_) {
    SystemProxyConfig config;
    const WinHttp winhttp;
    if (!winhttp.ReadUserConfig(config)) startup::Log("Proxy: the user's proxy settings could not be read\n");
    system_ = config;
  }
  if (const std::optional<ProxyChoice> automatic = ResolveAutomatically(url, scheme, host)) return *automatic;
  const std::string entry = ProxyForScheme(system_->proxy, scheme);
  if (entry.empty()) return {};
  if (IsBypassed(system_->bypass, host)) return {ProxyChoice::Route::Direct, {}};
  return {ProxyChoice::Route::Through, AsProxyUrl(entry)};
}

std::optional<ProxyChoice> ProxyResolver::ResolveAutomatically(const std::string& url, const std::string& scheme,
                                                               const std::string& host) {
  if (automatic_failed_ || (!system_->auto_detect && system_->auto_config_url.empty())) return std::nullopt;
  const auto answer = LookUpAutomatically(url, system_->auto_config_url);
  if (!answer) {
    automatic_failed_ = true;
    return std::nullopt;
  }
  const std::string entry = ProxyForScheme(answer->first, scheme);
  if (entry.empty() || IsBypassed(answer->second, host)) return ProxyChoice{ProxyChoice::Route::Direct, {}};
  return ProxyChoice{ProxyChoice::Route::Through, AsProxyUrl(entry)};
}

}  // namespace net
