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

// A script that takes longer than this to answer for an address is given
// up for the run: the user would otherwise wait on every start. The user or
// the administrator named that script, so it is worth a wait.
constexpr DWORD kScriptLimitMs = 5000;
constexpr int kScriptStepTimeoutMs = 4000;
// Discovery is on by default, and where no network announces a script,
// nothing may answer at all: most users would pay its whole wait before the
// release check. A network that announces one answers within a few hundred
// milliseconds (one DHCP exchange or one name lookup), so 2 s, counted from
// program start, still finds it on a slow link.
constexpr DWORD kDiscoveryLimitMs = 2000;

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
    detect_ = Lookup<DetectFunction>("WinHttpDetectAutoProxyConfigUrl");
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

  // The address of the script the network announces, by DHCP or by name
  // (WPAD); nullopt when none does.
  [[nodiscard]] std::optional<std::string> DiscoverScript() const {
    if (detect_ == nullptr) return std::nullopt;
    wchar_t* found = nullptr;
    if (!detect_(WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A, &found) || found == nullptr) {
      return std::nullopt;
    }
    std::string address = Narrow(found);
    (void)::GlobalFree(found);
    return address;
  }

  // The script's answer for `url`: the proxy list ("" for direct) and its
  // bypass list; nullopt when it failed.
  [[nodiscard]] std::optional<std::pair<std::string, std::string>> ProxyFor(const std::wstring& url,
                                                                            const std::wstring& script_url) const {
    if (open_ == nullptr || proxy_for_url_ == nullptr || close_ == nullptr) return std::nullopt;
    HINTERNET session =
        open_(L"Wendlebox-Agent/1.0", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (session == nullptr) return std::nullopt;
    if (set_timeouts_ != nullptr) {
      (void)set_timeouts_(session, kScriptStepTimeoutMs, kScriptStepTimeoutMs, kScriptStepTimeoutMs,
                          kScriptStepTimeoutMs);  // refused: the overall limit still holds
    }
    WINHTTP_AUTOPROXY_OPTIONS options{};
    options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
    options.lpszAutoConfigUrl = script_url.c_str();
    WINHTTP_PROXY_INFO info{};
    const BOOL found = proxy_for_url_(session, url.c_str(), &options, &info);
    const DWORD error = found ? 0 : ::GetLastError();
    (void)close_(session);
    if (!found) {
      startup::Log("Proxy: the automatic configuration script gave no answer, system error %u\n", error);
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
  using DetectFunction = BOOL(WINAPI*)(DWORD, LPWSTR*);

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
  DetectFunction detect_ = nullptr;
};

// One script lookup on a thread of its own, so that a script server that
// hangs costs the caller kScriptLimitMs at most; the thread owns its state
// and finishes alone.
struct AutomaticLookup {
  std::wstring url;
  std::wstring script_url;
  std::optional<std::pair<std::string, std::string>> answer;  // written by the thread before `done`
  platform::Signal done;
};

std::optional<std::pair<std::string, std::string>> LookUpByScript(const std::string& url,
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
  if (::WaitForSingleObject(lookup->done.Handle(), kScriptLimitMs) != WAIT_OBJECT_0) {
    startup::Log("Proxy: the automatic configuration script took longer than %u ms; not used this run\n",
                 kScriptLimitMs);
    return std::nullopt;
  }
  return lookup->answer;
}

// What is left of `limit_ms` counted from `started` (GetTickCount).
DWORD Remaining(DWORD started, DWORD limit_ms) {
  const DWORD spent = ::GetTickCount() - started;
  return spent < limit_ms ? limit_ms - spent : 0;
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

// The worker writes each part before it sets that part's signal and touches
// nothing else, so it may outlive every resolver and run past the end of
// the program without harm.
struct SystemProxy::Early {
  DWORD started = ::GetTickCount();
  bool read = false;  // the settings could be read
  SystemProxyConfig settings;
  platform::Signal settings_read;
  std::optional<std::string> discovered;
  platform::Signal discovery_over;  // also set when no discovery was needed
};

SystemProxy::SystemProxy(Discovery discovery) : early_(std::make_shared<Early>()) {
  if (!discovery) {
    discovery = [] {
      const WinHttp winhttp;
      return winhttp.DiscoverScript();
    };
  }
  try {
    std::thread([early = early_, discovery = std::move(discovery)] {
      platform::SignalOnExit over(early->discovery_over);
      {
        platform::SignalOnExit read(early->settings_read);
        try {
          const WinHttp winhttp;
          early->read = winhttp.ReadUserConfig(early->settings);
        } catch (...) {
          return;  // out of memory: nothing read
        }
      }
      if (!early->settings.auto_detect || !early->settings.auto_config_url.empty()) return;
      try {
        early->discovered = discovery();
      } catch (...) {
        // Out of memory: nothing discovered.
      }
    }).detach();
  } catch (...) {
    // No thread: the signals stay clear and the first transfer waits out the
    // bound, then goes without the user's settings.
  }
}

std::shared_ptr<SystemProxy> SystemProxy::ForRun() {
  static const std::shared_ptr<SystemProxy> run = [] {
    startup::Log("Proxy: looking up the user's settings\n");
    return std::make_shared<SystemProxy>();
  }();
  return run;
}

void StartProxyLookup() { (void)SystemProxy::ForRun(); }

void SystemProxy::AwaitEarlyLookup() {
  awaited_ = true;
  // Reading the settings is quick; only a system in trouble takes the whole
  // discovery bound for it.
  if (::WaitForSingleObject(early_->settings_read.Handle(), Remaining(early_->started, kDiscoveryLimitMs)) !=
      WAIT_OBJECT_0) {
    startup::Log("Proxy: the user's proxy settings were not read within %u ms; not used this run\n", kDiscoveryLimitMs);
    return;
  }
  if (!early_->read) {
    startup::Log("Proxy: the user's proxy settings could not be read\n");
    return;
  }
  settings_ = early_->settings;
  if (!settings_.auto_config_url.empty() || !settings_.auto_detect) {
    script_url_ = settings_.auto_config_url;
    return;
  }
  if (::WaitForSingleObject(early_->discovery_over.Handle(), Remaining(early_->started, kDiscoveryLimitMs)) !=
      WAIT_OBJECT_0) {
    startup::Log("Proxy: automatic discovery found no configuration script within %u ms; not used this run\n",
                 kDiscoveryLimitMs);
    return;
  }
  if (!early_->discovered) {
    startup::Log("Proxy: automatic discovery found no configuration script\n");
    return;
  }
  script_url_ = *early_->discovered;
  startup::Log("Proxy: automatic discovery found the configuration script %S\n", script_url_);
}

ProxyChoice SystemProxy::ChooseFor(const std::string& url) {
  const std::optional<UrlParts> parts = SplitUrl(url);
  if (!parts) return {};
  const std::string key = parts->scheme + "://" + parts->host + ":" + parts->port;
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto known = by_host_.find(key);
  if (known != by_host_.end()) return known->second;
  if (!awaited_) AwaitEarlyLookup();
  const ProxyChoice choice = Resolve(url, parts->scheme, parts->host);
  by_host_[key] = choice;
  startup::Log("Proxy for %S: %S %S\n", key, std::string(RouteText(choice.route)), choice.proxy);
  return choice;
}

ProxyChoice SystemProxy::Resolve(const std::string& url, const std::string& scheme, const std::string& host) {
  if (const std::optional<ProxyChoice> scripted = ResolveByScript(url, scheme, host)) return *scripted;
  const std::string entry = ProxyForScheme(settings_.proxy, scheme);
  if (entry.empty()) return {};
  if (IsBypassed(settings_.bypass, host)) return {ProxyChoice::Route::Direct, {}};
  return {ProxyChoice::Route::Through, AsProxyUrl(entry)};
}

std::optional<ProxyChoice> SystemProxy::ResolveByScript(const std::string& url, const std::string& scheme,
                                                        const std::string& host) {
  if (script_failed_ || script_url_.empty()) return std::nullopt;
  const auto answer = LookUpByScript(url, script_url_);
  if (!answer) {
    script_failed_ = true;
    return std::nullopt;
  }
  const std::string entry = ProxyForScheme(answer->first, scheme);
  if (entry.empty() || IsBypassed(answer->second, host)) return ProxyChoice{ProxyChoice::Route::Direct, {}};
  return ProxyChoice{ProxyChoice::Route::Through, AsProxyUrl(entry)};
}

ProxyResolver::ProxyResolver(ProxySettings settings, std::shared_ptr<SystemProxy> system)
    : settings_(std::move(settings)),
      system_(settings_.mode != ProxySettings::Mode::System ? nullptr
              : system                                      ? std::move(system)
                                                            : SystemProxy::ForRun()) {}

ProxyChoice ProxyResolver::ChooseFor(const std::string& url) {
  if (settings_.mode == ProxySettings::Mode::Direct) return {ProxyChoice::Route::Direct, {}};
  if (settings_.mode == ProxySettings::Mode::Fixed) return {ProxyChoice::Route::Through, settings_.address};
  return system_->ChooseFor(url);
}

}  // namespace net
