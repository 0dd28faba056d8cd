// The system's signature verification (wintrust), loaded from System32 when
// the first download is checked instead of by the loader: the window's
// first frame needs nothing from it. The check runs on a worker thread, so
// the one-time load is safe from any thread.
#pragma once

#include <string>

// clang-format off
#include "platform/windows_api.h"
#include <wincrypt.h>
#include <wintrust.h>
// clang-format on

namespace net {

struct TrustLibrary {
  using VerifyFunction = LONG(WINAPI*)(HWND, GUID*, LPVOID);
  using ProviderDataFunction = CRYPT_PROVIDER_DATA*(WINAPI*)(HANDLE);
  using SignerFunction = CRYPT_PROVIDER_SGNR*(WINAPI*)(CRYPT_PROVIDER_DATA*, DWORD, BOOL, DWORD);

  // Each is nullptr when the library or the function is missing.
  VerifyFunction verify = nullptr;               // WinVerifyTrust
  ProviderDataFunction provider_data = nullptr;  // WTHelperProvDataFromStateData
  SignerFunction signer = nullptr;               // WTHelperGetProvSignerFromChain

  // A verification needs all three.
  [[nodiscard]] bool Complete() const { return verify != nullptr && provider_data != nullptr && signer != nullptr; }
};

// wintrust.dll's functions, loaded on the first call and kept for the
// process's life.
[[nodiscard]] const TrustLibrary& LoadTrustLibrary();

// The same functions from System32's `file_name`, kept loaded for the
// process's life (what LoadTrustLibrary does once for wintrust.dll).
[[nodiscard]] TrustLibrary TrustLibraryFrom(const std::wstring& file_name);

}  // namespace net
