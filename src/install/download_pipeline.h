// The download and install worker: the release record, a verified installer
// already on disk or a download (alternate sources, resume), the digest
// check, then the install step. The download page of the wizard and the
// unattended run both drive it; everything it needs arrives through the
// constructor (the home page's release record, the settings read once where
// the run starts, the view), and the failure pages' retries are plain methods.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "install/install_step.h"
#include "install/pipeline_failure.h"
#include "install/pipeline_settings.h"
#include "install/pipeline_view.h"
#include "net/download_helper.h"
#include "net/release_client.h"
#include "platform/unique_resource.h"
#include "startup/run_folder.h"

namespace install {

class PasswordFile;

// The home page's release record, taken at the start of every run; a record
// with status -1 (or no source at all) makes the run ask the server itself.
using ReleaseSource = std::function<net::ReleaseInfo()>;

enum class PipelineEnd {
  Installed,        // the installer succeeded
  DownloadFailure,  // the download failure page shows `failure_code`
  InstallFailure,   // the install failure page shows `failure_code`
  Cancelled,        // the user quit; nothing further was started
  QuitRequested,    // the application is closing (WM_QUIT posted again)
  ReturnToHome,     // a retry after a release failure: the home page asks again
  NothingToResume,  // a resume without a transfer to resume
  Refused,          // asked for while a run is in progress: nothing was started
};

struct PipelineResult {
  PipelineEnd end = PipelineEnd::DownloadFailure;
  int32_t failure_code = 0;
};

// One finished transfer, for the log and the demo: source, size, time.
struct TransferRecord {
  std::string url;
  int64_t bytes = 0;
  uint64_t milliseconds = 0;
};

// Window-side hooks; any may be empty. The ads page is cosmetic: when it
// cannot be shown the install goes on.
struct PipelineHooks {
  std::function<bool(const std::string& ads_url)> show_ads;
};

// Tuning for tests (the defaults are the product's).
struct PipelineTuning {
  int stall_limit_seconds = 120;
  long connect_timeout_seconds = 30;
  UninstallBounds uninstall_bounds;
};

class CDownloadPipeline {
 public:
  // Everything here runs on the UI thread (its waits dispatch messages);
  // `view` may be called from worker threads and must outlive the pipeline.
  // A handler run during those waits may ask for Run, Install or a retry
  // again: that is refused (logged, PipelineEnd::Refused), never nested.
  CDownloadPipeline(ReleaseSource release_source, PipelineSettings settings, IPipelineView& view,
                    PipelineHooks hooks = {}, PipelineTuning tuning = {});
  ~CDownloadPipeline();
  CDownloadPipeline(const CDownloadPipeline&) = delete;
  CDownloadPipeline& operator=(const CDownloadPipeline&) = delete;

  // From the release record to the end of the install step.
  PipelineResult Run();
  // The uninstall-and-install step on the verified installer.
  PipelineResult Install();
  // UI thread (a handler run during one of the waits): no further transfer,
  // digest or install attempt starts; a running installer is left to finish.
  void Cancel();

  // Takes the home page's record; without one (not queried) asks the release
  // server as the home page would. False when there is no usable release.
  [[nodiscard]] bool LoadRelease();
  // The installer's file name, the download target, whether a verified copy
  // was found, and the byte count 100 % stands for.
  void PrepareFiles();
  // The first folder holding `file_name` whose digest matches; the verified
  // file becomes the one installed.
  [[nodiscard]] bool FindVerifiedCopy(const std::vector<std::wstring>& folders, const std::wstring& file_name);
  // Copies `path` into this run's own folder, holds the copy open against
  // writes and deletion, and compares its MD5 and SHA-256 (whichever the
  // release names; both when both) with the release's. On a match that copy
  // is what gets installed. No expected digest, a malformed SHA-256 or an
  // unreadable file never matches.
  [[nodiscard]] bool DigestMatches(const std::wstring& path);
  // Tries the alternate URLs after an unreachable first source.
  [[nodiscard]] net::DownloadOutcome TryAlternateSources(const net::DownloadOutcome& first);

  // The failure pages' retries.
  PipelineResult Retry();           // what "try again" does for the last code
  PipelineResult ResumeTransfer();  // after a ranged connection failed (33xx)
  PipelineResult RunAgain();        // the whole pipeline from the release record
  PipelineResult InstallAgain();    // the install step on the verified file

  // The download failure page's code, 0 before any failure.
  [[nodiscard]] int32_t LastErrorCode() const { return last_failure_ ? FailureNumber(*last_failure_) : 0; }
  [[nodiscard]] const std::optional<PipelineFailure>& LastFailure() const { return last_failure_; }
  [[nodiscard]] const net::ReleaseInfo& ReleaseRecord() const { return release_; }
  [[nodiscard]] const std::wstring& InstallerPath() const { return installer_path_; }
  [[nodiscard]] const std::wstring& VerifiedPath() const { return verified_path_; }
  [[nodiscard]] bool NeedsDownload() const { return need_download_; }
  [[nodiscard]] uint64_t BytesTotal() const { return bytes_total_; }
  [[nodiscard]] const std::vector<TransferRecord>& Transfers() const { return transfers_; }

  // The installer's file name for a DOWNLOAD_VERSION: characters that could
  // leave the folder are replaced.
  [[nodiscard]] static std::wstring InstallerFileName(const std::wstring& product_name,
                                                      const std::wstring& download_version, Edition edition);
  // "win_<product>_<DOWNLOAD_VERSION>" for the User-Agent header: control
  // characters from the command line cannot start another header line.
  [[nodiscard]] static std::string UserAgentText(const std::wstring& product_name,
                                                 const std::wstring& download_version);
  // DownloadThreadCount: 1 to 100, anything else 1.
  [[nodiscard]] static int32_t ThreadCountFromText(const std::wstring& text);

 private:
  using Body = PipelineResult (CDownloadPipeline::*)();
  // Runs `body` unless a run is already in progress.
  PipelineResult Exclusive(const char* what, Body body);
  PipelineResult DoRun();
  PipelineResult DoInstall();
  PipelineResult RetryLast();
  PipelineResult Resume();
  PipelineResult RunFromStart();
  PipelineResult InstallVerifiedAgain();

  static void OnProgress(void* context, const net::DownloadProgress* progress);
  void ReportProgress(const net::DownloadProgress& progress);
  // Tells the view when the watchdog ended the transfer that just returned.
  void NoteStall();

  // A new downloader for `url` (never stale ranges over a re-created temporary file).
  [[nodiscard]] net::DownloadOutcome Transfer(const std::string& url);
  [[nodiscard]] net::DownloadOutcome FirstSource();
  PipelineResult VerifyAndInstall();
  // The download failure page for `failure`: numbered and logged here.
  PipelineResult DownloadFailure(const PipelineFailure& failure);
  // True after cancel or once a quit request is pending (a wait inside a
  // transfer or the digest check saw it and posted it again).
  [[nodiscard]] bool CancelRequested(const char* where);
  [[nodiscard]] PipelineResult Stopped() const;
  [[nodiscard]] InstallStepInputs StepInputs(const std::wstring& command_line, const std::wstring& setup_log) const;
  [[nodiscard]] std::wstring PlayerDownloadUrl() const;
  // The option map's account password into `file`; true when there is none.
  [[nodiscard]] bool WritePasswordFile(PasswordFile& file);
  // The install failure page for a result of our own (no installer ran).
  PipelineResult RefuseInstall(int32_t installer_result);
  // The held, verified file carries the configured publisher's trusted
  // signature (always true when no publisher is configured).
  [[nodiscard]] bool PublisherTrusted();
  // The run folder's download subfolder (made now), ending in a backslash;
  // empty when it cannot be made, with the system's reason in `os_error`.
  [[nodiscard]] std::wstring DownloadFolder(uint32_t& os_error);
  // Deletes a download made in the run folder (the pipeline's end).
  void RemoveOwnDownload();
  void ReleaseVerifiedFile();
  [[nodiscard]] uint64_t LargestCandidateSize() const;

  [[nodiscard]] bool Silent() const { return settings_.mode == PipelineMode::Silent; }

  ReleaseSource release_source_;
  const PipelineSettings settings_;
  IPipelineView& view_;
  PipelineHooks hooks_;
  PipelineTuning tuning_;

  net::ReleaseInfo release_;
  std::unique_ptr<net::CDownloadHelper> downloader_;
  std::string transfer_url_;  // the source of the current downloader
  size_t first_source_ = 0;   // index of the first non-empty download URL
  std::string user_agent_;
  std::optional<PipelineFailure> last_failure_;  // of the download failure page
  std::wstring file_name_;
  std::wstring installer_path_;         // download target
  uint32_t download_folder_error_ = 0;  // why there is no target, when there is none
  std::wstring downloaded_path_;        // the name the downloader finally gave the file
  bool need_download_ = false;

  // This run's own private folder: the download when there is no EXEDIR,
  // the verified copy (held open so it cannot change before it is run) and
  // the installer's setup log.
  startup::RunFolder run_folder_;
  std::wstring verified_path_;
  std::wstring source_path_;  // the file the verified copy was made from
  platform::UniqueHandle verified_file_;

  bool running_ = false;                  // UI thread: a public entry point is on the stack
  std::atomic<bool> cancel_{false};       // written by cancel (UI thread)
  bool quit_ = false;                     // a quit request stopped the run
  std::atomic<uint64_t> bytes_done_{0};   // written by the UI thread
  std::atomic<uint64_t> bytes_total_{0};  // written by the UI thread
  std::vector<TransferRecord> transfers_;
};

}  // namespace install
