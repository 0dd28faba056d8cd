// The installer's MD5 digest (CryptoAPI, read in bounded chunks) and the
// short size text of the progress tip.
#pragma once

#include <cstdint>
#include <string>

namespace net {

// 32 lower-case hexadecimal characters, or empty when the file cannot be
// opened or read to its end, or the digest cannot be made: a partly read
// file never yields a digest.
[[nodiscard]] std::string FileMd5Hex(const std::wstring& path);

// "1.50KB": two decimals, the unit right behind.
[[nodiscard]] std::wstring FormatSizeText(int64_t bytes);

}  // namespace net
