#include "install/stage_sequence.h"

#include <chrono>
#include <system_error>

#include "startup/log.h"
#include "startup/product_config.h"

namespace install {

DWORD StageIntervalFromText(const std::wstring& text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
  // A decimal prefix counts, as the classic parser reads it ("2500ms" is 2500).
  long long value = 0;
  size_t digits = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i, ++digits) {
    value = value * 10 + (text[i] - L'0');
    if (value > kMaxStageIntervalMs) return kDefaultStageIntervalMs;
  }
  if (digits == 0 || negative || value < 1) return kDefaultStageIntervalMs;
  return static_cast<DWORD>(value);
}

DWORD StageIntervalFromConfig() { return StageIntervalFromText(startup::Config().Get("InstallIntervalTime")); }

StageSequence::StageSequence(IPipelineView& view, DWORD interval_ms) : view_(view), interval_ms_(interval_ms) {}

StageSequence::~StageSequence() { Stop(); }

bool StageSequence::Start() {
  Stop();
  const uint32_t generation = generation_.load() + 1;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    generation_ = generation;
    stopped_ = false;
  }
  try {
    thread_ = std::thread([this, generation] { Run(generation); });
  } catch (const std::system_error&) {
    stopped_ = true;
    startup::Log("Install stage thread not created; installing without stages\n");
    return false;
  }
  return true;
}

void StageSequence::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void StageSequence::Run(uint32_t generation) {
  for (int percent : kInstallStageTable) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopped_ || generation_ != generation) return;
    }
    view_.Stage(percent);
    std::unique_lock<std::mutex> lock(mutex_);
    if (wake_.wait_for(lock, std::chrono::milliseconds(interval_ms_),
                       [&] { return stopped_.load() || generation_ != generation; })) {
      return;
    }
  }
}

}  // namespace install
