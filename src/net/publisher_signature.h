// The publisher's signature on a downloaded program: the system's
// Authenticode trust verification through a held handle, then the signer
// compared with the one the configuration names (PublisherName,
// PublisherThumbprint). Off where neither is configured.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/windows_api.h"

namespace net {

struct TrustLibrary;

// The signer a program must carry.
struct PublisherRule {
  std::wstring name;       // the signer certificate's simple name, exactly; empty: any name
  std::string thumbprint;  // as configured; empty: any certificate of that name
  [[nodiscard]] bool IsOn() const { return !name.empty() || !thumbprint.empty(); }
};

[[nodiscard]] PublisherRule PublisherRuleFromConfig();

// The lower-case digits of a certificate thumbprint: 40 (SHA-1) or 64
// (SHA-256) hexadecimal digits, blanks and colons between them allowed (as
// the system's certificate dialog shows them). nullopt for anything else.
[[nodiscard]] std::optional<std::string> NormalizedThumbprint(const std::string& text);

enum class SignatureVerdict : uint8_t {
  Trusted,         // a valid signature whose chain the system trusts, by the expected signer
  NotSigned,       // no signature at all
  BadSignature,    // signed, but the file or the signature was changed afterwards
  Untrusted,       // the chain does not end at a trusted root, or is otherwise invalid
  Revoked,         // a certificate of the chain is revoked
  WrongPublisher,  // trusted, but signed by someone else
  BadRule,         // the configured thumbprint is malformed: nothing can match
  CheckFailed,     // the verification itself could not run
};

struct SignatureCheck {
  SignatureVerdict verdict = SignatureVerdict::CheckFailed;
  int32_t trust_result = 0;  // WinVerifyTrust's answer
  std::wstring signer;       // the signer's simple name, when one was found
};

// Verifies the open `file` (`path` names it for the system's records): the
// signature with the system's trust (revocation checked where the network
// allows; an unreachable revocation server is logged, not refused), then
// the signer against `rule`. Logs its verdict. Blocks while revocation is
// fetched: call it off the UI thread.
[[nodiscard]] SignatureCheck VerifyPublisher(HANDLE file, const std::wstring& path, const PublisherRule& rule);
// The same through `library`'s functions; CheckFailed when any is missing.
[[nodiscard]] SignatureCheck VerifyPublisherWith(const TrustLibrary& library, HANDLE file, const std::wstring& path,
                                                 const PublisherRule& rule);

[[nodiscard]] const char* VerdictName(SignatureVerdict verdict);

}  // namespace net
