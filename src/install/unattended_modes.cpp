#include "install/unattended_modes.h"

#include "install/companion_launch.h"
#include "install/default_install_folder.h"
#include "install/pipeline_failure.h"
#include "net/download_helper.h"
#include "net/publisher_signature.h"
#include "platform/unique_resource.h"
#include "platform/text.h"
#include "startup/log.h"

namespace install {
namespace {

constexpr int32_t kCompanionConnections = 3;

const char* EndName(PipelineEnd end) {
  switch (end) {
    case PipelineEnd::Installed: return "installed";
    case PipelineEnd::DownloadFailure: return "download failure";
    case PipelineEnd::InstallFailure: return "install failure";
    case PipelineEnd::Cancelled: return "cancelled";
    case PipelineEnd::QuitRequested: return "quit requested";
    case PipelineEnd::ReturnToHome: return "back to the home page";
    case PipelineEnd::NothingToResume: return "nothing to resume";
    case PipelineEnd::Refused: return "refused, a run is in progress";
  }
  return "unknown";
}

}  // namespace

OptionMap UnattendedOptions(const std::string& language) {
  return {{"DIR", DefaultInstallFolder()}, {"LANG", platform::AnsiToWide(language)}};
}

PipelineResult RunUnattendedInstall(const std::string& language) {
  HeadlessPipelineView view;
  CDownloadPipeline pipeline(ReleaseSource(),
                             PipelineSettingsFromStores(UnattendedOptions(language), PipelineMode::Silent), view);
  const PipelineResult result = pipeline.Run();
  startup::Log("Unattended install ended: %s, code %d\n", EndName(result.end), result.failure_code);
  return result;
}

CompanionFetchEnd RunCompanionFetch(const std::wstring& refer_number, const std::string& url,
                                    const std::wstring& target) {
  // The refer number is part of the file name, the address goes to libcurl.
  if (!CompanionFetchParameters(refer_number, platform::AnsiToWide(url))) {
    return CompanionFetchEnd::Refused;
  }
  net::CDownloadHelper downloader;
  downloader.SetTlsSettings(net::TlsSettingsFromConfig());
  const net::DownloadOutcome outcome =
      downloader.StartDownload(url, target, std::string(), kCompanionConnections, nullptr, nullptr);
  if (!outcome.Ok()) {
    startup::Log("CompanionFetch: download of %s failed with %d\n", url, DownloaderNumber(outcome));
    return CompanionFetchEnd::DownloadFailed;
  }
  startup::Log("CompanionFetch: %s downloaded to %s\n", url, downloader.FinalPath());
  // Held against changes from the signature check until it has started.
  const platform::UniqueHandle held(
      ::CreateFileW(downloader.FinalPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  const net::PublisherRule publisher = net::PublisherRuleFromConfig();
  if (publisher.IsOn() &&
      (!held.IsValid() ||
       net::VerifyPublisher(held.Get(), downloader.FinalPath(), publisher).verdict != net::SignatureVerdict::Trusted)) {
    startup::Log("CompanionFetch: the companion's publisher signature is refused; it is not started\n");
    return CompanionFetchEnd::SignatureRefused;
  }
  if (StartFetchedCompanion(downloader.FinalPath()) != CompanionStart::Started) {
    return CompanionFetchEnd::StartFailed;
  }
  return CompanionFetchEnd::Started;
}

}  // namespace install
