#include "platform/internet_library.h"

#include "platform/system_paths.h"

namespace platform {
namespace {

constexpr DWORD kConnectTimeoutOption = 2;      // INTERNET_OPTION_CONNECT_TIMEOUT
constexpr DWORD kSendTimeoutOption = 5;         // INTERNET_OPTION_SEND_TIMEOUT
constexpr DWORD kReceiveTimeoutOption = 6;      // INTERNET_OPTION_RECEIVE_TIMEOUT
constexpr DWORD kAsNumber = 0x20000000;         // HTTP_QUERY_FLAG_NUMBER
constexpr DWORD kForceConnection = 0x00000001;  // FLAG_ICC_FORCE_CONNECTION
constexpr DWORD kProxyUserOption = 43;          // INTERNET_OPTION_PROXY_USERNAME
constexpr DWORD kProxyPasswordOption = 44;      // INTERNET_OPTION_PROXY_PASSWORD

DWORD AccessType(ProxyUse use) {
  switch (use) {
    case ProxyUse::System: return 0;  // INTERNET_OPEN_TYPE_PRECONFIG
    case ProxyUse::Direct: return 1;  // INTERNET_OPEN_TYPE_DIRECT
    case ProxyUse::Named: return 3;   // INTERNET_OPEN_TYPE_PROXY
  }
  return 0;
}

}  // namespace

InternetLibrary::InternetLibrary() : module_(LoadSystemLibrary(L"wininet.dll")) {
  if (!module_.IsValid()) return;
  open_ = Lookup<OpenFunction>("InternetOpenW");
  open_url_ = Lookup<OpenUrlFunction>("InternetOpenUrlW");
  read_ = Lookup<ReadFunction>("InternetReadFile");
  close_ = Lookup<InternetHandleCloser::CloseFunction>("InternetCloseHandle");
  set_option_ = Lookup<SetOptionFunction>("InternetSetOptionW");
  query_available_ = Lookup<QueryAvailableFunction>("InternetQueryDataAvailable");
  query_info_ = Lookup<QueryInfoFunction>("HttpQueryInfoW");
  check_connection_ = Lookup<CheckFunction>("InternetCheckConnectionA");
  send_ = Lookup<SendFunction>("HttpSendRequestW");
}

bool InternetLibrary::IsUsable() const {
  return open_ != nullptr && open_url_ != nullptr && read_ != nullptr && close_ != nullptr &&
         query_available_ != nullptr && query_info_ != nullptr;
}

InternetHandle InternetLibrary::Open(const wchar_t* agent, ProxyUse use, const std::wstring& proxy) const {
  if (open_ == nullptr) return InternetHandle(nullptr, {close_});
  const wchar_t* name = use == ProxyUse::Named ? proxy.c_str() : nullptr;
  return InternetHandle(open_(agent, AccessType(use), name, nullptr, 0), {close_});
}

bool InternetLibrary::ResendWithProxyCredentials(void* request, const std::wstring& user,
                                                 const std::wstring& password) const {
  if (set_option_ == nullptr || send_ == nullptr || read_ == nullptr) return false;
  // Options of the request itself: sessions refuse them on some systems.
  if (!set_option_(request, kProxyUserOption, const_cast<wchar_t*>(user.c_str()), static_cast<DWORD>(user.size())) ||
      !set_option_(request, kProxyPasswordOption, const_cast<wchar_t*>(password.c_str()),
                   static_cast<DWORD>(password.size()))) {
    return false;
  }
  // The challenge's own body goes first, bounded: it is a short page.
  char discard[4096];
  DWORD read = 0;
  for (int i = 0; i < 16 && read_(request, discard, sizeof discard, &read) && read > 0; ++i) {
  }
  return send_(request, nullptr, 0, nullptr, 0) != FALSE;
}

void InternetLibrary::SetTimeouts(void* session, DWORD milliseconds) const {
  if (set_option_ == nullptr) return;
  for (const DWORD option : {kConnectTimeoutOption, kSendTimeoutOption, kReceiveTimeoutOption}) {
    (void)set_option_(session, option, &milliseconds, sizeof milliseconds);
  }
}

InternetHandle InternetLibrary::OpenUrl(void* session, const std::wstring& url, DWORD flags) const {
  if (open_url_ == nullptr) return InternetHandle(nullptr, {close_});
  return InternetHandle(open_url_(session, url.c_str(), nullptr, 0, flags, 0), {close_});
}

bool InternetLibrary::QueryAvailable(void* request, DWORD& available) const {
  available = 0;
  return query_available_ != nullptr && query_available_(request, &available, 0, 0);
}

bool InternetLibrary::Read(void* request, void* buffer, DWORD size, DWORD& read) const {
  read = 0;
  return read_ != nullptr && read_(request, buffer, size, &read);
}

bool InternetLibrary::QueryNumber(void* request, DWORD query, DWORD& value) const {
  DWORD size = sizeof value;
  value = 0;
  return query_info_ != nullptr && query_info_(request, query | kAsNumber, &value, &size, nullptr);
}

bool InternetLibrary::CheckConnection(const std::string& address) const {
  return check_connection_ != nullptr && check_connection_(address.c_str(), kForceConnection, 0);
}

}  // namespace platform
