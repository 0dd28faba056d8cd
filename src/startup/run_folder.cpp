#include "startup/run_folder.h"

#include "platform/private_folder.h"
#include "platform/system_paths.h"
#include "platform/text.h"
#include "startup/log.h"

namespace startup {
namespace {

constexpr int kCreateTries = 100;
constexpr wchar_t kRunFolderPrefix[] = L"run-";

bool IsLink(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

uint64_t FileTimeSeconds(const FILETIME& time) {
  return ((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 10000000;
}

uint64_t NowSeconds() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  return FileTimeSeconds(now);
}

// Held with read access and without delete sharing: while the handle is
// open nobody can rename or delete the folder. A link in its place is refused.
platform::UniqueHandle HoldFolder(const std::wstring& folder) {
  platform::UniqueHandle held(::CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            nullptr, OPEN_EXISTING,
                                            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  BY_HANDLE_FILE_INFORMATION information{};
  if (!held.IsValid() || !::GetFileInformationByHandle(held.Get(), &information) ||
      IsLink(information.dwFileAttributes) || (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return platform::UniqueHandle();
  }
  return held;
}

// Deletes the plain files of `folder` (a link is deleted as a link), then
// the folder when it is empty. Held meanwhile, so it cannot be swapped for a
// link into somebody else's folder between the look and the deletes.
void RemoveFolderAndFiles(const std::wstring& folder) {
  platform::UniqueHandle held = HoldFolder(folder);
  if (!held.IsValid()) return;
  WIN32_FIND_DATAW entry;
  const platform::UniqueFind find(::FindFirstFileW((folder + L"\\*").c_str(), &entry));
  if (find.IsValid()) {
    do {
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
      (void)::DeleteFileW((folder + L"\\" + entry.cFileName).c_str());  // in use: kept for next time
    } while (::FindNextFileW(find.Get(), &entry));
  }
  held.Reset();
  if (::RemoveDirectoryW(folder.c_str())) Log("Removed the stale run folder %s\n", folder);
}

// The parent, held while it is used; never a link.
platform::UniqueHandle HoldParent(const std::wstring& parent) {
  platform::UniqueHandle held = HoldFolder(parent.substr(0, parent.size() - 1));
  if (!held.IsValid()) Log("%s is not a plain folder of ours: not used\n", parent);
  return held;
}

}  // namespace

RunFolder::~RunFolder() {
  if (path_.empty()) return;
  held_.Reset();
  (void)::RemoveDirectoryW(path_.c_str());  // only when empty: a setup log stays for support
}

bool RunFolder::Create() {
  if (!path_.empty()) return true;
  const std::wstring parent = RunFoldersParent();
  if (parent.empty()) return false;
  (void)::CreateDirectoryW(parent.c_str(), nullptr);  // usually there from an earlier run
  const platform::UniqueHandle held_parent = HoldParent(parent);
  if (!held_parent.IsValid()) return false;
  const std::wstring stem = parent + kRunFolderPrefix + platform::DecimalText(::GetCurrentProcessId()) + L"-" +
                            platform::DecimalText(::GetTickCount64());
  for (int i = 0; i < kCreateTries; ++i) {
    const std::wstring candidate = stem + L"-" + platform::DecimalText(i);
    // Made now, by us: nothing in it can be someone else's.
    if (!platform::CreatePrivateFolder(candidate)) continue;
    held_ = HoldFolder(candidate);
    if (!held_.IsValid()) {
      Log("Run folder %s cannot be held open: %u\n", candidate, ::GetLastError());
      return false;
    }
    path_ = candidate + L"\\";
    Log("Run folder: %s (%s)\n", path_,
        platform::IsProcessElevated() ? "administrators and the system only" : "this user and the system only");
    return true;
  }
  Log("Cannot create a folder of our own below %s: %u\n", parent, ::GetLastError());
  return false;
}

std::wstring RunFoldersParent() {
  const std::wstring temp = platform::TempFolder();
  return temp.empty() ? std::wstring() : temp + L"Mediloom\\";
}

void RemoveStaleRunFolders(uint64_t max_age_seconds) {
  const std::wstring parent = RunFoldersParent();
  if (parent.empty() || ::GetFileAttributesW(parent.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  const platform::UniqueHandle held_parent = HoldParent(parent);
  if (!held_parent.IsValid()) return;
  const uint64_t now = NowSeconds();
  WIN32_FIND_DATAW entry;
  const platform::UniqueFind find(::FindFirstFileW((parent + kRunFolderPrefix + L"*").c_str(), &entry));
  if (!find.IsValid()) return;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || IsLink(entry.dwFileAttributes)) {
      continue;
    }
    const uint64_t touched = FileTimeSeconds(entry.ftLastWriteTime);
    if (touched + max_age_seconds < now) RemoveFolderAndFiles(parent + entry.cFileName);
  } while (::FindNextFileW(find.Get(), &entry));
}

}  // namespace startup
