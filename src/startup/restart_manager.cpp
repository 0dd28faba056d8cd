#include "startup/restart_manager.h"

// clang-format off
#include "platform/windows_api.h"
#include <restartmanager.h>
// clang-format on

#include "platform/system_paths.h"
#include "platform/unique_resource.h"
#include "startup/log.h"

namespace startup {
namespace {

using StartSession = DWORD(WINAPI*)(DWORD*, DWORD, WCHAR*);
using RegisterResources = DWORD(WINAPI*)(DWORD, UINT, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT, LPCWSTR*);
using Shutdown = DWORD(WINAPI*)(DWORD, ULONG, RM_WRITE_STATUS_CALLBACK);
using EndSession = DWORD(WINAPI*)(DWORD);

template <class Function>
Function Lookup(const platform::UniqueModule& module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module.Get(), name)));
}

// A process as the Restart Manager names it: its id and start time, so a
// reused id never stands for another program.
bool Identify(DWORD id, RM_UNIQUE_PROCESS& process) {
  const platform::UniqueHandle handle(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
  FILETIME exit_time{};
  FILETIME kernel_time{};
  FILETIME user_time{};
  process.dwProcessId = id;
  return handle.IsValid() &&
         ::GetProcessTimes(handle.Get(), &process.ProcessStartTime, &exit_time, &kernel_time, &user_time);
}

}  // namespace

RestartManagerAnswer AskRestartManagerToShutDown(const std::vector<DWORD>& ids) {
  const platform::UniqueModule module = platform::LoadSystemLibrary(L"rstrtmgr.dll");
  const auto start = Lookup<StartSession>(module, "RmStartSession");
  const auto register_resources = Lookup<RegisterResources>(module, "RmRegisterResources");
  const auto shutdown = Lookup<Shutdown>(module, "RmShutdown");
  const auto end = Lookup<EndSession>(module, "RmEndSession");
  if (!module.IsValid() || start == nullptr || register_resources == nullptr || shutdown == nullptr || end == nullptr) {
    Log("Restart Manager: not available here\n");
    return RestartManagerAnswer::Unavailable;
  }
  std::vector<RM_UNIQUE_PROCESS> processes;
  for (const DWORD id : ids) {
    RM_UNIQUE_PROCESS process{};
    if (Identify(id, process)) processes.push_back(process);
  }
  if (processes.empty()) {
    Log("Restart Manager: none of %d process(es) could be named\n", static_cast<int>(ids.size()));
    return RestartManagerAnswer::Refused;
  }
  DWORD session = 0;
  WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
  DWORD result = start(&session, 0, key);
  if (result != ERROR_SUCCESS) {
    Log("Restart Manager: RmStartSession refused: %u\n", result);
    return RestartManagerAnswer::Refused;
  }
  result = register_resources(session, 0, nullptr, static_cast<UINT>(processes.size()), processes.data(), 0, nullptr);
  if (result == ERROR_SUCCESS) {
    // No force: a product that declines (unsaved work) stays, and the
    // caller's next means decide.
    result = shutdown(session, 0, nullptr);
    if (result != ERROR_SUCCESS) Log("Restart Manager: RmShutdown refused: %u\n", result);
  } else {
    Log("Restart Manager: RmRegisterResources refused: %u\n", result);
  }
  const DWORD ended = end(session);
  if (ended != ERROR_SUCCESS) Log("Restart Manager: RmEndSession failed: %u\n", ended);
  if (result != ERROR_SUCCESS) return RestartManagerAnswer::Refused;
  Log("Restart Manager: RmShutdown answered success for %d process(es)\n", static_cast<int>(processes.size()));
  return RestartManagerAnswer::ShutDown;
}

}  // namespace startup
