// The segmented downloader: one file over several parallel ranged GETs into
// a pre-sized temporary file beside the target, then renamed to the target.
// Start and resume block the calling (UI) thread while it pumps messages.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "net/download_journal.h"
#include "net/download_outcome.h"
#include "net/http_client.h"
#include "net/loop_waker.h"
#include "net/transfer_watch.h"
#include "platform/unique_resource.h"

namespace platform {
class Signal;
}

namespace net {

struct DownloadProgress {
  int64_t downloaded = 0;
  int64_t total = 0;
  int64_t speed = 0;  // bytes per second, summed over the connections
};
// Called on the download worker thread, never on the UI thread.
using DownloadProgressCallback = void (*)(void* context, const DownloadProgress* progress);

class CDownloadHelper;

struct DownloadRange {
  HANDLE file = nullptr;  // the temporary file while a run uses it (owned by the helper;
                          // each transfer writes through its own handle on it)
  // Written by the loop thread that runs the range; read by the progress and
  // journal tick on another thread. Atomic, so no read tears (also where a
  // 64-bit value takes two moves).
  std::atomic<int64_t> next{0};
  int64_t last = -1;  // inclusive; fixed while a run goes on
  CDownloadHelper* owner = nullptr;
  std::atomic<int64_t> speed{0};  // likewise

  [[nodiscard]] bool IsComplete() const { return next.load() > last; }
  [[nodiscard]] int64_t Remaining() const { return IsComplete() ? 0 : last - next.load() + 1; }
};

// Start, resume and destruction happen on one (UI) thread. Their waits
// dispatch messages, so a handler may try to start, resume or destroy the
// downloader while it runs: a start or resume is then refused (logged), and
// its owner must not destroy it.
class CDownloadHelper {
 public:
  CDownloadHelper() = default;
  ~CDownloadHelper();  // stops and joins anything still running
  CDownloadHelper(const CDownloadHelper&) = delete;
  CDownloadHelper& operator=(const CDownloadHelper&) = delete;

  [[nodiscard]] DownloadOutcome StartDownload(const std::string& url, const std::wstring& local_path,
                                              const std::string& user_agent, int32_t thread_count,
                                              DownloadProgressCallback callback, void* context);
  // Continues the ranges of an earlier start on its temporary file.
  [[nodiscard]] DownloadOutcome ResumeTransfer();
  // Any thread; does not wait.
  void StopDownload();
  // True while a start or resume is on the stack (UI thread).
  [[nodiscard]] bool IsRunning() const { return running_; }
  // The last start or resume ended because its watchdog judged it stalled.
  [[nodiscard]] bool EndedByStall() const { return ended_by_stall_; }

  // The name the file finally got (the target, or a numbered twin of it).
  [[nodiscard]] const std::wstring& FinalPath() const { return final_path_; }
  [[nodiscard]] const std::wstring& TempPath() const { return temp_path_; }
  [[nodiscard]] int64_t RemoteFileLength() const { return remote_file_len_; }
  // The bytes an earlier run left that this start kept (0: it started clean).
  [[nodiscard]] int64_t ResumedBytes() const { return resumed_bytes_; }

  // The certificate checks of every request; by default the system's trusted roots.
  void SetTlsSettings(const TlsSettings& tls) { tls_ = tls; }
  // Tuning for tests: a short stall limit and connect time-out.
  void SetStallLimitSeconds(int seconds) { stall_limit_seconds_ = seconds; }
  void SetConnectTimeoutSeconds(long seconds) { connect_timeout_seconds_ = seconds; }

  // The ranges a start creates for a file of `length` bytes.
  [[nodiscard]] static std::vector<std::pair<int64_t, int64_t>> SplitRanges(int64_t length, int32_t thread_count);
  // "<stem>(i)<extension>"; empty when the path has no usable extension dot.
  [[nodiscard]] static std::wstring NumberedName(const std::wstring& path, int number);

  // For the range transfers (implementation details). A changed file
  // stops the other connections too: their bytes are of no use.
  [[nodiscard]] bool IsStopRequested() const { return stop_requested_.load() || file_changed_.load(); }
  void RecordWriteError(DWORD error);
  void RecordFileChanged() { file_changed_ = true; }

 private:
  [[nodiscard]] bool RefusedWhileRunning(const char* what) const;
  // Start: probe and make the temporary file; Resume: continue its ranges.
  enum class RunKind : uint8_t { Start, Resume };
  DownloadOutcome Run(RunKind kind);
  void WorkerBody(platform::Signal& ranges_started, TransferWatch& watch);
  // Resume: continue an earlier run's temporary file when its journal allows.
  enum class EarlierBytes : uint8_t { Resume, Discard };
  [[nodiscard]] DownloadOutcome PrepareTempFile(EarlierBytes earlier_bytes);
  [[nodiscard]] bool ResumeFromJournal();
  // Opens the temporary file for the ranges and runs them.
  [[nodiscard]] DownloadOutcome TransferIntoTempFile(platform::Signal& ranges_started, TransferWatch& watch);
  // What is still missing, into the journal: at most once a second, or now.
  enum class JournalTiming : uint8_t { WhenDue, Now };
  void SaveJournal(JournalTiming timing);
  [[nodiscard]] DownloadOutcome TransferRanges(platform::Signal& ranges_started, TransferWatch& watch);
  void ReportProgress();
  [[nodiscard]] DownloadOutcome RenameFinishedFile();

  std::string url_;
  std::wstring local_path_;
  std::wstring final_path_;
  std::string user_agent_;
  std::wstring temp_path_;
  DownloadOutcome result_;
  int32_t thread_count_ = 1;
  std::vector<std::unique_ptr<DownloadRange>> ranges_;
  DownloadProgressCallback progress_callback_ = nullptr;
  void* progress_context_ = nullptr;
  RunKind kind_ = RunKind::Start;
  bool started_ = false;
  bool running_ = false;         // UI thread: a start or resume is on the stack
  bool whole_file_ = false;      // the server ignored ranges: one connection from now on
  bool ended_by_stall_ = false;  // UI thread, after the threads are joined
  int64_t remote_file_len_ = 0;
  RemoteValidators validators_;  // of the size probe
  std::string if_range_;         // sent with the ranges of a resumed start
  int64_t resumed_bytes_ = 0;
  DownloadJournal journal_;                  // worker thread while it runs
  std::atomic<bool> stop_requested_{false};  // written by StopDownload (any thread)
  std::atomic<bool> file_changed_{false};    // written by range threads
  std::atomic<DWORD> write_error_{0};        // written by range threads
  platform::UniqueHandle file_;
  TlsSettings tls_;
  int stall_limit_seconds_ = 120;
  long connect_timeout_seconds_ = 30;
  LoopWaker waker_;  // a stop ends the transfer loop's wait at once
  std::thread worker_;
  std::thread watchdog_;
};

}  // namespace net
