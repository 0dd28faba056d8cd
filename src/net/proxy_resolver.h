// Which proxy a transfer goes through. The configuration may force one or
// none; otherwise the user's own settings decide, as the system's HTTP
// stack reads them: an automatic configuration script or auto-discovery
// first, then the static proxy with its bypass list. The settings are read
// once per run, from program start; the answer is looked up once per
// scheme, host and port and kept for the run.
#pragma once

#include <cstdint>
#include <functional>
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

// The user's own settings for a run. Reading them, and discovering the
// automatic configuration script when they ask for discovery, needs no
// address: it starts on a short-lived worker of its own the moment this is
// made, so the first transfer waits only for what is left of it. Each
// address is then looked up once, and a script that failed is not tried
// again. Shared by every resolver of the run (any thread).
class SystemProxy {
 public:
  // The address of the script the network announces (WPAD); nullopt when
  // none answers.
  using Discovery = std::function<std::optional<std::string>()>;

  // The worker is never waited for when this goes: it owns what it writes.
  explicit SystemProxy(Discovery discovery = nullptr);  // null: the system's discovery
  SystemProxy(const SystemProxy&) = delete;
  SystemProxy& operator=(const SystemProxy&) = delete;

  // The run's, made and started by the first call.
  [[nodiscard]] static std::shared_ptr<SystemProxy> ForRun();

  [[nodiscard]] ProxyChoice ChooseFor(const std::string& url);

 private:
  struct Early;  // written by the worker, read once it has signalled

  // Takes the early lookup's settings and script, waiting at most for what
  // is left of its time.
  void AwaitEarlyLookup();
  [[nodiscard]] ProxyChoice Resolve(const std::string& url, const std::string& scheme, const std::string& host);
  [[nodiscard]] std::optional<ProxyChoice> ResolveByScript(const std::string& url, const std::string& scheme,
                                                           const std::string& host);

  const std::shared_ptr<Early> early_;
  std::mutex mutex_;                            // guards what follows; held while an address is resolved
  bool awaited_ = false;                        // the early lookup was waited for
  SystemProxyConfig settings_;                  // the user's, as read early (empty if that failed)
  std::string script_url_;                      // configured or discovered; empty: none
  bool script_failed_ = false;                  // the script failed once: not again this run
  std::map<std::string, ProxyChoice> by_host_;  // "scheme://host:port"
};

// Starts the run's lookup of the user's settings (program start).
void StartProxyLookup();

// Shared by every transfer of a run (any thread).
class ProxyResolver {
 public:
  // A null `system` takes the run's.
  explicit ProxyResolver(ProxySettings settings, std::shared_ptr<SystemProxy> system = nullptr);
  ProxyResolver(const ProxyResolver&) = delete;
  ProxyResolver& operator=(const ProxyResolver&) = delete;

  [[nodiscard]] ProxyChoice ChooseFor(const std::string& url);
  [[nodiscard]] const ProxySettings& settings() const { return settings_; }

 private:
  const ProxySettings settings_;
  const std::shared_ptr<SystemProxy> system_;  // null unless the user's settings decide
};

}  // namespace net
