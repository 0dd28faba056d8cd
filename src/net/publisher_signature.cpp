#include "net/publisher_signature.h"

// clang-format off
#include "platform/windows_api.h"
#include <wincrypt.h>
#include <wintrust.h>
#include <softpub.h>
// clang-format on

#include <cctype>
#include <utility>

#include "net/file_digest.h"
#include "net/trust_library.h"
#include "platform/text.h"
#include "startup/log.h"
#include "startup/product_config.h"

namespace net {
namespace {

// Revocation answers that only say the revocation servers were out of reach.
bool RevocationUnreachable(LONG result) {
  return result == static_cast<LONG>(CERT_E_REVOCATION_FAILURE) ||
         result == static_cast<LONG>(CRYPT_E_REVOCATION_OFFLINE) ||
         result == static_cast<LONG>(CRYPT_E_NO_REVOCATION_CHECK);
}

SignatureVerdict VerdictOf(LONG result) {
  switch (static_cast<HRESULT>(result)) {
    case TRUST_E_NOSIGNATURE:
    case TRUST_E_SUBJECT_FORM_UNKNOWN: return SignatureVerdict::NotSigned;
    case TRUST_E_BAD_DIGEST: return SignatureVerdict::BadSignature;
    case CERT_E_REVOKED:
    case CRYPT_E_REVOKED: return SignatureVerdict::Revoked;
    case TRUST_E_PROVIDER_UNKNOWN:
    case TRUST_E_ACTION_UNKNOWN: return SignatureVerdict::CheckFailed;
    default: return SignatureVerdict::Untrusted;
  }
}

// One verification's state, closed again on every path.
class TrustSession {
 public:
  TrustSession(const TrustLibrary& library, HANDLE file, const std::wstring& path, DWORD revocation)
      : library_(library) {
    // The digest left the file pointer at the end; some providers read from it.
    const LARGE_INTEGER start{};
    (void)::SetFilePointerEx(file, start, nullptr, FILE_BEGIN);  // a failed seek fails the read below
    file_.cbStruct = sizeof file_;
    file_.pcwszFilePath = path.c_str();
    file_.hFile = file;  // the held file, never the name: nothing can swap it
    data_.cbStruct = sizeof data_;
    data_.dwUIChoice = WTD_UI_NONE;
    data_.fdwRevocationChecks = revocation;
    data_.dwUnionChoice = WTD_CHOICE_FILE;
    data_.pFile = &file_;
    data_.dwStateAction = WTD_STATEACTION_VERIFY;
    data_.dwProvFlags = revocation == WTD_REVOKE_NONE ? 0 : WTD_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT;
    result_ = library_.verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
  }
  ~TrustSession() {
    if (data_.hWVTStateData == nullptr) return;
    data_.dwStateAction = WTD_STATEACTION_CLOSE;
    (void)library_.verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);  // frees the state
  }
  TrustSession(const TrustSession&) = delete;
  TrustSession& operator=(const TrustSession&) = delete;

  [[nodiscard]] LONG result() const { return result_; }
  // The first signer's certificate chain as the verification built it.
  [[nodiscard]] const CRYPT_PROVIDER_SGNR* Signer() const {
    CRYPT_PROVIDER_DATA* provider = library_.provider_data(data_.hWVTStateData);
    if (provider == nullptr) return nullptr;
    return library_.signer(provider, 0, FALSE, 0);
  }

 private:
  const TrustLibrary& library_;  // complete: the caller checked
  GUID action_ = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  WINTRUST_FILE_INFO file_{};
  WINTRUST_DATA data_{};
  LONG result_ = 0;
};

std::wstring SimpleName(PCCERT_CONTEXT certificate) {
  wchar_t name[256] = {};
  const DWORD length = ::CertGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name,
                                            static_cast<DWORD>(std::size(name)));
  return length > 1 ? std::wstring(name) : std::wstring();
}

std::string Thumbprint(PCCERT_CONTEXT certificate, size_t digits) {
  return BytesDigestHex(certificate->pbCertEncoded, certificate->cbCertEncoded,
                        digits == 40 ? BytesDigest::Sha1 : BytesDigest::Sha256);
}

// Chain faults besides an unknown revocation status: a chain that ends
// anywhere but at a trusted root, a certificate out of its time or not for
// code signing. Some trust providers (Wine's) answer success for those.
constexpr DWORD kRevocationUnknown = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;

SignatureCheck Judge(const TrustSession& session, const std::wstring& path, const PublisherRule& rule,
                     const std::string& thumbprint) {
  SignatureCheck check;
  check.trust_result = static_cast<int32_t>(session.result());
  if (session.result() != ERROR_SUCCESS) {
    check.verdict = VerdictOf(session.result());
    return check;
  }
  const CRYPT_PROVIDER_SGNR* signer = session.Signer();
  if (signer == nullptr || signer->csCertChain == 0 || signer->pasCertChain == nullptr ||
      signer->pasCertChain[0].pCert == nullptr || signer->pChainContext == nullptr) {
    startup::Log("Publisher signature of %s: no signer chain to compare\n", path);
    check.verdict = SignatureVerdict::CheckFailed;
    return check;
  }
  const PCCERT_CONTEXT certificate = signer->pasCertChain[0].pCert;
  check.signer = SimpleName(certificate);
  const DWORD chain_errors = signer->pChainContext->TrustStatus.dwErrorStatus;
  if ((chain_errors & kRevocationUnknown) != 0) {
    startup::Log("Publisher signature of %s: revocation status unknown (servers out of reach)\n", path);
  }
  if ((chain_errors & ~kRevocationUnknown) != 0) {
    startup::Log("Publisher signature of %s: chain status 0x%x\n", path, chain_errors);
    check.verdict =
        (chain_errors & CERT_TRUST_IS_REVOKED) != 0 ? SignatureVerdict::Revoked : SignatureVerdict::Untrusted;
    return check;
  }
  const bool name_matches = rule.name.empty() || check.signer == rule.name;
  const bool thumbprint_matches = thumbprint.empty() || Thumbprint(certificate, thumbprint.size()) == thumbprint;
  check.verdict = name_matches && thumbprint_matches ? SignatureVerdict::Trusted : SignatureVerdict::WrongPublisher;
  return check;
}

}  // namespace

PublisherRule PublisherRuleFromConfig() {
  PublisherRule rule;
  rule.name = startup::Config().Get("PublisherName");
  rule.thumbprint = platform::WideToAnsi(startup::Config().Get("PublisherThumbprint"));
  return rule;
}

std::optional<std::string> NormalizedThumbprint(const std::string& text) {
  // Built in place: copying it out made link-time optimisation warn falsely.
  std::optional<std::string> digits(std::in_place);
  for (const char c : text) {
    if (c == ' ' || c == ':') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    digits->push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  if (digits->size() != 40 && digits->size() != 64) return std::nullopt;
  return digits;
}

SignatureCheck VerifyPublisher(HANDLE file, const std::wstring& path, const PublisherRule& rule) {
  return VerifyPublisherWith(LoadTrustLibrary(), file, path, rule);
}

SignatureCheck VerifyPublisherWith(const TrustLibrary& library, HANDLE file, const std::wstring& path,
                                   const PublisherRule& rule) {
  std::string thumbprint;
  if (!rule.thumbprint.empty()) {
    const std::optional<std::string> normal = NormalizedThumbprint(rule.thumbprint);
    if (!normal) {
      SignatureCheck check;
      check.verdict = SignatureVerdict::BadRule;
      startup::Log("Publisher signature of %s: PublisherThumbprint is not 40 or 64 hexadecimal digits\n", path);
      return check;
    }
    thumbprint = *normal;
  }
  if (!library.Complete()) {
    startup::Log("Publisher signature of %s: the system's signature check is not available\n", path);
    SignatureCheck check;
    check.verdict = SignatureVerdict::CheckFailed;
    return check;
  }
  std::optional<SignatureCheck> judged;
  {
    const TrustSession session(library, file, path, WTD_REVOKE_WHOLECHAIN);
    if (RevocationUnreachable(session.result())) {
      startup::Log("Publisher signature of %s: revocation could not be checked (0x%x): verified without it\n", path,
                   static_cast<unsigned long>(session.result()));
    } else {
      judged = Judge(session, path, rule, thumbprint);
    }
  }
  if (!judged) {
    const TrustSession session(library, file, path, WTD_REVOKE_NONE);
    judged = Judge(session, path, rule, thumbprint);
  }
  startup::Log("Publisher signature of %s: %s (trust result 0x%x, signer \"%s\")\n", path, VerdictName(judged->verdict),
               static_cast<unsigned long>(judged->trust_result), judged->signer);
  return *judged;
}

const char* VerdictName(SignatureVerdict verdict) {
  switch (verdict) {
    case SignatureVerdict::Trusted: return "trusted";
    case SignatureVerdict::NotSigned: return "not signed";
    case SignatureVerdict::BadSignature: return "changed after signing";
    case SignatureVerdict::Untrusted: return "not trusted";
    case SignatureVerdict::Revoked: return "revoked";
    case SignatureVerdict::WrongPublisher: return "signed by another publisher";
    case SignatureVerdict::BadRule: return "malformed PublisherThumbprint";
    case SignatureVerdict::CheckFailed: return "could not be checked";
  }
  return "unknown";
}

}  // namespace net
