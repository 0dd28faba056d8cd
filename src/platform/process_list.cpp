#include "platform/process_list.h"

#include <tlhelp32.h>

#include "platform/unique_resource.h"

namespace platform {

bool ForEachProcess(const std::function<Walk(const ProcessEntry&)>& visit) {
  UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.IsValid()) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry)) {
    ProcessEntry process{entry.th32ProcessID, std::wstring(entry.szExeFile, wcsnlen(entry.szExeFile, MAX_PATH))};
    if (visit(process) == Walk::Stop) break;
  }
  return true;
}

std::wstring ProcessImagePath(HANDLE process) {
  wchar_t buffer[MAX_PATH * 2];
  DWORD length = MAX_PATH * 2;
  if (!::QueryFullProcessImageNameW(process, 0, buffer, &length)) return {};
  return std::wstring(buffer, length);
}

}  // namespace platform
