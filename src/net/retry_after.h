// A server's "come back later": the Retry-After header of a 503 answer, in
// delay-seconds or as an HTTP date, bounded so no server can park a run.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace net {

// Longer requests are cut to this (and logged): the user is waiting.
inline constexpr int kMaxRetryAfterSeconds = 30;

// The trimmed value of a "Retry-After:" header line (any case), or nullopt
// for any other line.
[[nodiscard]] std::optional<std::string_view> RetryAfterHeaderValue(std::string_view line);

// Seconds to wait: delay-seconds, or an IMF-fixdate ("Sun, 06 Nov 1994
// 08:49:37 GMT") less `now` (0 for a date gone by); nullopt for anything
// else.
[[nodiscard]] std::optional<int64_t> ParseRetryAfter(std::string_view value, int64_t now_unix_seconds);

// `seconds` bounded to 0..kMaxRetryAfterSeconds; a longer request is logged.
[[nodiscard]] int BoundedRetryAfter(int64_t seconds);

}  // namespace net
