#include "install/download_pipeline.h"

#include <algorithm>
#include <cwchar>

#include "install/download_progress.h"
#include "install/installer_command_line.h"
#include "install/password_file.h"
#include "install/result_codes.h"
#include "install/retry_policy.h"
#include "install/setup_log.h"
#include "install/stage_sequence.h"
#include "net/event_reporter.h"
#include "net/file_digest.h"
#include "net/worker_thread.h"
#include "platform/message_pump.h"
#include "platform/system_paths.h"
#include "platform/text.h"
#include "startup/launch_parameters.h"
#include "startup/log.h"
#include "startup/product_config.h"
#include "startup/system_probes.h"

namespace install {
namespace {

constexpr int kDigestRedownloads = 3;
// Below the run folder: a download that has no EXEDIR to go to.
constexpr wchar_t kDownloadSubfolder[] = L"download";

bool IsTempFileFailure(int32_t code) {
  return code == net::kDownloadTempFileFailed || code == net::kDownloadOpenFailed;
}

PipelineResult Result(PipelineEnd end, int32_t code = 0) { return {end, code}; }

std::wstring WithBackslash(std::wstring folder) {
  if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
  return folder;
}

}  // namespace

CDownloadPipeline::CDownloadPipeline(ReleaseSource release_source, OptionMap options,
                                     IPipelineView& view, bool silent, PipelineHooks hooks,
                                     PipelineTuning tuning)
    : release_source_(std::move(release_source)),
      options_(std::move(options)),
      view_(view),
      silent_(silent),
      hooks_(std::move(hooks)),
      tuning_(tuning) {}

CDownloadPipeline::~CDownloadPipeline() {
  downloader_.reset();  // joins its threads before the callback context goes
  ReleaseVerifiedFile();
  RemoveOwnDownload();
}

std::wstring CDownloadPipeline::InstallerFileName(const std::wstring& product_name,
                                                  const std::wstring& download_version,
                                                  bool vexa) {
  const std::wstring version = download_version.empty() ? L"trial" : download_version;
  std::wstring name = product_name + L"_" + version + (vexa ? L"_vexa.exe" : L"_brimvale.exe");
  // The version comes from the command line: it must not lead out of the folder.
  for (wchar_t& c : name) {
    if (c < 0x20 || std::wcschr(L"\\/:*?\"<>|", c) != nullptr) c = L'_';
  }
  if (name.rfind(L"..", 0) == 0) name[0] = L'_';
  return name;
}

std::string CDownloadPipeline::UserAgentText(const std::wstring& product_name,
                                             const std::wstring& download_version) {
  std::string text = platform::WideToAnsi(L"win_" + product_name + L"_" + download_version);
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
  }
  return text;
}

int32_t CDownloadPipeline::ThreadCountFromText(const std::wstring& text) {
  if (text.empty() || text.size() > 3) return 1;
  int32_t value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return 1;
    value = value * 10 + (c - L'0');
  }
  return value >= 1 && value <= 100 ? value : 1;
}

void CDownloadPipeline::cancel() {
  cancel_ = true;
  if (downloader_) downloader_->StopDownload();
}

bool CDownloadPipeline::CancelRequested(const char* where) {
  if (!cancel_.load() && platform::QuitRequestPending()) {
    // The application is closing: nothing further may start.
    quit_ = true;
    cancel_ = true;
  }
  if (!cancel_.load()) return false;
  startup::Log("Pipeline %s %s\n", quit_ ? "stopped by a quit request" : "cancelled", where);
  return true;
}

PipelineResult CDownloadPipeline::Stopped() const {
  return Result(quit_ ? PipelineEnd::QuitRequested : PipelineEnd::Cancelled);
}

PipelineResult CDownloadPipeline::DownloadFailure(int32_t code) {
  last_error_code_ = code;
  startup::Log("SwitchDownloadErrorPage=%d\n", code);
  view_.Failure(WizardPage::DownloadFailure, code);
  return Result(PipelineEnd::DownloadFailure, code);
}

uint64_t CDownloadPipeline::LargestCandidateSize() const {
  const int64_t largest =
      std::max({release_.fileSize[0], release_.fileSize[1], release_.fileSize[2]});
  return largest > 0 ? static_cast<uint64_t>(largest) : 0;
}

bool CDownloadPipeline::loadRelease() {
  release_ = release_source_ ? release_source_() : net::ReleaseInfo{};
  if (release_.status != net::kReleaseNotQueried) return release_.status == net::kReleaseOk;
  // No record (unattended, or the home page never asked): ask now, exactly as
  // the home page does, in the language the options name.
  const auto language = options_.find("LANG");
  const std::string language_key =
      language == options_.end() ? std::string() : platform::WideToAnsi(language->second);
  startup::Log("No release record: asking the release server (lang %s)\n", language_key);
  release_ = net::CheckReleaseFromConfiguration(language_key);
  const bool any_source = !release_.downloadUrl[0].empty() || !release_.downloadUrl[1].empty() ||
                          !release_.downloadUrl[2].empty();
  if (release_.status == net::kReleaseOk && !any_source) {
    // Nothing to download: the same code as a run without any record.
    startup::Log("The release answer names no download\n");
    release_.status = net::kReleaseNotQueried;
  }
  return release_.status == net::kReleaseOk;
}

PipelineResult CDownloadPipeline::Exclusive(const char* what, Body body) {
  if (running_) {
    startup::Log("Pipeline: %s refused, a run is in progress\n", what);
    return Result(PipelineEnd::Refused);
  }
  running_ = true;
  const PipelineResult result = (this->*body)();
  running_ = false;
  return result;
}

PipelineResult CDownloadPipeline::run() { return Exclusive("run", &CDownloadPipeline::Run); }
PipelineResult CDownloadPipeline::install() {
  return Exclusive("install", &CDownloadPipeline::Install);
}
PipelineResult CDownloadPipeline::Retry() { return Exclusive("Retry", &CDownloadPipeline::RetryLast); }
PipelineResult CDownloadPipeline::ResumeTransfer() {
  return Exclusive("ResumeTransfer", &CDownloadPipeline::Resume);
}
PipelineResult CDownloadPipeline::RunAgain() {
  return Exclusive("RunAgain", &CDownloadPipeline::RunFromStart);
}
PipelineResult CDownloadPipeline::InstallAgain() {
  return Exclusive("InstallAgain", &CDownloadPipeline::InstallVerifiedAgain);
}

PipelineResult CDownloadPipeline::Run() {
  net::Reporter().MarkInstallStarted();
  downloader_.reset();
  ReleaseVerifiedFile();
  transfers_.clear();
  if (!silent_) view_.SwitchPage(WizardPage::Progress);
  if (!loadRelease()) return DownloadFailure(kReleaseFailureBand + release_.status);
  if (CancelRequested("after the release query")) return Stopped();
  if (release_.md5.empty()) {
    startup::Log("No expected digest in the release answer or URLMD5: nothing can be verified, "
                 "nothing is downloaded\n");
    return DownloadFailure(kNoExpectedDigest);
  }

  if (!silent_ && hooks_.show_ads) {
    startup::Log("load h5 Start\n");
    if (!hooks_.show_ads(release_.url)) startup::Log("load h5 failed; the install goes on\n");
  }

  startup::Log("check exists Start\n");
  thread_count_ = ThreadCountFromText(startup::Config().Get("DownloadThreadCount"));
  user_agent_ = UserAgentText(startup::Config().Get("ProductName"),
                              startup::Parameters().Get("DOWNLOAD_VERSION"));
  prepareFiles();
  if (!need_download_) return Install();
  startup::Log("check exists end\n");
  if (installer_path_.empty()) {
    startup::Log("No folder of our own to download into\n");
    return DownloadFailure(kTransferFailureBand + net::kDownloadTempFileFailed);
  }
  if (CancelRequested("before the download")) return Stopped();

  startup::Log("CDownloadHelper start\n");
  int32_t code = FirstSource();
  if (code != 0 && !CancelRequested("after the first source")) code = tryAlternateSources(code);
  if (CancelRequested("after the download")) return Stopped();
  if (code != 0) return DownloadFailure(kTransferFailureBand + code);
  return VerifyAndInstall();
}

int32_t CDownloadPipeline::Transfer(const std::string& url, bool new_downloader) {
  if (new_downloader || !downloader_) {
    downloader_.reset();  // never stale ranges over a re-created temporary file
    downloader_ = std::make_unique<net::CDownloadHelper>();
    downloader_->SetStallLimitSeconds(tuning_.stall_limit_seconds);
    downloader_->SetConnectTimeoutSeconds(tuning_.connect_timeout_seconds);
  }
  transfer_url_ = url;
  const uint64_t started = ::GetTickCount64();
  const int32_t code = downloader_->StartDownload(url, installer_path_, user_agent_, thread_count_,
                                                  &CDownloadPipeline::OnProgress, this);
  if (code == 0) {
    downloaded_path_ = downloader_->finalPath();
    transfers_.push_back({url, downloader_->remoteFileLen(), ::GetTickCount64() - started});
    startup::Log("Downloaded %s bytes from %s in %s ms to %s\n",
                 std::to_string(downloader_->remoteFileLen()), url,
                 std::to_string(transfers_.back().milliseconds), downloaded_path_);
  }
  return code;
}

int32_t CDownloadPipeline::FirstSource() {
  // The first named source; an empty first URL is no source at all.
  first_source_ = 0;
  while (first_source_ < 2 && release_.downloadUrl[first_source_].empty()) ++first_source_;
  const std::string url = release_.downloadUrl[first_source_];
  int32_t code = Transfer(url, true);
  if (code == 0 || CancelRequested("after the first transfer")) return code;
  if (IsRangeFailure(code)) {
    // The ranges on disk are good: continue them rather than start over.
    startup::Log("First source failed with %d: resuming\n", code);
    const uint64_t started = ::GetTickCount64();
    code = downloader_->ResumeTransfer();
    if (code == 0) {
      downloaded_path_ = downloader_->finalPath();
      transfers_.push_back({url, downloader_->remoteFileLen(), ::GetTickCount64() - started});
      startup::Log("Resumed download of %s complete: %s\n", url, downloaded_path_);
    }
  } else if (IsTempFileFailure(code)) {
    startup::Log("First source failed with %d: starting again\n", code);
    code = Transfer(url, true);
  }
  return code;
}

int32_t CDownloadPipeline::tryAlternateSources(int32_t code) {
  if (code == 0 || CancelRequested("before the alternate sources")) return code;
  if (IsResolveFailure(code) && !startup::CheckInternet()) return code;
  for (int i = first_source_ + 1; i <= 2; ++i) {
    if (!IsResolveFailure(code) && !IsTimeOut(code) && !IsConnectFailure(code)) break;
    if (CancelRequested("before an alternate source")) break;
    const std::string& url = release_.downloadUrl[i];
    if (url.empty()) continue;  // an empty alternate is no source
    startup::Log("Trying alternate source %d after %d\n", i, code);
    code = Transfer(url, true);
  }
  return code;
}

PipelineResult CDownloadPipeline::VerifyAndInstall() {
  int redownloads = 0;
  bool matches = digestMatches(downloaded_path_);
  while (!matches && redownloads < kDigestRedownloads) {
    if (CancelRequested("after the digest check")) return Stopped();
    ++redownloads;
    startup::Log("Digest mismatch: download %d again from %s\n", redownloads, transfer_url_);
    if (Transfer(transfer_url_, true) != 0) continue;
    if (CancelRequested("after the download")) return Stopped();
    matches = digestMatches(downloaded_path_);
  }
  if (CancelRequested("after the digest check")) return Stopped();
  if (!matches) return DownloadFailure(kDigestMismatch);
  bytes_done_ += LargestCandidateSize();
  return Install();
}

void CDownloadPipeline::prepareFiles() {
  bytes_done_ = 0;
  bytes_total_ = 0;
  file_name_ = InstallerFileName(startup::Config().Get("ProductName"),
                                 startup::Parameters().Get("DOWNLOAD_VERSION"),
                                 startup::Parameters().IsVexaEdition());
  const std::wstring exe_dir = startup::Parameters().Get("EXEDIR");
  const std::wstring folder1 = exe_dir.empty() ? std::wstring() : WithBackslash(exe_dir);
  std::wstring folder2 = platform::TempFolder();
  if (folder2.empty()) folder2 = L".\\";
  std::vector<std::wstring> folders;
  if (!folder1.empty()) folders.push_back(folder1);
  folders.push_back(folder2);
  need_download_ = !findVerifiedCopy(folders, file_name_);
  // A copy found in the temporary folder is only read; a new download never
  // goes there under a name others can predict, but into our own folder.
  const std::wstring target_folder = folder1.empty() ? DownloadFolder() : folder1;
  installer_path_ = target_folder.empty() ? std::wstring() : target_folder + file_name_;
  downloaded_path_ = installer_path_;
  if (need_download_) bytes_total_ += LargestCandidateSize();
}

bool CDownloadPipeline::findVerifiedCopy(const std::vector<std::wstring>& folders,
                                         const std::wstring& file_name) {
  for (const std::wstring& folder : folders) {
    const std::wstring path = folder + file_name;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      continue;
    }
    if (digestMatches(path)) {
      startup::Log("Verified installer found: %s\n", path);
      return true;
    }
  }
  return false;
}

std::wstring CDownloadPipeline::DownloadFolder() {
  if (!run_folder_.Create()) return {};
  const std::wstring folder = run_folder_.path() + kDownloadSubfolder;
  // Inside our own folder: it takes that folder's access list.
  if (!::CreateDirectoryW(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
    startup::Log("Cannot create the download folder %s: %u\n", folder, ::GetLastError());
    return {};
  }
  return folder + L"\\";
}

void CDownloadPipeline::RemoveOwnDownload() {
  const std::wstring& folder = run_folder_.path();
  // A download beside the launching program (EXEDIR) stays for the next run.
  if (folder.empty() || installer_path_.rfind(folder, 0) != 0) return;
  (void)::DeleteFileW(downloaded_path_.c_str());
  (void)::DeleteFileW((installer_path_ + L".temp").c_str());
  (void)::RemoveDirectoryW((folder + kDownloadSubfolder).c_str());
}

void CDownloadPipeline::ReleaseVerifiedFile() {
  verified_file_.Reset();
  if (!verified_path_.empty()) (void)::DeleteFileW(verified_path_.c_str());
  verified_path_.clear();
}

bool CDownloadPipeline::digestMatches(const std::wstring& path) {
  ReleaseVerifiedFile();
  if (release_.md5.empty()) {
    startup::Log("No expected digest: the file cannot be verified\n");
    return false;
  }
  if (!run_folder_.Create()) return false;
  const std::wstring name = platform::FileNameOf(path);
  if (name.empty()) return false;
  const std::wstring copy = run_folder_.path() + name;
  (void)::DeleteFileW(copy.c_str());
  // Copying and hashing a large installer takes seconds: off the UI thread,
  // which keeps dispatching its messages meanwhile.
  std::string digest;
  verified_path_ = copy;  // removed again unless it matches
  const auto check = [&] {
    if (!::CopyFileW(path.c_str(), copy.c_str(), TRUE)) {
      startup::Log("Cannot copy %s for the digest check: %d\n", path,
                   static_cast<int>(::GetLastError()));
      return;
    }
    // Held open from here until the install attempts end: shared for reading
    // only, so nobody can change, replace or delete the file we check and run.
    verified_file_.Reset(::CreateFileW(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!verified_file_.IsValid()) {
      startup::Log("Cannot hold %s open: %d\n", copy, static_cast<int>(::GetLastError()));
      return;
    }
    digest = net::FileMd5Hex(copy);
  };
  if (net::RunOnWorkerPumping(check) == net::WorkerOutcome::NotStarted) check();
  const bool match = verified_file_.IsValid() && !digest.empty() &&
                     digest == platform::AsciiLower(release_.md5);
  startup::Log("Digest of %s: %s, expected %s\n", path, digest, release_.md5);
  if (!match) {
    ReleaseVerifiedFile();
    return false;
  }
  source_path_ = path;
  return true;
}

std::wstring CDownloadPipeline::PlayerDownloadUrl() const {
  if (!WantsPlayerDownload(startup::Parameters().Get("installLumaviewer"))) return {};
  net::CReleaseClient client;
  const net::ReleaseInfo player = client.QueryReleaseInfo(
      platform::WideToAnsi(startup::Config().Get("DownloadInfoUrlLumaPlayer")), {}, {}, {});
  return platform::AnsiToWide(player.downloadUrl[0]);
}

InstallStepInputs CDownloadPipeline::StepInputs(const std::wstring& command_line,
                                                const std::wstring& setup_log) const {
  InstallStepInputs inputs;
  inputs.uninstall = UninstallSettingsFromConfig();
  inputs.uninstall_bounds = tuning_.uninstall_bounds;
  inputs.uninstalling_text = startup::Strings().Get("Uninstalling") + L"...";
  inputs.attempts.installer_path = verified_path_;
  inputs.attempts.parameters = command_line;
  inputs.attempts.setup_log_path = setup_log;
  inputs.attempts.show_progress = !silent_;
  inputs.attempts.installing_text = startup::Strings().Get("Installing") + L"...";
  inputs.attempts.stage_interval_ms = StageIntervalFromConfig();
  inputs.silent = silent_;
  const auto companion = options_.find("recommendChk");
  inputs.companion_accepted = companion != options_.end() && companion->second == L"true";
  inputs.companion_url = platform::AnsiToWide(release_.tuijian);
  inputs.refer_number = platform::AnsiToWide(release_.referNumber);
  inputs.own_executable = platform::ExecutablePath();
  return inputs;
}

bool CDownloadPipeline::WritePasswordFile(PasswordFile& file) {
  const auto password = options_.find(kPasswordOption);
  if (password == options_.end() || password->second.empty()) return true;
  if (!run_folder_.Create() || !file.Create(run_folder_.path(), password->second)) return false;
  startup::Log("The account password is handed over in a file of this user only\n");
  return true;
}

PipelineResult CDownloadPipeline::RefuseInstall(int32_t installer_result) {
  const int32_t code = kInstallFailureBand + installer_result;
  startup::Log("SwitchInstallErrorPage=%d\n", code);
  view_.Failure(WizardPage::InstallFailure, code);
  return Result(PipelineEnd::InstallFailure, code);
}

PipelineResult CDownloadPipeline::Install() {
  if (!verified_file_.IsValid() || verified_path_.empty()) {
    startup::Log("Install: no verified installer\n");
    return DownloadFailure(kDigestMismatch);
  }
  const std::wstring setup_log =
      SetupLogLocationFromConfig(release_.writeLogSwitch, run_folder_.path());
  if (!setup_log.empty()) startup::Log("Setup log of the installer: %s\n", setup_log);
  InstallerInputs inputs = InstallerInputsFromStores(options_, silent_, setup_log, PlayerDownloadUrl());
  // The player query and the digest check pump messages: a quit may be waiting.
  if (CancelRequested("before the install step")) return Stopped();
  // Deleted when this step returns: after the last attempt, or earlier.
  PasswordFile password_file;
  if (!WritePasswordFile(password_file)) return RefuseInstall(kPasswordFileFailed);
  inputs.password_file = password_file.path();
  const InstallerCommandLine command_line = BuildInstallerCommandLine(inputs);
  if (!command_line.ok) {
    startup::Log("Install refused: %s\n", command_line.error);
    return RefuseInstall(kInstallFolderRefused);
  }
  const InstallStepResult step =
      RunInstallStep(StepInputs(command_line.text, setup_log), view_, cancel_);
  password_file.Remove();  // the last attempt has ended
  // The last attempt is over: the copy may go (a retry verifies it again).
  ReleaseVerifiedFile();
  switch (step.end) {
    case InstallStepEnd::Installed:
      net::Reporter().MarkInstallFinished();
      startup::Log("Install finished\n");
      return Result(PipelineEnd::Installed);
    case InstallStepEnd::Failed:
      return Result(PipelineEnd::InstallFailure, step.failure_code);
    case InstallStepEnd::Cancelled:
      return Stopped();
    case InstallStepEnd::QuitRequested:
      return Result(PipelineEnd::QuitRequested);
  }
  return Result(PipelineEnd::InstallFailure, step.failure_code);
}

PipelineResult CDownloadPipeline::RetryLast() {
  switch (RetryActionFor(last_error_code_)) {
    case RetryAction::ResumeTransfer:
      return Resume();
    case RetryAction::ReturnToHome:
      if (!silent_) view_.SwitchPage(WizardPage::Home);
      return Result(PipelineEnd::ReturnToHome);
    case RetryAction::RestartPipeline:
      return RunFromStart();
  }
  return RunFromStart();
}

PipelineResult CDownloadPipeline::Resume() {
  if (!silent_) view_.SwitchPage(WizardPage::Progress);
  if (!downloader_) return Result(PipelineEnd::NothingToResume);
  cancel_ = false;
  quit_ = false;
  const uint64_t started = ::GetTickCount64();
  const int32_t code = downloader_->ResumeTransfer();
  if (CancelRequested("after the resumed download")) return Stopped();
  bool matches = false;
  if (code == 0) {
    downloaded_path_ = downloader_->finalPath();
    transfers_.push_back({transfer_url_, downloader_->remoteFileLen(), ::GetTickCount64() - started});
    matches = digestMatches(downloaded_path_);
  }
  if (CancelRequested("after the digest check")) return Stopped();
  const ResumeDecision decision = DecideAfterResume(code, matches);
  if (decision.next != AfterResume::Install) return DownloadFailure(decision.failure_code);
  bytes_done_ += LargestCandidateSize();
  return Install();
}

PipelineResult CDownloadPipeline::RunFromStart() {
  cancel_ = false;
  quit_ = false;
  return Run();
}

PipelineResult CDownloadPipeline::InstallVerifiedAgain() {
  cancel_ = false;
  quit_ = false;
  if (!silent_) view_.SwitchPage(WizardPage::Progress);
  // The copy was let go after the last attempt: verify the source again.
  if (!verified_file_.IsValid() && (source_path_.empty() || !digestMatches(source_path_))) {
    return DownloadFailure(kDigestMismatch);
  }
  return Install();
}

void CDownloadPipeline::OnProgress(void* context, const net::DownloadProgress* progress) {
  if (context == nullptr || progress == nullptr) return;
  static_cast<CDownloadPipeline*>(context)->ReportProgress(*progress);
}

void CDownloadPipeline::ReportProgress(const net::DownloadProgress& progress) {
  const uint64_t done = bytes_done_.load();
  const uint64_t total = bytes_total_.load();
  const uint64_t downloaded = progress.downloaded > 0 ? static_cast<uint64_t>(progress.downloaded) : 0;
  const std::optional<int> percent = DownloadPercent(
      done, downloaded, progress.total > 0 ? static_cast<uint64_t>(progress.total) : 0, total);
  if (!percent) return;
  view_.Progress(*percent);
  view_.TransferBytes(done + downloaded, total);
  view_.TipText(startup::Strings().Get("Downloading") + L":" +
                net::FormatSizeText(static_cast<int64_t>(done + downloaded)) + L"/" +
                net::FormatSizeText(static_cast<int64_t>(total)));
}

}  // namespace install
