// The smallest GUI program with the same build settings: the size the
// toolkit adds is skinview's size minus this one's.
#include "platform/windows_api.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  return ::MessageBoxW(nullptr, L"baseline", L"baseline", MB_OK) == IDOK ? 0 : 1;
}
