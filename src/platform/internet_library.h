// WinINet, the system's own HTTP stack, loaded from System32 when a caller
// needs it (the version-file fetch, the connection check). Every handle it
// opens comes with an owner that closes it through the library.
#pragma once

#include <memory>
#include <string>

#include "platform/unique_resource.h"
#include "platform/windows_api.h"

namespace platform {

struct InternetHandleCloser {
  using CloseFunction = BOOL(WINAPI*)(void*);
  CloseFunction close = nullptr;
  void operator()(void* handle) const {
    if (close != nullptr) (void)close(handle);
  }
};
// An open session or request; empty when the open failed.
using InternetHandle = std::unique_ptr<void, InternetHandleCloser>;

// Which way a session's requests take.
enum class ProxyUse {
  System,  // the user's proxy settings
  Direct,  // no proxy
  Named,   // the given proxy
};

class InternetLibrary {
 public:
  InternetLibrary();
  InternetLibrary(const InternetLibrary&) = delete;
  InternetLibrary& operator=(const InternetLibrary&) = delete;

  // False when the library or one of the functions below is missing.
  [[nodiscard]] bool IsUsable() const;

  // A session with this agent name; `proxy` ("host:port") for Named.
  [[nodiscard]] InternetHandle Open(const wchar_t* agent, ProxyUse use = ProxyUse::System,
                                    const std::wstring& proxy = std::wstring()) const;
  // Answers a proxy's challenge (407) to `request`: sends it again with
  // this user name and password; false when it could not be sent.
  [[nodiscard]] bool ResendWithProxyCredentials(void* request, const std::wstring& user,
                                                const std::wstring& password) const;
  // Sets the connect, send and receive time-outs of a session.
  void SetTimeouts(void* session, DWORD milliseconds) const;
  [[nodiscard]] InternetHandle OpenUrl(void* session, const std::wstring& url, DWORD flags) const;
  // Bytes that can be read now without waiting for more.
  [[nodiscard]] bool QueryAvailable(void* request, DWORD& available) const;
  [[nodiscard]] bool Read(void* request, void* buffer, DWORD size, DWORD& read) const;
  // A numeric header of the answer (HTTP_QUERY_* without the number flag);
  // false when absent.
  [[nodiscard]] bool QueryNumber(void* request, DWORD query, DWORD& value) const;
  // InternetCheckConnectionA with FLAG_ICC_FORCE_CONNECTION.
  [[nodiscard]] bool CheckConnection(const std::string& address) const;

 private:
  using OpenFunction = void*(WINAPI*)(LPCWSTR, DWORD, LPCWSTR, LPCWSTR, DWORD);
  using OpenUrlFunction = void*(WINAPI*)(void*, LPCWSTR, LPCWSTR, DWORD, DWORD, DWORD_PTR);
  using ReadFunction = BOOL(WINAPI*)(void*, void*, DWORD, DWORD*);
  using SetOptionFunction = BOOL(WINAPI*)(void*, DWORD, void*, DWORD);
  using QueryAvailableFunction = BOOL(WINAPI*)(void*, DWORD*, DWORD, DWORD_PTR);
  using QueryInfoFunction = BOOL(WINAPI*)(void*, DWORD, void*, DWORD*, DWORD*);
  using CheckFunction = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD);
  using SendFunction = BOOL(WINAPI*)(void*, LPCWSTR, DWORD, void*, DWORD);

  template <class Function>
  Function Lookup(const char* name) const {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module_.Get(), name)));
  }

  UniqueModule module_;
  OpenFunction open_ = nullptr;
  OpenUrlFunction open_url_ = nullptr;
  ReadFunction read_ = nullptr;
  InternetHandleCloser::CloseFunction close_ = nullptr;
  SetOptionFunction set_option_ = nullptr;
  QueryAvailableFunction query_available_ = nullptr;
  QueryInfoFunction query_info_ = nullptr;
  CheckFunction check_connection_ = nullptr;
  SendFunction send_ = nullptr;
};

}  // namespace platform
