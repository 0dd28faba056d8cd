#include "net/file_digest.h"

// clang-format off
#include "platform/windows_api.h"
#include <wincrypt.h>
// clang-format on

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

}  // namespace

std::string FileMd5Hex(const std::wstring& path) {
  platform::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.IsValid()) {
    startup::Log("CreateFile go wrong \n");
    return std::string();
  }
  CryptProvider provider;
  if (!::CryptAcquireContextW(provider.Receive(), nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
    startup::Log("CryptAcquireContext go wrong\n");
    return std::string();
  }
  CryptHash hash;
  if (!::CryptCreateHash(provider.Get(), CALG_MD5, 0, 0, hash.Receive())) {
    startup::Log("CryptCreateHash go wrong\n");
    return std::string();
  }
  std::vector<BYTE> buffer;
  try {
    buffer.resize(kChunkBytes);
  } catch (...) {
    startup::Log("lpReadFileBuffer allocation failed\n");
    return std::string();
  }
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file.Get(), buffer.data(), kChunkBytes, &read, nullptr)) {
      startup::Log("ReadFile go wrong\n");
      return std::string();
    }
    if (read == 0) break;
    if (!::CryptHashData(hash.Get(), buffer.data(), read, 0)) {
      startup::Log("CryptHashData go wrong\n");
      return std::string();
    }
  }
  BYTE digest[16];
  DWORD digest_length = sizeof digest;
  if (!::CryptGetHashParam(hash.Get(), HP_HASHVAL, digest, &digest_length, 0) || digest_length != 16) {
    startup::Log("get length wrong\n");
    return std::string();
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (const BYTE b : digest) {
    text.push_back(kHex[b >> 4]);
    text.push_back(kHex[b & 0x0F]);
  }
  return text;
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
