// Which proxy a transfer goes through. The configuration may force one or
// none; otherwise the user's own settings decide, as the system's HTTP
// stack reads them: an automatic configuration script or auto-discovery
// first, then the static proxy with its bypass list. The answer is looked
// up once per scheme, host and port and kept for the run.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace net {

// Configuration Proxy ("direct" or "none", an address such as
// "http://host:port", or empty / "system"), ProxyUser and ProxyPassword.
struct ProxySettings {
  enum class Mode : uint8_t { System, Direct, Fixed };
  Mode mode = Mode::System;
  std::string address;  // Fixed: "http://host:port"
  std::string user;     // Basic authentication at the proxy; empty: none
  std::string password;
};
[[nodiscard]] ProxySettings ProxySettingsFromConfig();
// Parses a Proxy value; nullopt for a value that names no usable proxy.
[[nodiscard]] std::optional<ProxySettings> ParseProxySetting(std::string_view value);

struct ProxyChoice {
  enum class Route : uint8_t {
    Untouched,  // nobody set a proxy: the transfer keeps libcurl's defaults
    Direct,     // a setting says "no proxy" for this address
    Through,    // through `proxy`
  };
  Route route = Route::Untouched;
  std::string proxy;  // Through: "http://host:port"
};

// The user's settings as WinHTTP reports them.
struct SystemProxyConfig {
  bool auto_detect = false;
  std::string auto_config_url;
  std::string proxy;   // "host:port", or "http=host:port;https=host:port"
  std::string bypass;  // "<local>;*.example.com;10.*"
};

// The entry of a proxy list for `scheme` ("http" or "https"): a
// "scheme=host:port" entry, else the first plain one; empty when none fits.
[[nodiscard]] std::string ProxyForScheme(std::string_view list, std::string_view scheme);
// Whether `host` matches the bypass list ("<local>": a name without dots;
// "*" wildcards; case-insensitive).
[[nodiscard]] bool IsBypassed(std::string_view bypass_list, std::string_view host);

// Shared by every transfer of a run (any thread).
class ProxyResolver {
 public:
  explicit ProxyResolver(ProxySettings settings) : settings_(std::move(settings)) {}
  ProxyResolver(const ProxyResolver&) = delete;
  ProxyResolver& operator=(const ProxyResolver&) = delete;

  [[nodiscard]] ProxyChoice ChooseFor(const std::string& url);
  [[nodiscard]] const ProxySettings& settings() const { return settings_; }

 private:
  [[nodiscard]] ProxyChoice Resolve(const std::string& url, const std::string& scheme, const std::string& host);
  [[nodiscard]] std::optional<ProxyChoice> ResolveAutomatically(const std::string& url, const std::string& scheme,
                                                                const std::string& host);

  const ProxySettings settings_;
  std::mutex mutex_;                            // guards what follows; held while an address is resolved
  std::optional<SystemProxyConfig> system_;     // read on first use
  bool automatic_failed_ = false;               // the script or discovery failed once: not again this run
  std::map<std::string, ProxyChoice> by_host_;  // "scheme://host:port"
};

}  // namespace net
