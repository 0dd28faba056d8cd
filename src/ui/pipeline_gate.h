// One pipeline at a time: Install, Next, Retry and Restart each hold a pass
// while their dialogs and the pipeline run (handlers re-enter during the
// waits, so a second click would otherwise nest a second run). Once the
// wizard quits, nothing new starts.
#pragma once

#include <optional>

namespace ui {

class PipelineGate {
 public:
  class Pass {
   public:
    explicit Pass(PipelineGate& gate) : gate_(&gate) {}
    Pass(Pass&& other) noexcept : gate_(other.gate_) { other.gate_ = nullptr; }
    Pass(const Pass&) = delete;
    Pass& operator=(const Pass&) = delete;
    Pass& operator=(Pass&&) = delete;
    ~Pass() {
      if (gate_ != nullptr) gate_->busy_ = false;
    }

   private:
    PipelineGate* gate_;
  };

  // A pass, or nullopt (logged with `action`) while another one is out or
  // after Close.
  [[nodiscard]] std::optional<Pass> Enter(const char* action);
  // The wizard is quitting: every later Enter is refused.
  void Close() { closed_ = true; }

  [[nodiscard]] bool busy() const { return busy_; }
  [[nodiscard]] bool closed() const { return closed_; }

 private:
  bool busy_ = false;    // UI thread only
  bool closed_ = false;  // UI thread only
};

}  // namespace ui
