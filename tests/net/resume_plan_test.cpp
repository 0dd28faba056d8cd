// Resume planning: only the same address, length and validators with a
// temporary file of the full length resume; the ranges then cover exactly
// the missing bytes over the connections there are.
#include "net/resume_plan.h"

#include <gtest/gtest.h>

namespace net {
namespace {

constexpr int64_t kMiB = 1024 * 1024;

RemoteFile Remote() { return {"http://h/setup.exe", 64 * kMiB, {"\"abc\"", "Tue, 08 Dec 2026 10:00:00 GMT"}}; }

JournalRecord JournalOf(const RemoteFile& remote, std::vector<ByteSpan> missing) {
  return {remote.url, remote.total, remote.validators, std::move(missing)};
}

// The bytes a plan fetches, span by span.
int64_t Fetched(const ResumePlan& plan) {
  int64_t bytes = 0;
  for (const ByteSpan& span : plan.ranges) bytes += span.Length();
  return bytes;
}

TEST(ResumePlanTest, AnythingButTheSameUnchangedFileStartsClean) {
  const RemoteFile remote = Remote();
  const JournalRecord journal = JournalOf(remote, {{0, kMiB - 1}});
  const struct {
    const char* what;
    std::optional<JournalRecord> journal;
    RemoteFile remote;
    int64_t temp_size;
  } cases[] = {
      {"no journal", std::nullopt, remote, remote.total},
      {"another address", JournalOf({"http://h/setup.exe?v=2", remote.total, remote.validators}, journal.missing),
       remote, remote.total},
      {"another length", journal, {remote.url, remote.total + 1, remote.validators}, remote.total + 1},
      {"another ETag", journal, {remote.url, remote.total, {"\"abd\"", remote.validators.last_modified}}, remote.total},
      {"another date", journal, {remote.url, remote.total, {remote.validators.etag, "Wed"}}, remote.total},
      {"the ETag gone", journal, {remote.url, remote.total, {"", remote.validators.last_modified}}, remote.total},
      {"no validators",
       JournalOf({remote.url, remote.total, {}}, journal.missing),
       {remote.url, remote.total, {}},
       remote.total},
      {"a weak ETag alone",
       JournalOf({remote.url, remote.total, {"W/\"abc\"", ""}}, journal.missing),
       {remote.url, remote.total, {"W/\"abc\"", ""}},
       remote.total},
      {"no temporary file", journal, remote, -1},
      {"a short temporary file", journal, remote, remote.total - 1},
  };
  for (const auto& c : cases) {
    const ResumePlan plan = PlanResume(c.journal, c.remote, c.temp_size, 4);
    EXPECT_EQ(plan.verdict, ResumeVerdict::Clean) << c.what;
    EXPECT_TRUE(plan.ranges.empty()) << c.what;
    EXPECT_EQ(plan.present_bytes, 0) << c.what;
    EXPECT_STRNE(plan.reason, "") << c.what;
  }
  EXPECT_EQ(PlanResume(journal, remote, remote.total, 0).verdict, ResumeVerdict::Clean);
}

TEST(ResumePlanTest, IfRangeCarriesAStrongETagElseTheDate) {
  const RemoteFile remote = Remote();
  const struct {
    RemoteValidators validators;
    std::string if_range;
  } cases[] = {
      {{"\"abc\"", "Tue, 08 Dec 2026 10:00:00 GMT"}, "\"abc\""},
      {{"W/\"abc\"", "Tue, 08 Dec 2026 10:00:00 GMT"}, "Tue, 08 Dec 2026 10:00:00 GMT"},
      {{"", "Tue, 08 Dec 2026 10:00:00 GMT"}, "Tue, 08 Dec 2026 10:00:00 GMT"},
      {{"\"abc\"", ""}, "\"abc\""},
      {{"abc", "Tue"}, "Tue"},  // not a quoted tag: not a strong one either
  };
  for (const auto& c : cases) {
    const RemoteFile file{remote.url, remote.total, c.validators};
    const ResumePlan plan = PlanResume(JournalOf(file, {{0, 9}}), file, file.total, 1);
    ASSERT_EQ(plan.verdict, ResumeVerdict::Resume) << c.if_range;
    EXPECT_EQ(plan.if_range, c.if_range);
  }
}

TEST(ResumePlanTest, RangesCoverExactlyTheMissingBytesOverTheConnections) {
  const RemoteFile remote = Remote();
  using Spans = std::vector<ByteSpan>;
  const struct {
    const char* what;
    Spans missing;
    int32_t connections;
    Spans ranges;
  } cases[] = {
      {"one per connection",
       {{8 * kMiB, 16 * kMiB - 1}, {40 * kMiB, 48 * kMiB - 1}},
       2,
       {{8 * kMiB, 16 * kMiB - 1}, {40 * kMiB, 48 * kMiB - 1}}},
      {"idle connections split the largest",
       {{0, 4 * kMiB - 1}, {60 * kMiB, 61 * kMiB - 1}},
       4,
       {{0, kMiB - 1}, {kMiB, 2 * kMiB - 1}, {2 * kMiB, 4 * kMiB - 1}, {60 * kMiB, 61 * kMiB - 1}}},
      {"small pieces stay whole", {{0, 2 * kMinResumeSplitBytes - 2}}, 8, {{0, 2 * kMinResumeSplitBytes - 2}}},
      {"the closest spans join", {{0, 9}, {100, 109}, {112, 119}, {1000, 1009}}, 3, {{0, 9}, {100, 119}, {1000, 1009}}},
      {"one connection takes them all", {{0, 9}, {100, 109}, {1000, 1009}}, 1, {{0, 1009}}},
      {"nothing missing", {}, 4, {}},
  };
  for (const auto& c : cases) {
    const ResumePlan plan = PlanResume(JournalOf(remote, c.missing), remote, remote.total, c.connections);
    ASSERT_EQ(plan.verdict, ResumeVerdict::Resume) << c.what;
    EXPECT_EQ(plan.ranges, c.ranges) << c.what;
    int64_t missing = 0;
    for (const ByteSpan& span : c.missing) missing += span.Length();
    EXPECT_EQ(plan.present_bytes, remote.total - missing) << c.what;
    EXPECT_GE(Fetched(plan), missing) << c.what;
    EXPECT_LE(plan.ranges.size(), static_cast<size_t>(c.connections)) << c.what;
  }
}

}  // namespace
}  // namespace net
