#include "net/worker_thread.h"

#include <system_error>
#include <thread>

#include "platform/signal.h"

namespace net {

WorkerOutcome RunOnWorkerPumping(const std::function<void()>& job, const std::function<void()>& on_quit) {
  platform::Signal done;
  std::thread worker;
  try {
    worker = std::thread([&job, &done] {
      platform::SignalOnExit signal_done(done);
      try {
        job();
      } catch (...) {
        // Nothing may leave a thread entry; the job reports through its own state.
      }
    });
  } catch (const std::system_error&) {
    return WorkerOutcome::NotStarted;
  }
  if (done.WaitPumping() != platform::WaitOutcome::Signalled && on_quit) on_quit();
  worker.join();
  return WorkerOutcome::Finished;
}

}  // namespace net
