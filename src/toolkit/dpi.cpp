#include "toolkit/dpi.h"

#include "toolkit/gdi_owners.h"

namespace toolkit {
namespace {

HMODULE User32() { return ::GetModuleHandleW(L"user32.dll"); }

template <class T>
T Lookup(const char* name) {
  HMODULE user32 = User32();
  return user32 != nullptr ? reinterpret_cast<T>(reinterpret_cast<void*>(::GetProcAddress(user32, name))) : nullptr;
}

}  // namespace

bool EnableDpiAwareness() {
  using SetContext = BOOL(WINAPI*)(HANDLE);
  if (auto set_context = Lookup<SetContext>("SetProcessDpiAwarenessContext")) {
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
    if (set_context(reinterpret_cast<HANDLE>(static_cast<intptr_t>(-4)))) return true;
    const DWORD error = ::GetLastError();
    if (error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_PARAMETER) return true;
  }
  using SetAware = BOOL(WINAPI*)();
  if (auto set_aware = Lookup<SetAware>("SetProcessDPIAware")) return set_aware() != FALSE;
  return false;
}

int DpiOfWindow(HWND window) {
  using GetForWindow = UINT(WINAPI*)(HWND);
  if (auto get_for_window = Lookup<GetForWindow>("GetDpiForWindow")) {
    const UINT dpi = window != nullptr ? get_for_window(window) : 0;
    if (dpi > 0) return static_cast<int>(dpi);
  }
  ScopedWindowDc screen(nullptr);
  const int dpi = screen.Get() != nullptr ? ::GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
  return dpi > 0 ? dpi : 96;
}

}  // namespace toolkit
