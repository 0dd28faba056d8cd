// The system's common controls (comctl32), loaded when first used instead
// of by the loader: loading it takes tens of milliseconds, and the window's
// first frame needs nothing from it (the tooltip and the native edits are
// made after that frame). It is loaded by name, so the program's manifest
// picks version 6; otherwise the process looks for DLLs in System32 only.
#pragma once

#include "platform/windows_api.h"

// clang-format off
#include <commctrl.h>
// clang-format on

namespace toolkit {

struct CommonControls {
  using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  using SetSubclassFunction = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR);
  using RemoveSubclassFunction = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR);
  using DefSubclassFunction = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM);

  // Each is nullptr when the library or the function is missing.
  InitFunction init = nullptr;
  SetSubclassFunction set_subclass = nullptr;
  RemoveSubclassFunction remove_subclass = nullptr;
  DefSubclassFunction def_subclass_proc = nullptr;
};

// Loads the library on the first call (the UI thread's) and keeps it for
// the process's life.
[[nodiscard]] const CommonControls& LoadCommonControls();

}  // namespace toolkit
