// Work other threads hand to a window's thread: owned closures in a locked,
// bounded queue, and one wake-up message to the window that drains it. The
// window is named once it exists and cleared when it goes; from then on
// what is queued is dropped and new work is refused (a worker may outlive
// the window it reports to).
#pragma once

#include <deque>
#include <functional>
#include <mutex>

#include "platform/windows_api.h"

namespace toolkit {

class UiTaskQueue {
 public:
  // A runaway producer must not exhaust memory.
  static constexpr size_t kMaxPending = 10000;

  // `wake_message` is posted to the window for every closure queued.
  explicit UiTaskQueue(UINT wake_message) : wake_message_(wake_message) {}
  UiTaskQueue(const UiTaskQueue&) = delete;
  UiTaskQueue& operator=(const UiTaskQueue&) = delete;

  // Any thread. False when the work was dropped (no window, or full).
  bool Post(std::function<void()> work);
  // The window's thread: names the window, or (nullptr) drops everything.
  void SetWindow(HWND window);
  // The window's thread, on the wake-up message: runs what is queued,
  // including closures queued meanwhile.
  void RunPending();

 private:
  const UINT wake_message_;
  std::mutex lock_;  // guards what follows
  HWND window_ = nullptr;
  std::deque<std::function<void()>> queue_;
};

}  // namespace toolkit
