#include "install/download_progress.h"

#include <gtest/gtest.h>

namespace {

TEST(DownloadProgressTest, PercentRules) {
  struct Case {
    uint64_t bytes_done, downloaded, report_total, bytes_total;
    std::optional<int> expected;
  };
  const Case cases[] = {
      {0, 0, 0, 1000, std::nullopt},  // size not learnt yet: nothing changes
      {0, 500, 1000, 1000, 50},
      {0, 999, 1000, 1000, 99},  // truncating
      {0, 1000, 1000, 1000, 100},
      {0, 1500, 1500, 1000, 100},   // larger than announced: capped
      {0, 500, 1000, 0, 0},         // no candidate size known
      {1000, 500, 1000, 2000, 75},  // a verified transfer counts in
      {0, 3ull << 40, 4ull << 40, 4ull << 40, 75},
      {0, UINT64_MAX / 2, UINT64_MAX, UINT64_MAX, 49},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(install::DownloadPercent(c.bytes_done, c.downloaded, c.report_total, c.bytes_total), c.expected)
        << c.downloaded << "/" << c.bytes_total;
  }
}

}  // namespace
