#include "install/pipeline_settings.h"

#include "install/download_pipeline.h"
#include "install/stage_sequence.h"
#include "net/event_reporter.h"
#include "platform/system_paths.h"
#include "platform/text.h"
#include "startup/launch_parameters.h"
#include "startup/product_config.h"

namespace install {

PipelineSettings PipelineSettingsFromStores(OptionMap options, PipelineMode mode) {
  const startup::ProductConfig& config = startup::Config();
  const startup::LaunchParameters& parameters = startup::Parameters();
  PipelineSettings settings;
  settings.installer.base_switches =
      config.Get(mode == PipelineMode::Silent ? "SilentInstallParamStr" : "InstallParamStr");
  settings.installer.options = options;
  if (auto language = settings.installer.options.find("LANG"); language != settings.installer.options.end()) {
    language->second = config.InstallerLanguage(language->second);
  }
  settings.installer.guid = parameters.Get("GUID");
  settings.installer.exe_number = parameters.Get("exeNumber");
  settings.installer.invite_code = parameters.Get("inviteCode");
  settings.installer.install_player = parameters.Get("installLumaviewer");
  settings.options = std::move(options);
  settings.mode = mode;
  settings.product_name = config.Get("ProductName");
  settings.edition = parameters.IsVexaEdition() ? Edition::Vexa : Edition::Standard;
  settings.download_version = parameters.Get("DOWNLOAD_VERSION");
  settings.thread_count = CDownloadPipeline::ThreadCountFromText(config.Get("DownloadThreadCount"));
  settings.tls = net::TlsSettingsFromConfig();
  settings.publisher = net::PublisherRuleFromConfig();
  settings.release_check = net::ReleaseCheckSettingsFromStores();
  settings.release_check.tls = settings.tls;  // one proxy lookup per address for the whole run
  settings.exe_dir = parameters.Get("EXEDIR");
  settings.temp_folder = platform::TempFolder();
  settings.own_executable = platform::ExecutablePath();
  settings.player_release_url = platform::WideToAnsi(config.Get("DownloadInfoUrlLumaPlayer"));
  settings.setup_log_name = config.GetForEdition("SetupLogName");
  settings.uninstall = UninstallSettingsFromConfig();
  settings.stage_interval_ms = StageIntervalFromConfig();
  settings.texts.downloading = startup::Strings().Get("Downloading");
  settings.texts.installing = startup::Strings().Get("Installing") + L"...";
  settings.texts.uninstalling = startup::Strings().Get("Uninstalling") + L"...";
  settings.report = &net::Reporter();
  return settings;
}

}  // namespace install
