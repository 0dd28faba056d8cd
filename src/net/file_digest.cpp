#include "net/file_digest.h"

// clang-format off
#include "platform/windows_api.h"
#include <wincrypt.h>
// clang-format on

#include <cctype>
#include <cmath>
#include <vector>

#include "platform/text.h"
#include "platform/unique_resource.h"
#include "startup/log.h"

namespace net {
namespace {

constexpr DWORD kChunkBytes = 1024 * 1024;

struct CryptProviderTraits {
  using Handle = HCRYPTPROV;
  static Handle Null() { return 0; }
  static bool IsValid(Handle h) { return h != 0; }
  static void Close(Handle h) {
    if (!::CryptReleaseContext(h, 0)) startup::Log("CryptReleaseContext go wrong\n");
  }
};
struct CryptHashTraits {
  using Handle = HCRYPTHASH;
  static Handle Null() { return 0; }
  static bool IsValid(Handle h) { return h != 0; }
  static void Close(Handle h) {
    if (!::CryptDestroyHash(h)) startup::Log("CryptDestroyHash go wrong\n");
  }
};
using CryptProvider = platform::UniqueResource<CryptProviderTraits>;
using CryptHash = platform::UniqueResource<CryptHashTraits>;

std::string HexOf(const BYTE* bytes, DWORD length) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (DWORD i = 0; i < length; ++i) {
    text.push_back(kHex[bytes[i] >> 4]);
    text.push_back(kHex[bytes[i] & 0x0F]);
  }
  return text;
}

// The finished digest of `hash`, `length` bytes long, as text.
std::optional<std::string> HashText(const CryptHash& hash, DWORD length) {
  BYTE digest[32];
  DWORD digest_length = sizeof digest;
  if (!::CryptGetHashParam(hash.Get(), HP_HASHVAL, digest, &digest_length, 0) || digest_length != length) {
    startup::Log("get length wrong\n");
    return std::nullopt;
  }
  return HexOf(digest, digest_length);
}

bool Wants(DigestKinds kinds, DigestKinds kind) {
  return (static_cast<uint8_t>(kinds) & static_cast<uint8_t>(kind)) != 0;
}

std::string DigestPath(const std::wstring& path, DigestKinds kind) {
  platform::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.IsValid()) {
    startup::Log("CreateFile go wrong \n");
    return std::string();
  }
  const std::optional<FileDigests> digests = DigestOpenFile(file.Get(), kind);
  if (!digests) return std::string();
  return kind == DigestKinds::Md5 ? digests->md5 : digests->sha256;
}

}  // namespace

std::optional<FileDigests> DigestOpenFile(HANDLE file, DigestKinds kinds) {
  LARGE_INTEGER start{};
  if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) {
    startup::Log("SetFilePointerEx go wrong\n");
    return std::nullopt;
  }
  // The AES provider makes both kinds (the plain RSA one has no SHA-256).
  CryptProvider provider;
  if (!::CryptAcquireContextW(provider.Receive(), nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
    startup::Log("CryptAcquireContext go wrong\n");
    return std::nullopt;
  }
  CryptHash md5;
  CryptHash sha256;
  if ((Wants(kinds, DigestKinds::Md5) && !::CryptCreateHash(provider.Get(), CALG_MD5, 0, 0, md5.Receive())) ||
      (Wants(kinds, DigestKinds::Sha256) && !::CryptCreateHash(provider.Get(), CALG_SHA_256, 0, 0, sha256.Receive()))) {
    startup::Log("CryptCreateHash go wrong\n");
    return std::nullopt;
  }
  std::vector<BYTE> buffer;
  try {
    buffer.resize(kChunkBytes);
  } catch (...) {
    startup::Log("lpReadFileBuffer allocation failed\n");
    return std::nullopt;
  }
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file, buffer.data(), kChunkBytes, &read, nullptr)) {
      startup::Log("ReadFile go wrong\n");
      return std::nullopt;
    }
    if (read == 0) break;
    if ((md5.IsValid() && !::CryptHashData(md5.Get(), buffer.data(), read, 0)) ||
        (sha256.IsValid() && !::CryptHashData(sha256.Get(), buffer.data(), read, 0))) {
      startup::Log("CryptHashData go wrong\n");
      return std::nullopt;
    }
  }
  FileDigests digests;
  if (md5.IsValid()) {
    const std::optional<std::string> text = HashText(md5, 16);
    if (!text) return std::nullopt;
    digests.md5 = *text;
  }
  if (sha256.IsValid()) {
    const std::optional<std::string> text = HashText(sha256, 32);
    if (!text) return std::nullopt;
    digests.sha256 = *text;
  }
  return digests;
}

std::string FileMd5Hex(const std::wstring& path) { return DigestPath(path, DigestKinds::Md5); }

std::string FileSha256Hex(const std::wstring& path) { return DigestPath(path, DigestKinds::Sha256); }

std::string BytesDigestHex(const unsigned char* data, size_t size, BytesDigest kind) {
  CryptProvider provider;
  CryptHash hash;
  if (size > MAXDWORD ||
      !::CryptAcquireContextW(provider.Receive(), nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) ||
      !::CryptCreateHash(provider.Get(), kind == BytesDigest::Sha1 ? CALG_SHA1 : CALG_SHA_256, 0, 0, hash.Receive()) ||
      !::CryptHashData(hash.Get(), data, static_cast<DWORD>(size), 0)) {
    startup::Log("BytesDigestHex go wrong\n");
    return std::string();
  }
  return HashText(hash, kind == BytesDigest::Sha1 ? 20 : 32).value_or(std::string());
}

bool IsSha256Text(const std::string& text) {
  if (text.size() != 64) return false;
  for (const char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

std::wstring FormatSizeText(int64_t bytes) {
  // Whole bytes (also every negative count) need no arithmetic: scaling the
  // extreme ones by 100 below would leave the range of int64_t.
  if (bytes <= 1024) return platform::AnsiToWide(std::to_string(bytes) + ".00B");
  double value = 0;
  const char* unit = "KB";
  if (bytes > 1073741824LL) {
    value = static_cast<double>(bytes) / 1073741824.0;
    unit = "GB";
  } else if (bytes > 1048576LL) {
    value = static_cast<double>(bytes) / 1048576.0;
    unit = "MB";
  } else {
    value = static_cast<double>(bytes) / 1024.0;
  }
  // Two decimals rounded as printf's "%.2f" would (half to even; value * 100
  // is exact here and below 2^40), without bringing MinGW's printf into the
  // program.
  const double scaled = value * 100.0;
  auto hundredths = static_cast<int64_t>(std::floor(scaled));
  const double fraction = scaled - static_cast<double>(hundredths);
  if (fraction > 0.5 || (fraction == 0.5 && hundredths % 2 != 0)) ++hundredths;
  std::string fractional = std::to_string(hundredths % 100);
  if (fractional.size() < 2) fractional.insert(0, 1, '0');
  return platform::AnsiToWide(std::to_string(hundredths / 100) + "." + fractional + unit);
}

}  // namespace net
