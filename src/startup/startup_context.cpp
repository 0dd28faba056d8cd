#include "startup/startup_context.h"

#include "startup/log.h"

namespace startup {

StartupContext::~StartupContext() {
  for (const platform::UniqueHandle& mutex : instance_mutexes) {
    // Fails harmlessly for a mutex another instance owns.
    if (mutex.IsValid()) (void)::ReleaseMutex(mutex.Get());
  }
}

std::vector<std::wstring> SplitCommaList(const std::wstring& value) {
  std::vector<std::wstring> pieces;
  if (value.empty()) return pieces;
  size_t start = 0;
  for (size_t comma; (comma = value.find(L',', start)) != std::wstring::npos; start = comma + 1) {
    pieces.push_back(value.substr(start, comma - start));
  }
  pieces.push_back(value.substr(start));
  return pieces;
}

bool ClaimSingleInstance(StartupContext& context, const std::wstring& installer_name) {
  for (const std::wstring& name : SplitCommaList(installer_name)) {
    platform::UniqueHandle mutex(::CreateMutexW(nullptr, TRUE, name.c_str()));
    const bool existed = ::GetLastError() == ERROR_ALREADY_EXISTS;
    const bool created = mutex.IsValid();
    context.instance_mutexes.push_back(std::move(mutex));
    if (created && existed) {
      Log("ClaimSingleInstance: %s is held by another instance\n", name);
      return false;
    }
  }
  return true;
}

void ActivateOtherInstance(const std::wstring& caption) {
  if (caption.empty()) return;
  HWND window = ::FindWindowW(nullptr, caption.c_str());
  if (window == nullptr || !::IsWindow(window)) return;
  if (::IsIconic(window)) ::ShowWindow(window, SW_RESTORE);
  ::SetForegroundWindow(window);
  ::SetFocus(window);
}

}  // namespace startup
