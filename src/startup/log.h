// The diagnostic log for support: one time-stamped UTF-8 line per call,
// appended under the process-wide log lock; and the minimal debug log.
#pragma once

#include <string>
#include <string_view>

#include "platform/windows_api.h"
#include "startup/log_format.h"

namespace startup {

// Longest formatted message, in UTF-16 units; longer ones are cut.
inline constexpr size_t kMaxLogMessageUnits = 1023;

class DiagnosticLog {
 public:
  explicit DiagnosticLog(std::wstring path) : path_(std::move(path)) {}

  // Formats, cuts an over-long message at a character boundary (marking the
  // cut), adds the time stamp and appends the line. A file that cannot be
  // written makes this a no-op: the program runs on without a log.
  void Write(std::string_view format, std::initializer_list<LogArg> args) const;

  [[nodiscard]] const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

// The time stamp "\t[YYYY.MM.DD HH:MM:SS Weekday]" for the given local time.
[[nodiscard]] std::wstring LogTimeStamp(const SYSTEMTIME& time);

// "Brimvale_Log.log" in the process's current folder.
[[nodiscard]] const DiagnosticLog& MainLog();

template <class... Args>
void Log(std::string_view format, const Args&... args) {
  MainLog().Write(format, {LogArg(args)...});
}

// "log.txt" beside the executable: a time line, then the text as it is (it is
// not a format), also sent to the debugger output.
void DebugLog(const std::wstring& text);

}  // namespace startup
