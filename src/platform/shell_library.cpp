#include "platform/shell_library.h"

#include "platform/system_paths.h"

namespace platform {

ShellLibrary ShellLibraryFrom(const std::wstring& file_name) {
  // Never freed: a started program or an open dialog may still use it.
  HMODULE module = LoadSystemLibrary(file_name).Release();
  ShellLibrary functions;
  functions.execute = FunctionOf<ShellLibrary::ExecuteFunction>(module, "ShellExecuteW");
  functions.folder_path = FunctionOf<ShellLibrary::FolderPathFunction>(module, "SHGetFolderPathW");
  functions.browse_for_folder = FunctionOf<ShellLibrary::BrowseFunction>(module, "SHBrowseForFolderW");
  functions.path_from_list = FunctionOf<ShellLibrary::PathFromListFunction>(module, "SHGetPathFromIDListW");
  functions.special_folder = FunctionOf<ShellLibrary::SpecialFolderFunction>(module, "SHGetSpecialFolderLocation");
  return functions;
}

const ShellLibrary& LoadShellLibrary() {
  // A function-local static: its one-time initialisation is thread-safe.
  static const ShellLibrary loaded = ShellLibraryFrom(L"shell32.dll");
  return loaded;
}

bool OpenWithShell(const std::wstring& target) {
  const ShellLibrary& shell = LoadShellLibrary();
  if (shell.execute == nullptr) return false;
  // ShellExecuteW's "instance" is an error code at or below 32.
  const auto result =
      reinterpret_cast<INT_PTR>(shell.execute(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

}  // namespace platform
