// The publisher check on files the fixture signs (osslsigncode) with a test
// root trusted in the prefix: unsigned, signed by the expected and by another
// publisher, the expected name under an unknown root, changed after signing,
// not a program at all, thumbprint rules, and no system verification to call.
#include "net/publisher_signature.h"

#include <gtest/gtest.h>

#include <cctype>

#include "net/trust_library.h"
#include "net_fixture.h"
#include "platform/system_paths.h"
#include "platform/text.h"
#include "platform/unique_resource.h"

namespace net {
namespace {

constexpr wchar_t kPublisher[] = L"WebInstaller Test Publisher";

// "sha256" of "sha1=<a> sha256=<b>".
std::string Field(const std::string& answer, const std::string& name) {
  const size_t start = answer.find(name + "=");
  if (start == std::string::npos) return {};
  const size_t value = start + name.size() + 1;
  return answer.substr(value, answer.find(' ', value) - value);
}

SignatureCheck CheckFile(const std::string& name, const PublisherRule& rule,
                         const TrustLibrary& library = LoadTrustLibrary()) {
  const std::wstring path = net_test::DataFile(name);
  platform::UniqueHandle held(
      ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_TRUE(held.IsValid()) << name;
  return VerifyPublisherWith(library, held.Get(), path, rule);
}

TEST(PublisherSignatureTest, OnlyTheExpectedPublishersIntactTrustedSignaturePasses) {
  REQUIRE_FIXTURE();
  ASSERT_TRUE(net_test::SigningRootTrusted());
  // Any program will do: this one.
  const std::string base = platform::WideToUtf8(test_support::UniqueName(L"signed"));
  ASSERT_TRUE(
      test_support::WriteBytes(net_test::DataFile(base + ".exe"), test_support::ReadBytes(platform::ExecutablePath())));
  const std::string good = net_test::SignDataFile(base + ".exe", base + "-good.exe", "publisher");
  const std::string other = net_test::SignDataFile(base + ".exe", base + "-other.exe", "other");
  ASSERT_FALSE(good.empty());
  ASSERT_FALSE(other.empty());
  ASSERT_FALSE(net_test::SignDataFile(base + ".exe", base + "-stray.exe", "stray").empty());
  std::string changed = net_test::DataBytes(base + "-good.exe");
  changed[changed.size() / 2] = static_cast<char>(changed[changed.size() / 2] ^ 0x5A);
  ASSERT_TRUE(test_support::WriteBytes(net_test::DataFile(base + "-changed.exe"), changed));
  ASSERT_TRUE(test_support::WriteBytes(net_test::DataFile(base + ".txt"), "not a program"));

  std::string sha256 = Field(good, "sha256");
  ASSERT_EQ(sha256.size(), 64u);
  std::string shown;  // as the certificate dialog shows it: capitals in pairs
  for (size_t i = 0; i < sha256.size(); i += 2) {
    shown += (i == 0 ? "" : i % 4 == 0 ? " " : ":") + sha256.substr(i, 2);
  }
  for (char& c : shown) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::string wrong = sha256;
  wrong[0] = wrong[0] == 'a' ? 'b' : 'a';
  const PublisherRule by_name{kPublisher, ""};
  const struct {
    std::string file;
    PublisherRule rule;
    SignatureVerdict verdict;
    const char* name;
  } cases[] = {
      {base + "-good.exe", by_name, SignatureVerdict::Trusted, "the expected publisher"},
      {base + ".exe", by_name, SignatureVerdict::NotSigned, "unsigned"},
      {base + ".txt", by_name, SignatureVerdict::NotSigned, "not a program"},
      {base + "-other.exe", by_name, SignatureVerdict::WrongPublisher, "another publisher, trusted root"},
      {base + "-stray.exe", by_name, SignatureVerdict::Untrusted, "the expected name under an unknown root"},
      {base + "-changed.exe", by_name, SignatureVerdict::BadSignature, "changed after signing"},
      {base + "-good.exe",
       {L"webinstaller test publisher", ""},
       SignatureVerdict::WrongPublisher,
       "the name is compared exactly"},
      {base + "-good.exe", {kPublisher, shown}, SignatureVerdict::Trusted, "SHA-256 thumbprint as shown"},
      {base + "-good.exe", {L"", Field(good, "sha1")}, SignatureVerdict::Trusted, "SHA-1 thumbprint alone"},
      {base + "-other.exe",
       {L"", Field(good, "sha1")},
       SignatureVerdict::WrongPublisher,
       "another certificate than the thumbprint's"},
      {base + "-good.exe", {kPublisher, wrong}, SignatureVerdict::WrongPublisher, "right name, other thumbprint"},
      {base + "-good.exe", {kPublisher, sha256.substr(1)}, SignatureVerdict::BadRule, "63 digits"},
  };
  for (const auto& c : cases) EXPECT_EQ(CheckFile(c.file, c.rule).verdict, c.verdict) << c.name;
  EXPECT_EQ(CheckFile(base + "-good.exe", by_name).signer, kPublisher);
  EXPECT_EQ(CheckFile(base + "-other.exe", by_name).signer, L"Other Test Publisher");
  // Without the system's verification (no such library, or one without
  // its functions) even the good file cannot pass, and nothing crashes.
  const TrustLibrary missing = TrustLibraryFrom(L"no-such-trust-library.dll");
  const TrustLibrary without_functions = TrustLibraryFrom(L"version.dll");
  EXPECT_FALSE(missing.Complete());
  EXPECT_FALSE(without_functions.Complete());
  EXPECT_EQ(CheckFile(base + "-good.exe", by_name, missing).verdict, SignatureVerdict::CheckFailed);
  EXPECT_EQ(CheckFile(base + "-good.exe", by_name, without_functions).verdict, SignatureVerdict::CheckFailed);
  TrustLibrary partial = LoadTrustLibrary();
  partial.signer = nullptr;
  EXPECT_EQ(CheckFile(base + "-good.exe", by_name, partial).verdict, SignatureVerdict::CheckFailed);
  for (const char* suffix : {".exe", "-good.exe", "-other.exe", "-stray.exe", "-changed.exe", ".txt"}) {
    ::DeleteFileW(net_test::DataFile(base + suffix).c_str());
  }
}

TEST(PublisherSignatureTest, ThumbprintsAre40Or64HexDigitsWithOptionalSeparators) {
  const std::string sha1 = "0123456789abcdef0123456789abcdef01234567";
  const std::string sha256 = sha1 + "89abcdef0123456789abcdef";
  EXPECT_EQ(NormalizedThumbprint(sha1), sha1);
  EXPECT_EQ(NormalizedThumbprint(sha256), sha256);
  EXPECT_EQ(NormalizedThumbprint("01:23 45:67:89ABCDEF0123456789abcdef01234567"), sha1);
  EXPECT_EQ(NormalizedThumbprint(""), std::nullopt);
  EXPECT_EQ(NormalizedThumbprint(sha1.substr(1)), std::nullopt);
  EXPECT_EQ(NormalizedThumbprint(sha1 + "0"), std::nullopt);
  EXPECT_EQ(NormalizedThumbprint(sha256 + "0"), std::nullopt);
  EXPECT_EQ(NormalizedThumbprint("g" + sha1.substr(1)), std::nullopt);
  EXPECT_EQ(NormalizedThumbprint(sha1.substr(0, 20) + "-" + sha1.substr(20)), std::nullopt);
}

}  // namespace
}  // namespace net
