// The release query against the scripted release endpoint: request body and
// retries, every status of the reply check, the fields it keeps, the version
// file, and the completion from the configuration.
#include "net/release_client.h"

#include <gtest/gtest.h>

#include <ctime>
#include <optional>
#include <vector>

#include "net/http_client.h"
#include "net_fixture.h"
#include "platform/windows_api.h"
#include "platform/text.h"
#include "startup/launch_parameters.h"
#include "startup/system_probes.h"

namespace net {
namespace {

using net_test::HttpBase;

std::string Reply(const std::string& data_members) { return "{\"data\":{" + data_members + "}}"; }

// The pauses between attempts, recorded instead of waited (UI thread only).
std::vector<uint32_t> g_pauses;
bool NoPause(uint32_t milliseconds) {
  g_pauses.push_back(milliseconds);
  return true;
}

// An HTTP date `seconds` from now, URL-encoded for the fixture's query.
std::string EncodedDateIn(int seconds) {
  const time_t when = std::time(nullptr) + seconds;
  std::tm parts{};
  (void)gmtime_s(&parts, &when);
  char text[64];
  (void)std::strftime(text, sizeof text, "%a,%%20%d%%20%b%%20%Y%%20%H:%M:%S%%20GMT", &parts);
  return text;
}

const std::string kAllMembers = R"("md5":"ABC123","killSwitch":"false","WriteLogSwitch":"true","curNum":"5",)"
                                R"("download":"","download2":"","download3":"")";

struct StatusCase {
  const char* name;
  std::string reply;
  ReleaseCause cause;
};

TEST(ReleaseReplyTest, ChecksTheMembersInOrder) {
  const StatusCase cases[] = {
      {"complete", Reply(kAllMembers), ReleaseCause::None},
      {"leading whitespace", " \r\n\t" + Reply(kAllMembers), ReleaseCause::None},
      {"garbage", "<html>oops</html>", ReleaseCause::NotJson},
      {"truncated", Reply(kAllMembers).substr(0, 40), ReleaseCause::NotJson},
      {"no data", R"({"Data2":{}})", ReleaseCause::NoData},
      {"capital names",
       R"({"DATA":{"MD5":"a","KILLSWITCH":"x","writelogswitch":"y","CURNUM":"1","DOWNLOAD":"","DOWNLOAD2":"","DOWNLOAD3":""}})",
       ReleaseCause::None},
      {"md5 missing", Reply(R"("killSwitch":"false")"), ReleaseCause::NoMd5},
      {"md5 a number", Reply(R"("md5":5,"killSwitch":"false")"), ReleaseCause::NoMd5},
      {"kill switch literal", Reply(R"("md5":"a","killSwitch":true)"), ReleaseCause::NoKillSwitch},
      {"write log missing", Reply(R"("md5":"a","killSwitch":"true")"), ReleaseCause::NoWriteLogSwitch},
      {"curNum a number", Reply(R"("md5":"a","killSwitch":"t","WriteLogSwitch":"t","curNum":5)"),
       ReleaseCause::NoCurNum},
      {"download missing", Reply(R"("md5":"a","killSwitch":"t","WriteLogSwitch":"t","curNum":"5")"),
       ReleaseCause::NoDownload},
      {"download2 null",
       Reply(R"("md5":"a","killSwitch":"t","WriteLogSwitch":"t","curNum":"5","download":"","download2":null)"),
       ReleaseCause::NoDownload2},
      {"download3 array",
       Reply(
           R"("md5":"a","killSwitch":"t","WriteLogSwitch":"t","curNum":"5","download":"","download2":"","download3":[])"),
       ReleaseCause::NoDownload3},
      {"too deep", std::string(100, '[') + std::string(100, ']'), ReleaseCause::NotJson},
  };
  for (const StatusCase& c : cases) {
    ReleaseInfo info;
    EXPECT_EQ(ReadReleaseReply(c.reply, info).cause, c.cause) << c.name;
  }
}

TEST(ReleaseReplyTest, KeepsTheFieldsOfTheReply) {
  ReleaseInfo info;
  ASSERT_EQ(ReadReleaseReply(Reply(R"("md5":"ABC","killSwitch":"true","WriteLogSwitch":"True","curNum":"5",)"
                                   R"("download":"http://h/a/setup.exe","download2":"d2","download3":"d3",)"
                                   R"("tuijian":"http://h/c.exe","url":"http://h/ads","referNumber":"77","testid":9)"),
                             info),
            ReleaseStatus::Answered());
  ReleaseInfo with_sha256;
  ASSERT_EQ(ReadReleaseReply(Reply(kAllMembers + R"(,"sha256":"AB12")"), with_sha256), ReleaseStatus::Answered());
  EXPECT_EQ(with_sha256.sha256, "AB12");
  ReleaseInfo sha256_number;
  ASSERT_EQ(ReadReleaseReply(Reply(kAllMembers + R"(,"sha256":12)"), sha256_number), ReleaseStatus::Answered());
  EXPECT_EQ(sha256_number.sha256, "");
  EXPECT_EQ(info.md5, "ABC");
  EXPECT_EQ(info.sha256, "");  // optional: older servers send none
  EXPECT_TRUE(info.killSwitch);
  EXPECT_FALSE(info.writeLogSwitch);  // exactly "true" counts
  EXPECT_EQ(info.sources[0].url, "http://h/a/setup.exe");
  EXPECT_EQ(info.sources[1].url, "d2");
  EXPECT_EQ(info.sources[2].url, "d3");
  EXPECT_EQ(info.tuijian, "http://h/c.exe");
  EXPECT_EQ(info.url, "http://h/ads");
  EXPECT_EQ(info.referNumber, "77");
  EXPECT_EQ(info.testid, "");  // not a string
}

TEST(ReleaseReplyTest, ProbesOnlyUrlsWithASlashAfterTheFirstCharacter) {
  EXPECT_TRUE(ShouldProbeDownloadUrl("http://h/a.exe"));
  EXPECT_TRUE(ShouldProbeDownloadUrl("a/"));
  EXPECT_FALSE(ShouldProbeDownloadUrl("/a.exe"));
  EXPECT_FALSE(ShouldProbeDownloadUrl("noslash"));
  EXPECT_FALSE(ShouldProbeDownloadUrl(""));
  EXPECT_EQ(DownloadFileName("http://h/a/setup.exe"), "setup.exe");
  EXPECT_EQ(DownloadFileName("http://h/a/"), "");
}

TEST(ReleaseQueryTest, AcceptedReplyIsProbedAndKeepsItsKillSwitch) {
  REQUIRE_FIXTURE();
  const std::string file = HttpBase() + "/files/small.bin";
  net_test::ScriptReply("query_ok", Reply(R"("md5":"abc","killSwitch":"false","WriteLogSwitch":"true","curNum":"5",)"
                                          R"("download":")" +
                                          file + R"(","download2":"/rooted.exe","download3":"")"));
  net_test::ScriptReply("query_ok_version", "ProductVersion=3.2.1\n");
  CReleaseClient client;
  const ReleaseInfo info =
      client.QueryReleaseInfo(HttpBase() + "/release?key=query_ok", {{"pid", "7"}, {"lang", "en&x=1"}},
                              HttpBase() + "/scripted?key=query_ok_version", "");
  EXPECT_EQ(info.status, ReleaseStatus::Answered());
  EXPECT_FALSE(info.killSwitch);
  EXPECT_EQ(info.sources[0].size, 100 * 1024 + 7);
  EXPECT_EQ(info.sources[0].file_name, "small.bin");
  EXPECT_EQ(info.sources[1].size, 0);  // "/rooted.exe" is neither probed nor named
  EXPECT_EQ(info.sources[1].file_name, "");
  EXPECT_EQ(info.productVersion, "3.2.1");
  EXPECT_EQ(info.requestUrl, HttpBase() + "/release?key=query_ok?lang=en%26x%3D1&pid=7");
  const auto recorded = net_test::Recorded("query_ok");
  ASSERT_EQ(recorded.size(), 1u);
  EXPECT_EQ(recorded[0].second, "lang=en%26x%3D1&pid=7");  // a value cannot add a field
}

TEST(ReleaseQueryTest, ThreeAttemptsWithARetryTagThenTheBandCode) {
  REQUIRE_FIXTURE();
  net_test::ScriptReply("query_404", "<html>gone</html>", "&status=404");
  CReleaseClient client;
  const ReleaseInfo info = client.QueryReleaseInfo(HttpBase() + "/release?key=query_404", {}, "", "");
  EXPECT_EQ(ReleaseNumber(info.status), 122);
  const auto recorded = net_test::Recorded("query_404");
  ASSERT_EQ(recorded.size(), 3u);
  EXPECT_EQ(recorded[0].second, "");  // all values empty: an empty body
  for (size_t i = 1; i < 3; ++i) {
    const std::string& body = recorded[i].second;
    ASSERT_EQ(body.rfind("&tmpTime_=", 0), 0u) << body;
    const int tag = std::stoi(body.substr(10));
    EXPECT_TRUE(tag >= 0 && tag <= 999) << body;
  }
}

TEST(ReleaseQueryTest, RecoversOnTheThirdAttempt) {
  REQUIRE_FIXTURE();
  net_test::ScriptReply("query_flaky", Reply(kAllMembers), "&fail=2");
  CReleaseClient client;
  const ReleaseInfo info = client.QueryReleaseInfo(HttpBase() + "/release?key=query_flaky", {{"a", "1"}}, "", "");
  EXPECT_EQ(info.status, ReleaseStatus::Answered());
  EXPECT_EQ(net_test::Recorded("query_flaky").size(), 3u);
}

TEST(ReleaseQueryTest, RetriesBackOffWithJitter) {
  EXPECT_EQ(RetryBackoffMs(1, 0.0), 500u);
  EXPECT_EQ(RetryBackoffMs(1, 0.5), 1000u);
  EXPECT_EQ(RetryBackoffMs(1, 1.0), 1500u);
  EXPECT_EQ(RetryBackoffMs(2, 0.0), 1000u);
  EXPECT_EQ(RetryBackoffMs(2, 1.0), 3000u);
  EXPECT_EQ(RetryBackoffMs(2, 7.0), 3000u);  // a draw out of range is held to it
  EXPECT_EQ(RetryBackoffMs(1, -1.0), 500u);

  REQUIRE_FIXTURE();
  net_test::ScriptReply("backoff_500", "x", "&status=500");
  g_pauses.clear();
  CReleaseClient client;
  client.SetRetryWait(&NoPause);
  EXPECT_EQ(ReleaseNumber(client.QueryReleaseInfo(HttpBase() + "/release?key=backoff_500", {}, "", "").status), 122);
  ASSERT_EQ(g_pauses.size(), 2u);  // between three attempts, none after the last
  EXPECT_TRUE(g_pauses[0] >= 500 && g_pauses[0] <= 1500) << g_pauses[0];
  EXPECT_TRUE(g_pauses[1] >= 1000 && g_pauses[1] <= 3000) << g_pauses[1];
}

// A 503's Retry-After sets the pause (seconds or a date, at most 30 s);
// garbage, or the header on another status, leaves the back-off.
TEST(ReleaseQueryTest, HonoursRetryAfterOnABusyServer) {
  REQUIRE_FIXTURE();
  const struct {
    const char* key;
    std::string retry_after;
    int status;
    uint32_t low, high;
  } cases[] = {
      {"busy_seconds", "4", 503, 4000, 4000},
      {"busy_date", EncodedDateIn(20), 503, 17000, 20000},
      {"busy_huge", "3600", 503, 30000, 30000},
      {"busy_garbage", "soon", 503, 500, 1500},
      {"busy_past", EncodedDateIn(-60), 503, 500, 1500},
      {"busy_not_503", "20", 500, 500, 1500},
  };
  for (const auto& c : cases) {
    net_test::ScriptReply(c.key, Reply(kAllMembers),
                          "&fail=1&failstatus=" + std::to_string(c.status) + "&retryafter=" + c.retry_after);
    g_pauses.clear();
    CReleaseClient client;
    client.SetRetryWait(&NoPause);
    const ReleaseInfo info = client.QueryReleaseInfo(HttpBase() + "/release?key=" + c.key, {}, "", "");
    EXPECT_EQ(info.status, ReleaseStatus::Answered()) << c.key;
    ASSERT_EQ(g_pauses.size(), 1u) << c.key;
    EXPECT_TRUE(g_pauses[0] >= c.low && g_pauses[0] <= c.high) << c.key << ": " << g_pauses[0];
  }
}

// The real pause pumps messages and ends at once on a quit: no further
// attempt, the quit kept for the outer loop.
TEST(ReleaseQueryTest, AQuitEndsThePauseBetweenAttempts) {
  REQUIRE_FIXTURE();
  net_test::ScriptReply("busy_quit", Reply(kAllMembers), "&fail=3&failstatus=503&retryafter=30");
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR, DWORD) { ::PostQuitMessage(7); });
  const ULONGLONG started = ::GetTickCount64();
  CReleaseClient client;
  const ReleaseInfo info = client.QueryReleaseInfo(HttpBase() + "/release?key=busy_quit", {}, "", "");
  ::KillTimer(nullptr, timer);
  EXPECT_LT(::GetTickCount64() - started, 15000u);  // not the 30 s the server asked for
  EXPECT_EQ(ReleaseNumber(info.status), 142);
  EXPECT_EQ(test_support::TakeQueuedQuit(), std::optional<WPARAM>(7u));
  EXPECT_EQ(net_test::Recorded("busy_quit").size(), 1u);
}

TEST(ReleaseQueryTest, StatusesOfBrokenReplies) {
  REQUIRE_FIXTURE();
  const struct {
    const char* key;
    std::string body;
    std::string options;
    int32_t number;
  } cases[] = {
      {"broken_empty", "", "", 2},
      {"broken_garbage", "\x01\x02garbage", "", 3},
      {"broken_type", Reply(R"("md5":"a","killSwitch":true)"), "", 7},
      {"broken_500", "x", "&status=500", 122},
      {"broken_big", std::string(kReleaseReplyCap + 10, ' '), "", 123},
  };
  for (const auto& c : cases) {
    net_test::ScriptReply(c.key, c.body, c.options);
    CReleaseClient client;
    client.SetRetryWait(&NoPause);
    EXPECT_EQ(ReleaseNumber(client.QueryReleaseInfo(HttpBase() + "/release?key=" + c.key, {}, "", "").status), c.number)
        << c.key;
  }
  CReleaseClient unreachable;
  unreachable.SetRetryWait(&NoPause);
  EXPECT_EQ(ReleaseNumber(unreachable.QueryReleaseInfo("http://127.0.0.1:1/release", {}, "", "").status), 107);
}

// The UI thread keeps dispatching while the query waits for a slow server.
TEST(ReleaseQueryTest, PumpsMessagesWhileWaiting) {
  REQUIRE_FIXTURE();
  net_test::ScriptReply("query_slow", Reply(kAllMembers), "&delay=1");
  static int ticks = 0;
  ticks = 0;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) { ++ticks; });
  CReleaseClient client;
  const ReleaseInfo info = client.QueryReleaseInfo(HttpBase() + "/release?key=query_slow", {}, "", "");
  ::KillTimer(nullptr, timer);
  EXPECT_EQ(info.status, ReleaseStatus::Answered());
  EXPECT_GT(ticks, 0);
}

TEST(ReleaseQueryTest, AQuitRequestCancelsTheQueryAndIsKept) {
  REQUIRE_FIXTURE();
  net_test::ScriptReply("query_quit", Reply(kAllMembers), "&delay=5");
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR, DWORD) { ::PostQuitMessage(4); });
  CReleaseClient client;
  const ReleaseInfo info = client.QueryReleaseInfo(HttpBase() + "/release?key=query_quit", {}, "", "");
  ::KillTimer(nullptr, timer);
  EXPECT_EQ(ReleaseNumber(info.status), 142);  // aborted by the cancel flag, no further attempts
  EXPECT_EQ(test_support::TakeQueuedQuit(), std::optional<WPARAM>(4u));
  EXPECT_EQ(net_test::Recorded("query_quit").size(), 1u);
}

// A version file that trickles in (ten bytes a second: minutes for the
// whole) must not hold the quit: the cancel reaches the fetch between reads.
TEST(ReleaseQueryTest, AQuitRequestEndsATricklingVersionFile) {
  REQUIRE_FIXTURE();
  net_test::ScriptReply("query_trickle", Reply(kAllMembers));
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR, DWORD) { ::PostQuitMessage(5); });
  CReleaseClient client;
  const ReleaseInfo info =
      client.QueryReleaseInfo(HttpBase() + "/release?key=query_trickle", {}, HttpBase() + "/files/drip.bin?drip=1", "");
  ::KillTimer(nullptr, timer);
  EXPECT_EQ(ReleaseNumber(info.status), 142);
  EXPECT_EQ(info.productVersion, "");
  EXPECT_EQ(test_support::TakeQueuedQuit(), std::optional<WPARAM>(5u));
}

// The version file's server takes the connection and never answers (a
// connect that takes its full time-out): closing the window ends the wait
// at once, and the attempt's worker finishes later on its own state, after
// the client is gone.
std::string g_hold_key;  // UI thread only

TEST(ReleaseQueryTest, AQuitDuringTheVersionFileConnectEndsTheWaitAtOnce) {
  REQUIRE_FIXTURE();
  g_hold_key = platform::WideToAnsi(test_support::UniqueName(L"hold"));
  net_test::ScriptReply(g_hold_key, Reply(kAllMembers));
  // The quit comes once the worker waits on the held connection.
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR id, DWORD) {
    if (net_test::Held(g_hold_key) < 1) return;
    ::KillTimer(nullptr, id);
    ::PostQuitMessage(6);
  });
  ReleaseInfo info;
  {
    CReleaseClient client;
    info = client.QueryReleaseInfo(HttpBase() + "/release?key=" + g_hold_key, {},
                                   HttpBase() + "/hold?key=" + g_hold_key, "");
  }
  ::KillTimer(nullptr, timer);
  EXPECT_EQ(ReleaseNumber(info.status), 142);
  EXPECT_EQ(test_support::TakeQueuedQuit(), std::optional<WPARAM>(6u));
  // The wait ended while the worker was still inside the version fetch.
  EXPECT_EQ(net_test::Held(g_hold_key), 1);
  EXPECT_TRUE(net_test::Recorded(g_hold_key).empty());
  // Let the server answer: the worker goes on without the client, and ends.
  net_test::ReleaseHold(g_hold_key);
  for (int i = 0; i < 100 && net_test::Held(g_hold_key) != 0; ++i) ::Sleep(50);
  EXPECT_EQ(net_test::Held(g_hold_key), 0);
}

// The check's inputs come from the configuration (the edition's keys for
// the VEXA line) and the command line, read once.
TEST(ReleaseCheckTest, SettingsComeFromTheStores) {
  const net_test::ScopedConfig config({
      {"DownloadInfoUrl", L"http://h/release"},
      {"DownloadInfoUrlVexa", L"http://h/release-vexa"},
      {"UpdateIni", L"http://h/version.ini"},
      {"ProductID", L"11"},
      {"ProductIDVexa", L"12"},
      {"RecommendProductID", L"22"},
      {"DownloadUrl", L"http://h/setup.exe"},
      {"URLMD5", L"configmd5"},
      {"URLSHA256", L"configsha256"},
      {"fileRealName", L"Product_setup.exe"},
  });
  startup::Parameters().Clear();
  startup::Parameters().Parse(L"DOWNLOAD_VERSION=trial ||| exeNumber=123");
  const ReleaseCheckSettings standard = ReleaseCheckSettingsFromStores();
  startup::Parameters().Clear();
  startup::Parameters().Parse(L"DOWNLOAD_VERSION=Vexa_trial");
  const ReleaseCheckSettings vexa = ReleaseCheckSettingsFromStores();
  startup::Parameters().Clear();
  EXPECT_EQ(standard.service_url, "http://h/release");
  EXPECT_EQ(standard.version_url, "http://h/version.ini");
  EXPECT_EQ(standard.product_id, "11");
  EXPECT_EQ(standard.recommend_product_id, "22");
  EXPECT_EQ(standard.download_version, "trial");
  EXPECT_EQ(standard.exe_number, "123");
  EXPECT_EQ(standard.pc_version, startup::EditionWord());
  EXPECT_EQ(standard.download_url, "http://h/setup.exe");
  EXPECT_EQ(standard.md5, "configmd5");
  EXPECT_EQ(standard.sha256, "configsha256");
  EXPECT_EQ(standard.file_name, "Product_setup.exe");
  EXPECT_EQ(vexa.service_url, "http://h/release-vexa");
  EXPECT_EQ(vexa.product_id, "12");
  EXPECT_EQ(vexa.download_version, "Vexa_trial");
  EXPECT_EQ(vexa.exe_number, "");
}

ReleaseCheckSettings CheckSettings(const std::string& service_url) {
  ReleaseCheckSettings settings;
  settings.service_url = service_url;
  settings.product_id = "11";
  settings.recommend_product_id = "22";
  settings.download_version = "trial";
  settings.exe_number = "123";
  settings.pc_version = "home";
  return settings;
}

TEST(ReleaseCheckTest, CompletesFromTheConfiguration) {
  REQUIRE_FIXTURE();
  net_test::ScriptReply("check", Reply(R"("md5":"fromreply","killSwitch":"true","WriteLogSwitch":"false","curNum":"5",)"
                                       R"("download":"","download2":"alt2","download3":"")"));
  ReleaseCheckSettings settings = CheckSettings(HttpBase() + "/release?key=check");
  settings.download_url = HttpBase() + "/files/mid.bin";
  settings.md5 = "configmd5";
  settings.sha256 = "configsha256";
  settings.file_name = "Product_setup.exe";
  const ReleaseInfo info = CheckReleaseFromConfiguration(settings, "English");
  EXPECT_EQ(info.status, ReleaseStatus::Answered());
  EXPECT_TRUE(info.killSwitch);  // the reply's value, not forced
  EXPECT_FALSE(info.writeLogSwitch);
  EXPECT_EQ(info.sources[0].url, HttpBase() + "/files/mid.bin");
  EXPECT_EQ(info.sources[0].size, 3 * 1024 * 1024 + 13);
  EXPECT_EQ(info.md5, "configmd5");
  EXPECT_EQ(info.sha256, "configsha256");
  EXPECT_EQ(info.sources[0].file_name, "Product_setup.exe");
  EXPECT_EQ(info.sources[1].url, "alt2");
  const auto recorded = net_test::Recorded("check");
  ASSERT_EQ(recorded.size(), 1u);
  EXPECT_EQ(recorded[0].second, "exeNumber=123&lang=English&pcVersion=home&pid=11&tid=22&version=trial");
}

// A pinned MD5 alone also sets aside the reply's SHA-256: it describes the
// file the server names, not the pinned one.
TEST(ReleaseCheckTest, AConfiguredDigestSetsAsideBothDigestsOfTheReply) {
  REQUIRE_FIXTURE();
  net_test::ScriptReply("check_pinned", Reply(R"("md5":"replymd5","sha256":"replysha","killSwitch":"true",)"
                                              R"("WriteLogSwitch":"false","curNum":"5",)"
                                              R"("download":"","download2":"","download3":"")"));
  const struct {
    const char* md5;
    const char* sha256;
    const char* expected_md5;
    const char* expected_sha256;
  } cases[] = {
      {"configmd5", "", "configmd5", ""},
      {"", "configsha", "", "configsha"},
      {"", "", "replymd5", "replysha"},
  };
  for (const auto& c : cases) {
    ReleaseCheckSettings settings = CheckSettings(HttpBase() + "/release?key=check_pinned");
    settings.md5 = c.md5;
    settings.sha256 = c.sha256;
    const ReleaseInfo info = CheckReleaseFromConfiguration(settings, "English");
    EXPECT_EQ(info.status, ReleaseStatus::Answered());
    EXPECT_EQ(info.md5, c.expected_md5);
    EXPECT_EQ(info.sha256, c.expected_sha256);
  }
}

// Empty configuration values leave the server's answer standing, and a kill
// switch of "false" stays false through the completion: the running product
// is then asked to close, not ended.
TEST(ReleaseCheckTest, EmptyConfigurationValuesKeepTheReply) {
  REQUIRE_FIXTURE();
  const std::string file = HttpBase() + "/files/small.bin";
  net_test::ScriptReply(
      "check_empty",
      Reply(R"("md5":"fromreply","sha256":"replysha","killSwitch":"false","WriteLogSwitch":"true","curNum":"5",)"
            R"("download":")" +
            file + R"(","download2":"","download3":"")"));
  const ReleaseInfo info =
      CheckReleaseFromConfiguration(CheckSettings(HttpBase() + "/release?key=check_empty"), "English");
  EXPECT_EQ(info.status, ReleaseStatus::Answered());
  EXPECT_FALSE(info.killSwitch);
  EXPECT_EQ(info.sources[0].url, file);
  EXPECT_EQ(info.sources[0].size, 100 * 1024 + 7);
  EXPECT_EQ(info.md5, "fromreply");
  EXPECT_EQ(info.sha256, "replysha");
  EXPECT_EQ(info.sources[0].file_name, "small.bin");
}

// A check whose every attempt failed is a failure, unless the configuration
// names a download to stand in for the server's: the number stays the one
// of the last attempt (a server error, a refused connection).
TEST(ReleaseCheckTest, AFailedQueryWithoutAConfiguredDownloadStaysFailed) {
  REQUIRE_FIXTURE();
  net_test::ScriptReply("check_500", "x", "&status=500");
  const struct {
    const char* name;
    std::string service_url;
    int32_t number;
  } failing[] = {
      {"server error", HttpBase() + "/release?key=check_500", 122},
      {"refused", "http://127.0.0.1:1/release", 107},
  };
  for (const auto& c : failing) {
    ReleaseCheckSettings settings = CheckSettings(c.service_url);
    settings.md5 = "configmd5";
    settings.file_name = "Product_setup.exe";
    const ReleaseInfo info = CheckReleaseFromConfiguration(settings, "English");
    EXPECT_FALSE(info.status.Ok()) << c.name;
    EXPECT_EQ(ReleaseNumber(info.status), c.number) << c.name;
    EXPECT_EQ(info.sources[0].url, "") << c.name;
  }
  // A configured download stands in for the failed server: the check succeeds.
  ReleaseCheckSettings settings = CheckSettings(HttpBase() + "/release?key=check_500");
  settings.download_url = HttpBase() + "/files/small.bin";
  settings.md5 = "configmd5";
  const ReleaseInfo info = CheckReleaseFromConfiguration(settings, "English");
  EXPECT_EQ(info.status, ReleaseStatus::Answered());
  EXPECT_EQ(info.sources[0].url, HttpBase() + "/files/small.bin");
  EXPECT_EQ(info.sources[0].size, 100 * 1024 + 7);
  EXPECT_EQ(info.md5, "configmd5");
}
}  // namespace
}  // namespace net
