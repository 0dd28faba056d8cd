#include "net/download_helper.h"

#include <algorithm>
#include <cstdlib>

#include "net/http_client.h"
#include "net/multi_transfer.h"
#include "net/range_transfer.h"
#include "net/resume_plan.h"
#include "platform/file_io.h"
#include "platform/signal.h"
#include "platform/text.h"
#include "startup/log.h"

namespace net {
namespace {

constexpr DWORD kProgressIntervalMs = 800;
// Each connection is a thread and a socket, and every connection of a
// download goes to one server: past 16 a fleet of installers would look
// like an attack to it, whatever the configuration asks.
constexpr int32_t kMaxConnections = 16;
// Each connection has libcurl's receive buffer and a block that gathers
// receives smaller than itself (larger ones are written as they come).
// Under some systems every receive is a round trip to a system service, so
// receive buffers are kept at 1 MiB where they can be (fewer receives per
// MiB) and blocks shrink first; larger receive buffers were slower: a
// receive of several MiB has left the processor's cache before its write.
// A receive buffer is touched as far as the largest receive reached, and a
// program that falls behind the data (a busy machine) fills it to its end:
// so the buffers of all connections together stay within 9 MiB, which with
// the program's own 22 MiB keeps the process within 32 MiB (earlier sizes
// above it, 2 connections of 4 MiB and 1 MiB or 8 of 1 MiB and 256 KiB,
// reached 32.4-32.8 MiB). Receive buffers never go below 128 KiB, where a
// connection's throughput starts to drop.
struct ConnectionBuffers {
  long receive_bytes;
  size_t write_bytes;
};
ConnectionBuffers BuffersFor(size_t connections) {
  if (connections <= 4) return {1024 * 1024, 256 * 1024};
  if (connections <= 8) return {1024 * 1024, 128 * 1024};
  if (connections <= 16) return {256 * 1024, 128 * 1024};
  return {128 * 1024, 64 * 1024};
}

bool IsSharingOrAccessError(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION;
}

bool IsNameTaken(DWORD error) { return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS; }

DownloadOutcome Failed(DownloadStage stage, DownloadCause cause, uint32_t os_error = 0) {
  return DownloadOutcome::Failed(stage, cause, os_error);
}

std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// The length of a plain file, -1 when there is none.
int64_t FileLength(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return -1;
  }
  return static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

}  // namespace

CDownloadHelper::~CDownloadHelper() {
  if (running_) {
    // Destroyed by a handler inside its own wait: the start or resume below
    // on the stack would go on with freed state. Owners never do this.
    startup::Log("CDownloadHelper destroyed while it runs\n");
    std::abort();
  }
  stop_requested_ = true;  // not a user stop: nothing to log
  if (worker_.joinable()) worker_.join();
  if (watchdog_.joinable()) watchdog_.join();
}

std::vector<std::pair<int64_t, int64_t>> CDownloadHelper::SplitRanges(int64_t length, int32_t thread_count) {
  std::vector<std::pair<int64_t, int64_t>> parts;
  if (length <= 0 || thread_count < 1) return parts;
  const int64_t block = length / thread_count;
  for (int32_t i = 0; i < thread_count; ++i) {
    const int64_t first = i * block;
    const int64_t last = i == thread_count - 1 ? length - 1 : (i + 1) * block - 1;
    parts.emplace_back(first, last);
  }
  return parts;
}

std::wstring CDownloadHelper::NumberedName(const std::wstring& path, int number) {
  const size_t dot = path.rfind(L'.');
  const size_t slash = path.find_last_of(L"\\/");
  // The dot must belong to the file name: "C:\a.b\setup" has no extension.
  if (dot == std::wstring::npos || dot == 0 || (slash != std::wstring::npos && dot < slash + 2)) {
    return std::wstring();
  }
  if (number == 0) return path;
  return path.substr(0, dot) + L"(" + platform::DecimalText(number) + L")" + path.substr(dot);
}

void CDownloadHelper::StopDownload() {
  startup::Log("[TERNWELL]user stop download file\n");
  stop_requested_ = true;
  waker_.Wake();
}

void CDownloadHelper::RecordWriteError(DWORD error) {
  DWORD expected = 0;
  (void)write_error_.compare_exchange_strong(expected, error);
}

bool CDownloadHelper::RefusedWhileRunning(const char* what) const {
  if (!running_) return false;
  startup::Log("CDownloadHelper: %s refused, the download is still running\n", what);
  return true;
}

DownloadOutcome CDownloadHelper::StartDownload(const std::string& url, const std::wstring& local_path,
                                               const std::string& user_agent, int32_t thread_count,
                                               DownloadProgressCallback callback, void* context) {
  if (RefusedWhileRunning("StartDownload")) return Failed(DownloadStage::Setup, DownloadCause::Busy);
  url_ = url;
  local_path_ = local_path;
  user_agent_ = user_agent;
  temp_path_ = local_path + L".temp";
  thread_count_ = thread_count;
  progress_callback_ = callback;
  progress_context_ = context;
  journal_ = DownloadJournal(temp_path_);
  resumed_bytes_ = 0;
  if_range_.clear();
  InitializeTransfers();
  return Run(RunKind::Start);
}

DownloadOutcome CDownloadHelper::ResumeTransfer() {
  if (RefusedWhileRunning("ResumeTransfer")) return Failed(DownloadStage::Setup, DownloadCause::Busy);
  return Run(RunKind::Resume);
}

DownloadOutcome CDownloadHelper::Run(RunKind kind) {
  running_ = true;
  result_ = DownloadOutcome::Done();
  kind_ = kind;
  stop_requested_ = false;
  file_changed_ = false;
  write_error_ = 0;
  // Settled before any thread starts: the watchdog's window and the worker both read it.
  if (thread_count_ > kMaxConnections) {
    startup::Log("StartDownload: %d connections asked, %d used (at most %d per server)\n", thread_count_,
                 kMaxConnections, kMaxConnections);
    thread_count_ = kMaxConnections;
  }

  if (!waker_.Open())
    startup::Log("StartDownload: no wake-up socket; a stop is noticed within a fraction of a second\n");

  platform::Signal finished;
  platform::Signal ranges_started;  // the watchdog's clock starts with the ranges
  TransferWatch watch;              // this run's own: samples and stall start afresh
  try {
    worker_ = std::thread([this, &finished, &ranges_started, &watch] {
      platform::SignalOnExit signal_finished(finished);
      try {
        WorkerBody(ranges_started, watch);
      } catch (...) {
        result_ = Failed(DownloadStage::Setup, DownloadCause::NoWorker);  // out of memory inside the worker
      }
    });
  } catch (...) {
    running_ = false;  // no thread, or no memory for one
    return Failed(DownloadStage::Setup, DownloadCause::NoWorker);
  }
  const WatchdogSettings settings{thread_count_, stall_limit_seconds_, 1024};
  try {
    watchdog_ = std::thread([settings, &finished, &ranges_started, &watch] {
      try {
        (void)watch.Watch(settings, ranges_started.Handle(), finished.Handle());
      } catch (...) {
        // Out of memory while logging: the download runs on unwatched.
      }
    });
  } catch (...) {
    startup::Log("StartDownload: no watchdog thread; the transfer runs unwatched\n");
  }
  // A quit request while the download runs stops it; the threads are still joined.
  if (finished.WaitPumping() != platform::WaitOutcome::Signalled) StopDownload();
  worker_.join();
  if (watchdog_.joinable()) watchdog_.join();
  ended_by_stall_ = watch.IsStalled();
  started_ = true;
  running_ = false;
  return result_;
}

void CDownloadHelper::WorkerBody(platform::Signal& ranges_started, TransferWatch& watch) {
  startup::Log("StartDownload Start download url=%S\n", url_);
  if (stop_requested_) {
    result_ = Failed(DownloadStage::Setup, DownloadCause::Stopped);
    return;
  }
  if (thread_count_ < 1) {
    result_ = Failed(DownloadStage::Setup, DownloadCause::BadThreadCount);
    return;
  }
  if (kind_ == RunKind::Start || ranges_.empty()) {
    const DownloadOutcome prepared = PrepareTempFile(EarlierBytes::Resume);
    if (!prepared.Ok()) {
      result_ = prepared;
      return;
    }
  }
  result_ = TransferIntoTempFile(ranges_started, watch);
  if (file_changed_ && !stop_requested_) {
    // Old bytes and new ones must never mix: all of it is fetched again.
    startup::Log("The file changed on the server since the earlier bytes came: the download starts clean\n");
    file_changed_ = false;
    const DownloadOutcome prepared = PrepareTempFile(EarlierBytes::Discard);
    if (!prepared.Ok()) {
      result_ = prepared;
      return;
    }
    result_ = TransferIntoTempFile(ranges_started, watch);
  }
  if (!result_.Ok()) return;
  result_ = RenameFinishedFile();
  // The temporary file is gone: so is what its journal described.
  if (result_.Ok()) journal_.Remove();
}

DownloadOutcome CDownloadHelper::TransferIntoTempFile(platform::Signal& ranges_started, TransferWatch& watch) {
  file_.Reset(::CreateFileW(temp_path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file_.IsValid()) {
    const DWORD error = ::GetLastError();
    startup::Log("Open file error\n");
    return Failed(DownloadStage::Setup, DownloadCause::Open, error);
  }
  for (auto& range : ranges_) range->file = file_.Get();
  const DownloadOutcome outcome = TransferRanges(ranges_started, watch);
  // Every range thread has been joined: the file may close now.
  for (auto& range : ranges_) range->file = nullptr;
  file_.Reset();
  return outcome;
}

bool CDownloadHelper::ResumeFromJournal() {
  const std::optional<JournalRecord> journal = journal_.Load();
  if (!journal && !platform::FileExists(journal_.path())) return false;  // nothing left over: a first run
  const ResumePlan plan =
      PlanResume(journal, {url_, remote_file_len_, validators_}, FileLength(temp_path_), thread_count_);
  if (plan.verdict != ResumeVerdict::Resume) {
    startup::Log("The earlier download is not continued (%s): starting clean\n", plan.reason);
    return false;
  }
  ranges_.clear();
  whole_file_ = false;
  for (const ByteSpan& span : plan.ranges) {
    auto range = std::make_unique<DownloadRange>();
    range->next = span.first;
    range->last = span.last;
    range->owner = this;
    ranges_.push_back(std::move(range));
  }
  if_range_ = plan.if_range;
  resumed_bytes_ = plan.present_bytes;
  startup::Log("StartDownload: resuming, %lld of %lld bytes already present\n", static_cast<long long>(resumed_bytes_),
               static_cast<long long>(remote_file_len_));
  return true;
}

DownloadOutcome CDownloadHelper::PrepareTempFile(EarlierBytes earlier_bytes) {
  if (stop_requested_) return Failed(DownloadStage::SizeProbe, DownloadCause::Stopped);
  const SizeProbe probe = ProbeFileSize(url_, user_agent_, tls_, &stop_requested_);
  if (stop_requested_) return Failed(DownloadStage::SizeProbe, DownloadCause::Stopped);
  if (probe.size <= 0) {
    startup::Log("get the filesize error...\n");
    if (!probe.made_handle) return Failed(DownloadStage::SizeProbe, DownloadCause::NoProbeHandle);
    if (probe.code == 0) return Failed(DownloadStage::SizeProbe, DownloadCause::NoLength);
    return DownloadOutcome::CurlFailed(DownloadStage::SizeProbe, probe.code);
  }
  remote_file_len_ = probe.size;
  validators_ = {probe.etag, probe.last_modified};
  if (earlier_bytes == EarlierBytes::Resume && ResumeFromJournal()) return DownloadOutcome::Done();
  // Before the old bytes go: a journal must never describe a file it is not about.
  journal_.Remove();
  if_range_.clear();
  resumed_bytes_ = 0;

  ULARGE_INTEGER free_bytes{};
  const std::wstring folder = FolderOf(temp_path_);
  const bool know_free =
      ::GetDiskFreeSpaceExW(folder.empty() ? nullptr : folder.c_str(), &free_bytes, nullptr, nullptr) != FALSE;
  // A temporary file of an earlier run is truncated below: its room counts as free.
  WIN32_FILE_ATTRIBUTE_DATA earlier{};
  if (know_free && ::GetFileAttributesExW(temp_path_.c_str(), GetFileExInfoStandard, &earlier)) {
    free_bytes.QuadPart += (static_cast<uint64_t>(earlier.nFileSizeHigh) << 32) | earlier.nFileSizeLow;
  }
  if (know_free && free_bytes.QuadPart < static_cast<uint64_t>(remote_file_len_)) {
    startup::Log("Create file error: %lld bytes needed, %llu free\n", static_cast<long long>(remote_file_len_),
                 static_cast<unsigned long long>(free_bytes.QuadPart));
    // The system reported nothing yet; "disk full" is the reason support sees.
    return Failed(DownloadStage::Setup, DownloadCause::TempFile, ERROR_DISK_FULL);
  }

  platform::UniqueHandle file(::CreateFileW(temp_path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) {
    const DWORD error = ::GetLastError();
    startup::Log("Create file error,%d (system error %u)\n", -2, error);
    return Failed(DownloadStage::Setup, DownloadCause::TempFile, error);
  }
  LARGE_INTEGER end{};
  end.QuadPart = remote_file_len_;
  int failure = 0;
  if (!::SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN)) {
    failure = -3;
  } else if (!::SetEndOfFile(file.Get())) {
    failure = -4;
  }
  if (failure != 0) {
    const DWORD error = ::GetLastError();
    file.Reset();
    (void)::DeleteFileW(temp_path_.c_str());  // ours, and it must not stay behind large
    startup::Log("Create file error,%d (system error %u)\n", failure, error);
    return Failed(DownloadStage::Setup, DownloadCause::TempFile, error);
  }
  file.Reset();

  ranges_.clear();
  whole_file_ = false;
  for (const auto& [first, last] : SplitRanges(remote_file_len_, thread_count_)) {
    auto range = std::make_unique<DownloadRange>();
    range->next = first;
    range->last = last;
    range->owner = this;
    ranges_.push_back(std::move(range));
  }
  return DownloadOutcome::Done();
}

DownloadOutcome CDownloadHelper::TransferRanges(platform::Signal& ranges_started, TransferWatch& watch) {
  ranges_started.Set();
  // At most three rounds: the ranges; one connection for the whole file after
  // the server refused them; that one again from byte 0 if it refused a resume.
  for (int round = 0; round < 3; ++round) {
    RangeRequest request;
    request.url = url_;
    request.temp_path = temp_path_;
    request.user_agent = user_agent_;
    request.tls = tls_;
    request.connect_timeout_seconds = connect_timeout_seconds_;
    request.expected_total = remote_file_len_;
    request.if_range = if_range_;
    const ConnectionBuffers buffers = BuffersFor(ranges_.size());
    request.buffer_bytes = buffers.receive_bytes;
    request.write_bytes = buffers.write_bytes;
    request.watch = &watch;

    const size_t count = ranges_.size();
    std::vector<std::unique_ptr<RangeTransfer>> transfers;
    transfers.reserve(count);
    for (size_t i = 0; i < count; ++i) {
      DownloadRange* range = ranges_[i].get();
      try {
        RangeRequest own = request;
        own.send_range = !(whole_file_ && range->next.load() == 0);
        transfers.push_back(std::make_unique<RangeTransfer>(std::move(own), *range));
      } catch (...) {
        // No memory for this range: none of them runs; what earlier runs
        // fetched stays for a resume.
        startup::Log("StartDownload: range %d of %d could not start\n", static_cast<int>(i), static_cast<int>(count));
        return Failed(DownloadStage::Range, DownloadCause::NoWorker);
      }
    }
    // The ranges run on one loop per core; the tick, on this thread, reports
    // progress and keeps the journal while they run.
    MultiTransfer multi(
        [this] {
          ReportProgress();
          SaveJournal(JournalTiming::WhenDue);
        },
        kProgressIntervalMs, &waker_);
    const std::vector<RangeResult> results = multi.Run(transfers);
    transfers.clear();
    ReportProgress();
    SaveJournal(JournalTiming::Now);
    startup::Log("WAIT_OBJECT_O m_remoteFileLen:%I64d\n", static_cast<long long>(remote_file_len_));

    if (stop_requested_) return Failed(DownloadStage::Range, DownloadCause::Stopped);
    if (file_changed_) return Failed(DownloadStage::Range, DownloadCause::ServerDisagrees);
    if (const DWORD error = write_error_.load(); error != 0) {
      startup::Log("Write file error,%u\n", error);
      return Failed(DownloadStage::Range, DownloadCause::TempFile, error);
    }
    bool rejected = false;
    DownloadOutcome outcome = DownloadOutcome::Done();
    for (const RangeResult& result : results) {
      if (result.answer == RangeAnswer::Rejected)
        rejected = true;
      else if (!result.outcome.Ok())
        outcome = result.outcome;
    }
    if (!rejected) return outcome;
    if (!whole_file_) {
      startup::Log("The server did not answer the ranges as asked; one connection fetches the whole file\n");
      whole_file_ = true;
      ranges_.resize(1);
      ranges_[0]->next = 0;
      ranges_[0]->last = remote_file_len_ - 1;
      continue;
    }
    if (ranges_[0]->next.load() > 0) {
      startup::Log("The server refused to resume; the whole file is fetched again\n");
      ranges_[0]->next = 0;
      continue;
    }
    break;
  }
  startup::Log("The server's answer differs from the probed length %lld\n", static_cast<long long>(remote_file_len_));
  return Failed(DownloadStage::Range, DownloadCause::ServerDisagrees);
}

void CDownloadHelper::SaveJournal(JournalTiming timing) {
  // Without a validator no later run could tell the file is still the same;
  // after a change the old bytes are about to go.
  if (validators_.IfRangeValue().empty() || file_changed_) return;
  JournalRecord record{url_, remote_file_len_, validators_, {}};
  for (const auto& range : ranges_) {
    const int64_t next = range->next.load();
    if (next <= range->last) record.missing.push_back({next, range->last});
  }
  std::sort(record.missing.begin(), record.missing.end(),
            [](const ByteSpan& a, const ByteSpan& b) { return a.first < b.first; });
  // A journal that cannot be written costs only the resume: the download goes on.
  (void)(timing == JournalTiming::Now ? journal_.Save(record) : journal_.SaveIfDue(record));
}

void CDownloadHelper::ReportProgress() {
  if (progress_callback_ == nullptr) return;
  DownloadProgress progress;
  int64_t remaining = 0;
  for (const auto& range : ranges_) {
    remaining += range->Remaining();
    progress.speed += range->speed.load();
  }
  progress.total = remote_file_len_;
  progress.downloaded = remote_file_len_ - remaining;
  if (progress.downloaded < 0 || progress.downloaded > remote_file_len_) return;
  try {
    progress_callback_(progress_context_, &progress);
  } catch (...) {
    // The caller's callback must not take the worker down.
  }
}

DownloadOutcome CDownloadHelper::RenameFinishedFile() {
  if (NumberedName(local_path_, 0).empty()) {
    startup::Log("Rename error: the target has no extension\n");
    return Failed(DownloadStage::Finish, DownloadCause::Rename);
  }
  if (::MoveFileExW(temp_path_.c_str(), local_path_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    final_path_ = local_path_;
    return DownloadOutcome::Done();
  }
  DWORD error = ::GetLastError();
  // Only a target in use moves us to a numbered name; nothing is deleted.
  for (int i = 1; i <= 99 && (IsSharingOrAccessError(error) || IsNameTaken(error)); ++i) {
    const std::wstring candidate = NumberedName(local_path_, i);
    if (::MoveFileExW(temp_path_.c_str(), candidate.c_str(), 0)) {
      final_path_ = candidate;
      return DownloadOutcome::Done();
    }
    error = ::GetLastError();
  }
  startup::Log("Rename error,%u\n", error);
  return Failed(DownloadStage::Finish, DownloadCause::Rename, error);
}

}  // namespace net
