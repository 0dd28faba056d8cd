#include "startup/product_presence.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/message_pump.h"
#include "platform/process_list.h"
#include "platform/signal.h"
#include "platform/system_paths.h"
#include "platform/unique_resource.h"
#include "startup/log.h"
#include "startup/restart_manager.h"
#include "startup/startup_context.h"
#include "startup/system_probes.h"

namespace startup {
namespace {

constexpr UINT kEndedExitCode = 9;
constexpr DWORD kPollMs = 100;
// RmShutdown returns once the processes have shut down; they need only a
// moment more to disappear.
constexpr DWORD kAfterRestartManagerMs = 2000;

bool Listed(const std::vector<std::wstring>& names, const std::wstring& exe_name) {
  return std::find(names.begin(), names.end(), exe_name) != names.end();
}

bool InThisSession(DWORD process_id) {
  DWORD mine = 0;
  DWORD theirs = 0;
  return ::ProcessIdToSessionId(::GetCurrentProcessId(), &mine) && ::ProcessIdToSessionId(process_id, &theirs) &&
         mine == theirs;
}

// Ids of the product's processes in this session.
std::vector<DWORD> ProductProcessIds(const std::vector<std::wstring>& names) {
  std::vector<DWORD> ids;
  (void)platform::ForEachProcess([&](const platform::ProcessEntry& process) {
    if (Listed(names, process.exe_name) && process.id != ::GetCurrentProcessId() && InThisSession(process.id)) {
      ids.push_back(process.id);
    }
    return platform::Walk::Continue;
  });
  return ids;
}

// Opens the process and checks that it still is what the snapshot named: a
// process id may have been reused in between.
platform::UniqueHandle OpenConfirmed(DWORD id, DWORD access, const std::vector<std::wstring>& names) {
  platform::UniqueHandle process(::OpenProcess(access | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
  if (!process.IsValid()) return process;
  if (!Listed(names, platform::FileNameOf(platform::ProcessImagePath(process.Get())))) {
    return platform::UniqueHandle();
  }
  return process;
}

// Called from the window's handlers: the window keeps working meanwhile, and
// a quit request ends the wait (posted again for the outer loop).
bool WaitUntilGone(const std::vector<std::wstring>& names, DWORD wait_ms) {
  const ULONGLONG deadline = ::GetTickCount64() + wait_ms;
  for (;;) {
    if (ProductProcessIds(names).empty()) return true;
    if (::GetTickCount64() >= deadline) return false;
    if (platform::WaitWithMessages(nullptr, kPollMs) == platform::WaitOutcome::Closing) {
      return ProductProcessIds(names).empty();
    }
  }
}

struct CloseRequest {
  const std::vector<DWORD>* ids;
};

BOOL CALLBACK PostCloseToProductWindow(HWND window, LPARAM context) {
  const auto* request = reinterpret_cast<const CloseRequest*>(context);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (::IsWindowVisible(window) &&
      std::find(request->ids->begin(), request->ids->end(), owner) != request->ids->end()) {
    ::PostMessageW(window, WM_CLOSE, 0, 0);
  }
  return TRUE;
}

// The Restart Manager waits for the processes it asks: on a worker thread,
// while this (UI) thread keeps its window answering.
RestartManagerAnswer AskRestartManagerPumping(const std::vector<DWORD>& ids) {
  RestartManagerAnswer answer = RestartManagerAnswer::Unavailable;
  platform::Signal done;
  std::thread worker;
  try {
    worker = std::thread([&] {
      platform::SignalOnExit signal_done(done);
      answer = AskRestartManagerToShutDown(ids);
    });
  } catch (const std::system_error&) {
    return AskRestartManagerToShutDown(ids);
  }
  // A quit request is posted again by the wait; the session still ends first.
  (void)done.WaitPumping();
  worker.join();
  return answer;
}

}  // namespace

bool IsProductRunning(const std::wstring& process_names) {
  const std::vector<std::wstring> names = SplitCommaList(process_names);
  if (names.empty()) return false;
  bool running = false;
  (void)platform::ForEachProcess([&](const platform::ProcessEntry& process) {
    running = Listed(names, process.exe_name);
    return running ? platform::Walk::Stop : platform::Walk::Continue;
  });
  return running;
}

std::optional<std::wstring> FindProductSubkey(const std::wstring& path, const std::wstring& name,
                                              platform::RegistryView view) {
  if (name.empty()) return std::nullopt;  // every subkey contains the empty text
  const platform::RegistryKey key = platform::RegistryKey::Open(HKEY_LOCAL_MACHINE, path, view, KEY_READ);
  for (const std::wstring& subkey : key.SubkeyNames()) {
    if (subkey.find(name) != std::wstring::npos) return subkey;
  }
  return std::nullopt;
}

bool IsProductInstalled(const std::wstring& registry_address, const std::wstring& registry_name) {
  using platform::RegistryView;
  if (registry_name.empty()) {
    Log("IsProductInstalled: no RegistryName configured; the product counts as not installed\n");
    return false;
  }
  if (!Is64BitWindows()) {
    return FindProductSubkey(registry_address, registry_name, RegistryView::Default).has_value();
  }
  return FindProductSubkey(registry_address, registry_name, RegistryView::Bits32) ||
         FindProductSubkey(registry_address, registry_name, RegistryView::Bits64);
}

bool AskProductToClose(const std::wstring& process_names, DWORD wait_ms) {
  const std::vector<std::wstring> names = SplitCommaList(process_names);
  const std::vector<DWORD> ids = ProductProcessIds(names);
  if (ids.empty()) return true;
  CloseRequest request{&ids};
  ::EnumWindows(PostCloseToProductWindow, reinterpret_cast<LPARAM>(&request));
  const bool gone = WaitUntilGone(names, wait_ms);
  Log("AskProductToClose: %d process(es) asked, %s\n", static_cast<int>(ids.size()),
      gone ? L"all closed" : L"still running");
  return gone;
}

bool CloseOrEndProduct(const std::wstring& process_names, DWORD wait_ms) {
  const std::vector<std::wstring> names = SplitCommaList(process_names);
  const std::vector<DWORD> ids = ProductProcessIds(names);
  if (ids.empty()) return true;
  Log("Closing the product: asking the Restart Manager first\n");
  if (AskRestartManagerPumping(ids) == RestartManagerAnswer::ShutDown) {
    if (WaitUntilGone(names, std::min(wait_ms, kAfterRestartManagerMs))) {
      Log("Closing the product: the Restart Manager closed it\n");
      return true;
    }
    Log("Closing the product: the Restart Manager reported a shutdown, yet the product still runs\n");
  }
  if (AskProductToClose(process_names, wait_ms)) return true;
  Log("Closing the product: still running after the close message; ending it\n");
  return EndProductProcesses(process_names, wait_ms);
}

bool EndProductProcesses(const std::wstring& process_names, DWORD wait_ms) {
  const std::vector<std::wstring> names = SplitCommaList(process_names);
  for (DWORD id : ProductProcessIds(names)) {
    platform::UniqueHandle process = OpenConfirmed(id, PROCESS_TERMINATE, names);
    if (!process.IsValid()) continue;  // not ours to end, or no longer the product
    if (!::TerminateProcess(process.Get(), kEndedExitCode)) {
      Log("EndProductProcesses: cannot end process %u, error %u\n", id, ::GetLastError());
    }
  }
  return WaitUntilGone(names, wait_ms);
}

}  // namespace startup
