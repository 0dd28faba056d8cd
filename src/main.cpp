// setup.exe: the web installer. Size budget: the shipped i686 build stays
// under 1 MiB, self-contained (static runtime, no DLLs beside it).
#include <system_error>
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

// Readies what the first transfer needs beside the run's other work:
// libcurl's global state (sockets, the TLS provider: tens of milliseconds
// under some systems) on a thread joined when this goes, and the user's
// proxy settings, whose lookup's worker is never joined (a run that makes
// no transfer does not wait for it at exit). Every transfer waits for
// whatever of it is not done yet.
class TransferWarmUp {
 public:
  void Start() {
    if (started_) return;
    started_ = true;
    try {
      set_up_ = std::jthread(net::InitializeTransfers);
    } catch (const std::system_error&) {
      // No thread: the first transfer sets libcurl up itself.
    }
    net::StartProxyLookup();
  }

 private:
  bool started_ = false;  // entry thread, or the wizard's (UI) thread
  std::jthread set_up_;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR command_line, int) {
  HardenProcess();
  // The modes without a window start it at once; the wizard once its first
  // frame is on the screen, which it would otherwise compete with for the
  // processor and the system's loader.
  TransferWarmUp warm_up;
  startup::LaunchModeBodies bodies;
  bodies.mode_chosen = [&warm_up](startup::LaunchMode mode) {
    if (mode != startup::LaunchMode::Interactive) warm_up.Start();
  };
  bodies.companion_fetch = [](const std::string& url, const std::wstring& target) {
    (void)install::RunCompanionFetch(startup::Parameters().Get("REFERNUMBER"), url, target);
  };
  bodies.unattended_install = [](startup::StartupContext& context) {
    (void)install::RunUnattendedInstall(context.language);
  };
  bodies.interactive = [&warm_up](HINSTANCE module, startup::StartupContext& context) {
    ui::RunInteractiveWizard(module, context, [&warm_up] { warm_up.Start(); });
  };
  bodies.run_started = [] { net::Reporter().MarkStartTime(); };
  bodies.run_ended = [] {
    net::Reporter().SetIdentity(startup::Parameters().Get("exeNumber"), startup::Parameters().Get("PRODUCT_VERSION"));
    (void)net::Reporter().SendReport();  // waits at most about ten seconds
  };
  return startup::RunEntry(instance, command_line, bodies);
}
