#include "ui/folder_browser.h"

#include <memory>

#include <shlobj.h>

#include "toolkit/com_owners.h"

namespace ui {
namespace {

struct CoTaskMemDeleter {
  void operator()(ITEMIDLIST* list) const { ::CoTaskMemFree(list); }
};
using ItemList = std::unique_ptr<ITEMIDLIST, CoTaskMemDeleter>;

}  // namespace

std::wstring BrowseForFolderOwnedBy(HWND owner) {
  const toolkit::ScopedOle ole;  // the dialog needs it; usually the run's is up already
  PIDLIST_ABSOLUTE raw_root = nullptr;
  (void)::SHGetSpecialFolderLocation(owner, CSIDL_DRIVES, &raw_root);
  const ItemList root(raw_root);
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.pidlRoot = root.get();
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  const ItemList chosen(::SHBrowseForFolderW(&info));
  if (!chosen) return {};
  wchar_t path[MAX_PATH] = {};
  if (!::SHGetPathFromIDListW(chosen.get(), path)) return {};
  return path;
}

}  // namespace ui
