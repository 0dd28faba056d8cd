#include "ui/pipeline_gate.h"

#include "startup/log.h"

namespace ui {

std::optional<PipelineGate::Pass> PipelineGate::Enter(const char* action) {
  if (closed_) {
    startup::Log("%s refused: the wizard is closing\n", action);
    return std::nullopt;
  }
  if (busy_) {
    startup::Log("%s refused: an install is already under way\n", action);
    return std::nullopt;
  }
  busy_ = true;
  return Pass(*this);
}

}  // namespace ui
