#include "ui/folder_browser.h"

#include <memory>

#include "platform/shell_library.h"
#include "startup/log.h"
#include "toolkit/com_owners.h"

namespace ui {
namespace {

struct CoTaskMemDeleter {
  void operator()(ITEMIDLIST* list) const { ::CoTaskMemFree(list); }
};
using ItemList = std::unique_ptr<ITEMIDLIST, CoTaskMemDeleter>;

}  // namespace

std::wstring BrowseForFolderOwnedBy(HWND owner) {
  const platform::ShellLibrary& shell = platform::LoadShellLibrary();
  if (shell.special_folder == nullptr || shell.browse_for_folder == nullptr || shell.path_from_list == nullptr) {
    startup::Log("No folder browser: the desktop shell is not available\n");
    return {};
  }
  const toolkit::ScopedOle ole;  // the dialog needs it; usually the run's is up already
  PIDLIST_ABSOLUTE raw_root = nullptr;
  (void)shell.special_folder(owner, CSIDL_DRIVES, &raw_root);
  const ItemList root(raw_root);
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.pidlRoot = root.get();
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  const ItemList chosen(shell.browse_for_folder(&info));
  if (!chosen) return {};
  wchar_t path[MAX_PATH] = {};
  if (!shell.path_from_list(chosen.get(), path)) return {};
  return path;
}

}  // namespace ui
