#include "toolkit/log.h"

#include <mutex>
#include <set>

namespace toolkit {
namespace {

struct LogState {
  std::mutex lock;
  LogSink sink;
  std::set<std::wstring> reported;
};

LogState& State() {
  static LogState state;
  return state;
}

// Bounds the once-only memory: a hostile skin with a million distinct unknown
// attributes must not grow it without limit.
constexpr size_t kMaxRememberedKeys = 4096;

}  // namespace

void SetLogSink(LogSink sink) {
  std::lock_guard<std::mutex> guard(State().lock);
  State().sink = std::move(sink);
}

void LogLine(const std::wstring& line) {
  LogSink sink;
  {
    std::lock_guard<std::mutex> guard(State().lock);
    sink = State().sink;
  }
  if (sink) sink(line);
}

void LogOnce(const std::wstring& key, const std::wstring& line) {
  {
    std::lock_guard<std::mutex> guard(State().lock);
    auto& reported = State().reported;
    if (reported.count(key) != 0) return;
    if (reported.size() >= kMaxRememberedKeys) return;
    reported.insert(key);
  }
  LogLine(line);
}

}  // namespace toolkit
