#include "install/default_install_folder.h"

#include "platform/registry_key.h"
#include "platform/shell_library.h"
#include "startup/product_config.h"

namespace install {
namespace {

void AppendPiece(std::wstring& folder, const std::wstring& piece) {
  size_t first = 0;
  size_t last = piece.size();
  while (first < last && (piece[first] == L'\\' || piece[first] == L'/')) ++first;
  while (last > first && (piece[last - 1] == L'\\' || piece[last - 1] == L'/')) --last;
  if (first == last) return;
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  folder.append(piece, first, last - first);
}

}  // namespace

std::wstring JoinInstallFolder(const InstallFolderParts& parts) {
  std::wstring folder = parts.base;
  // A drive root ("C:\") keeps its backslash; any other base loses a trailing one.
  while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  AppendPiece(folder, parts.product_folder);
  return folder;
}

std::wstring BrowsedInstallFolder(const std::wstring& chosen, const std::wstring& extent_folder) {
  if (chosen.empty()) return {};
  return JoinInstallFolder({chosen, extent_folder});
}

std::wstring StoredProgramFilesFolder() {
  const std::wstring stored =
      platform::RegistryKey::Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                                  platform::RegistryView::Default)
          .ReadString(L"ProgramFilesDir")
          .value_or(L"");
  return stored.find(L'%') == std::wstring::npos ? stored : std::wstring();  // unexpanded: not usable
}

std::wstring ProgramFilesFolder() {
  // Read directly because the home page shows the folder: asking the shell
  // would load shell32 before the window's first frame. The shell remains
  // the answer when the value is missing.
  const std::wstring stored = StoredProgramFilesFolder();
  if (!stored.empty()) return stored;
  const platform::ShellLibrary& shell = platform::LoadShellLibrary();
  if (shell.folder_path == nullptr) return {};
  wchar_t path[MAX_PATH] = {};
  if (FAILED(shell.folder_path(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return path;
}

InstallFolderParts InstallFolderPartsFromConfig() {
  const startup::ProductConfig& config = startup::Config();
  InstallFolderParts parts;
  parts.base = config.IsOn("BProgramFilesPath") ? config.Get("InstallProgramFilesPath") : ProgramFilesFolder();
  parts.product_folder = config.GetForEdition("InstallPath");
  return parts;
}

std::wstring DefaultInstallFolder() { return JoinInstallFolder(InstallFolderPartsFromConfig()); }

}  // namespace install
