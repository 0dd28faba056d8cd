#include "install/download_pipeline.h"

#include <algorithm>
#include <cwchar>

#include "install/download_progress.h"
#include "install/installer_command_line.h"
#include "install/password_file.h"
#include "install/result_codes.h"
#include "install/retry_policy.h"
#include "install/setup_log.h"
#include "net/download_journal.h"
#include "net/event_reporter.h"
#include "net/file_digest.h"
#include "net/publisher_signature.h"
#include "net/worker_thread.h"
#include "platform/message_pump.h"
#include "platform/system_paths.h"
#include "platform/text.h"
#include "startup/log.h"
#include "startup/system_probes.h"

namespace install {
namespace {

constexpr int kDigestRedownloads = 3;
// Below the run folder: a download that has no EXEDIR to go to.
constexpr wchar_t kDownloadSubfolder[] = L"download";

PipelineResult Result(PipelineEnd end, int32_t code = 0) { return {end, code}; }

std::wstring WithBackslash(std::wstring folder) {
  if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
  return folder;
}

}  // namespace

CDownloadPipeline::CDownloadPipeline(ReleaseSource release_source, PipelineSettings settings, IPipelineView& view,
                                     PipelineHooks hooks, PipelineTuning tuning)
    : release_source_(std::move(release_source)),
      settings_(std::move(settings)),
      view_(view),
      hooks_(std::move(hooks)),
      tuning_(tuning) {}

CDownloadPipeline::~CDownloadPipeline() {
  downloader_.reset();  // joins its threads before the callback context goes
  ReleaseVerifiedFile();
  RemoveOwnDownload();
}

std::wstring CDownloadPipeline::InstallerFileName(const std::wstring& product_name,
                                                  const std::wstring& download_version, Edition edition) {
  const std::wstring version = download_version.empty() ? L"trial" : download_version;
  std::wstring name = product_name + L"_" + version + (edition == Edition::Vexa ? L"_vexa.exe" : L"_brimvale.exe");
  // The version comes from the command line: it must not lead out of the folder.
  for (wchar_t& c : name) {
    if (c < 0x20 || std::wcschr(L"\\/:*?\"<>|", c) != nullptr) c = L'_';
  }
  if (name.rfind(L"..", 0) == 0) name[0] = L'_';
  return name;
}

std::string CDownloadPipeline::UserAgentText(const std::wstring& product_name, const std::wstring& download_version) {
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

void CDownloadPipeline::Cancel() {
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

PipelineResult CDownloadPipeline::DownloadFailure(const PipelineFailure& failure) {
  last_failure_ = failure;
  const int32_t code = FailureNumber(failure);
  startup::Log("SwitchDownloadErrorPage=%d\n", code);
  if (failure.stage == FailureStage::Transfer && failure.transfer.os_error != 0) {
    startup::Log("Download failure %d: %s at the %s stage, system error %u\n", code,
                 net::CauseName(failure.transfer.cause), net::StageName(failure.transfer.stage),
                 failure.transfer.os_error);
  }
  view_.Failure(WizardPage::DownloadFailure, code);
  return Result(PipelineEnd::DownloadFailure, code);
}

uint64_t CDownloadPipeline::LargestCandidateSize() const {
  int64_t largest = 0;
  for (const net::DownloadSource& source : release_.sources) largest = std::max(largest, source.size);
  return largest > 0 ? static_cast<uint64_t>(largest) : 0;
}

bool CDownloadPipeline::LoadRelease() {
  release_ = release_source_ ? release_source_() : net::ReleaseInfo{};
  if (release_.status.Queried()) return release_.status.Ok();
  // No record (unattended, or the home page never asked): ask now, exactly as
  // the home page does, in the language the options name.
  const auto language = settings_.options.find("LANG");
  const std::string language_key =
      language == settings_.options.end() ? std::string() : platform::WideToAnsi(language->second);
  startup::Log("No release record: asking the release server (lang %s)\n", language_key);
  release_ = net::CheckReleaseFromConfiguration(settings_.release_check, language_key);
  const bool any_source = std::any_of(release_.sources.begin(), release_.sources.end(),
                                      [](const net::DownloadSource& source) { return !source.url.empty(); });
  if (release_.status.Ok() && !any_source) {
    // Nothing to download: the same code as a run without any record.
    startup::Log("The release answer names no download\n");
    release_.status = net::ReleaseStatus::NotQueried();
  }
  return release_.status.Ok();
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

PipelineResult CDownloadPipeline::Run() { return Exclusive("run", &CDownloadPipeline::DoRun); }
PipelineResult CDownloadPipeline::Install() { return Exclusive("install", &CDownloadPipeline::DoInstall); }
PipelineResult CDownloadPipeline::Retry() { return Exclusive("Retry", &CDownloadPipeline::RetryLast); }
PipelineResult CDownloadPipeline::ResumeTransfer() { return Exclusive("ResumeTransfer", &CDownloadPipeline::Resume); }
PipelineResult CDownloadPipeline::RunAgain() { return Exclusive("RunAgain", &CDownloadPipeline::RunFromStart); }
PipelineResult CDownloadPipeline::InstallAgain() {
  return Exclusive("InstallAgain", &CDownloadPipeline::InstallVerifiedAgain);
}

PipelineResult CDownloadPipeline::DoRun() {
  if (settings_.report != nullptr) settings_.report->MarkInstallStarted();
  downloader_.reset();
  ReleaseVerifiedFile();
  transfers_.clear();
  if (!Silent()) view_.SwitchPage(WizardPage::Progress);
  if (!LoadRelease()) return DownloadFailure(PipelineFailure::Release(release_.status));
  if (CancelRequested("after the release query")) return Stopped();
  if (release_.md5.empty() && release_.sha256.empty()) {
    startup::Log(
        "No expected digest in the release answer or URLMD5: nothing can be verified, "
        "nothing is downloaded\n");
    return DownloadFailure(PipelineFailure::Digest(DigestFailure::NoExpectedDigest));
  }
  if (!release_.sha256.empty() && !net::IsSha256Text(release_.sha256)) {
    startup::Log("The expected SHA-256 is not 64 hexadecimal digits: %s; nothing is downloaded\n", release_.sha256);
    return DownloadFailure(PipelineFailure::Digest(DigestFailure::MalformedSha256));
  }
  if (!settings_.publisher.thumbprint.empty() && !net::NormalizedThumbprint(settings_.publisher.thumbprint)) {
    startup::Log("PublisherThumbprint is not 40 or 64 hexadecimal digits: %s; nothing is downloaded\n",
                 settings_.publisher.thumbprint);
    return DownloadFailure(PipelineFailure::Digest(DigestFailure::MalformedPublisherThumbprint));
  }

  if (!Silent() && hooks_.show_ads) {
    startup::Log("load h5 Start\n");
    if (!hooks_.show_ads(release_.url)) startup::Log("load h5 failed; the install goes on\n");
  }

  startup::Log("check exists Start\n");
  user_agent_ = UserAgentText(settings_.product_name, settings_.download_version);
  PrepareFiles();
  if (!need_download_) return DoInstall();
  startup::Log("check exists end\n");
  if (installer_path_.empty()) {
    startup::Log("No folder of our own to download into\n");
    return DownloadFailure(PipelineFailure::Transfer(
        net::DownloadOutcome::Failed(net::DownloadStage::Setup, net::DownloadCause::TempFile, download_folder_error_)));
  }
  if (CancelRequested("before the download")) return Stopped();

  startup::Log("CDownloadHelper start\n");
  net::DownloadOutcome outcome = FirstSource();
  if (!outcome.Ok() && !CancelRequested("after the first source")) outcome = TryAlternateSources(outcome);
  if (CancelRequested("after the download")) return Stopped();
  if (!outcome.Ok()) return DownloadFailure(PipelineFailure::Transfer(outcome));
  return VerifyAndInstall();
}

net::DownloadOutcome CDownloadPipeline::Transfer(const std::string& url) {
  downloader_.reset();  // never stale ranges over a re-created temporary file
  downloader_ = std::make_unique<net::CDownloadHelper>();
  downloader_->SetTlsSettings(settings_.tls);
  downloader_->SetStallLimitSeconds(tuning_.stall_limit_seconds);
  downloader_->SetConnectTimeoutSeconds(tuning_.connect_timeout_seconds);
  transfer_url_ = url;
  const uint64_t started = ::GetTickCount64();
  const net::DownloadOutcome outcome = downloader_->StartDownload(
      url, installer_path_, user_agent_, settings_.thread_count, &CDownloadPipeline::OnProgress, this);
  NoteStall();
  if (outcome.Ok()) {
    downloaded_path_ = downloader_->FinalPath();
    transfers_.push_back({url, downloader_->RemoteFileLength(), ::GetTickCount64() - started});
    startup::Log("Downloaded %s bytes from %s in %s ms to %s\n", std::to_string(downloader_->RemoteFileLength()), url,
                 std::to_string(transfers_.back().milliseconds), downloaded_path_);
  }
  return outcome;
}

net::DownloadOutcome CDownloadPipeline::FirstSource() {
  // The first named source; an empty first URL is no source at all.
  first_source_ = 0;
  const size_t last = release_.sources.size() - 1;
  while (first_source_ < last && release_.sources[first_source_].url.empty()) ++first_source_;
  const std::string url = release_.sources[first_source_].url;
  net::DownloadOutcome outcome = Transfer(url);
  if (outcome.Ok() || CancelRequested("after the first transfer")) return outcome;
  if (outcome.IsRangeFailure()) {
    // The ranges on disk are good: continue them rather than start over.
    startup::Log("First source failed with %d: resuming\n", DownloaderNumber(outcome));
    const uint64_t started = ::GetTickCount64();
    outcome = downloader_->ResumeTransfer();
    NoteStall();
    if (outcome.Ok()) {
      downloaded_path_ = downloader_->FinalPath();
      transfers_.push_back({url, downloader_->RemoteFileLength(), ::GetTickCount64() - started});
      startup::Log("Resumed download of %s complete: %s\n", url, downloaded_path_);
    }
  } else if (outcome.IsTempFileFailure()) {
    startup::Log("First source failed with %d: starting again\n", DownloaderNumber(outcome));
    outcome = Transfer(url);
  }
  return outcome;
}

net::DownloadOutcome CDownloadPipeline::TryAlternateSources(const net::DownloadOutcome& first) {
  net::DownloadOutcome outcome = first;
  if (outcome.Ok() || CancelRequested("before the alternate sources")) return outcome;
  if (outcome.IsResolveFailure() && !startup::CheckInternet()) return outcome;
  for (size_t i = first_source_ + 1; i < release_.sources.size(); ++i) {
    if (!outcome.IsResolveFailure() && !outcome.IsTimeOut() && !outcome.IsConnectFailure()) break;
    if (CancelRequested("before an alternate source")) break;
    const std::string& url = release_.sources[i].url;
    if (url.empty()) continue;  // an empty alternate is no source
    startup::Log("Trying alternate source %d after %d\n", static_cast<int>(i), DownloaderNumber(outcome));
    outcome = Transfer(url);
  }
  return outcome;
}

PipelineResult CDownloadPipeline::VerifyAndInstall() {
  int redownloads = 0;
  bool matches = DigestMatches(downloaded_path_);
  if (!matches && downloader_ && downloader_->ResumedBytes() > 0) {
    // Bytes an earlier run left may be what is wrong: none of them is kept
    // (the journal went with the temporary file), the next transfer is clean.
    startup::Log("The resumed download does not match its digest: it is deleted and fetched clean\n");
    (void)::DeleteFileW(downloaded_path_.c_str());
  }
  while (!matches && redownloads < kDigestRedownloads) {
    if (CancelRequested("after the digest check")) return Stopped();
    ++redownloads;
    startup::Log("Digest mismatch: download %d again from %s\n", redownloads, transfer_url_);
    if (!Transfer(transfer_url_).Ok()) continue;
    if (CancelRequested("after the download")) return Stopped();
    matches = DigestMatches(downloaded_path_);
  }
  if (CancelRequested("after the digest check")) return Stopped();
  if (!matches) return DownloadFailure(PipelineFailure::Digest(DigestFailure::Mismatch));
  bytes_done_ += LargestCandidateSize();
  return DoInstall();
}

void CDownloadPipeline::PrepareFiles() {
  bytes_done_ = 0;
  bytes_total_ = 0;
  file_name_ = InstallerFileName(settings_.product_name, settings_.download_version, settings_.edition);
  const std::wstring& exe_dir = settings_.exe_dir;
  const std::wstring folder1 = exe_dir.empty() ? std::wstring() : WithBackslash(exe_dir);
  std::wstring folder2 = settings_.temp_folder;
  if (folder2.empty()) folder2 = L".\\";
  std::vector<std::wstring> folders;
  if (!folder1.empty()) folders.push_back(folder1);
  folders.push_back(folder2);
  need_download_ = !FindVerifiedCopy(folders, file_name_);
  // A copy found in the temporary folder is only read; a new download never
  // goes there under a name others can predict, but into our own folder.
  download_folder_error_ = 0;
  const std::wstring target_folder = folder1.empty() ? DownloadFolder(download_folder_error_) : folder1;
  installer_path_ = target_folder.empty() ? std::wstring() : target_folder + file_name_;
  downloaded_path_ = installer_path_;
  if (need_download_) bytes_total_ += LargestCandidateSize();
}

bool CDownloadPipeline::FindVerifiedCopy(const std::vector<std::wstring>& folders, const std::wstring& file_name) {
  for (const std::wstring& folder : folders) {
    const std::wstring path = folder + file_name;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      continue;
    }
    if (DigestMatches(path)) {
      startup::Log("Verified installer found: %s\n", path);
      return true;
    }
  }
  return false;
}

std::wstring CDownloadPipeline::DownloadFolder(uint32_t& os_error) {
  if (!run_folder_.Create()) {
    os_error = ::GetLastError();  // the run folder's log line already named it
    return {};
  }
  const std::wstring folder = run_folder_.path() + kDownloadSubfolder;
  // Inside our own folder: it takes that folder's access list.
  if (!::CreateDirectoryW(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
    os_error = ::GetLastError();
    startup::Log("Cannot create the download folder %s: %u\n", folder, os_error);
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
  net::DownloadJournal(installer_path_ + L".temp").Remove();
  (void)::RemoveDirectoryW((folder + kDownloadSubfolder).c_str());
}

void CDownloadPipeline::ReleaseVerifiedFile() {
  verified_file_.Reset();
  if (!verified_path_.empty()) (void)::DeleteFileW(verified_path_.c_str());
  verified_path_.clear();
}

bool CDownloadPipeline::DigestMatches(const std::wstring& path) {
  ReleaseVerifiedFile();
  const std::string& md5 = release_.md5;
  const std::string& sha256 = release_.sha256;
  if (md5.empty() && sha256.empty()) {
    startup::Log("No expected digest: the file cannot be verified\n");
    return false;
  }
  if (!sha256.empty() && !net::IsSha256Text(sha256)) {
    startup::Log("The expected SHA-256 is not 64 hexadecimal digits: the file cannot be verified\n");
    return false;
  }
  if (!run_folder_.Create()) return false;
  const std::wstring name = platform::FileNameOf(path);
  if (name.empty()) return false;
  const std::wstring copy = run_folder_.path() + name;
  (void)::DeleteFileW(copy.c_str());
  // Copying and hashing a large installer takes seconds: off the UI thread,
  // which keeps dispatching its messages meanwhile.
  std::optional<net::FileDigests> digests;
  const net::DigestKinds kinds = md5.empty()      ? net::DigestKinds::Sha256
                                 : sha256.empty() ? net::DigestKinds::Md5
                                                  : net::DigestKinds::Both;
  verified_path_ = copy;  // removed again unless it matches
  const auto check = [&] {
    if (!::CopyFileW(path.c_str(), copy.c_str(), TRUE)) {
      startup::Log("Cannot copy %s for the digest check: %d\n", path, static_cast<int>(::GetLastError()));
      return;
    }
    // Held open from here until the install attempts end: shared for reading
    // only, so nobody can change, replace or delete the file we check and run.
    // The digests are made through this very handle.
    verified_file_.Reset(::CreateFileW(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!verified_file_.IsValid()) {
      startup::Log("Cannot hold %s open: %d\n", copy, static_cast<int>(::GetLastError()));
      return;
    }
    digests = net::DigestOpenFile(verified_file_.Get(), kinds);
  };
  if (net::RunOnWorkerPumping(check) == net::WorkerOutcome::NotStarted) check();
  bool match = verified_file_.IsValid() && digests.has_value();
  if (!md5.empty()) {
    const std::string digest = digests ? digests->md5 : std::string();
    match = match && digest == platform::AsciiLower(md5);
    startup::Log("Digest of %s: %s, expected %s\n", path, digest, md5);
  }
  if (!sha256.empty()) {
    const std::string digest = digests ? digests->sha256 : std::string();
    match = match && digest == platform::AsciiLower(sha256);
    startup::Log("SHA-256 of %s: %s, expected %s\n", path, digest, sha256);
  }
  if (!match) {
    ReleaseVerifiedFile();
    return false;
  }
  source_path_ = path;
  return true;
}

bool CDownloadPipeline::PublisherTrusted() {
  if (!settings_.publisher.IsOn()) return true;
  net::SignatureCheck check;
  // Revocation may be fetched from the network: off the UI thread.
  const auto verify = [&] { check = net::VerifyPublisher(verified_file_.Get(), verified_path_, settings_.publisher); };
  if (net::RunOnWorkerPumping(verify) == net::WorkerOutcome::NotStarted) verify();
  if (check.verdict == net::SignatureVerdict::Trusted) return true;
  startup::Log("Install refused: the installer's publisher signature is %s\n", net::VerdictName(check.verdict));
  return false;
}

std::wstring CDownloadPipeline::PlayerDownloadUrl() const {
  if (!WantsPlayerDownload(settings_.installer.install_player)) return {};
  net::CReleaseClient client;
  client.SetTlsSettings(settings_.tls);
  const net::ReleaseInfo player = client.QueryReleaseInfo(settings_.player_release_url, {}, {}, {});
  return platform::AnsiToWide(player.sources[0].url);
}

InstallStepInputs CDownloadPipeline::StepInputs(const std::wstring& command_line, const std::wstring& setup_log) const {
  InstallStepInputs inputs;
  inputs.uninstall = settings_.uninstall;
  inputs.uninstall_bounds = tuning_.uninstall_bounds;
  inputs.uninstalling_text = settings_.texts.uninstalling;
  inputs.attempts.installer_path = verified_path_;
  inputs.attempts.parameters = command_line;
  inputs.attempts.setup_log_path = setup_log;
  inputs.attempts.show_progress = !Silent();
  inputs.attempts.installing_text = settings_.texts.installing;
  inputs.attempts.stage_interval_ms = settings_.stage_interval_ms;
  inputs.silent = Silent();
  const auto companion = settings_.options.find("recommendChk");
  inputs.companion_accepted = companion != settings_.options.end() && companion->second == L"true";
  inputs.companion_url = platform::AnsiToWide(release_.tuijian);
  inputs.refer_number = platform::AnsiToWide(release_.referNumber);
  inputs.own_executable = settings_.own_executable;
  return inputs;
}

bool CDownloadPipeline::WritePasswordFile(PasswordFile& file) {
  const auto password = settings_.options.find(kPasswordOption);
  if (password == settings_.options.end() || password->second.empty()) return true;
  if (!run_folder_.Create() || !file.Create(run_folder_.path(), password->second)) return false;
  startup::Log("The account password is handed over in a file of this user only\n");
  return true;
}

PipelineResult CDownloadPipeline::RefuseInstall(int32_t installer_result) {
  const int32_t code = FailureNumber(PipelineFailure::Install(installer_result));
  startup::Log("SwitchInstallErrorPage=%d\n", code);
  view_.Failure(WizardPage::InstallFailure, code);
  return Result(PipelineEnd::InstallFailure, code);
}

PipelineResult CDownloadPipeline::DoInstall() {
  if (!verified_file_.IsValid() || verified_path_.empty()) {
    startup::Log("Install: no verified installer\n");
    return DownloadFailure(PipelineFailure::Digest(DigestFailure::Mismatch));
  }
  if (!PublisherTrusted()) {
    ReleaseVerifiedFile();
    return DownloadFailure(PipelineFailure::Digest(DigestFailure::SignatureRefused));
  }
  const std::wstring setup_log =
      SetupLogLocation(release_.writeLogSwitch, run_folder_.path(), settings_.setup_log_name);
  if (!setup_log.empty()) startup::Log("Setup log of the installer: %s\n", setup_log);
  InstallerInputs inputs = settings_.installer;
  inputs.setup_log_path = setup_log;
  inputs.player_download_url = PlayerDownloadUrl();
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
  const InstallStepResult step = RunInstallStep(StepInputs(command_line.text, setup_log), view_, cancel_);
  password_file.Remove();  // the last attempt has ended
  // The last attempt is over: the copy may go (a retry verifies it again).
  ReleaseVerifiedFile();
  switch (step.end) {
    case InstallStepEnd::Installed:
      if (settings_.report != nullptr) settings_.report->MarkInstallFinished();
      startup::Log("Install finished\n");
      return Result(PipelineEnd::Installed);
    case InstallStepEnd::Failed: return Result(PipelineEnd::InstallFailure, step.failure_code);
    case InstallStepEnd::Cancelled: return Stopped();
    case InstallStepEnd::QuitRequested: return Result(PipelineEnd::QuitRequested);
  }
  return Result(PipelineEnd::InstallFailure, step.failure_code);
}

PipelineResult CDownloadPipeline::RetryLast() {
  switch (RetryActionFor(last_failure_)) {
    case RetryAction::ResumeTransfer: return Resume();
    case RetryAction::ReturnToHome:
      if (!Silent()) view_.SwitchPage(WizardPage::Home);
      return Result(PipelineEnd::ReturnToHome);
    case RetryAction::RestartPipeline: return RunFromStart();
  }
  return RunFromStart();
}

PipelineResult CDownloadPipeline::Resume() {
  if (!Silent()) view_.SwitchPage(WizardPage::Progress);
  if (!downloader_) return Result(PipelineEnd::NothingToResume);
  cancel_ = false;
  quit_ = false;
  const uint64_t started = ::GetTickCount64();
  const net::DownloadOutcome outcome = downloader_->ResumeTransfer();
  NoteStall();
  if (CancelRequested("after the resumed download")) return Stopped();
  bool matches = false;
  if (outcome.Ok()) {
    downloaded_path_ = downloader_->FinalPath();
    transfers_.push_back({transfer_url_, downloader_->RemoteFileLength(), ::GetTickCount64() - started});
    matches = DigestMatches(downloaded_path_);
  }
  if (CancelRequested("after the digest check")) return Stopped();
  const ResumeDecision decision = DecideAfterResume(outcome, matches);
  if (decision.next != AfterResume::Install) return DownloadFailure(decision.failure);
  bytes_done_ += LargestCandidateSize();
  return DoInstall();
}

PipelineResult CDownloadPipeline::RunFromStart() {
  cancel_ = false;
  quit_ = false;
  return DoRun();
}

PipelineResult CDownloadPipeline::InstallVerifiedAgain() {
  cancel_ = false;
  quit_ = false;
  if (!Silent()) view_.SwitchPage(WizardPage::Progress);
  // The copy was let go after the last attempt: verify the source again.
  if (!verified_file_.IsValid() && (source_path_.empty() || !DigestMatches(source_path_))) {
    return DownloadFailure(PipelineFailure::Digest(DigestFailure::Mismatch));
  }
  return DoInstall();
}

void CDownloadPipeline::NoteStall() {
  if (downloader_ && downloader_->EndedByStall()) view_.TransferStalled();
}

void CDownloadPipeline::OnProgress(void* context, const net::DownloadProgress* progress) {
  if (context == nullptr || progress == nullptr) return;
  static_cast<CDownloadPipeline*>(context)->ReportProgress(*progress);
}

void CDownloadPipeline::ReportProgress(const net::DownloadProgress& progress) {
  const uint64_t done = bytes_done_.load();
  const uint64_t total = bytes_total_.load();
  const uint64_t downloaded = progress.downloaded > 0 ? static_cast<uint64_t>(progress.downloaded) : 0;
  const std::optional<int> percent =
      DownloadPercent(done, downloaded, progress.total > 0 ? static_cast<uint64_t>(progress.total) : 0, total);
  if (!percent) return;
  view_.Progress(*percent);
  view_.TransferBytes(done + downloaded, total);
  view_.TipText(settings_.texts.downloading + L":" + net::FormatSizeText(static_cast<int64_t>(done + downloaded)) +
                L"/" + net::FormatSizeText(static_cast<int64_t>(total)));
}

}  // namespace install
