// The network fixture as the tests see it: addresses of the fixture server,
// nginx and the HTTPS listeners (ports from the wrapper script), the served
// data files, scripted release replies and the requests the server recorded.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"

namespace net_test {

[[nodiscard]] bool FixtureAvailable();
// "http://127.0.0.1:<port>" of the fixture server.
[[nodiscard]] std::string HttpBase();
// "https://localhost:<port>": kind is "https" (trusted), "wronghost" or "untrusted".
[[nodiscard]] std::string HttpsBase(const char* kind);
[[nodiscard]] std::string NginxBase();
// A served file as the test reads it (Windows path).
[[nodiscard]] std::wstring DataFile(const std::string& name);
[[nodiscard]] std::string DataBytes(const std::string& name);
// Environment-given folders; empty when the fixture could not make them.
[[nodiscard]] std::wstring FixtureFolder(const char* variable);

// Sets the reply of POST /release?key=<key> (and GET /scripted?key=<key>);
// `options` is extra query text such as "&status=500&fail=2&delay=1".
void ScriptReply(const std::string& key, const std::string& body, const std::string& options = "");
// What the server received under `key`: (User-Agent or "-", body) in order.
[[nodiscard]] std::vector<std::pair<std::string, std::string>> Recorded(const std::string& key);

// GET /hold?key=<key> keeps its connection open without a word until the
// client hangs up or ReleaseHold(key); Held(key) counts those open now.
[[nodiscard]] int Held(const std::string& key);
void ReleaseHold(const std::string& key);

// Loads a product configuration with the given keys for the test's scope.
class ScopedConfig {
 public:
  ScopedConfig(std::initializer_list<std::pair<const char*, std::wstring>> entries);
  ~ScopedConfig();
  ScopedConfig(const ScopedConfig&) = delete;
  ScopedConfig& operator=(const ScopedConfig&) = delete;

 private:
  test_support::TempFolder folder_;
};

// The configuration that trusts the fixture's test CA.
[[nodiscard]] std::wstring TestCaFile();

// The fixture's code-signing root is in the prefix's machine root store
// (net_fixture.sh puts it there for the run, with the root_store helper).
[[nodiscard]] bool SigningRootTrusted();

// Has the fixture sign data file `name` into `out` as `signer`: "publisher"
// ("WebInstaller Test Publisher" under the signing root), "other" ("Other
// Test Publisher", same root) or "stray" (the publisher's name under an
// unknown root). The signer's thumbprints "sha1=<hex> sha256=<hex>", or
// empty when signing failed.
[[nodiscard]] std::string SignDataFile(const std::string& name, const std::string& out, const std::string& signer);

}  // namespace net_test

#define REQUIRE_FIXTURE() \
  if (!net_test::FixtureAvailable()) GTEST_SKIP() << "run through net_fixture.sh"
