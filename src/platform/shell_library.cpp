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

}  // namespace platform
