// The toolkit's own diagnostic output. It knows nothing of the program's log:
// the program hands it a sink at start-up; without one, lines are dropped.
#pragma once

#include <functional>
#include <string>

namespace toolkit {

using LogSink = std::function<void(const std::wstring&)>;

// Replaces the sink; called once at start-up on the UI thread, before any
// window exists.
void SetLogSink(LogSink sink);

// One line to the sink.
void LogLine(const std::wstring& line);

// Like LogLine, but a given `key` is reported only the first time (unknown
// classes and attributes would otherwise flood the log once per element).
void LogOnce(const std::wstring& key, const std::wstring& line);

}  // namespace toolkit
