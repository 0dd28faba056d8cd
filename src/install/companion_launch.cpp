#include "install/companion_launch.h"

#include <cwchar>

#include "install/process_launcher.h"
#include "install/result_codes.h"
#include "platform/text.h"
#include "startup/log.h"

namespace install {
namespace {

CompanionStart FromLaunchResult(int32_t result) {
  return result == kLaunchFailed || result == kExitCodeUnreadable ? CompanionStart::Failed : CompanionStart::Started;
}

bool IsBlank(wchar_t c) {
  return c == L' ' || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 ||
         c == 0x202F || c == 0x205F || c == 0x3000;
}

}  // namespace

bool IsSoundReferNumber(const std::wstring& refer_number) {
  if (refer_number.size() > kMaxReferNumberLength) return false;
  if (refer_number.find(L"..") != std::wstring::npos) return false;
  for (wchar_t c : refer_number) {
    if (c < 0x20 || c == 0x7F || IsBlank(c) || std::wcschr(L"\\/:\"'*?<>|", c) != nullptr) {
      return false;
    }
  }
  return true;
}

bool IsSoundCompanionUrl(const std::wstring& url) {
  if (url.size() > kMaxCompanionUrlLength) return false;
  const std::wstring lower = platform::AsciiLower(url);
  size_t host = 0;
  if (lower.rfind(L"http://", 0) == 0) {
    host = 7;
  } else if (lower.rfind(L"https://", 0) == 0) {
    host = 8;
  } else {
    return false;
  }
  if (host >= url.size() || url[host] == L'/') return false;
  for (wchar_t c : url) {
    if (c <= L' ' || c == 0x7F || c == L'"' || c == 0xA0 || c == 0x3000 || (c >= 0x2000 && c <= 0x200A) ||
        c == 0x2028 || c == 0x2029) {
      return false;
    }
  }
  return url.find(L"|||") == std::wstring::npos;
}

std::optional<std::wstring> CompanionFetchParameters(const std::wstring& refer_number, const std::wstring& url) {
  if (!IsSoundReferNumber(refer_number)) {
    startup::Log("Companion skipped: unusable REFERNUMBER %s\n", refer_number);
    return std::nullopt;
  }
  if (!IsSoundCompanionUrl(url)) {
    startup::Log("Companion skipped: unusable RECOMMEND_URL %s\n", url);
    return std::nullopt;
  }
  return L" INSTALL_TYPE=2 ||| REFERNUMBER=" + refer_number + L" ||| RECOMMEND_URL=" + url;
}

CompanionStart StartCompanionFetch(const std::wstring& own_executable, const std::wstring& refer_number,
                                   const std::wstring& url) {
  const std::optional<std::wstring> parameters = CompanionFetchParameters(refer_number, url);
  if (!parameters) return CompanionStart::Skipped;
  return FromLaunchResult(LaunchDetached(own_executable, *parameters));
}

CompanionStart StartFetchedCompanion(const std::wstring& downloaded_file) {
  return FromLaunchResult(LaunchDetached(downloaded_file, kCompanionInstallParameters));
}

}  // namespace install
