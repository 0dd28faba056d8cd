#include "install/process_launcher.h"

#include <algorithm>

#include "install/result_codes.h"
#include "platform/message_pump.h"
#include "startup/log.h"

namespace install {
namespace {

constexpr DWORD kSliceMs = 200;

DWORD RemainingMs(ULONGLONG deadline) {
  const ULONGLONG now = ::GetTickCount64();
  return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

}  // namespace

bool IsAbsolutePath(const std::wstring& path) {
  if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') {
    const wchar_t d = path[0];
    return (d >= L'a' && d <= L'z') || (d >= L'A' && d <= L'Z');
  }
  return path.size() > 2 && path[0] == L'\\' && path[1] == L'\\';
}

platform::UniqueHandle StartProcess(const std::wstring& application, const std::wstring& parameters,
                                    const char* failure_format) {
  if (!IsAbsolutePath(application) || application.find(L'"') != std::wstring::npos) {
    startup::Log(failure_format, static_cast<int>(ERROR_BAD_PATHNAME));
    return platform::UniqueHandle();
  }
  std::wstring command_line = L"\"" + application + L"\"" + parameters;
  STARTUPINFOW startup_info{};
  startup_info.cb = sizeof(startup_info);
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(application.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup_info, &info)) {
    startup::Log(failure_format, static_cast<int>(::GetLastError()));
    return platform::UniqueHandle();
  }
  platform::UniqueHandle thread(info.hThread);  // closed here: only the process is waited on
  return platform::UniqueHandle(info.hProcess);
}

ProcessRun WaitForProcess(HANDLE process, DWORD timeout_ms) {
  const bool unbounded = timeout_ms == INFINITE;
  const ULONGLONG deadline = unbounded ? 0 : ::GetTickCount64() + timeout_ms;
  for (;;) {
    const DWORD slice = unbounded ? kSliceMs : std::min(kSliceMs, RemainingMs(deadline));
    const platform::WaitOutcome outcome = platform::WaitWithMessages(process, slice);
    if (outcome == platform::WaitOutcome::Signalled) break;
    if (outcome == platform::WaitOutcome::Closing) return {WaitEnd::QuitRequested, kStillActive};
    if (outcome == platform::WaitOutcome::Failed) {
      // The handle cannot be waited on: its exit code tells whether it still runs.
      DWORD code = 0;
      if (!::GetExitCodeProcess(process, &code)) break;
      if (code != static_cast<DWORD>(kStillActive)) break;
      if (platform::WaitWithMessages(nullptr, kSliceMs) == platform::WaitOutcome::Closing) {
        return {WaitEnd::QuitRequested, kStillActive};
      }
    }
    if (!unbounded && RemainingMs(deadline) == 0) return {WaitEnd::TimedOut, kStillActive};
  }
  DWORD code = 0;
  if (!::GetExitCodeProcess(process, &code)) return {WaitEnd::CodeUnreadable, kExitCodeUnreadable};
  return {WaitEnd::Exited, static_cast<int32_t>(code)};
}

ProcessRun RunAndWait(const std::wstring& application, const std::wstring& parameters) {
  platform::UniqueHandle process = StartProcess(application, parameters, "Install ErrCode=%d\n");
  if (!process.IsValid()) return {WaitEnd::NotStarted, kLaunchFailed};
  const ProcessRun run = WaitForProcess(process.Get(), INFINITE);
  switch (run.end) {
    case WaitEnd::Exited: startup::Log("Install return=%ld\n", static_cast<long>(run.code)); break;
    case WaitEnd::CodeUnreadable: startup::Log("Install ErrCode= %ld\n", static_cast<long>(::GetLastError())); break;
    case WaitEnd::QuitRequested: startup::Log("Install wait ended by a quit request; the installer goes on\n"); break;
    case WaitEnd::NotStarted:
    case WaitEnd::TimedOut: break;
  }
  return run;
}

int32_t LaunchDetached(const std::wstring& application, const std::wstring& parameters) {
  platform::UniqueHandle process = StartProcess(application, parameters, "Install recomand ErrCode=%d\n");
  if (!process.IsValid()) return kLaunchFailed;
  DWORD code = 0;
  if (!::GetExitCodeProcess(process.Get(), &code)) {
    startup::Log("Install  recomand ErrCode= %ld\n", static_cast<long>(::GetLastError()));
    return kExitCodeUnreadable;
  }
  startup::Log("Install recomand return=%ld\n", static_cast<long>(code));
  return static_cast<int32_t>(code);
}

}  // namespace install
