// How the install pipeline shows what it does: progress, stages, the tip line,
// page switches and failures leave through this narrow interface. The wizard
// implements it by posting to its UI thread; unattended runs use the headless
// implementation, which only logs.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace install {

// Items of the wizard's tab layout the pipeline may select.
enum class WizardPage : int {
  Home = 0,
  Progress = 1,
  DownloadFailure = 2,
  InstallFailure = 3,
  Finish = 4,
};

// Every call may come from a worker thread (download progress, the stage
// thread): implementations must not touch controls directly.
class IPipelineView {
 public:
  virtual ~IPipelineView() = default;
  // Transfer progress in percent (bar and percentage label).
  virtual void Progress(int percent) = 0;
  // The same report in bytes (done of total), for speed and time left.
  virtual void TransferBytes(uint64_t done, uint64_t total) { (void)done, (void)total; }
  // One step of the staged install progress, in percent.
  virtual void Stage(int percent) = 0;
  virtual void TipText(const std::wstring& text) = 0;
  // The stall watchdog ended a transfer: no byte moves until the next
  // progress report (a resume, another source) or a failure.
  virtual void TransferStalled() {}
  virtual void SwitchPage(WizardPage page) = 0;
  // A failure page is shown with this code (download or install failure).
  virtual void Failure(WizardPage page, int32_t code) = 0;
};

// For runs without a window: every call becomes one log line (transfer
// progress only when the percentage changes and repeated tips at most every
// ten seconds, so the log is not flooded).
class HeadlessPipelineView final : public IPipelineView {
 public:
  void Progress(int percent) override;
  void Stage(int percent) override;
  void TipText(const std::wstring& text) override;
  void SwitchPage(WizardPage page) override;
  void Failure(WizardPage page, int32_t code) override;

 private:
  static constexpr unsigned long long kTipLogIntervalMs = 10000;
  std::atomic<int> last_percent_{-1};  // written by whichever thread reports progress
  std::mutex tip_mutex_;               // tips come from the UI and the download worker
  std::wstring last_tip_label_;
  unsigned long long last_tip_logged_ = 0;
};

}  // namespace install
