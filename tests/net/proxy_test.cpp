// Every kind of transfer through a real proxy (tinyproxy, open and with
// Basic authentication): the release query, the version file, the size
// probe, the ranges, the run report, and the downloader as the companion
// fetch runs it. The fixture server lists each request that reached it
// through a proxy (its Via header). The user's own settings are written
// where WinHTTP reads them in this prefix (the Connections value of the
// current user's Internet Settings).
#include "net/proxy_resolver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "net/download_helper.h"
#include "net/event_reporter.h"
#include "net/http_client.h"
#include "net/release_client.h"
#include "net_fixture.h"
#include "platform/file_io.h"
#include "platform/registry_key.h"
#include "platform/signal.h"
#include "platform/text.h"

namespace net {
namespace {

using net_test::HttpBase;

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

bool ProxyAvailable() { return !Variable("WEBINSTALLER_NET_PROXY_PORT").empty(); }
std::string ProxyAddress() { return "http://127.0.0.1:" + Variable("WEBINSTALLER_NET_PROXY_PORT"); }
std::string AuthProxyAddress() { return "http://127.0.0.1:" + Variable("WEBINSTALLER_NET_AUTHPROXY_PORT"); }
// The fixture server under the name a bypass list can single out.
std::string LocalhostBase() { return "http://localhost:" + Variable("WEBINSTALLER_NET_HTTP_PORT"); }

#define REQUIRE_PROXY() \
  REQUIRE_FIXTURE();    \
  if (!ProxyAvailable()) GTEST_SKIP() << "tinyproxy is missing (scripts/setup.sh)"

// Requests that reached the fixture server through a proxy whose line holds `mark`.
size_t ProxiedRequests(const std::string& mark) {
  std::string text;
  PostRequest request{HttpBase() + "/via", "", "", kReleaseReplyCap};
  TlsSettings direct;  // the test's own question goes straight to the server
  request.tls = &direct;
  (void)PostForm(request, text);
  size_t count = 0;
  for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + 1)) ++count;
  return count;
}

// The user's settings as they are now (a lookup of the test's own, not the
// run's, which read them when the binary started), or those of `system`.
TlsSettings Through(ProxySettings settings, std::shared_ptr<SystemProxy> system = nullptr) {
  TlsSettings tls;
  if (!system) system = std::make_shared<SystemProxy>();
  tls.proxy = std::make_shared<ProxyResolver>(std::move(settings), std::move(system));
  return tls;
}

// A script that sends everything except "localhost" through `proxy`
// ("DIRECT" for none), served from GET /scripted?key=<key>.
std::string ScriptThrough(const std::string& key, const std::string& proxy, const std::string& options = "") {
  const std::string route = proxy == "DIRECT" ? proxy : "PROXY " + proxy.substr(7);
  net_test::ScriptReply(key,
                        "function FindProxyForURL(url, host) { if (host == \"localhost\") return \"DIRECT\"; "
                        "return \"" +
                            route + "\"; }",
                        options);
  return HttpBase() + "/scripted?key=" + key;
}

ProxySettings Fixed(const std::string& address, const std::string& user = "", const std::string& password = "") {
  return {ProxySettings::Mode::Fixed, address, user, password};
}

// The user's proxy settings in the form WinHTTP reads (the binary
// DefaultConnectionSettings value), restored afterwards.
class ScopedUserProxy {
 public:
  static constexpr DWORD kDirect = 1, kStatic = 2, kScript = 4, kDiscover = 8;
  ScopedUserProxy(DWORD flags, const std::string& proxy, const std::string& bypass, const std::string& script) {
    key_ = platform::RegistryKey::Create(HKEY_CURRENT_USER, kPath, platform::RegistryView::Default);
    DWORD type = 0, size = 0;
    if (::RegQueryValueExW(key_.Get(), kValue, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
      saved_.resize(size);
      had_value_ = ::RegQueryValueExW(key_.Get(), kValue, nullptr, &type, reinterpret_cast<BYTE*>(saved_.data()),
                                      &size) == ERROR_SUCCESS;
    }
    std::string blob;
    Append(blob, 0x46);
    Append(blob, 0);
    Append(blob, flags);
    for (const std::string* text : {&proxy, &bypass, &script}) {
      Append(blob, static_cast<DWORD>(text->size()));
      blob += *text;
    }
    blob.append(32, '\0');
    EXPECT_EQ(::RegSetValueExW(key_.Get(), kValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(blob.data()),
                               static_cast<DWORD>(blob.size())),
              ERROR_SUCCESS);
  }
  ~ScopedUserProxy() {
    if (had_value_) {
      (void)::RegSetValueExW(key_.Get(), kValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(saved_.data()),
                             static_cast<DWORD>(saved_.size()));
    } else {
      (void)::RegDeleteValueW(key_.Get(), kValue);
    }
  }
  ScopedUserProxy(const ScopedUserProxy&) = delete;
  ScopedUserProxy& operator=(const ScopedUserProxy&) = delete;

 private:
  static constexpr const wchar_t* kPath =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
  static constexpr const wchar_t* kValue = L"DefaultConnectionSettings";
  static void Append(std::string& blob, DWORD value) { blob.append(reinterpret_cast<const char*>(&value), 4); }

  platform::RegistryKey key_;
  std::string saved_;
  bool had_value_ = false;
};

TEST(ProxySettingTest, ParsesTheConfiguredValue) {
  const struct {
    const char* value;
    std::optional<ProxySettings::Mode> mode;
    const char* address;
  } cases[] = {
      {"", ProxySettings::Mode::System, ""},
      {"System", ProxySettings::Mode::System, ""},
      {"direct", ProxySettings::Mode::Direct, ""},
      {" NONE ", ProxySettings::Mode::Direct, ""},
      {"http://proxy.corp:3128", ProxySettings::Mode::Fixed, "http://proxy.corp:3128"},
      {"proxy.corp:8080", ProxySettings::Mode::Fixed, "http://proxy.corp:8080"},
      {"socks5://proxy.corp:1080", std::nullopt, ""},
      {"http://", std::nullopt, ""},
      {"http://a b:1", std::nullopt, ""},
      {"http://a;b", std::nullopt, ""},
  };
  for (const auto& c : cases) {
    const std::optional<ProxySettings> parsed = ParseProxySetting(c.value);
    ASSERT_EQ(parsed.has_value(), c.mode.has_value()) << c.value;
    if (!parsed) continue;
    EXPECT_EQ(parsed->mode, *c.mode) << c.value;
    EXPECT_EQ(parsed->address, c.address) << c.value;
  }
}

TEST(ProxySettingTest, ReadsTheUsersListsAsWindowsWritesThem) {
  EXPECT_EQ(ProxyForScheme("proxy:80", "https"), "proxy:80");
  EXPECT_EQ(ProxyForScheme("http=a:1;https=b:2", "https"), "b:2");
  EXPECT_EQ(ProxyForScheme("http=a:1;https=b:2", "http"), "a:1");
  EXPECT_EQ(ProxyForScheme("ftp=c:3", "http"), "");
  EXPECT_EQ(ProxyForScheme("first:1; second:2", "http"), "first:1");
  EXPECT_EQ(ProxyForScheme("", "http"), "");

  EXPECT_TRUE(IsBypassed("<local>", "intranet"));
  EXPECT_FALSE(IsBypassed("<local>", "intranet.corp"));
  EXPECT_TRUE(IsBypassed("*.corp.example;10.*", "Files.CORP.example"));
  EXPECT_TRUE(IsBypassed("*.corp.example;10.*", "10.1.2.3"));
  EXPECT_FALSE(IsBypassed("*.corp.example;10.*", "corp.example.evil"));
  EXPECT_TRUE(IsBypassed("localhost", "localhost"));
  EXPECT_TRUE(IsBypassed("http://localhost", "localhost"));
  EXPECT_FALSE(IsBypassed("", "localhost"));
  EXPECT_FALSE(IsBypassed("local", "localhost"));
}

// Each request kind through a configured proxy, and nothing direct.
TEST(ProxyTransferTest, EveryKindOfRequestGoesThroughTheConfiguredProxy) {
  REQUIRE_PROXY();
  const TlsSettings tls = Through(Fixed(ProxyAddress()));

  // The release query: version file (WinINet), POST, and the reply's probe.
  net_test::ScriptReply("via_version", "ProductVersion=4.5.6\n");
  net_test::ScriptReply("via_release", R"({"data":{"md5":"a","killSwitch":"false","WriteLogSwitch":"true",)"
                                       R"("curNum":"1","download":")" +
                                           HttpBase() +
                                           R"(/files/small.bin?via=probe","download2":"","download3":""}})");
  CReleaseClient client;
  client.SetTlsSettings(tls);
  const ReleaseInfo info = client.QueryReleaseInfo(HttpBase() + "/release?key=via_release", {},
                                                   HttpBase() + "/scripted?key=via_version", "");
  EXPECT_EQ(info.status, ReleaseStatus::Answered());
  EXPECT_EQ(info.productVersion, "4.5.6");
  EXPECT_EQ(info.sources[0].size, 100 * 1024 + 7);
  EXPECT_EQ(ProxiedRequests("GET /scripted?key=via_version"), 1u);
  EXPECT_EQ(ProxiedRequests("POST /release?key=via_release"), 1u);
  EXPECT_EQ(ProxiedRequests("GET /files/small.bin?via=probe"), 1u);

  // The downloader: its size probe and every range.
  const test_support::TempFolder folder;
  CDownloadHelper downloader;
  downloader.SetTlsSettings(tls);
  const DownloadOutcome outcome = downloader.StartDownload(HttpBase() + "/files/mid.bin?via=ranges",
                                                           folder.File(L"mid.bin"), "", 4, nullptr, nullptr);
  EXPECT_TRUE(outcome.Ok());
  EXPECT_EQ(test_support::ReadBytes(folder.File(L"mid.bin")), net_test::DataBytes("mid.bin"));
  EXPECT_EQ(ProxiedRequests("/files/mid.bin?via=ranges"), 5u);  // the probe and four ranges

  // The run report and the companion fetch take the configuration's proxy.
  const net_test::ScopedConfig config({{"Proxy", platform::Utf8ToWide(ProxyAddress())}});
  EXPECT_TRUE(EventReporter::SendBody(HttpBase() + "/report?key=via_report", "uid=x", kReportWaitMs));
  EXPECT_EQ(ProxiedRequests("POST /report?key=via_report"), 1u);
  CDownloadHelper companion;
  companion.SetTlsSettings(TlsSettingsFromConfig());
  EXPECT_TRUE(companion
                  .StartDownload(HttpBase() + "/files/small.bin?via=companion", folder.File(L"companion.exe"), "", 3,
                                 nullptr, nullptr)
                  .Ok());
  EXPECT_EQ(ProxiedRequests("/files/small.bin?via=companion"), 4u);
  // The plain forms read the configuration too.
  EXPECT_EQ(FetchProductVersion(HttpBase() + "/scripted?key=via_version&plain=1"), "4.5.6");
  EXPECT_EQ(ProxiedRequests("GET /scripted?key=via_version&plain=1"), 1u);
}

// Basic authentication: the right password passes, a wrong one and a
// proxy that is down fail at once with their codes.
TEST(ProxyTransferTest, AuthenticatesAndFailsClearly) {
  REQUIRE_PROXY();
  const TlsSettings right = Through(Fixed(AuthProxyAddress(), "fixture", "secret"));
  std::string reply;
  net_test::ScriptReply("via_auth", "fine");
  net_test::ScriptReply("via_auth_version", "ProductVersion=4.5.6\n");
  PostRequest request{HttpBase() + "/release?key=via_auth", "a=1", "", kReleaseReplyCap};
  request.tls = &right;
  EXPECT_EQ(PostForm(request, reply), 0);
  EXPECT_EQ(reply, "fine");
  // WinINet under Wine may reuse a kept-alive direct connection to a server
  // for a later fetch through a proxy: this test's fetches go to a name no
  // earlier fetch of the binary used.
  EXPECT_EQ(FetchProductVersion(LocalhostBase() + "/scripted?key=via_auth_version&auth=right", right), "4.5.6");
  EXPECT_EQ(ProxiedRequests("auth=right"), 1u);

  const TlsSettings wrong = Through(Fixed(AuthProxyAddress(), "fixture", "not-the-password"));
  const DWORD started = ::GetTickCount();
  reply.clear();
  request.tls = &wrong;
  EXPECT_EQ(PostForm(request, reply), 22);  // the proxy's 407
  const SizeProbe probe = ProbeFileSize(HttpBase() + "/files/ten.bin?auth=wrong", "", wrong);
  EXPECT_EQ(probe.size, 0);
  EXPECT_EQ(probe.code, 22);
  EXPECT_EQ(FetchProductVersion(LocalhostBase() + "/scripted?key=via_auth_version&auth=wrong", wrong), "");
  const TlsSettings missing = Through(Fixed(AuthProxyAddress()));
  EXPECT_EQ(ProbeFileSize(HttpBase() + "/files/ten.bin?auth=none", "", missing).code, 22);
  EXPECT_EQ(ProxiedRequests("auth=wrong"), 0u);
  EXPECT_EQ(ProxiedRequests("auth=none"), 0u);

  const TlsSettings down = Through(Fixed("http://127.0.0.1:1"));
  EXPECT_EQ(ProbeFileSize(HttpBase() + "/files/ten.bin?proxy=down", "", down).code, 7);  // CURLE_COULDNT_CONNECT
  CReleaseClient client;
  client.SetTlsSettings(down);
  client.SetRetryWait([](uint32_t) { return true; });
  EXPECT_EQ(ReleaseNumber(client.QueryReleaseInfo(HttpBase() + "/release?key=via_auth", {}, "", "").status), 107);
  const test_support::TempFolder folder;
  CDownloadHelper downloader;
  downloader.SetTlsSettings(down);
  const DownloadOutcome outcome =
      downloader.StartDownload(HttpBase() + "/files/ten.bin", folder.File(L"ten.bin"), "", 2, nullptr, nullptr);
  EXPECT_EQ(outcome.stage, DownloadStage::SizeProbe);
  EXPECT_EQ(outcome.curl_code, 7);
  EXPECT_LT(::GetTickCount() - started, 60000u);  // failures, not hangs
}

// HTTPS goes through the proxy's tunnel: libcurl reads the proxy's reply
// to CONNECT, then every range arrives whole through TLS; with a wrong
// password the proxy refuses the tunnel, so the bytes did come through it.
TEST(ProxyTransferTest, TunnelsHttpsThroughTheProxy) {
  REQUIRE_PROXY();
  const test_support::TempFolder folder;
  TlsSettings right = Through(Fixed(AuthProxyAddress(), "fixture", "secret"));
  right.ca_file = net_test::TestCaFile();
  CDownloadHelper downloader;
  downloader.SetTlsSettings(right);
  const DownloadOutcome outcome = downloader.StartDownload(net_test::HttpsBase("https") + "/files/mid.bin",
                                                           folder.File(L"mid.bin"), "", 4, nullptr, nullptr);
  EXPECT_TRUE(outcome.Ok()) << StageName(outcome.stage) << " " << outcome.curl_code;
  EXPECT_EQ(test_support::ReadBytes(folder.File(L"mid.bin")), net_test::DataBytes("mid.bin"));

  TlsSettings wrong = Through(Fixed(AuthProxyAddress(), "fixture", "not-the-password"));
  wrong.ca_file = net_test::TestCaFile();
  CDownloadHelper refused;
  refused.SetTlsSettings(wrong);
  const DownloadOutcome failed = refused.StartDownload(net_test::HttpsBase("https") + "/files/mid.bin?tunnel=wrong",
                                                       folder.File(L"refused.bin"), "", 4, nullptr, nullptr);
  EXPECT_EQ(failed.stage, DownloadStage::SizeProbe);
  EXPECT_EQ(failed.curl_code, 22);  // the proxy's 407 to CONNECT
  EXPECT_FALSE(platform::FileExists(folder.File(L"refused.bin")));
}

// The user's static proxy with its bypass list: 127.0.0.1 goes through
// it, "localhost" (bypassed) straight to the server; "direct" in the
// configuration overrides the user's proxy; a configured address overrides
// the user's bypass.
TEST(ProxyTransferTest, FollowsTheUsersStaticProxyAndBypassListUnlessConfigured) {
  REQUIRE_PROXY();
  const ScopedUserProxy user(ScopedUserProxy::kStatic | ScopedUserProxy::kDirect, ProxyAddress().substr(7),
                             "localhost;*.bypassed.example", "");
  const TlsSettings system = Through(ProxySettings{});
  EXPECT_EQ(ProbeFileSize(HttpBase() + "/files/ten.bin?user=static", "", system).size, 10);
  EXPECT_EQ(ProbeFileSize(LocalhostBase() + "/files/ten.bin?user=bypassed", "", system).size, 10);
  EXPECT_EQ(FetchProductVersion(LocalhostBase() + "/scripted?key=via_version&user=bypassed", system), "4.5.6");
  EXPECT_EQ(ProxiedRequests("?user=static"), 1u);
  EXPECT_EQ(ProxiedRequests("user=bypassed"), 0u);

  const TlsSettings none = Through(ProxySettings{ProxySettings::Mode::Direct, "", "", ""});
  EXPECT_EQ(ProbeFileSize(HttpBase() + "/files/ten.bin?user=forced_none", "", none).size, 10);
  EXPECT_EQ(FetchProductVersion(HttpBase() + "/scripted?key=via_version&user=forced_none", none), "4.5.6");
  EXPECT_EQ(ProxiedRequests("user=forced_none"), 0u);

  const TlsSettings fixed = Through(Fixed(ProxyAddress()));
  EXPECT_EQ(ProbeFileSize(LocalhostBase() + "/files/ten.bin?user=forced_address", "", fixed).size, 10);
  EXPECT_EQ(ProxiedRequests("user=forced_address"), 1u);
}

// An automatic configuration script (served by the fixture): everything
// through the proxy except "localhost", which the script sends direct.
TEST(ProxyTransferTest, FollowsTheUsersAutomaticConfigurationScript) {
  REQUIRE_PROXY();
  const ScopedUserProxy user(ScopedUserProxy::kScript | ScopedUserProxy::kDirect, "", "",
                             HttpBase() + "/proxy.pac?port=" + Variable("WEBINSTALLER_NET_PROXY_PORT"));
  const TlsSettings system = Through(ProxySettings{});
  EXPECT_EQ(ProbeFileSize(HttpBase() + "/files/ten.bin?pac=proxied", "", system).size, 10);
  EXPECT_EQ(ProbeFileSize(HttpBase() + "/files/small.bin?pac=proxied_again", "", system).size, 100 * 1024 + 7);
  EXPECT_EQ(ProbeFileSize(LocalhostBase() + "/files/ten.bin?pac=direct", "", system).size, 10);
  EXPECT_EQ(ProxiedRequests("pac=proxied"), 2u);
  EXPECT_EQ(ProxiedRequests("pac=direct"), 0u);
}

// The settings and each address's answer are looked up once for the run:
// resolvers made later share them, even after the user's settings change,
// and a new address asks the script the settings named at start.
TEST(ProxyTransferTest, LooksUpTheUsersSettingsOnceForTheRun) {
  REQUIRE_PROXY();
  const ScopedUserProxy user(ScopedUserProxy::kScript | ScopedUserProxy::kDirect, "", "",
                             ScriptThrough("pac_once", ProxyAddress()));
  const auto run = std::make_shared<SystemProxy>();
  EXPECT_EQ(ProbeFileSize(HttpBase() + "/files/ten.bin?once=first", "", Through(ProxySettings{}, run)).size, 10);
  EXPECT_EQ(ProxiedRequests("once=first"), 1u);

  const ScopedUserProxy no_proxy(ScopedUserProxy::kDirect, "", "", "");
  const TlsSettings later = Through(ProxySettings{}, run);
  EXPECT_EQ(ProbeFileSize(HttpBase() + "/files/ten.bin?once=again", "", later).size, 10);
  EXPECT_EQ(ProxiedRequests("once=again"), 1u);

  const ScopedUserProxy static_proxy(ScopedUserProxy::kStatic | ScopedUserProxy::kDirect, ProxyAddress().substr(7), "",
                                     "");
  EXPECT_EQ(ProbeFileSize(LocalhostBase() + "/files/ten.bin?once=new_address", "", later).size, 10);
  EXPECT_EQ(ProxiedRequests("once=new_address"), 0u);  // the script's answer for "localhost"
}

// A script server that does not answer within the script's bound is given
// up: the download goes direct and arrives intact, and no later resolver of
// the run asks that script again, even once it would answer.
TEST(ProxyTransferTest, GivesUpASlowScriptAndGoesDirectForTheRun) {
  REQUIRE_PROXY();
  const ScopedUserProxy user(ScopedUserProxy::kScript | ScopedUserProxy::kDirect, "", "",
                             ScriptThrough("pac_slow", ProxyAddress(), "&delay=20"));
  const auto run = std::make_shared<SystemProxy>();
  const test_support::TempFolder folder;
  CDownloadHelper downloader;
  downloader.SetTlsSettings(Through(ProxySettings{}, run));
  EXPECT_TRUE(
      downloader.StartDownload(HttpBase() + "/files/mid.bin?pac=slow", folder.File(L"mid.bin"), "", 4, nullptr, nullptr)
          .Ok());
  EXPECT_EQ(test_support::ReadBytes(folder.File(L"mid.bin")), net_test::DataBytes("mid.bin"));
  EXPECT_EQ(ProxiedRequests("pac=slow"), 0u);

  (void)ScriptThrough("pac_slow", ProxyAddress());
  EXPECT_EQ(ProbeFileSize(HttpBase() + "/files/small.bin?pac=slow_later", "", Through(ProxySettings{}, run)).size,
            100 * 1024 + 7);
  EXPECT_EQ(ProxiedRequests("pac=slow_later"), 0u);
}

// Discovery, when the settings ask for it: a script it finds routes the
// transfers; one that never ends is given up after its bound for the
// static proxy, as when it finds nothing, and its worker, still waiting,
// holds up neither the lookup's end nor this binary's exit.
TEST(ProxyTransferTest, UsesWhatDiscoveryFindsAndGivesUpDiscoveryThatNeverEnds) {
  REQUIRE_PROXY();
  const std::string script = ScriptThrough("pac_found", ProxyAddress());
  {
    const ScopedUserProxy user(ScopedUserProxy::kDiscover | ScopedUserProxy::kDirect, "", "", "");
    const auto found = std::make_shared<SystemProxy>([script] { return std::optional<std::string>(script); });
    EXPECT_EQ(ProbeFileSize(HttpBase() + "/files/ten.bin?wpad=found", "", Through(ProxySettings{}, found)).size, 10);
    EXPECT_EQ(ProxiedRequests("wpad=found"), 1u);
    const auto nothing = std::make_shared<SystemProxy>([] { return std::optional<std::string>(); });
    EXPECT_EQ(ProbeFileSize(HttpBase() + "/files/ten.bin?wpad=none", "", Through(ProxySettings{}, nothing)).size, 10);
    EXPECT_EQ(ProxiedRequests("wpad=none"), 0u);
  }

  const ScopedUserProxy user(ScopedUserProxy::kDiscover | ScopedUserProxy::kStatic | ScopedUserProxy::kDirect,
                             ProxyAddress().substr(7), "", "");
  auto never = std::make_shared<platform::Signal>();  // never set: the worker outlives the test
  const TlsSettings tls = Through(ProxySettings{}, std::make_shared<SystemProxy>([never] {
                                    (void)::WaitForSingleObject(never->Handle(), INFINITE);
                                    return std::optional<std::string>();
                                  }));
  const test_support::TempFolder folder;
  CDownloadHelper downloader;
  downloader.SetTlsSettings(tls);
  EXPECT_TRUE(
      downloader
          .StartDownload(HttpBase() + "/files/mid.bin?wpad=never", folder.File(L"mid.bin"), "", 4, nullptr, nullptr)
          .Ok());
  EXPECT_EQ(test_support::ReadBytes(folder.File(L"mid.bin")), net_test::DataBytes("mid.bin"));
  EXPECT_EQ(ProxiedRequests("/files/mid.bin?wpad=never"), 5u);  // the probe and four ranges
}

}  // namespace
}  // namespace net
