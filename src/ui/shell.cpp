#include "ui/shell.h"

#include "install/retry_policy.h"
#include "platform/shell_library.h"
#include "startup/log.h"

namespace ui {

bool SystemShell::OpenUrl(const std::wstring& url) {
  if (platform::OpenWithShell(url)) return true;
  startup::Log("Cannot open %s: the desktop shell refused it or is not available\n", url);
  return false;
}

bool SystemShell::StartProgram(const std::wstring& program, const std::wstring& folder) {
  const platform::ShellLibrary& shell = platform::LoadShellLibrary();
  if (shell.execute == nullptr) {
    startup::Log("Cannot start %s: the desktop shell is not available\n", program);
    return false;
  }
  const auto result = reinterpret_cast<INT_PTR>(shell.execute(
      nullptr, nullptr, program.c_str(), nullptr, folder.empty() ? nullptr : folder.c_str(), SW_SHOWNORMAL));
  if (result <= 32) startup::Log("Cannot start %s: %d\n", program, static_cast<int>(result));
  return result > 32;
}

bool SystemShell::RestartWindows() { return install::RequestRestart(); }

bool DryRunShell::Requested() {
  wchar_t value[4] = {};
  const DWORD length = ::GetEnvironmentVariableW(L"WEBINSTALLER_SHELL_DRY_RUN", value, 4);
  return length == 1 && value[0] == L'1';
}

bool DryRunShell::OpenUrl(const std::wstring& url) {
  startup::Log("Dry run: the browser would open %s\n", url);
  return true;
}

bool DryRunShell::StartProgram(const std::wstring& program, const std::wstring& folder) {
  return system_.StartProgram(program, folder);
}

bool DryRunShell::RestartWindows() {
  startup::Log("Dry run: Windows would restart now\n");
  return true;
}

bool OpenWebAddress(IShell& shell, const std::wstring& url, const char* what) {
  if (!install::IsOpenableWebAddress(url)) {
    startup::Log("%s not opened: not a web address: %s\n", what, url);
    return false;
  }
  return shell.OpenUrl(url);
}

std::wstring WithoutQuotes(const std::wstring& path) {
  if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') return path.substr(1, path.size() - 2);
  return path;
}

}  // namespace ui
