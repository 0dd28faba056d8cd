// The run report: who ran which copy of the installer and whether an install
// started and finished; posted once at the end of an interactive or
// unattended run, waiting at most about ten seconds for it.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/windows_api.h"

namespace net {

inline constexpr DWORD kReportWaitMs = 10000;

class EventReporter {
 public:
  void SetIdentity(const std::wstring& exe_number, const std::wstring& product_version);
  void MarkStartTime();
  void MarkInstallStarted() { install_started_ = true; }
  void MarkInstallFinished() { install_finished_ = true; }

  // "uid=…&url=…&downloader_num=…&install_start_downloader=…&install_finish_downloader=…"
  // as UTF-8, each value encoded so that it cannot add a field.
  [[nodiscard]] std::string BuildBody(const std::wstring& uid) const;

  // Sends the report to UpdateEventUrl once per run: the sender thread owns
  // a copy of what it sends and goes on alone after `wait_ms`. Later calls do
  // nothing. Returns true when the sender had finished within the wait.
  bool SendReport(DWORD wait_ms = kReportWaitMs);
  // For tests: the same to an explicit endpoint, without the once-per-run rule.
  static bool SendBody(const std::string& endpoint, const std::string& body, DWORD wait_ms);

  [[nodiscard]] int64_t start_time() const { return start_time_; }

  // For tests: a fresh run.
  void ResetForTest();

 private:
  mutable std::mutex mutex_;  // guards the identity strings
  std::wstring exe_number_;
  std::wstring product_version_;
  std::atomic<bool> install_started_{false};   // written by the UI thread
  std::atomic<bool> install_finished_{false};  // written by the UI thread
  std::atomic<int64_t> start_time_{0};
  std::atomic<bool> sent_{false};
};

[[nodiscard]] EventReporter& Reporter();

}  // namespace net
