// The few platform functions the skin readers call, written portably so the
// readers' own source files build natively (Linux, clang or g++) for the fuzz
// targets and the parsing benchmark. The program itself uses src/platform.
#include <cwctype>

#include "platform/file_io.h"
#include "platform/text.h"

namespace platform {

// Decodes UTF-8 as the system does: each malformed sequence becomes U+FFFD.
std::wstring Utf8ToWide(std::string_view text) {
  std::wstring wide;
  wide.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    uint32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    bool valid = length > 0 && i + length <= text.size();
    for (int k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    valid = valid && code >= kSmallest[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
    wide.push_back(valid ? static_cast<wchar_t>(code) : L'\uFFFD');
    i += valid ? length : 1;
  }
  return wide;
}

std::wstring LowerCase(std::wstring_view text) {
  std::wstring lower(text);
  for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return lower;
}

// Native builds hand the archive its bytes directly; no file is read.
std::optional<std::string> ReadFileLimited(const std::wstring&, uint64_t) { return std::nullopt; }

}  // namespace platform
