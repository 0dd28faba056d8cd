#include "startup/system_probes.h"

#include <atomic>
#include <memory>
#include <system_error>
#include <thread>

#include <objbase.h>

#include "platform/internet_library.h"
#include "platform/message_pump.h"
#include "platform/registry_key.h"
#include "platform/signal.h"
#include "platform/text.h"
#include "platform/unique_resource.h"
#include "startup/launch_parameters.h"
#include "startup/log.h"

namespace startup {
namespace {

constexpr DWORD kReasonApplication = 0x00040000;  // SHTDN_REASON_MAJOR_APPLICATION

std::wstring GuidValueName() { return L"GUID"; }

}  // namespace

bool UserSidText(std::wstring& sid_text) {
  platform::UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return false;
  DWORD size = 0;
  (void)::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);  // asks for the size
  if (size == 0 || size > 4096) return false;
  std::vector<BYTE> buffer(size);
  if (!::GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size)) return false;
  PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
  if (!::IsValidSid(sid)) return false;

  const SID_IDENTIFIER_AUTHORITY* authority = ::GetSidIdentifierAuthority(sid);
  std::wstring text = L"S-1-" + platform::DecimalText(authority->Value[5]);
  const UCHAR count = *::GetSidSubAuthorityCount(sid);
  if (count >= 16) return false;
  for (UCHAR i = 0; i < count; ++i) text += L"-" + platform::DecimalText(*::GetSidSubAuthority(sid, i));
  sid_text = text;
  return true;
}

std::wstring MachineGuidKeyPath() {
  return Parameters().IsVexaEdition() ? L"SOFTWARE\\VEXA\\DownLoadInstall\\" : L"SOFTWARE\\Brimvale\\DownLoadInstall\\";
}

// By hand rather than with snprintf, which would bring MinGW's printf
// (about 25 KB with its float conversion) into the shipped program.
std::string FormatGuid(const GUID& guid) {
  std::string text;
  enum class LetterCase : uint8_t { Lower, Upper };
  auto hex = [&text](unsigned long value, int digits, LetterCase letters) {
    const char* digit_set = letters == LetterCase::Upper ? "0123456789ABCDEF" : "0123456789abcdef";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) text.push_back(digit_set[(value >> shift) & 0xF]);
  };
  hex(guid.Data1, 8, LetterCase::Upper);
  text.push_back('-');
  hex(guid.Data2, 4, LetterCase::Upper);
  text.push_back('-');
  hex(guid.Data3, 4, LetterCase::Lower);  // lower case: the stored machine ids have always had it
  text.push_back('-');
  for (int i = 0; i < 8; ++i) {
    if (i == 2) text.push_back('-');
    hex(guid.Data4[i], 2, LetterCase::Upper);
  }
  return text;
}

std::string MachineGuid() {
  using platform::RegistryKey;
  using platform::RegistryView;
  const std::wstring path = MachineGuidKeyPath();
  // The shipped program is 32-bit: its own view is the 32-bit one, so look
  // there first (and store there) whichever build is running.
  const bool wide_windows = Is64BitWindows();
  const RegistryView home = wide_windows ? RegistryView::Bits32 : RegistryView::Default;

  std::wstring stored = RegistryKey::Open(HKEY_LOCAL_MACHINE, path, home).ReadString(GuidValueName()).value_or(L"");
  if (stored.empty() && wide_windows) {
    stored =
        RegistryKey::Open(HKEY_LOCAL_MACHINE, path, RegistryView::Bits64).ReadString(GuidValueName()).value_or(L"");
  }
  if (!stored.empty()) return platform::WideToAnsi(stored);

  GUID guid;
  if (FAILED(::CoCreateGuid(&guid))) return {};
  const std::string text = FormatGuid(guid);
  const RegistryKey key = RegistryKey::Create(HKEY_LOCAL_MACHINE, path, home, KEY_READ | KEY_WRITE);
  if (!key.WriteString(GuidValueName(), platform::AnsiToWide(text))) {
    Log("MachineGuid: cannot store the GUID under HKLM\\%s\n", path);
  }
  return text;
}

bool Is64BitWindows() {
  using GetNativeSystemInfoFunction = void(WINAPI*)(LPSYSTEM_INFO);
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return false;
  const auto get_native = reinterpret_cast<GetNativeSystemInfoFunction>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "GetNativeSystemInfo")));
  if (get_native == nullptr) return false;
  SYSTEM_INFO info{};
  get_native(&info);
  return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
         info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
}

bool IsWow64() {
  BOOL wow64 = FALSE;
  return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

bool IsServerWindows() {
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) return false;
#pragma GCC diagnostic pop
  return info.wProductType >= VER_NT_DOMAIN_CONTROLLER;
}

std::string EditionWord() { return IsServerWindows() ? "server" : "home"; }

std::vector<std::string> DefaultProbeAddresses() { return {"https://www.wikipedia.org/", "https://www.baidu.com/"}; }

bool CheckInternet(const std::vector<std::string>& addresses) {
  // Shared with the worker, which may outlive this call when a quit request
  // ends the wait early.
  struct CheckState {
    platform::Signal done;
    std::atomic<bool> reachable{false};
    std::vector<std::string> addresses;
  };
  auto state = std::make_shared<CheckState>();
  state->addresses = addresses;

  try {
    std::thread([state] {
      platform::SignalOnExit signal_done(state->done);
      const platform::InternetLibrary inet;
      for (const std::string& address : state->addresses) {
        if (inet.CheckConnection(address)) {
          state->reachable = true;
          return;
        }
      }
    }).detach();
  } catch (const std::system_error&) {
    return false;  // no thread: report "not reachable"
  }
  if (state->done.WaitPumping() != platform::WaitOutcome::Signalled) return false;
  return state->reachable;
}

ExitWindowsCall SystemExitWindows() {
  return [](UINT flags, DWORD reason) { return ::ExitWindowsEx(flags, reason) != FALSE; };
}

bool RestartWindows(const ExitWindowsCall& exit_windows) {
  platform::UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.Receive())) {
    Log("RestartWindows: OpenProcessToken failed, error %u\n", ::GetLastError());
    return false;
  }
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!::LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid) ||
      !::AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr) ||
      ::GetLastError() != ERROR_SUCCESS) {
    Log("RestartWindows: shutdown privilege not granted, error %u\n", ::GetLastError());
    return false;
  }
  // Hung programs may be ended; the others get their chance to save.
  return exit_windows(EWX_REBOOT | EWX_FORCEIFHUNG, kReasonApplication);
}

}  // namespace startup
