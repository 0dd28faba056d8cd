#include "toolkit/ui_task_queue.h"

namespace toolkit {

bool UiTaskQueue::Post(std::function<void()> work) {
  HWND window;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (window_ == nullptr || queue_.size() >= kMaxPending) return false;
    queue_.push_back(std::move(work));
    window = window_;
  }
  // Posted outside the lock: the window's thread may be waiting for it.
  return ::PostMessageW(window, wake_message_, 0, 0) != FALSE;
}

void UiTaskQueue::SetWindow(HWND window) {
  std::lock_guard<std::mutex> guard(lock_);
  window_ = window;
  if (window == nullptr) queue_.clear();
}

void UiTaskQueue::RunPending() {
  for (;;) {
    std::function<void()> work;
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (queue_.empty()) return;
      work = std::move(queue_.front());
      queue_.pop_front();
    }
    work();
  }
}

}  // namespace toolkit
