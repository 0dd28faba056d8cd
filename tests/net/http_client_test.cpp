// The HTTP calls against the real fixture server: form bodies, result codes,
// body caps, protocols, TLS verification, the size probe and the version file.
#include "net/http_client.h"

#include <gtest/gtest.h>

#include "net_fixture.h"
#include "platform/text.h"
#include "startup/log.h"

namespace net {
namespace {

using net_test::HttpBase;
using net_test::HttpsBase;

TEST(FormEncodingTest, EncodesOnlyWhatCouldChangeTheFields) {
  const struct {
    std::string value;
    std::string expected;
  } cases[] = {
      {"plain-value_1.2", "plain-value_1.2"},
      {"a b/c?d", "a b/c?d"},  // ordinary values go out unchanged
      {"x&evil=1", "x%26evil%3D1"},
      {"1+1", "1%2B1"},
      {"100%", "100%25"},
      {"a#frag", "a%23frag"},
      {std::string("a\nb\rc\0d\x7f", 8), "a%0Ab%0Dc%00d%7F"},
      {"\xC3\xA9", "\xC3\xA9"},
  };
  for (const auto& c : cases) EXPECT_EQ(EncodeFormValue(c.value), c.expected) << c.value;
}

TEST(FormEncodingTest, BuildsFieldsInKeyOrderSkippingEmptyValues) {
  EXPECT_EQ(BuildFormFields({{"version", "1"}, {"exeNumber", "9"}, {"lang", ""}, {"pid", "a&b"}}),
            "exeNumber=9&pid=a%26b&version=1");
  EXPECT_EQ(BuildFormFields({{"a", ""}, {"b", ""}}), "");  // no trailing '&' to drop
  EXPECT_EQ(BuildFormFields({}), "");
}

TEST(VersionFileTest, ParsesTheProductVersionLine) {
  const struct {
    const char* body;
    const char* expected;
  } cases[] = {
      {"ProductVersion=1.2.3\n", "1.2.3"},
      {"[Main]\r\n; comment\r\nProduct Version = '2.0'\r\n", "2.0"},
      {"productversion=\"3.1\"", "3.1"},
      {"PRODUCTVERSION = 4 \nProductVersion=5", "4"},
      {"Other=1\nno equals here\n", ""},
      {"ProductVersion=\"", "\""},
      {"ProductVersion=''", ""},
      {"ProductVersion=a=b", "a=b"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseVersionFile(c.body), c.expected) << c.body;
}

TEST(VersionFileTest, SecureOnlyForTheTwoExactSpellings) {
  EXPECT_TRUE(IsSecureVersionUrl("https://x/v.ini"));
  EXPECT_TRUE(IsSecureVersionUrl("HTTPS://x/v.ini"));
  EXPECT_FALSE(IsSecureVersionUrl("Https://x/v.ini"));
  EXPECT_FALSE(IsSecureVersionUrl("http://x/v.ini"));
  EXPECT_FALSE(IsSecureVersionUrl("https:/"));
}

TEST(VersionFileTest, FetchesThroughTheSystemHttpStack) {
  REQUIRE_FIXTURE();
  net_test::ScriptReply("version1", "[Update]\r\nProduct Version = '7.1.0'\r\n");
  EXPECT_EQ(FetchProductVersion(HttpBase() + "/scripted?key=version1"), "7.1.0");
  EXPECT_EQ(FetchProductVersion(""), "");
  net_test::ScriptReply("version_big", std::string(kVersionFileCap + 1, 'x'));
  EXPECT_EQ(FetchProductVersion(HttpBase() + "/scripted?key=version_big"), "");
  EXPECT_EQ(FetchProductVersion("http://127.0.0.1:1/none.ini"), "");
  // Cut inside the value: a partial file must not give a shorter version.
  net_test::ScriptReply("version_cut", "ProductVersion=7.10.2\r\n[More]\r\n", "&cut=19");
  EXPECT_EQ(FetchProductVersion(HttpBase() + "/scripted?key=version_cut"), "");
  // An error page is not the version file, whatever it says.
  net_test::ScriptReply("version_404", "ProductVersion=6.6\r\n", "&status=404");
  EXPECT_EQ(FetchProductVersion(HttpBase() + "/scripted?key=version_404"), "");
}

TEST(PostFormTest, PostsTheBodyAndReportsBandCodes) {
  REQUIRE_FIXTURE();
  net_test::ScriptReply("post_ok", "{\"data\":1}");
  std::string reply;
  EXPECT_EQ(PostForm({HttpBase() + "/release?key=post_ok", "a=1&b=2", ""}, reply), 0);
  EXPECT_EQ(reply, "{\"data\":1}");
  std::string with_agent;
  EXPECT_EQ(PostForm({HttpBase() + "/release?key=post_ok", "c=3", "agent/1"}, with_agent), 0);
  const auto recorded = net_test::Recorded("post_ok");
  ASSERT_EQ(recorded.size(), 2u);
  EXPECT_EQ(recorded[0], std::make_pair(std::string("-"), std::string("a=1&b=2")));  // no User-Agent at all
  EXPECT_EQ(recorded[1], std::make_pair(std::string("agent/1"), std::string("c=3")));

  for (const char* status : {"404", "500"}) {
    net_test::ScriptReply(std::string("post_") + status, "<html>error</html>", std::string("&status=") + status);
    std::string error_reply;
    EXPECT_EQ(PostForm({HttpBase() + "/release?key=post_" + status, "x=1", ""}, error_reply), 22) << status;
    EXPECT_EQ(error_reply, "") << "an error page is not a reply";
  }
}

TEST(PostFormTest, CapsTheReplyAndRefusesOtherProtocols) {
  REQUIRE_FIXTURE();
  net_test::ScriptReply("post_big", std::string(kReleaseReplyCap + 1, 'x'));
  std::string reply;
  EXPECT_EQ(PostForm({HttpBase() + "/release?key=post_big", "x=1", ""}, reply), 23);
  EXPECT_LE(reply.size(), kReleaseReplyCap);

  std::string other;
  EXPECT_EQ(PostForm({"file:///c:/windows/win.ini", "x=1", ""}, other), 1);  // CURLE_UNSUPPORTED_PROTOCOL
  EXPECT_EQ(PostForm({"ftp://127.0.0.1/x", "x=1", ""}, other), 1);
  EXPECT_EQ(other, "");
}

TEST(SizeProbeTest, AcceptsOnlyASuccessfulAnswerWithALength) {
  REQUIRE_FIXTURE();
  const std::string file = HttpBase() + "/files/small.bin";
  const SizeProbe ok = ProbeFileSize(file, "");
  EXPECT_EQ(ok.size, 100 * 1024 + 7);
  EXPECT_EQ(ok.code, 0);

  const SizeProbe no_length = ProbeFileSize(file + "?nolength=1", "");
  EXPECT_EQ(no_length.size, 0);
  EXPECT_EQ(no_length.code, 0);

  for (const char* status : {"404", "500"}) {
    const SizeProbe error = ProbeFileSize(file + "?status=" + status, "");
    EXPECT_EQ(error.size, 0) << status;
    EXPECT_EQ(error.code, 22) << status;  // an error page's length is not the file's
  }
  const SizeProbe redirected = ProbeFileSize(HttpBase() + "/redirect?to=/files/ten.bin", "");
  EXPECT_EQ(redirected.size, 10);
  const SizeProbe to_file = ProbeFileSize(HttpBase() + "/redirect?to=ftp://127.0.0.1/x", "");
  EXPECT_EQ(to_file.size, 0);
  EXPECT_EQ(to_file.code, 1);                                       // redirects stay on http and https
  EXPECT_EQ(ProbeFileSize("http://127.0.0.1:1/none", "").code, 7);  // CURLE_COULDNT_CONNECT
  EXPECT_EQ(GetDownloadFileSize(HttpBase() + "/files/big4g.bin", ""), 4294967297LL);
}

TEST(TlsTest, VerifiesCertificatesAgainstTheConfiguredAuthority) {
  REQUIRE_FIXTURE();
  const net_test::ScopedConfig config({{"CaFile", net_test::TestCaFile()}});
  EXPECT_EQ(ProbeFileSize(HttpsBase("https") + "/files/ten.bin", "").size, 10);

  for (const char* kind : {"wronghost", "untrusted"}) {
    const SizeProbe refused = ProbeFileSize(HttpsBase(kind) + "/files/ten.bin", "");
    EXPECT_EQ(refused.size, 0) << kind;
    EXPECT_TRUE(refused.code == 35 || refused.code == 60) << kind << " code " << refused.code;
  }
}

TEST(TlsTest, SkipCertificateCheckAcceptsAPrivateServer) {
  REQUIRE_FIXTURE();
  const net_test::ScopedConfig config({{"CaFile", net_test::TestCaFile()}, {"SkipCertificateCheck", L"1"}});
  EXPECT_EQ(ProbeFileSize(HttpsBase("untrusted") + "/files/ten.bin", "").size, 10);
}

// A CaFile replaces the system's trusted roots: the log says which trust the
// transfers use, whenever it changes.
TEST(TlsTest, TheLogNamesTheTrustInUse) {
  REQUIRE_FIXTURE();
  const std::string before = test_support::ReadBytes(startup::MainLog().path());
  const auto probe_with = [](std::initializer_list<std::pair<const char*, std::wstring>> keys) {
    const net_test::ScopedConfig config(keys);
    EXPECT_EQ(ProbeFileSize(HttpsBase("https") + "/files/ten.bin", "").size, 10);
  };
  probe_with({});  // whatever was logged last, each step below is a change
  probe_with({{"CaFile", net_test::TestCaFile()}});
  probe_with({{"SkipCertificateCheck", L"1"}});
  probe_with({});
  const std::string added = test_support::ReadBytes(startup::MainLog().path()).substr(before.size());
  const size_t ca =
      added.find("TLS: certificates are checked against CaFile " + platform::WideToUtf8(net_test::TestCaFile()) +
                 " only; the system's trusted roots are not used");
  const size_t off = added.find("TLS: certificates are not checked (SkipCertificateCheck=1)");
  const size_t system = added.rfind("TLS: certificates are checked against the system's trusted roots");
  ASSERT_NE(ca, std::string::npos) << added;
  ASSERT_NE(off, std::string::npos) << added;
  ASSERT_NE(system, std::string::npos) << added;
  EXPECT_LT(ca, off);
  EXPECT_LT(off, system);
}

}  // namespace
}  // namespace net
