#include "ui/interactive_mode.h"

#include <optional>

#include "net/release_client.h"
#include "platform/system_paths.h"
#include "startup/log.h"
#include "startup/product_config.h"
#include "toolkit/com_owners.h"
#include "toolkit/dpi.h"
#include "toolkit/log.h"
#include "toolkit/zip_archive.h"
#include "ui/main_window.h"
#include "ui/wizard.h"

namespace ui {

VariantChoice VariantFromHomepage(const std::wstring& homepage) {
  if (homepage == L"qsHomePage") return {1, L"installQS.xml"};
  if (homepage == L"kdvHomePage") return {2, L"installKDV.xml"};
  return {0, L"install.xml"};
}

void RunInteractiveWizard(HINSTANCE instance, startup::StartupContext& context,
                          const std::function<void()>& after_first_frame) {
  (void)instance;  // the toolkit's windows belong to this module
  toolkit::SetLogSink([](const std::wstring& line) { startup::Log("Toolkit: %s\n", line); });
  (void)toolkit::EnableDpiAwareness();
  // The folder browser and the shell's programs need OLE on this thread. It
  // loads much of the system's object machinery, so it starts once the first
  // frame is on the screen, and it outlives the window.
  std::optional<toolkit::ScopedOle> ole;

  const VariantChoice choice = VariantFromHomepage(startup::Config().Get("homepage"));
  auto archive = std::make_shared<toolkit::ZipArchive>();
  const std::wstring skin = platform::ExecutableFolder() + L"skin.zip";
  if (archive->OpenFile(skin) != toolkit::ZipError::kNone) startup::Log("Skin %s cannot be opened\n", skin);

  MainWindow window;
  if (!window.Open(archive, choice.description, startup::Config().Get("InstallerName"))) return;
  {
    SystemShell system_shell;
    DryRunShell dry_run_shell;
    IShell& shell = DryRunShell::Requested() ? static_cast<IShell&>(dry_run_shell) : system_shell;
    WizardSettings settings;
    settings.variant = choice.variant;
    settings.language = context.language;
    settings.language_folder = platform::ExecutableFolder();
    // Read when the check runs: reading them starts the proxy lookup, which
    // waits for the first frame.
    settings.check_release = [](const std::string& language) {
      return net::CheckReleaseFromConfiguration(net::ReleaseCheckSettingsFromStores(), language);
    };
    Wizard wizard(window, shell, std::move(settings));
    const auto first_frame = [&] {
      startup::Log("The first frame is on the screen\n");
      after_first_frame();
      ole.emplace();
      // The release check's transfer too waits for the first frame.
      if (!wizard.quitting()) wizard.Start();
    };
    window.SetHooks({[&wizard] { wizard.RequestClose(); }, [&wizard](UINT id) { wizard.OnTimer(id); }, first_frame});
    (void)window.RunModal();
    window.ClearHooks();
    context.language = wizard.first_page().language();
  }  // the pages go before the window
  startup::Log("The wizard has ended\n");
}

}  // namespace ui
