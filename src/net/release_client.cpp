#include "net/release_client.h"

#include <memory>
#include <random>
#include <thread>

#include "net/http_client.h"
#include "net/json.h"
#include "net/worker_thread.h"
#include "platform/signal.h"
#include "platform/text.h"
#include "platform/windows_api.h"
#include "startup/launch_parameters.h"
#include "startup/log.h"
#include "startup/product_config.h"
#include "startup/system_probes.h"

namespace net {
namespace {

// Required members of "data", in the order they are checked, with the status
// and log line of their absence.
struct RequiredMember {
  const char* name;
  ReleaseCause cause;
  const char* log_line;
};
constexpr RequiredMember kRequiredMembers[] = {
    {"md5", ReleaseCause::NoMd5, "StartPost Error parse md5\n"},
    {"killSwitch", ReleaseCause::NoKillSwitch, "StartPost Error parse kill switch\n"},
    {"WriteLogSwitch", ReleaseCause::NoWriteLogSwitch, "StartPost Error parse write log switch\n"},
    {"curNum", ReleaseCause::NoCurNum, "StartPost Error parse latest version\n"},
    {"download", ReleaseCause::NoDownload, "StartPost Error parse downloadUrl\n"},
    {"download2", ReleaseCause::NoDownload2, "StartPost Error parse downloadUrl2\n"},
    {"download3", ReleaseCause::NoDownload3, "StartPost Error parse downloadUrl3\n"},
};

std::string StringOrEmpty(const JsonValue& object, const char* name) {
  const std::string* value = object.StringMember(name);
  return value != nullptr ? *value : std::string();
}

std::string ConfigAnsi(const std::string& key) { return platform::WideToAnsi(startup::Config().Get(key)); }

std::minstd_rand& Random() {
  static std::minstd_rand generator(static_cast<unsigned>(::GetTickCount64()));  // UI thread only
  return generator;
}

unsigned RetryTag() { return static_cast<unsigned>(Random()() % 1000); }

double RandomUnit() { return std::uniform_real_distribution<double>(0.0, 1.0)(Random()); }

// The pause between attempts: the window stays live and a quit ends it.
bool PumpingWait(uint32_t milliseconds) {
  const platform::Signal never;
  return never.WaitPumping(milliseconds) == platform::WaitOutcome::TimedOut;
}

// One attempt's inputs and result, shared with its worker: on a quit the UI
// thread stops waiting, and the worker finishes later on this copy.
struct PostAttempt {
  std::string service_url;
  std::string version_url;
  std::string post_fields;
  TlsSettings tls;
  int retry_after_seconds = -1;     // a 503's Retry-After, bounded; written by the worker
  ReleaseInfo info;                 // written by the worker until `done` is set
  std::atomic<bool> cancel{false};  // written by the UI thread on quit
  platform::Signal done;
};

// One attempt; the worker's body.
void StartPost(PostAttempt& attempt) {
  ReleaseInfo& info = attempt.info;
  info.productVersion = FetchProductVersion(attempt.version_url, attempt.tls, &attempt.cancel);
  info.requestUrl = attempt.service_url + "?" + attempt.post_fields;
  std::string body;
  PostRequest request{
      attempt.service_url, attempt.post_fields,         info.userAgent, kReleaseReplyCap, &attempt.cancel,
      &attempt.tls,        &attempt.retry_after_seconds};
  const int code = PostForm(request, body);
  info.response = body;
  if (code != 0) {
    startup::Log("StartPost error,code=%d\n", code);
    info.status = ReleaseStatus::PostFailed(code);
    return;
  }
  if (body.empty()) {
    startup::Log("StartPost Error response empty\n");
    info.status = ReleaseStatus::Failed(ReleaseStage::Reply, ReleaseCause::EmptyReply);
    return;
  }
  const ReleaseStatus status = ReadReleaseReply(body, info);
  if (!status.Ok()) {
    info.status = status;
    return;
  }
  for (DownloadSource& source : info.sources) {
    if (!ShouldProbeDownloadUrl(source.url)) continue;
    source.size = ProbeFileSize(source.url, info.userAgent, attempt.tls, &attempt.cancel).size;
    source.file_name = DownloadFileName(source.url);
  }
  info.status = ReleaseStatus::Answered();
  startup::Log("Json parse Data end\n");
}

enum class AttemptEnd { Finished, NotStarted, Quit };

AttemptEnd RunAttempt(const std::shared_ptr<PostAttempt>& attempt) {
  try {
    std::thread([attempt] {
      platform::SignalOnExit signal_done(attempt->done);
      try {
        StartPost(*attempt);
      } catch (...) {
        // Nothing may leave a thread entry; the status says what was reached.
      }
    }).detach();
  } catch (...) {
    return AttemptEnd::NotStarted;  // no thread, or no memory for one
  }
  if (attempt->done.WaitPumping() == platform::WaitOutcome::Signalled) return AttemptEnd::Finished;
  attempt->cancel = true;
  return AttemptEnd::Quit;
}

}  // namespace

uint32_t RetryBackoffMs(int retry, double unit) {
  const double base = retry <= 1 ? 1000.0 : 2000.0;
  const double clamped = unit < 0.0 ? 0.0 : (unit > 1.0 ? 1.0 : unit);
  return static_cast<uint32_t>(base * (0.5 + clamped));
}

bool ShouldProbeDownloadUrl(const std::string& url) {
  const size_t slash = url.find('/');
  return !url.empty() && slash != std::string::npos && slash >= 1;
}

std::string DownloadFileName(const std::string& url) {
  const size_t slash = url.rfind('/');
  return slash == std::string::npos ? std::string() : url.substr(slash + 1);
}

ReleaseStatus ReadReleaseReply(const std::string& body, ReleaseInfo& info) {
  startup::Log("Json parse Data Start\n");
  size_t start = 0;
  while (start < body.size() && static_cast<unsigned char>(body[start]) >= 1 &&
         static_cast<unsigned char>(body[start]) <= 32) {
    ++start;
  }
  JsonDocument document;
  if (!document.Parse(std::string_view(body).substr(start))) {
    startup::Log("StartPost Error parse root\n");
    return ReleaseStatus::Failed(ReleaseStage::Reply, ReleaseCause::NotJson);
  }
  const JsonValue* data = document.Root().Member("data");
  if (data == nullptr) {
    startup::Log("StartPost Error parse data\n");
    return ReleaseStatus::Failed(ReleaseStage::Reply, ReleaseCause::NoData);
  }
  for (const RequiredMember& member : kRequiredMembers) {
    if (data->StringMember(member.name) == nullptr) {
      startup::Log(member.log_line);
      return ReleaseStatus::Failed(ReleaseStage::Reply, member.cause);
    }
  }
  info.tuijian = StringOrEmpty(*data, "tuijian");
  info.url = StringOrEmpty(*data, "url");
  info.referNumber = StringOrEmpty(*data, "referNumber");
  info.testid = StringOrEmpty(*data, "testid");
  info.md5 = StringOrEmpty(*data, "md5");
  info.sha256 = StringOrEmpty(*data, "sha256");
  info.sources[0].url = StringOrEmpty(*data, "download");
  info.sources[1].url = StringOrEmpty(*data, "download2");
  info.sources[2].url = StringOrEmpty(*data, "download3");
  info.killSwitch = StringOrEmpty(*data, "killSwitch") == "true";
  info.writeLogSwitch = StringOrEmpty(*data, "WriteLogSwitch") == "true";
  return ReleaseStatus::Answered();
}

ReleaseInfo CReleaseClient::QueryReleaseInfo(const std::string& service_url, const ReleaseParameters& parameters,
                                             const std::string& version_url, const std::string& user_agent) {
  service_url_ = service_url;
  version_url_ = version_url;
  // libcurl's set-up, which may still be under way, is waited for on the
  // attempt's worker, not here on the UI thread.
  post_fields_ = BuildFormFields(parameters);
  info_.userAgent = user_agent;
  const TlsSettings tls = tls_ ? *tls_ : TlsSettingsFromConfig();
  const RetryWait wait = retry_wait_ != nullptr ? retry_wait_ : &PumpingWait;
  const std::string base = post_fields_;
  int retry_after_seconds = -1;
  for (int number = 1; number <= kReleaseAttempts; ++number) {
    if (number > 1) {
      // A server that asked for a pause gets it (bounded); otherwise the
      // back-off spreads the fleet's retries.
      const uint32_t backoff = RetryBackoffMs(number - 1, RandomUnit());
      const uint32_t asked = retry_after_seconds > 0 ? static_cast<uint32_t>(retry_after_seconds) * 1000 : 0;
      if (!wait(asked > backoff ? asked : backoff)) {
        startup::Log("Release query: a quit request ended the pause before attempt %d\n", number);
        info_.status = ReleaseStatus::PostFailed(kTransferAborted);
        break;
      }
    }
    info_.status = ReleaseStatus::Failed(ReleaseStage::Attempt, ReleaseCause::NoWorker);
    auto attempt = std::make_shared<PostAttempt>();
    attempt->service_url = service_url_;
    attempt->version_url = version_url_;
    attempt->post_fields = post_fields_;
    attempt->tls = tls;
    attempt->info = info_;  // what the attempt does not reach keeps its value
    const AttemptEnd end = RunAttempt(attempt);
    if (end == AttemptEnd::NotStarted) break;
    if (end == AttemptEnd::Quit) {
      startup::Log("Release query: a quit request ended the wait; the attempt ends on its own\n");
      info_.status = ReleaseStatus::PostFailed(kTransferAborted);
      break;
    }
    info_ = attempt->info;
    retry_after_seconds = attempt->retry_after_seconds;
    if (info_.status.Ok()) break;
    post_fields_ = base + "&tmpTime_=" + std::to_string(RetryTag());
  }
  return info_;
}

ReleaseCheckSettings ReleaseCheckSettingsFromStores() {
  const startup::ProductConfig& config = startup::Config();
  const startup::LaunchParameters& parameters = startup::Parameters();
  ReleaseCheckSettings settings;
  settings.service_url = platform::WideToAnsi(config.GetForEdition("DownloadInfoUrl"));
  settings.version_url = ConfigAnsi("UpdateIni");
  settings.product_id = platform::WideToAnsi(config.GetForEdition("ProductID"));
  settings.recommend_product_id = ConfigAnsi("RecommendProductID");
  settings.download_version = platform::WideToAnsi(parameters.Get("DOWNLOAD_VERSION"));
  settings.exe_number = platform::WideToAnsi(parameters.Get("exeNumber"));
  settings.pc_version = startup::EditionWord();
  settings.download_url = ConfigAnsi("DownloadUrl");
  settings.md5 = ConfigAnsi("URLMD5");
  settings.sha256 = ConfigAnsi("URLSHA256");
  settings.file_name = ConfigAnsi("fileRealName");
  settings.tls = TlsSettingsFromConfig();
  return settings;
}

ReleaseParameters BuildReleaseParameters(const ReleaseCheckSettings& settings, const std::string& language) {
  startup::Log("the DOWNLOAD_VESION read result is :%s.\n", settings.download_version);
  ReleaseParameters parameters;
  parameters["pid"] = settings.product_id;
  parameters["version"] = settings.download_version;
  parameters["tid"] = settings.recommend_product_id;
  parameters["lang"] = language;
  parameters["exeNumber"] = settings.exe_number;
  parameters["pcVersion"] = settings.pc_version;
  return parameters;
}

void CompleteFromConfiguration(ReleaseInfo& info, const ReleaseCheckSettings& settings,
                               const std::atomic<bool>* cancel) {
  // An empty value leaves the decision to the release server: it must not
  // erase the reply's download, digest or name, nor turn its failure into a
  // success with nothing to download.
  if (!settings.download_url.empty()) {
    info.status = ReleaseStatus::Answered();  // the configured download stands in
    info.sources[0].url = settings.download_url;
    const TlsSettings tls = settings.tls ? *settings.tls : TlsSettingsFromConfig();
    info.sources[0].size = ProbeFileSize(settings.download_url, info.userAgent, tls, cancel).size;
  }
  // A configured digest pins the file: the reply's digests, of the file the
  // server names, give way together.
  if (!settings.md5.empty() || !settings.sha256.empty()) {
    info.md5 = settings.md5;
    info.sha256 = settings.sha256;
  }
  if (!settings.file_name.empty()) info.sources[0].file_name = settings.file_name;
}

ReleaseInfo CheckReleaseFromConfiguration(const ReleaseCheckSettings& settings, const std::string& language) {
  const ReleaseParameters parameters = BuildReleaseParameters(settings, language);
  ReleaseInfo info;
  {
    CReleaseClient client;
    if (settings.tls) client.SetTlsSettings(*settings.tls);
    info = client.QueryReleaseInfo(settings.service_url, parameters, settings.version_url, std::string());
  }
  // The probe may wait up to its time-out: never on the UI thread.
  std::atomic<bool> cancel{false};  // written by this (UI) thread on quit
  (void)RunOnWorkerPumping([&info, &settings, &cancel] { CompleteFromConfiguration(info, settings, &cancel); },
                           [&cancel] { cancel = true; });
  return info;
}

}  // namespace net
