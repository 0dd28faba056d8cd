// The release status's numbers: what support and the log know stays the same
// for every stage and cause.
#include "net/release_status.h"

#include <gtest/gtest.h>

#include "net/release_client.h"

namespace net {
namespace {

TEST(ReleaseStatusTest, EveryCauseKeepsItsNumber) {
  const struct {
    ReleaseStatus status;
    int32_t number;
  } cases[] = {
      {ReleaseStatus::NotQueried(), -1},
      {ReleaseStatus::Answered(), 0},
      {ReleaseStatus::Failed(ReleaseStage::Attempt, ReleaseCause::NoWorker), 1},
      {ReleaseStatus::Failed(ReleaseStage::Reply, ReleaseCause::EmptyReply), 2},
      {ReleaseStatus::Failed(ReleaseStage::Reply, ReleaseCause::NotJson), 3},
      {ReleaseStatus::Failed(ReleaseStage::Reply, ReleaseCause::NoData), 4},
      {ReleaseStatus::Failed(ReleaseStage::Reply, ReleaseCause::NoMd5), 5},
      {ReleaseStatus::Failed(ReleaseStage::Reply, ReleaseCause::NoDownload), 6},
      {ReleaseStatus::Failed(ReleaseStage::Reply, ReleaseCause::NoKillSwitch), 7},
      {ReleaseStatus::Failed(ReleaseStage::Reply, ReleaseCause::NoWriteLogSwitch), 8},
      {ReleaseStatus::Failed(ReleaseStage::Reply, ReleaseCause::NoCurNum), 9},
      {ReleaseStatus::Failed(ReleaseStage::Reply, ReleaseCause::NoDownload2), 10},
      {ReleaseStatus::Failed(ReleaseStage::Reply, ReleaseCause::NoDownload3), 11},
      {ReleaseStatus::PostFailed(7), 107},
      {ReleaseStatus::PostFailed(22), 122},
      {ReleaseStatus::PostFailed(42), 142},  // a quit
  };
  for (const auto& c : cases) EXPECT_EQ(ReleaseNumber(c.status), c.number) << c.number;
}

TEST(ReleaseStatusTest, OnlyAnAnswerIsOkAndOnlyNoQueryIsUnqueried) {
  EXPECT_TRUE(ReleaseStatus::Answered().Ok());
  EXPECT_TRUE(ReleaseStatus::Answered().Queried());
  EXPECT_FALSE(ReleaseStatus::NotQueried().Ok());
  EXPECT_FALSE(ReleaseStatus::NotQueried().Queried());
  const ReleaseStatus failed = ReleaseStatus::PostFailed(7);
  EXPECT_FALSE(failed.Ok());
  EXPECT_TRUE(failed.Queried());
  EXPECT_EQ(ReleaseInfo().status, ReleaseStatus::NotQueried());
}

}  // namespace
}  // namespace net
