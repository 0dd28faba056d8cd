// The desktop shell's functions (shell32), loaded from System32 when first
// used instead of by the loader: the window's first frame needs nothing
// from it, and it is one of the larger system libraries. Callers handle a
// missing function as a plain failure.
#pragma once

#include <string>

#include "platform/windows_api.h"

// clang-format off
#include <shlobj.h>
// clang-format on

namespace platform {

struct ShellLibrary {
  using ExecuteFunction = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
  using FolderPathFunction = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
  using BrowseFunction = PIDLIST_ABSOLUTE(WINAPI*)(LPBROWSEINFOW);
  using PathFromListFunction = BOOL(WINAPI*)(PCIDLIST_ABSOLUTE, LPWSTR);
  using SpecialFolderFunction = HRESULT(WINAPI*)(HWND, int, PIDLIST_ABSOLUTE*);

  // Each is nullptr when the library or the function is missing.
  ExecuteFunction execute = nullptr;               // ShellExecuteW
  FolderPathFunction folder_path = nullptr;        // SHGetFolderPathW
  BrowseFunction browse_for_folder = nullptr;      // SHBrowseForFolderW
  PathFromListFunction path_from_list = nullptr;   // SHGetPathFromIDListW
  SpecialFolderFunction special_folder = nullptr;  // SHGetSpecialFolderLocation
};

// shell32.dll's functions, loaded on the first call (from any thread, once)
// and kept for the process's life.
[[nodiscard]] const ShellLibrary& LoadShellLibrary();

// The same functions from System32's `file_name`, kept loaded for the
// process's life (what LoadShellLibrary does once for shell32.dll).
[[nodiscard]] ShellLibrary ShellLibraryFrom(const std::wstring& file_name);

// Opens `target` (a web address, a document) with the shell's "open" verb;
// false when the shell is missing or refused it.
[[nodiscard]] bool OpenWithShell(const std::wstring& target);

}  // namespace platform
