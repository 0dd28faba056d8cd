#include "platform/text.h"

#include <climits>

#include "platform/windows_api.h"

namespace platform {
namespace {

std::wstring ToWide(UINT code_page, std::string_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int length = static_cast<int>(text.size());
  const int needed = ::MultiByteToWideChar(code_page, 0, text.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring result(static_cast<size_t>(needed), L'\0');
  ::MultiByteToWideChar(code_page, 0, text.data(), length, result.data(), needed);
  return result;
}

std::string FromWide(UINT code_page, std::wstring_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int length = static_cast<int>(text.size());
  const int needed = ::WideCharToMultiByte(code_page, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string result(static_cast<size_t>(needed), '\0');
  ::WideCharToMultiByte(code_page, 0, text.data(), length, result.data(), needed, nullptr, nullptr);
  return result;
}

bool IsUtf8Continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

std::wstring Utf8ToWide(std::string_view text) { return ToWide(CP_UTF8, text); }
std::string WideToUtf8(std::wstring_view text) { return FromWide(CP_UTF8, text); }
std::wstring AnsiToWide(std::string_view text) { return ToWide(CP_THREAD_ACP, text); }
std::string WideToAnsi(std::wstring_view text) { return FromWide(CP_THREAD_ACP, text); }

std::string_view Utf8PrefixAtCharBoundary(std::string_view text, size_t max_bytes) {
  if (text.size() <= max_bytes) return text;
  size_t end = max_bytes;
  // Step back over continuation bytes to the lead byte of the cut character,
  // at most three steps (longest sequence is four bytes).
  size_t steps = 0;
  while (end > 0 && steps < 4 && IsUtf8Continuation(static_cast<unsigned char>(text[end]))) {
    --end;
    ++steps;
  }
  return text.substr(0, end);
}

std::wstring LowerCase(std::wstring_view text) {
  std::wstring lower(text);
  if (!lower.empty()) ::CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
  return lower;
}

std::string AsciiLower(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return result;
}

int SmallDecimal(std::wstring_view text) {
  if (text.empty() || text.size() > 6) return 0;
  int value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return 0;
    value = value * 10 + (c - L'0');
  }
  return value;
}

std::wstring AsciiLower(std::wstring_view text) {
  std::wstring result(text);
  for (wchar_t& c : result) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return result;
}

}  // namespace platform
