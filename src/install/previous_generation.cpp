#include "install/previous_generation.h"

#include "install/process_launcher.h"
#include "platform/message_pump.h"
#include "startup/log.h"

namespace install {
namespace {

// Polls the entry until it is gone, dispatching messages in between.
UninstallEnd WaitForEntryToGo(const std::wstring& key, const UninstallSettings& settings,
                              const std::atomic<bool>& cancel, const UninstallBounds& bounds) {
  const ULONGLONG deadline = ::GetTickCount64() + bounds.entry_ms;
  for (;;) {
    if (ReadUninstallValue(key, settings.uninstall_value).empty()) return UninstallEnd::Removed;
    if (cancel.load()) return UninstallEnd::Cancelled;
    if (::GetTickCount64() >= deadline) {
      startup::Log("Uninstall: the old entry is still registered after %u ms; installing anyway\n",
                   static_cast<unsigned>(bounds.entry_ms));
      return UninstallEnd::TimedOut;
    }
    if (platform::WaitWithMessages(nullptr, bounds.poll_ms) == platform::WaitOutcome::Closing) {
      return UninstallEnd::QuitRequested;
    }
  }
}

}  // namespace

std::optional<std::wstring> UninstallerPathFromCommand(const std::wstring& command) {
  std::wstring path;
  if (!command.empty() && command[0] == L'"') {
    const size_t close = command.find(L'"', 1);
    if (close == std::wstring::npos) return std::nullopt;
    path = command.substr(1, close - 1);
  } else {
    path = command;
  }
  if (path.empty()) return std::nullopt;
  return path;
}

UninstallEnd UninstallPreviousGeneration(const UninstallSettings& settings, IPipelineView& view,
                                         const std::wstring& uninstalling_text, const std::atomic<bool>& cancel,
                                         const UninstallBounds& bounds) {
  const std::wstring key = settings.registry_address + L"\\" + settings.registry_name + kPreviousGenerationSuffix;
  const std::wstring command = ReadUninstallValue(key, settings.uninstall_value);
  if (command.empty()) return UninstallEnd::NothingToDo;

  view.TipText(uninstalling_text);
  view.Progress(0);
  const std::optional<std::wstring> path = UninstallerPathFromCommand(command);
  if (!path) {
    startup::Log("Uninstall: unusable uninstall command: %s\n", command);
    return UninstallEnd::Unusable;
  }
  startup::Log("Uninstall: starting %s\n", *path);
  platform::UniqueHandle process =
      StartProcess(*path, L" " + settings.uninstall_parameters + L" ", "Uninstall ErrCode=%d\n");
  if (!process.IsValid()) return UninstallEnd::NotStarted;

  const ProcessRun run = WaitForProcess(process.Get(), bounds.process_ms);
  switch (run.end) {
    case WaitEnd::QuitRequested: return UninstallEnd::QuitRequested;
    case WaitEnd::TimedOut:
      startup::Log("Uninstall: the uninstaller still runs after %u ms; installing anyway\n",
                   static_cast<unsigned>(bounds.process_ms));
      return UninstallEnd::TimedOut;
    case WaitEnd::Exited:
    case WaitEnd::CodeUnreadable:
    case WaitEnd::NotStarted: startup::Log("Uninstall return=%d\n", run.code); break;
  }
  // A refused or failed uninstall keeps its entry: waiting for it to go
  // would only delay the install.
  if (run.end == WaitEnd::Exited && run.code != 0) return UninstallEnd::Failed;
  return WaitForEntryToGo(key, settings, cancel, bounds);
}

}  // namespace install
