#include "startup/log.h"

#include "platform/file_io.h"
#include "platform/system_paths.h"
#include "platform/text.h"
#include "startup/my_lock.h"

namespace startup {
namespace {

constexpr std::wstring_view kCutMark = L" [cut]";

std::wstring TwoDigits(unsigned value) {
  return std::wstring{static_cast<wchar_t>(L'0' + value / 10 % 10), static_cast<wchar_t>(L'0' + value % 10)};
}

// A cut must not separate the halves of a surrogate pair.
void CutAtCharacter(std::wstring& text, size_t max_units) {
  if (text.size() <= max_units) return;
  size_t end = max_units - kCutMark.size();
  if (end > 0 && text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF) --end;
  text.resize(end);
  text += kCutMark;
}

// Text-mode line ends: every lone "\n" becomes "\r\n".
std::wstring WithCrLf(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size() + 16);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) out += L'\r';
    out += text[i];
  }
  return out;
}

}  // namespace

std::wstring LogTimeStamp(const SYSTEMTIME& time) {
  static const wchar_t* const kWeekdays[] = {L"Sunday",   L"Monday", L"Tuesday", L"Wednesday",
                                             L"Thursday", L"Friday", L"Saturday"};
  std::wstring stamp = L"\t[";
  stamp += platform::DecimalText(time.wYear) + L"." + TwoDigits(time.wMonth) + L"." + TwoDigits(time.wDay) + L" " +
           TwoDigits(time.wHour) + L":" + TwoDigits(time.wMinute) + L":" + TwoDigits(time.wSecond) + L" " +
           kWeekdays[time.wDayOfWeek % 7] + L"]";
  return stamp;
}

void DiagnosticLog::Write(std::string_view format, std::initializer_list<LogArg> args) const {
  std::wstring line = FormatLogText(format, args);
  CutAtCharacter(line, kMaxLogMessageUnits);
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  line += LogTimeStamp(now);
  line += L"\n";
  const std::string bytes = platform::WideToUtf8(WithCrLf(line));

  ScopedLock guard(LogLock());
  (void)platform::AppendToFile(path_, bytes);  // no log folder access: run on without a log
}

const DiagnosticLog& MainLog() {
  static const DiagnosticLog log(L"Brimvale_Log.log");
  return log;
}

void DebugLog(const std::wstring& text) {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  const std::wstring head = L"MyLogInfo: " + platform::DecimalText(now.wHour) + L":" +
                            platform::DecimalText(now.wMinute) + L":" + platform::DecimalText(now.wSecond) + L":" +
                            platform::DecimalText(now.wMilliseconds) + L" \n ";
  (void)platform::AppendToFile(platform::ExecutableFolder() + L"log.txt", platform::WideToUtf8(WithCrLf(head + text)));
  ::OutputDebugStringW(text.c_str());
}

}  // namespace startup
