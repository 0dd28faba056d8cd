// setup.exe: the web installer. Size budget: the shipped i686 build stays
// under 1 MiB, self-contained (static runtime, no DLLs beside it).
#include <thread>

#include "install/unattended_modes.h"
#include "net/event_reporter.h"
#include "net/http_client.h"
#include "platform/windows_api.h"
#include "startup/launch_modes.h"
#include "startup/launch_parameters.h"
#include "ui/interactive_mode.h"

namespace {

// Only System32 may supply DLLs loaded at run time: a planted DLL in the
// download folder must never be picked up.
void HardenProcess() {
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  const auto set_default = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (set_default != nullptr) (void)set_default(LOAD_LIBRARY_SEARCH_SYSTEM32);
  (void)::SetDllDirectoryW(L"");  // also drops the current folder on older systems
  (void)::HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR command_line, int) {
  HardenProcess();
  // libcurl's global state (sockets, the TLS provider) takes tens of
  // milliseconds to set up under some systems: it is made beside the
  // window's start. Every transfer waits for it through the same once-flag.
  const std::jthread transfers_set_up(net::InitializeTransfers);
  // The user's proxy settings, and the discovery of a configuration script
  // on networks that announce one, are looked up beside it, so the first
  // transfer rarely waits for them. The lookup's worker is never joined: a
  // run that makes no transfer does not wait for it at exit.
  net::StartProxyLookup();
  startup::LaunchModeBodies bodies;
  bodies.companion_fetch = [](const std::string& url, const std::wstring& target) {
    (void)install::RunCompanionFetch(startup::Parameters().Get("REFERNUMBER"), url, target);
  };
  bodies.unattended_install = [](startup::StartupContext& context) {
    (void)install::RunUnattendedInstall(context.language);
  };
  bodies.interactive = [](HINSTANCE module, startup::StartupContext& context) {
    ui::RunInteractiveWizard(module, context);
  };
  bodies.run_started = [] { net::Reporter().MarkStartTime(); };
  bodies.run_ended = [] {
    net::Reporter().SetIdentity(startup::Parameters().Get("exeNumber"), startup::Parameters().Get("PRODUCT_VERSION"));
    (void)net::Reporter().SendReport();  // waits at most about ten seconds
  };
  return startup::RunEntry(instance, command_line, bodies);
}
