#include "net_fixture.h"

#include <cstdlib>

// clang-format off
#include "platform/windows_api.h"
#include <wincrypt.h>
// clang-format on

#include "net/http_client.h"
#include "platform/text.h"
#include "startup/product_config.h"

namespace net_test {
namespace {

std::string Port(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr ? value : "";
}

}  // namespace

bool FixtureAvailable() { return !Port("WEBINSTALLER_NET_HTTP_PORT").empty(); }

std::string HttpBase() { return "http://127.0.0.1:" + Port("WEBINSTALLER_NET_HTTP_PORT"); }

std::string HttpsBase(const char* kind) {
  std::string variable = std::string("WEBINSTALLER_NET_") + kind + "_PORT";
  for (char& c : variable) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return "https://localhost:" + Port(variable.c_str());
}

std::string NginxBase() { return "http://127.0.0.1:" + Port("WEBINSTALLER_NET_NGINX_PORT"); }

std::wstring DataFile(const std::string& name) {
  return test_support::PathFromEnvironment("WEBINSTALLER_NET_DATA") + L"\\" + platform::Utf8ToWide(name);
}

std::string DataBytes(const std::string& name) { return test_support::ReadBytes(DataFile(name)); }

std::wstring FixtureFolder(const char* variable) {
  const std::wstring folder = test_support::PathFromEnvironment(variable);
  return folder.empty() ? folder : folder + L"\\";
}

void ScriptReply(const std::string& key, const std::string& body, const std::string& options) {
  std::string reply;
  net::PostRequest request{HttpBase() + "/script?key=" + key + options, body, "", net::kReleaseReplyCap};
  (void)net::PostForm(request, reply);
}

std::vector<std::pair<std::string, std::string>> Recorded(const std::string& key) {
  std::string text;
  net::PostRequest request{HttpBase() + "/recorded?key=" + key, "", "", net::kReleaseReplyCap};
  (void)net::PostForm(request, text);
  std::vector<std::pair<std::string, std::string>> items;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    const std::string line = text.substr(start, end - start);
    start = end == std::string::npos ? text.size() : end + 1;
    const size_t tab = line.find('\t');
    if (tab != std::string::npos) items.emplace_back(line.substr(0, tab), line.substr(tab + 1));
  }
  return items;
}

int Held(const std::string& key) {
  std::string text;
  net::PostRequest request{HttpBase() + "/held?key=" + key, "", "", net::kReleaseReplyCap};
  (void)net::PostForm(request, text);
  return text.empty() ? -1 : std::atoi(text.c_str());
}

void ReleaseHold(const std::string& key) {
  std::string reply;
  net::PostRequest request{HttpBase() + "/unhold?key=" + key, "", "", net::kReleaseReplyCap};
  (void)net::PostForm(request, reply);
}

bool SigningRootTrusted() {
  const std::string der = test_support::ReadBytes(test_support::PathFromEnvironment("WEBINSTALLER_NET_SIGNING_ROOT"));
  if (der.empty()) return false;
  HCERTSTORE store = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
  if (store == nullptr) return false;
  PCCERT_CONTEXT certificate = ::CertCreateCertificateContext(
      X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()), static_cast<DWORD>(der.size()));
  PCCERT_CONTEXT found =
      certificate == nullptr
          ? nullptr
          : ::CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, certificate, nullptr);
  const bool trusted = found != nullptr;
  if (found != nullptr) ::CertFreeCertificateContext(found);
  if (certificate != nullptr) ::CertFreeCertificateContext(certificate);
  ::CertCloseStore(store, 0);
  return trusted;
}

std::string SignDataFile(const std::string& name, const std::string& out, const std::string& signer) {
  std::string reply;
  net::PostRequest request{HttpBase() + "/sign?name=" + name + "&out=" + out + "&signer=" + signer, "", "",
                           net::kReleaseReplyCap};
  (void)net::PostForm(request, reply);
  return reply.rfind("sha1=", 0) == 0 ? reply : std::string();
}

ScopedConfig::ScopedConfig(std::initializer_list<std::pair<const char*, std::wstring>> entries) {
  std::string text = "[Product]\n";
  for (const auto& [key, value] : entries) text += std::string(key) + "=" + platform::WideToUtf8(value) + "\n";
  const std::wstring path = folder_.File(L"InitConfigure.ini");
  (void)test_support::WriteBytes(path, text);
  startup::Config().Clear();
  startup::Config().LoadProduct(path);
}

ScopedConfig::~ScopedConfig() { startup::Config().Clear(); }

std::wstring TestCaFile() { return test_support::PathFromEnvironment("WEBINSTALLER_NET_CA"); }

}  // namespace net_test
