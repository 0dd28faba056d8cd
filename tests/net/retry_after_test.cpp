// A busy server's Retry-After: the header line, both value forms, and the
// bound that keeps a run from being parked.
#include "net/retry_after.h"

#include <gtest/gtest.h>

namespace net {
namespace {

TEST(RetryAfterTest, ReadsSecondsAndDatesAndRefusesTheRest) {
  const int64_t now = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT
  const struct {
    const char* value;
    std::optional<int64_t> seconds;
  } cases[] = {
      {"0", 0},
      {"5", 5},
      {" 120 ", 120},
      {"Sun, 06 Nov 1994 08:49:47 GMT", 10},
      {"Sun, 06 Nov 1994 08:49:37 GMT", 0},
      {"Sat, 05 Nov 1994 08:49:37 GMT", 0},  // gone by
      {"Mon, 07 Nov 1994 08:49:37 GMT", 86400},
      {"Thu, 01 Mar 2001 00:00:00 GMT", 983404800 - now},  // after a leap-century February
      {"99999999999999999999999", int64_t{1} << 40},       // no overflow
      {"", std::nullopt},
      {"-5", std::nullopt},
      {"5s", std::nullopt},
      {"1.5", std::nullopt},
      {"soon", std::nullopt},
      {"Sunday, 06-Nov-94 08:49:37 GMT", std::nullopt},
      {"Sun, 06 Nov 1994 08:49:37 UTC", std::nullopt},
      {"Sun, 06 Foo 1994 08:49:37 GMT", std::nullopt},
      {"Sun, 32 Nov 1994 08:49:37 GMT", std::nullopt},
      {"Sun, 06 Nov 1994 24:49:37 GMT", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseRetryAfter(c.value, now), c.seconds) << c.value;
}

TEST(RetryAfterTest, FindsTheHeaderAndBoundsTheWait) {
  EXPECT_EQ(RetryAfterHeaderValue("Retry-After: 7\r\n"), std::optional<std::string_view>("7"));
  EXPECT_EQ(RetryAfterHeaderValue("retry-after:\t7"), std::optional<std::string_view>("7"));
  EXPECT_EQ(RetryAfterHeaderValue("Retry-Later: 7"), std::nullopt);
  EXPECT_EQ(RetryAfterHeaderValue("Retry"), std::nullopt);
  EXPECT_EQ(BoundedRetryAfter(-3), 0);
  EXPECT_EQ(BoundedRetryAfter(0), 0);
  EXPECT_EQ(BoundedRetryAfter(kMaxRetryAfterSeconds), kMaxRetryAfterSeconds);
  EXPECT_EQ(BoundedRetryAfter(kMaxRetryAfterSeconds + 1), kMaxRetryAfterSeconds);
  EXPECT_EQ(BoundedRetryAfter(int64_t{1} << 40), kMaxRetryAfterSeconds);
}

}  // namespace
}  // namespace net
