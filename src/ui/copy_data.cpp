#include "ui/copy_data.h"

#include <algorithm>
#include <cstring>

#include "install/retry_policy.h"
#include "platform/text.h"

namespace ui {

std::optional<std::wstring> ReceivedAdUrl(ULONG_PTR tag, const void* data, DWORD size, bool trial_ad_edition) {
  if (tag != kAdUrlCopyDataTag || data == nullptr) return std::nullopt;
  char bytes[kMaxCopyDataBytes + 1] = {};
  std::memcpy(bytes, data, std::min<size_t>(size, kMaxCopyDataBytes));
  const std::string text(bytes);  // up to the first zero byte
  std::string address = text;
  if (trial_ad_edition) {
    address = kThankYouPage;
    const size_t piece = text.find("x-url=");
    if (piece != std::string::npos) {
      const size_t end = text.find('&', piece);
      address += "&" + text.substr(piece, end == std::string::npos ? end : end - piece);
    }
    address.resize(std::min(address.size(), kMaxCopyDataBytes));
  }
  std::wstring wide = platform::AnsiToWide(address);
  // Only the first address is kept: an empty or cut-off block that names no
  // web page must not take the place of the real one that follows.
  if (!install::IsOpenableWebAddress(wide)) return std::nullopt;
  return wide;
}

}  // namespace ui
