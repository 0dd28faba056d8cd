#include "net/retry_after.h"

#include <array>

#include "platform/text.h"
#include "startup/log.h"

namespace net {
namespace {

// Large enough for any date this century and beyond, small enough that a
// sum of them cannot overflow.
constexpr int64_t kMaxDelaySeconds = int64_t{1} << 40;

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n')) {
    text.remove_suffix(1);
  }
  return text;
}

bool Digits(std::string_view text, size_t count, int64_t& value) {
  if (text.size() < count) return false;
  value = 0;
  for (size_t i = 0; i < count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t year_of_era = year - era * 400;
  const int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

// "Sun, 06 Nov 1994 08:49:37 GMT", exactly.
std::optional<int64_t> ParseImfFixdate(std::string_view text) {
  static constexpr std::array<std::string_view, 7> kDays = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
  static constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  if (text.size() != 29 || text.substr(3, 2) != ", " || text[7] != ' ' || text[11] != ' ' || text[16] != ' ' ||
      text[19] != ':' || text[22] != ':' || text.substr(25) != " GMT") {
    return std::nullopt;
  }
  bool known_day = false;
  for (const std::string_view day : kDays) known_day = known_day || text.substr(0, 3) == day;
  int64_t month = 0;
  for (size_t i = 0; i < kMonths.size(); ++i) {
    if (text.substr(8, 3) == kMonths[i]) month = static_cast<int64_t>(i) + 1;
  }
  int64_t day = 0, year = 0, hour = 0, minute = 0, second = 0;
  if (!known_day || month == 0 || !Digits(text.substr(5), 2, day) || !Digits(text.substr(12), 4, year) ||
      !Digits(text.substr(17), 2, hour) || !Digits(text.substr(20), 2, minute) || !Digits(text.substr(23), 2, second)) {
    return std::nullopt;
  }
  if (day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) return std::nullopt;
  return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

}  // namespace

std::optional<std::string_view> RetryAfterHeaderValue(std::string_view line) {
  constexpr std::string_view kName = "retry-after:";
  if (line.size() < kName.size()) return std::nullopt;
  if (platform::AsciiLower(std::string(line.substr(0, kName.size()))) != kName) return std::nullopt;
  return Trim(line.substr(kName.size()));
}

std::optional<int64_t> ParseRetryAfter(std::string_view value, int64_t now_unix_seconds) {
  value = Trim(value);
  if (value.empty()) return std::nullopt;
  if (value.find_first_not_of("0123456789") == std::string_view::npos) {
    int64_t seconds = 0;
    for (const char c : value) {
      seconds = seconds * 10 + (c - '0');
      if (seconds > kMaxDelaySeconds) return kMaxDelaySeconds;
    }
    return seconds;
  }
  const std::optional<int64_t> date = ParseImfFixdate(value);
  if (!date) return std::nullopt;
  if (*date <= now_unix_seconds) return 0;
  return *date - now_unix_seconds > kMaxDelaySeconds ? kMaxDelaySeconds : *date - now_unix_seconds;
}

int BoundedRetryAfter(int64_t seconds) {
  if (seconds <= 0) return 0;
  if (seconds <= kMaxRetryAfterSeconds) return static_cast<int>(seconds);
  startup::Log("Retry-After of %lld s asked; waiting %d s\n", static_cast<long long>(seconds), kMaxRetryAfterSeconds);
  return kMaxRetryAfterSeconds;
}

}  // namespace net
