// The download and install worker: the release record, a verified installer
// already on disk or a download (alternate sources, resume), the digest
// check, then the install step. The download page of the wizard and the
// unattended run both drive it; everything window-side arrives through the
// constructor (the home page's release record, the option map, the view),
// and the failure pages' retries are plain methods.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "install/install_step.h"
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

// Option map of the first page: "DIR", "LANG", "recommendChk", and further
// installer options passed on as key=value.
using OptionMap = std::map<std::string, std::wstring>;

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
  // A handler run during those waits may ask for run, install or a retry
  // again: that is refused (logged, PipelineEnd::Refused), never nested.
  CDownloadPipeline(ReleaseSource release_source, OptionMap options, IPipelineView& view,
                    bool silent, PipelineHooks hooks = {}, PipelineTuning tuning = {});
  ~CDownloadPipeline();
  CDownloadPipeline(const CDownloadPipeline&) = delete;
  CDownloadPipeline& operator=(const CDownloadPipeline&) = delete;

  // From the release record to the end of the install step.
  PipelineResult run();
  // The uninstall-and-install step on the verified installer.
  PipelineResult install();
  // UI thread (a handler run during one of the waits): no further transfer,
  // digest or install attempt starts; a running installer is left to finish.
  void cancel();

  // Takes the home page's record; without one (status -1) asks the release
  // server as the home page would. False when there is no usable release.
  [[nodiscard]] bool loadRelease();
  // The installer's file name, the download target, whether a verified copy
  // was found, and the byte count 100 % stands for.
  void prepareFiles();
  // The first folder holding `file_name` whose digest matches; the verified
  // file becomes the one installed.
  [[nodiscard]] bool findVerifiedCopy(const std::vector<std::wstring>& folders,
                                      const std::wstring& file_name);
  // Copies `path` into this run's own folder, holds the copy open against
  // writes and deletion, and compares its MD5 with the release's. On a match
  // that copy is what gets installed. An empty expected digest or an
  // unreadable file never matches.
  [[nodiscard]] bool digestMatches(const std::wstring& path);
  // Tries the alternate URLs after an unreachable first source.
  [[nodiscard]] int32_t tryAlternateSources(int32_t code);

  // The failure pages' retries.
  PipelineResult Retry();            // what "try again" does for the last code
  PipelineResult ResumeTransfer();   // after a ranged connection failed (33xx)
  PipelineResult RunAgain();         // the whole pipeline from the release record
  PipelineResult InstallAgain();     // the install step on the verified file

  [[nodiscard]] int32_t lastErrorCode() const { return last_error_code_; }
  [[nodiscard]] const net::ReleaseInfo& releaseInfo() const { return release_; }
  [[nodiscard]] const std::wstring& installerPath() const { return installer_path_; }
  [[nodiscard]] const std::wstring& verifiedPath() const { return verified_path_; }
  [[nodiscard]] bool needDownload() const { return need_download_; }
  [[nodiscard]] uint64_t bytesTotal() const { return bytes_total_; }
  [[nodiscard]] const std::vector<TransferRecord>& transfers() const { return transfers_; }

  // The installer's file name for a DOWNLOAD_VERSION: characters that could
  // leave the folder are replaced.
  [[nodiscard]] static std::wstring InstallerFileName(const std::wstring& product_name,
                                                      const std::wstring& download_version,
                                                      bool vexa);
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
  PipelineResult Run();
  PipelineResult Install();
  PipelineResult RetryLast();
  PipelineResult Resume();
  PipelineResult RunFromStart();
  PipelineResult InstallVerifiedAgain();

  static void OnProgress(void* context, const net::DownloadProgress* progress);
  void ReportProgress(const net::DownloadProgress& progress);

  [[nodiscard]] int32_t Transfer(const std::string& url, bool new_downloader);
  [[nodiscard]] int32_t FirstSource();
  PipelineResult VerifyAndInstall();
  PipelineResult DownloadFailure(int32_t code);
  // True after cancel or once a quit request is pending (a wait inside a
  // transfer or the digest check saw it and posted it again).
  [[nodiscard]] bool CancelRequested(const char* where);
  [[nodiscard]] PipelineResult Stopped() const;
  [[nodiscard]] InstallStepInputs StepInputs(const std::wstring& command_line,
                                             const std::wstring& setup_log) const;
  [[nodiscard]] std::wstring PlayerDownloadUrl() const;
  // The option map's account password into `file`; true when there is none.
  [[nodiscard]] bool WritePasswordFile(PasswordFile& file);
  // The install failure page for a result of our own (no installer ran).
  PipelineResult RefuseInstall(int32_t installer_result);
  // The run folder's download subfolder (made now), ending in a backslash;
  // empty when it cannot be made.
  [[nodiscard]] std::wstring DownloadFolder();
  // Deletes a download made in the run folder (the pipeline's end).
  void RemoveOwnDownload();
  void ReleaseVerifiedFile();
  [[nodiscard]] uint64_t LargestCandidateSize() const;

  ReleaseSource release_source_;
  OptionMap options_;
  IPipelineView& view_;
  const bool silent_;
  PipelineHooks hooks_;
  PipelineTuning tuning_;

  net::ReleaseInfo release_;
  std::unique_ptr<net::CDownloadHelper> downloader_;
  std::string transfer_url_;  // the source of the current downloader
  int first_source_ = 0;      // index of the first non-empty download URL
  std::string user_agent_;
  int32_t thread_count_ = 1;
  int32_t last_error_code_ = 0;
  std::wstring file_name_;
  std::wstring installer_path_;  // download target
  std::wstring downloaded_path_; // the name the downloader finally gave the file
  bool need_download_ = false;

  // This run's own private folder: the download when there is no EXEDIR,
  // the verified copy (held open so it cannot change before it is run) and
  // the installer's setup log.
  startup::RunFolder run_folder_;
  std::wstring verified_path_;
  std::wstring source_path_;  // the file the verified copy was made from
  platform::UniqueHandle verified_file_;

  bool running_ = false;                     // UI thread: a public entry point is on the stack
  std::atomic<bool> cancel_{false};          // written by cancel (UI thread)
  bool quit_ = false;                        // a quit request stopped the run
  std::atomic<uint64_t> bytes_done_{0};      // written by the UI thread
  std::atomic<uint64_t> bytes_total_{0};     // written by the UI thread
  std::vector<TransferRecord> transfers_;
};

}  // namespace install
