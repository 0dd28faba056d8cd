#include "startup/launch_modes.h"

#include <ctime>

#include "platform/system_paths.h"
#include "platform/text.h"
#include "startup/launch_parameters.h"
#include "startup/log.h"
#include "startup/product_config.h"
#include "startup/product_presence.h"
#include "startup/run_folder.h"
#include "startup/system_probes.h"

namespace startup {
namespace {

// Marks the run's start at once and calls `ended` when it goes out of scope:
// the run report leaves on every return path of the two modes that send one.
class RunEndGuard {
 public:
  RunEndGuard(const std::function<void()>& started, const std::function<void()>& ended) : ended_(ended) {
    if (started) started();
  }
  ~RunEndGuard() {
    if (ended_) ended_();
  }
  RunEndGuard(const RunEndGuard&) = delete;
  RunEndGuard& operator=(const RunEndGuard&) = delete;

 private:
  const std::function<void()>& ended_;
};

int RunCompanionFetch(const LaunchModeBodies& bodies) {
  const std::wstring url = Parameters().Get("RECOMMEND_URL");
  if (url.empty()) {
    Log("CompanionFetch: no RECOMMEND_URL\n");
    return kExitCompanionFetch;
  }
  if (!bodies.companion_fetch) {
    Log("CompanionFetch: companion fetch is not available in this build\n");
    return kExitCompanionFetch;
  }
  // Never a predictable name in the temporary folder: our own folder there.
  // It stays while the companion runs from it; a later start removes it.
  RunFolder folder;
  if (!folder.Create()) {
    Log("CompanionFetch: no temporary folder of our own\n");
    return kExitCompanionFetch;
  }
  const std::wstring target =
      CompanionTargetPath(folder.path(), static_cast<int64_t>(std::time(nullptr)), Parameters().Get("REFERNUMBER"));
  bodies.companion_fetch(platform::WideToAnsi(url), target);
  return kExitCompanionFetch;
}

int RunUnattended(StartupContext& context, const LaunchModeBodies& bodies) {
  if (IsProductRunning(Config().Get("ProductProcess"))) {
    Log("Unattended: the product is running; nothing to do\n");
    return kExitUnattended;
  }
  if (IsProductInstalled(Config().Get("RegistryAddress"), Config().GetForEdition("RegistryName"))) {
    Log("Unattended: the product is installed; nothing to do\n");
    return kExitUnattended;
  }
  Parameters().SetUnattended(true);
  if (!bodies.unattended_install) {
    Log("Unattended: the unattended install is not available in this build\n");
    return kExitUnattended;
  }
  bodies.unattended_install(context);
  return kExitUnattended;
}

int RunInteractive(HINSTANCE instance, StartupContext& context, const LaunchModeBodies& bodies) {
  const std::wstring installer_name = Config().Get("InstallerName");
  if (!ClaimSingleInstance(context, installer_name)) {
    ActivateOtherInstance(Config().Get("InstallerName"));
    return kExitInteractive;
  }
  if (!bodies.interactive) {
    Log("Interactive: the wizard is not available in this build\n");
    return kExitInteractive;
  }
  bodies.interactive(instance, context);
  return kExitInteractive;
}

}  // namespace

LaunchMode ModeFromInstallType(const std::wstring& install_type) {
  if (install_type == L"2") return LaunchMode::CompanionFetch;
  if (install_type == L"1") return LaunchMode::Unattended;
  return LaunchMode::Interactive;
}

std::wstring CompanionTargetPath(const std::wstring& folder, int64_t seconds, const std::wstring& refer_number) {
  return folder + platform::DecimalText(seconds) + L"." + refer_number + L".exe";
}

void PrepareRun(StartupContext& context, const std::wstring& config_folder) {
  context.language = LoadStartupConfiguration(config_folder);

  std::wstring identity;
  if (!UserSidText(identity)) identity = platform::AnsiToWide(MachineGuid());
  Parameters().Insert("GUID", identity);
  Parameters().DeriveBuildIdentity();
}

int RunEntry(HINSTANCE instance, const wchar_t* command_line, const LaunchModeBodies& bodies) {
  if (instance == nullptr) return kExitInteractive;
  Parameters().Parse(command_line);
  const LaunchMode mode = ModeFromInstallType(Parameters().Get("INSTALL_TYPE"));
  if (bodies.mode_chosen) bodies.mode_chosen(mode);
  RemoveStaleRunFolders();
  if (mode == LaunchMode::CompanionFetch) return RunCompanionFetch(bodies);

  RunEndGuard run_end(bodies.run_started, bodies.run_ended);
  StartupContext context;
  PrepareRun(context, platform::ExecutableFolder());
  if (mode == LaunchMode::Unattended) return RunUnattended(context, bodies);
  return RunInteractive(instance, context, bodies);
}

}  // namespace startup
