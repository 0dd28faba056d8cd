// Staged install progress: while the installer runs, a thread steps the bar
// through a fixed table at a configured pace. Each install attempt starts a
// new sequence, which ends the previous attempt's one first.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "platform/windows_api.h"

#include "install/pipeline_view.h"

namespace install {

// The install phase never shows 100 %.
inline constexpr std::array<int, 11> kInstallStageTable = {0, 3, 7, 10, 20, 33, 51, 60, 75, 84, 93};
inline constexpr DWORD kDefaultStageIntervalMs = 1000;
// A value larger than this would leave the bar looking stuck.
inline constexpr DWORD kMaxStageIntervalMs = 600000;

// InstallIntervalTime: a decimal count of milliseconds; below 1, unparsable
// or absurdly large gives the default.
[[nodiscard]] DWORD StageIntervalFromText(const std::wstring& text);

// The same for the configured InstallIntervalTime.
[[nodiscard]] DWORD StageIntervalFromConfig();

class StageSequence {
 public:
  StageSequence(IPipelineView& view, DWORD interval_ms);
  ~StageSequence();  // ends and joins the running sequence
  StageSequence(const StageSequence&) = delete;
  StageSequence& operator=(const StageSequence&) = delete;

  // Ends the previous sequence and starts a new one. False when the thread
  // could not be created (logged; the install goes on without stages).
  [[nodiscard]] bool Start();
  // Ends the running sequence (the install attempts are over).
  void Stop();
  // The sequence number of the latest Start.
  [[nodiscard]] uint32_t generation() const { return generation_.load(); }

 private:
  void Run(uint32_t generation);

  IPipelineView& view_;
  const DWORD interval_ms_;
  std::mutex mutex_;
  std::condition_variable wake_;
  // Written by the owning (UI) thread only; the stage thread stops as soon
  // as it no longer matches the number it was started with.
  std::atomic<uint32_t> generation_{0};
  std::atomic<bool> stopped_{true};  // written by the owning thread only
  std::thread thread_;
};

}  // namespace install
