// Everything the download and install pipeline takes from the product's
// configuration, the command line, the language file and the system, read
// once where a run starts (the unattended mode, the wizard's install) and
// handed to the pipeline as plain values. Tests build it directly.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "install/installed_version.h"
#include "install/installer_command_line.h"
#include "net/http_client.h"
#include "net/publisher_signature.h"
#include "net/release_client.h"
#include "platform/windows_api.h"

namespace net {
class EventReporter;
}

namespace install {

// Option map of the first page: "DIR", "LANG", "recommendChk", and further
// installer options passed on as key=value.
using OptionMap = std::map<std::string, std::wstring>;

// Interactive: a window shows the run (pages, ads, the companion offer).
// Silent: the unattended mode, shown nowhere.
enum class PipelineMode : uint8_t { Interactive, Silent };

// The edition the command line's DOWNLOAD_VERSION names.
enum class Edition : uint8_t { Standard, Vexa };

struct PipelineTexts {
  std::wstring downloading;   // the tip line's prefix while downloading
  std::wstring installing;    // "Installing..."
  std::wstring uninstalling;  // "Uninstalling..."
};

struct PipelineSettings {
  OptionMap options;
  PipelineMode mode = PipelineMode::Interactive;

  std::wstring product_name;  // ProductName
  Edition edition = Edition::Standard;
  std::wstring download_version;            // DOWNLOAD_VERSION
  int32_t thread_count = 1;                 // DownloadThreadCount, 1 to 100
  net::TlsSettings tls;                     // for every download
  net::PublisherRule publisher;             // the installer's signer; off when empty
  net::ReleaseCheckSettings release_check;  // asked when a run has no release record

  // Folders: a download beside the launching program stays there for the
  // next run (empty: none); the temporary folder is only searched.
  std::wstring exe_dir;
  std::wstring temp_folder;
  std::wstring own_executable;  // started again for the companion offer

  // The install step.
  // Base switches, options (LANG as the installer's code) and identity; the
  // setup log and the player's address are added at each install.
  InstallerInputs installer;
  std::string player_release_url;  // DownloadInfoUrlLumaPlayer, asked when the player is wanted
  std::wstring setup_log_name;     // SetupLogName (the edition's)
  UninstallSettings uninstall;
  DWORD stage_interval_ms = 1000;
  PipelineTexts texts;

  // The run report the pipeline marks "install started / finished"; none: not reported.
  net::EventReporter* report = nullptr;
};

// Reads the process-wide stores (configuration, launch parameters, language
// strings, the run report) and the system folders once; the only place the
// pipeline's inputs are looked up.
[[nodiscard]] PipelineSettings PipelineSettingsFromStores(OptionMap options, PipelineMode mode);

}  // namespace install
