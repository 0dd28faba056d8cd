// The installer's MD5 and SHA-256 digests (CryptoAPI, read in bounded
// chunks) and the short size text of the progress tip.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/windows_api.h"

namespace net {

enum class DigestKinds : uint8_t { Md5 = 1, Sha256 = 2, Both = 3 };

// Lower-case hexadecimal digests; empty where not asked for.
struct FileDigests {
  std::string md5;     // 32 characters
  std::string sha256;  // 64 characters
};

// Reads the open `file` from its start to its end once, making the asked
// digests together. nullopt (logged) when a read or the digest fails: a
// partly read file never yields a digest. The handle's file pointer moves.
[[nodiscard]] std::optional<FileDigests> DigestOpenFile(HANDLE file, DigestKinds kinds);

// The same for a file opened here: empty when it cannot be opened or read.
[[nodiscard]] std::string FileMd5Hex(const std::wstring& path);
[[nodiscard]] std::string FileSha256Hex(const std::wstring& path);

// The SHA-1 or SHA-256 of bytes in memory (certificate thumbprints), in
// lower-case hexadecimal; empty when the digest cannot be made.
enum class BytesDigest : uint8_t { Sha1, Sha256 };
[[nodiscard]] std::string BytesDigestHex(const unsigned char* data, size_t size, BytesDigest kind);

// Exactly 64 hexadecimal digits, any case.
[[nodiscard]] bool IsSha256Text(const std::string& text);

// "1.50KB": two decimals, the unit right behind.
[[nodiscard]] std::wstring FormatSizeText(int64_t bytes);

}  // namespace net
