#include "net/trust_library.h"

#include "platform/system_paths.h"
#include "startup/log.h"

namespace net {

TrustLibrary TrustLibraryFrom(const std::wstring& file_name) {
  // Never freed: the functions stay in use until the process ends.
  HMODULE module = platform::LoadSystemLibrary(file_name).Release();
  TrustLibrary functions;
  functions.verify = platform::FunctionOf<TrustLibrary::VerifyFunction>(module, "WinVerifyTrust");
  functions.provider_data =
      platform::FunctionOf<TrustLibrary::ProviderDataFunction>(module, "WTHelperProvDataFromStateData");
  functions.signer = platform::FunctionOf<TrustLibrary::SignerFunction>(module, "WTHelperGetProvSignerFromChain");
  if (!functions.Complete()) startup::Log("The signature check library %s is missing or incomplete\n", file_name);
  return functions;
}

const TrustLibrary& LoadTrustLibrary() {
  // A function-local static: its one-time initialisation is thread-safe.
  static const TrustLibrary loaded = TrustLibraryFrom(L"wintrust.dll");
  return loaded;
}

}  // namespace net
