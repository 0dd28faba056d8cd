// Runs one job on a worker thread while the calling (UI) thread keeps
// dispatching its window messages, and joins it before returning.
#pragma once

#include <atomic>
#include <functional>

namespace net {

enum class WorkerOutcome { Finished, NotStarted };

// On a quit request during the wait `on_quit` runs (it should make the job
// end soon, e.g. set a cancel flag) and the wait goes on without pumping.
[[nodiscard]] WorkerOutcome RunOnWorkerPumping(const std::function<void()>& job,
                                               const std::function<void()>& on_quit = nullptr);

}  // namespace net
