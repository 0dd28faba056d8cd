// Conversions between UTF-16 (user text, paths, registry values) and 8-bit
// text (keys, URLs, JSON). All conversions of the program live here.
#pragma once

#include <concepts>
#include <string>
#include <string_view>

namespace platform {

[[nodiscard]] std::wstring Utf8ToWide(std::string_view text);
[[nodiscard]] std::string WideToUtf8(std::wstring_view text);

// The thread's ANSI code page: keys of the parameter text and other 8-bit
// identifiers that must match what the system itself would produce.
[[nodiscard]] std::wstring AnsiToWide(std::string_view text);
[[nodiscard]] std::string WideToAnsi(std::wstring_view text);

// Longest prefix of `text` of at most `max_bytes` bytes that does not end
// inside a UTF-8 sequence.
[[nodiscard]] std::string_view Utf8PrefixAtCharBoundary(std::string_view text, size_t max_bytes);

// Lower-cases every script as the system compares names (CharLowerBuff);
// for case-insensitive look-ups of names that may not be ASCII.
[[nodiscard]] std::wstring LowerCase(std::wstring_view text);

// Lower-cases ASCII letters only; locale-independent.
[[nodiscard]] std::string AsciiLower(std::string_view text);
[[nodiscard]] std::wstring AsciiLower(std::wstring_view text);

// A small count or size written as plain decimal digits (at most six);
// anything else, a sign or a blank included, reads as 0.
[[nodiscard]] int SmallDecimal(std::wstring_view text);

// Decimal text of an integer, as std::to_wstring gives it. std::to_wstring
// formats through MinGW's wide printf, which alone adds about 12 KB to the
// shipped program; the narrow integer std::to_string does not.
template <std::integral T>
[[nodiscard]] std::wstring DecimalText(T value) {
  const std::string digits = std::to_string(value);
  return std::wstring(digits.begin(), digits.end());
}

}  // namespace platform
