// The segmented downloader against real servers (the Python fixture with its
// scripted faults, and nginx): every outcome is either a byte-exact file or a
// clear code with nothing lost and nothing wrong written.
#include "net/download_helper.h"

#include <gtest/gtest.h>

#include <optional>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <thread>

#include "allocation_faults.h"
#include "net/file_digest.h"
#include "net_fixture.h"
#include "platform/file_io.h"
#include "platform/text.h"
#include "platform/unique_resource.h"
#include "startup/log.h"

namespace net {
namespace {

using net_test::DataBytes;
using net_test::HttpBase;
using net_test::NginxBase;
using test_support::ReadBytes;
using test_support::TempFolder;

std::string FileUrl(const std::string& name, const std::string& query = "") {
  return HttpBase() + "/files/" + name + (query.empty() ? "" : "?" + query);
}

// The outcome as the tests state it: "ok", the cause ("temporary file"), or
// for a libcurl failure its stage and code ("range: libcurl 23").
std::string Text(const DownloadOutcome& outcome) {
  if (outcome.Ok()) return "ok";
  if (outcome.cause != DownloadCause::Curl) return CauseName(outcome.cause);
  return std::string(StageName(outcome.stage)) + ": libcurl " + std::to_string(outcome.curl_code);
}

// A callback that runs a test's lambda on each report.
struct ProgressProbe {
  std::function<void(const DownloadProgress&)> on_report;
  std::atomic<int> reports{0};
  DownloadProgress last;
  static void Callback(void* context, const DownloadProgress* progress) {
    auto* self = static_cast<ProgressProbe*>(context);
    ++self->reports;
    self->last = *progress;
    if (self->on_report) self->on_report(*progress);
  }
};

TEST(DownloadRangesTest, SplitsTheFileIntoRanges) {
  using Parts = std::vector<std::pair<int64_t, int64_t>>;
  EXPECT_EQ(CDownloadHelper::SplitRanges(100, 1), (Parts{{0, 99}}));
  EXPECT_EQ(CDownloadHelper::SplitRanges(10, 3), (Parts{{0, 2}, {3, 5}, {6, 9}}));
  // Shorter than the thread count: empty ranges first, the last carries it all.
  EXPECT_EQ(CDownloadHelper::SplitRanges(2, 4), (Parts{{0, -1}, {0, -1}, {0, -1}, {0, 1}}));
  const Parts big = CDownloadHelper::SplitRanges(4294967297LL, 2);
  EXPECT_EQ(big, (Parts{{0, 2147483647LL}, {2147483648LL, 4294967296LL}}));
  EXPECT_TRUE(CDownloadHelper::SplitRanges(0, 3).empty());
  EXPECT_TRUE(CDownloadHelper::SplitRanges(10, 0).empty());
}

TEST(DownloadRangesTest, NumbersNamesBeforeTheExtension) {
  EXPECT_EQ(CDownloadHelper::NumberedName(L"C:\\d\\setup.exe", 0), L"C:\\d\\setup.exe");
  EXPECT_EQ(CDownloadHelper::NumberedName(L"C:\\d\\setup.exe", 2), L"C:\\d\\setup(2).exe");
  EXPECT_EQ(CDownloadHelper::NumberedName(L"C:\\d\\a.b.exe", 1), L"C:\\d\\a.b(1).exe");
  EXPECT_EQ(CDownloadHelper::NumberedName(L"C:\\d.x\\setup", 1), L"");  // the dot is the folder's
  EXPECT_EQ(CDownloadHelper::NumberedName(L"C:\\d\\.exe", 1), L"");
  EXPECT_EQ(CDownloadHelper::NumberedName(L".exe", 1), L"");
}

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!net_test::FixtureAvailable()) GTEST_SKIP() << "run through net_fixture.sh";
  }
  // Downloads `url` to "<folder>\setup.exe" and returns the result.
  DownloadOutcome Fetch(CDownloadHelper& helper, const std::string& url, int32_t threads,
                        ProgressProbe* probe = nullptr) {
    return helper.StartDownload(url, target_, "test-agent", threads, probe ? &ProgressProbe::Callback : nullptr, probe);
  }
  TempFolder folder_;
  std::wstring target_ = folder_.File(L"setup.exe");
};

TEST_F(DownloadTest, FetchesByteExactWithAnyConnectionCount) {
  const struct {
    std::string base;
    const char* name;
    int32_t threads;
  } cases[] = {
      {HttpBase(), "mid.bin", 1},      {HttpBase(), "mid.bin", 3},  {HttpBase(), "mid.bin", 8},
      {HttpBase(), "ten.bin", 3},      {HttpBase(), "ten.bin", 16}, {NginxBase(), "mid.bin", 4},
      {NginxBase(), "small.bin", 100},  // more connections than one wait can cover
  };
  for (const auto& c : cases) {
    const std::string url = c.base == NginxBase() ? c.base + "/" + c.name : c.base + "/files/" + c.name;
    CDownloadHelper helper;
    ProgressProbe probe;
    ASSERT_EQ(Text(Fetch(helper, url, c.threads, &probe)), "ok") << url << " x" << c.threads;
    EXPECT_EQ(helper.FinalPath(), target_);
    EXPECT_EQ(ReadBytes(target_), DataBytes(c.name)) << url << " x" << c.threads;
    EXPECT_FALSE(platform::FileExists(helper.TempPath()));
    EXPECT_GE(probe.reports.load(), 1);
    EXPECT_EQ(probe.last.downloaded, probe.last.total);
  }
}

TEST_F(DownloadTest, ConnectionCountsOutsideTheRange) {
  CDownloadHelper none;
  EXPECT_EQ(Text(Fetch(none, FileUrl("ten.bin"), 0)), "bad connection count");
  EXPECT_FALSE(platform::FileExists(target_));
  CDownloadHelper many;  // capped, not thousands of threads
  EXPECT_EQ(Text(Fetch(many, FileUrl("small.bin"), 5000)), "ok");
  EXPECT_EQ(ReadBytes(target_), DataBytes("small.bin"));
}

// However many connections the configuration asks for, a server sees at
// most 16 at once.
TEST_F(DownloadTest, AtMostSixteenConnectionsReachTheServer) {
  const std::string key = platform::WideToAnsi(test_support::UniqueName(L"conc"));
  CDownloadHelper helper;
  EXPECT_EQ(Text(Fetch(helper, FileUrl("mid.bin", "rate=200000&conc=" + key + "&log=" + key), 32)), "ok");
  EXPECT_EQ(ReadBytes(target_), DataBytes("mid.bin"));
  std::string peak;
  PostRequest request{HttpBase() + "/peak?key=" + key, "", "", kReleaseReplyCap};
  EXPECT_EQ(PostForm(request, peak), 0);
  EXPECT_LE(std::atoi(peak.c_str()), 16) << peak;
  EXPECT_GE(std::atoi(peak.c_str()), 2) << peak;  // the connections did overlap
  size_t ranged = 0;
  for (const auto& [method, range] : net_test::Recorded(key)) ranged += method == "GET" && range != "-" ? 1 : 0;
  EXPECT_EQ(ranged, 16u);
}

// A busy server's 503 with Retry-After: the range waits as asked and asks
// again; a Retry-After that is no number or date fails the range at once;
// a stop ends the pause.
TEST_F(DownloadTest, ABusyServerIsAskedAgainAfterItsRetryAfter) {
  const std::string key = platform::WideToAnsi(test_support::UniqueName(L"busy"));
  CDownloadHelper helper;
  EXPECT_EQ(Text(Fetch(helper, FileUrl("small.bin", "busy=1&busytoken=" + key + "&log=" + key), 2)), "ok");
  EXPECT_EQ(ReadBytes(target_), DataBytes("small.bin"));
  EXPECT_EQ(net_test::Recorded(key).size(), 4u);  // the probe, two ranges, the one asked again

  const std::string garbage = platform::WideToAnsi(test_support::UniqueName(L"busy"));
  CDownloadHelper refused;
  EXPECT_EQ(Text(Fetch(refused, FileUrl("small.bin", "busy=soon&busytoken=" + garbage), 1)), "range: libcurl 22");

  const std::string held = platform::WideToAnsi(test_support::UniqueName(L"busy"));
  CDownloadHelper stopped;
  ProgressProbe probe;
  probe.on_report = [&stopped](const DownloadProgress&) { stopped.StopDownload(); };
  const ULONGLONG started = ::GetTickCount64();
  EXPECT_EQ(Text(Fetch(stopped, FileUrl("small.bin", "busy=3600&busytoken=" + held), 1, &probe)), "stopped");
  EXPECT_LT(::GetTickCount64() - started, 15000u);  // not the 30 s the pause is bounded to
  probe.on_report = nullptr;
  EXPECT_EQ(Text(stopped.ResumeTransfer()), "ok");
  EXPECT_EQ(ReadBytes(target_), DataBytes("small.bin"));
}

// While one range waits out a busy server's pause, the others go on: the
// progress shows them complete before the paused range asks again. Each of
// them is larger than the sockets buffer and the pause is longer than they
// take, so a loop that sat out the pause could not show that.
TEST_F(DownloadTest, OtherRangesKeepReceivingWhileOneRangeWaitsOutABusyServer) {
  const std::string key = platform::WideToAnsi(test_support::UniqueName(L"busy"));
  const auto ranges = CDownloadHelper::SplitRanges(static_cast<int64_t>(DataBytes("large.bin").size()), 3);
  ASSERT_EQ(ranges.size(), 3u) << "large.bin is missing";
  const int64_t two_shortest = 2 * (ranges[0].second - ranges[0].first + 1);
  const auto ranged_requests = [&key] {
    size_t ranged = 0;
    for (const auto& [method, range] : net_test::Recorded(key)) ranged += method == "GET" && range != "-" ? 1 : 0;
    return ranged;
  };
  std::atomic<bool> others_done_first{false};
  ProgressProbe probe;
  probe.on_report = [&](const DownloadProgress& progress) {
    if (progress.downloaded >= two_shortest && ranged_requests() == 3) others_done_first = true;
  };
  CDownloadHelper helper;
  EXPECT_EQ(Text(Fetch(helper, FileUrl("large.bin", "busy=4&busytoken=" + key + "&log=" + key), 3, &probe)), "ok");
  EXPECT_EQ(ReadBytes(target_), DataBytes("large.bin"));
  EXPECT_EQ(ranged_requests(), 4u);  // three ranges, the one asked again
  EXPECT_TRUE(others_done_first);
}

// A stop while no range can make progress, every one paused by a busy
// server or held by a server that went silent mid-answer, ends the download
// at once with its own outcome; the bound only keeps a failure from hanging.
TEST_F(DownloadTest, AStopEndsEveryRangeThatWaitsOrIsStalled) {
  for (const char* fault : {"busy=3600", "stall=1"}) {
    CDownloadHelper helper;
    helper.SetStallLimitSeconds(600);  // the stall must not end it first
    std::atomic<bool> done{false};
    DownloadOutcome outcome;
    std::thread download([&] {
      outcome = helper.StartDownload(FileUrl("mid.bin", fault), target_, "test-agent", 4, nullptr, nullptr);
      done = true;
    });
    // Long enough for every range to reach its pause or stall.
    ::Sleep(1500);
    helper.StopDownload();
    for (int i = 0; i < 300 && !done; ++i) ::Sleep(100);
    if (!done) {
      ADD_FAILURE() << fault << ": the stop was not noticed";
      std::_Exit(1);  // the thread still runs and would hang the binary
    }
    download.join();
    EXPECT_EQ(Text(outcome), "stopped") << fault;
    EXPECT_FALSE(platform::FileExists(target_)) << fault;
  }
}

// The ranges run on one loop per core, the calling thread's first. With
// four connections on two cores or more, range 1 runs on a loop of another
// thread: the query that confines a fault to the range starting at its first
// byte. (On one core the same cases run on one loop.)
std::string FaultOnSecondOfFourRanges(const std::string& name, const std::string& fault) {
  const auto ranges = CDownloadHelper::SplitRanges(static_cast<int64_t>(DataBytes(name).size()), 4);
  return "faultat=" + std::to_string(ranges.at(1).first) + "&" + fault;
}

// User + kernel milliseconds of this process so far.
ULONGLONG ProcessCpuMs() {
  FILETIME created, exited, kernel, user;
  if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  const auto ms = [](const FILETIME& t) {
    return ((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000;
  };
  return ms(kernel) + ms(user);
}

// The other ranges end at once while one on another loop takes about four
// seconds: progress goes on being reported until it ends, the loops wait
// for their sockets meanwhile instead of spinning, the watchdog sees the
// slow range's samples (above the floor: no stall), and the file is exact.
TEST_F(DownloadTest, ASlowRangeOnAnotherLoopKeepsProgressGoingUntilItEnds) {
  std::vector<int64_t> partial;  // what each report before the end showed
  ProgressProbe probe;
  probe.on_report = [&partial](const DownloadProgress& progress) {
    if (progress.downloaded < progress.total) partial.push_back(progress.downloaded);
  };
  CDownloadHelper helper;
  helper.SetStallLimitSeconds(2);
  const ULONGLONG wall_start = ::GetTickCount64();
  const ULONGLONG cpu_start = ProcessCpuMs();
  ASSERT_EQ(Text(Fetch(helper, FileUrl("mid.bin", FaultOnSecondOfFourRanges("mid.bin", "rate=200000")), 4, &probe)),
            "ok");
  const ULONGLONG cpu = ProcessCpuMs() - cpu_start;
  const ULONGLONG wall = ::GetTickCount64() - wall_start;
  EXPECT_EQ(ReadBytes(target_), DataBytes("mid.bin"));
  EXPECT_FALSE(helper.EndedByStall());
  EXPECT_GE(partial.size(), 3u);  // a report every 0.8 s
  EXPECT_TRUE(std::is_sorted(partial.begin(), partial.end()));
  // Waiting loops use a sliver of a core; loops whose waits return at once, most of one.
  EXPECT_LT(cpu * 4, wall) << cpu << " ms of CPU in " << wall << " ms";
}

// A stop ends every loop at once with the stop's outcome: while all of them
// run (slowly: forty seconds to the end), and after the calling thread's
// loop ended while another loop's range is held by a server gone silent.
TEST_F(DownloadTest, AStopEndsEveryLoop) {
  for (const std::string& query : {std::string("rate=20000"), FaultOnSecondOfFourRanges("mid.bin", "stall=1")}) {
    CDownloadHelper helper;
    helper.SetStallLimitSeconds(600);  // the stop ends it, not the watchdog
    ProgressProbe probe;
    probe.on_report = [&helper](const DownloadProgress&) { helper.StopDownload(); };
    std::atomic<bool> done{false};
    DownloadOutcome outcome;
    std::thread download([&] {
      outcome = Fetch(helper, FileUrl("mid.bin", query), 4, &probe);
      done = true;
    });
    for (int i = 0; i < 150 && !done; ++i) ::Sleep(100);
    if (!done) {
      ADD_FAILURE() << query << ": a loop did not notice the stop";
      std::_Exit(1);  // the thread still runs and would hang the binary
    }
    download.join();
    EXPECT_EQ(Text(outcome), "stopped") << query;
    EXPECT_FALSE(platform::FileExists(target_)) << query;
    EXPECT_TRUE(platform::FileExists(helper.TempPath())) << query;
  }
}

// A range on another loop is paused for a busy server and asked again, and
// its stall or crawl ends the download as the watchdog judges it; after a
// stall a resume finishes the file.
TEST_F(DownloadTest, ARangeOnAnotherLoopIsPausedAndWatched) {
  const std::string key = platform::WideToAnsi(test_support::UniqueName(L"busy"));
  {
    CDownloadHelper helper;
    const std::string busy = FaultOnSecondOfFourRanges("mid.bin", "busy=1&busytoken=" + key + "&log=" + key);
    EXPECT_EQ(Text(Fetch(helper, FileUrl("mid.bin", busy), 4)), "ok");
    EXPECT_EQ(ReadBytes(target_), DataBytes("mid.bin"));
    EXPECT_EQ(net_test::Recorded(key).size(), 6u);  // the probe, four ranges, the one asked again
  }
  {
    CDownloadHelper helper;
    helper.SetStallLimitSeconds(2);
    const std::string token = platform::WideToAnsi(test_support::UniqueName(L"s"));
    const std::string stall = FaultOnSecondOfFourRanges("mid.bin", "stall=1&stalltoken=" + token);
    const ULONGLONG started = ::GetTickCount64();
    EXPECT_EQ(Text(Fetch(helper, FileUrl("mid.bin", stall), 4)), "range: libcurl 23");
    EXPECT_LT(::GetTickCount64() - started, 15000u);  // ended by the watchdog, not a time-out
    EXPECT_TRUE(helper.EndedByStall());
    EXPECT_EQ(Text(helper.ResumeTransfer()), "ok");
    EXPECT_EQ(ReadBytes(target_), DataBytes("mid.bin"));
  }
  CDownloadHelper crawling;  // 300 B/s, below the floor
  crawling.SetStallLimitSeconds(2);
  EXPECT_EQ(Text(Fetch(crawling, FileUrl("mid.bin", FaultOnSecondOfFourRanges("mid.bin", "drip=30")), 4)),
            "range: libcurl 23");
  EXPECT_TRUE(crawling.EndedByStall());
}

TEST_F(DownloadTest, ServersThatMisanswerRangesFallBackToOneConnection) {
  for (const char* fault : {"norange=1", "badrange=1", "badtotal=1"}) {
    CDownloadHelper helper;
    ASSERT_EQ(Text(Fetch(helper, FileUrl("mid.bin", fault), 4)), "ok") << fault;
    EXPECT_EQ(ReadBytes(target_), DataBytes("mid.bin")) << fault;
  }
}

TEST_F(DownloadTest, LengthProblemsEndWithClearCodes) {
  const struct {
    std::string query;
    std::string result;
  } cases[] = {
      {"nolength=1", "no length"},               // the probe learns no length
      {"status=404", "size probe: libcurl 22"},  // the probe gets an error page
      {"probelength=5000&probetoken=" + platform::WideToAnsi(test_support::UniqueName(L"p")),
       "server disagrees"},                      // the probe's length is not the file's
      {"rangestatus=500", "range: libcurl 22"},  // the ranges get error pages
  };
  for (const auto& c : cases) {
    CDownloadHelper helper;
    EXPECT_EQ(Text(Fetch(helper, FileUrl("small.bin", c.query), 3)), c.result) << c.query;
    EXPECT_FALSE(platform::FileExists(target_)) << c.query;
    // An error page is never written: the temporary file holds only zeros or file bytes.
    const std::string temp = ReadBytes(helper.TempPath());
    EXPECT_EQ(temp.find("<html>"), std::string::npos) << c.query;
  }
}

// Any volume has less room than an exabyte: refused before the file is made.
TEST_F(DownloadTest, AClaimBeyondTheFreeSpaceFailsEarly) {
  CDownloadHelper helper;
  const std::string query =
      "probelength=1152921504606846976&probetoken=" + platform::WideToAnsi(test_support::UniqueName(L"f"));
  EXPECT_EQ(Text(Fetch(helper, FileUrl("small.bin", query), 4)), "temporary file");
  EXPECT_FALSE(platform::FileExists(helper.TempPath()));
  EXPECT_FALSE(platform::FileExists(target_));
}

TEST_F(DownloadTest, ADroppedConnectionResumesToAnExactFile) {
  CDownloadHelper helper;
  const DownloadOutcome first = Fetch(
      helper, FileUrl("mid.bin", "drop=70000&droptoken=" + platform::WideToAnsi(test_support::UniqueName(L"d"))), 4);
  EXPECT_TRUE(first.IsRangeFailure()) << Text(first);
  EXPECT_FALSE(platform::FileExists(target_));
  EXPECT_TRUE(platform::FileExists(helper.TempPath()));
  EXPECT_EQ(Text(helper.ResumeTransfer()), "ok");
  EXPECT_EQ(ReadBytes(target_), DataBytes("mid.bin"));
}

// Received bytes reach the file in large blocks: when a connection drops
// part-way through a block, what arrived of it is still written, so the
// temporary file holds every byte before the drop and the resume finishes it.
TEST_F(DownloadTest, ADroppedConnectionKeepsEveryByteThatArrived) {
  constexpr size_t kDropAt = 2500000;  // two full 1 MiB blocks and part of a third
  CDownloadHelper helper;
  const std::string token = platform::WideToAnsi(test_support::UniqueName(L"k"));
  const DownloadOutcome first =
      Fetch(helper, FileUrl("mid.bin", "drop=" + std::to_string(kDropAt) + "&droptoken=" + token), 1);
  EXPECT_TRUE(first.IsRangeFailure()) << Text(first);
  const std::string expected = DataBytes("mid.bin");
  const std::string kept = ReadBytes(helper.TempPath());
  ASSERT_EQ(kept.size(), expected.size());
  EXPECT_TRUE(kept.compare(0, kDropAt, expected, 0, kDropAt) == 0) << "bytes before the drop are missing";
  EXPECT_EQ(Text(helper.ResumeTransfer()), "ok");
  EXPECT_EQ(ReadBytes(target_), expected);
}

TEST_F(DownloadTest, APersistentDropKeepsFailingInTheRangeBand) {
  CDownloadHelper helper;
  const DownloadOutcome result = Fetch(helper, FileUrl("small.bin", "drop=1000"), 2);
  EXPECT_TRUE(result.IsRangeFailure()) << Text(result);
  EXPECT_FALSE(helper.EndedByStall());
  const DownloadOutcome again = helper.ResumeTransfer();
  EXPECT_TRUE(again.IsRangeFailure()) << Text(again);
  EXPECT_FALSE(helper.EndedByStall());
  EXPECT_FALSE(platform::FileExists(target_));
}

TEST_F(DownloadTest, StalledAndSilentConnectionsEndWithTheStallCodeThenResume) {
  for (const char* fault : {"stall=1&stalltoken=", "silent=1&silenttoken="}) {
    CDownloadHelper helper;
    helper.SetStallLimitSeconds(2);
    const std::string token = platform::WideToAnsi(test_support::UniqueName(L"s"));
    EXPECT_EQ(Text(Fetch(helper, FileUrl("small.bin", fault + token), 3)), "range: libcurl 23") << fault;
    EXPECT_TRUE(helper.EndedByStall()) << fault;
    EXPECT_EQ(Text(helper.ResumeTransfer()), "ok") << fault;
    EXPECT_FALSE(helper.EndedByStall()) << fault;
    EXPECT_EQ(ReadBytes(target_), DataBytes("small.bin")) << fault;
  }
}

// Two downloads at the same time, each with its own watch: the stall of one
// ends only that one; the other, slower than the stall limit in total, goes
// on to an exact file.
TEST_F(DownloadTest, TwoDownloadsAtOnceKeepTheirStallsApart) {
  TempFolder other;
  CDownloadHelper stalling;
  stalling.SetStallLimitSeconds(2);
  CDownloadHelper steady;
  steady.SetStallLimitSeconds(2);
  const std::string token = platform::WideToAnsi(test_support::UniqueName(L"t"));
  std::atomic<bool> stalled{false};
  DownloadOutcome stalled_result;
  std::thread first([&] {
    stalled_result = stalling.StartDownload(FileUrl("small.bin", "stall=1&stalltoken=" + token),
                                            other.File(L"setup.exe"), "test-agent", 3, nullptr, nullptr);
    stalled = true;
  });
  // About eight seconds at 200 kB/s per connection: the other one stalls meanwhile.
  ProgressProbe probe;
  bool overlapped = false;
  probe.on_report = [&](const DownloadProgress&) {
    if (stalled) overlapped = true;
  };
  const DownloadOutcome steady_result = Fetch(steady, FileUrl("mid.bin", "rate=200000"), 2, &probe);
  first.join();
  EXPECT_EQ(Text(stalled_result), "range: libcurl 23");
  EXPECT_EQ(Text(steady_result), "ok");
  EXPECT_TRUE(overlapped) << "the stall came after the steady download had ended";
  EXPECT_EQ(ReadBytes(target_), DataBytes("mid.bin"));
  EXPECT_FALSE(platform::FileExists(other.File(L"setup.exe")));
}

// A slow size probe and the pre-sizing of the file send nothing through the
// ranges: that time is not silence, and the transfer after it completes
// (the companion fetch has no retry).
TEST_F(DownloadTest, ASlowSizeProbeIsNotCountedAsSilence) {
  CDownloadHelper helper;
  helper.SetStallLimitSeconds(1);
  ASSERT_EQ(Text(Fetch(helper, FileUrl("small.bin", "probedelay=4"), 3)), "ok");
  EXPECT_EQ(ReadBytes(target_), DataBytes("small.bin"));
}

TEST_F(DownloadTest, SlowDripCompletesAboveTheFloorAndStallsBelowIt) {
  {
    CDownloadHelper helper;
    helper.SetStallLimitSeconds(2);
    EXPECT_EQ(Text(Fetch(helper, FileUrl("drip.bin", "drip=400"), 1)), "ok");  // 4000 B/s
    EXPECT_EQ(ReadBytes(target_), DataBytes("drip.bin"));
  }
  CDownloadHelper slow;
  slow.SetStallLimitSeconds(2);
  EXPECT_EQ(Text(Fetch(slow, FileUrl("drip.bin", "drip=30"), 1)), "range: libcurl 23");  // 300 B/s
}

TEST_F(DownloadTest, RateLimitedConnectionsStillGiveAnExactFile) {
  CDownloadHelper helper;
  ASSERT_EQ(Text(Fetch(helper, FileUrl("mid.bin", "rate=1000000"), 4)), "ok");
  EXPECT_EQ(ReadBytes(target_), DataBytes("mid.bin"));
  CDownloadHelper limited;  // nginx: 256 KiB/s per connection
  ASSERT_EQ(Text(Fetch(limited, NginxBase() + "/limited/mid.bin", 8)), "ok");
  EXPECT_EQ(ReadBytes(target_), DataBytes("mid.bin"));
}

TEST_F(DownloadTest, StopKeepsTheTemporaryFileAndResumeFinishesIt) {
  CDownloadHelper helper;
  ProgressProbe probe;
  probe.on_report = [&helper](const DownloadProgress&) { helper.StopDownload(); };
  EXPECT_EQ(Text(Fetch(helper, FileUrl("mid.bin", "rate=400000"), 4, &probe)), "stopped");
  EXPECT_FALSE(platform::FileExists(target_));
  EXPECT_TRUE(platform::FileExists(helper.TempPath()));
  probe.on_report = nullptr;
  EXPECT_EQ(Text(helper.ResumeTransfer()), "ok");
  EXPECT_EQ(ReadBytes(target_), DataBytes("mid.bin"));
}

// A stop must end a connection that sends nothing at all, long before the
// stall limit would.
TEST_F(DownloadTest, AStopEndsASilentConnection) {
  CDownloadHelper helper;
  ProgressProbe probe;
  probe.on_report = [&helper](const DownloadProgress&) { helper.StopDownload(); };
  const std::string token = platform::WideToAnsi(test_support::UniqueName(L"q"));
  EXPECT_EQ(Text(Fetch(helper, FileUrl("small.bin", "silent=1&silenttoken=" + token), 1, &probe)), "stopped");
  EXPECT_FALSE(platform::FileExists(target_));
  probe.on_report = nullptr;
  EXPECT_EQ(Text(helper.ResumeTransfer()), "ok");
  EXPECT_EQ(ReadBytes(target_), DataBytes("small.bin"));
}

// Closing the program while it downloads: the transfer stops, every thread
// is joined, and the quit request is still there for the outer loop.
TEST_F(DownloadTest, AQuitRequestStopsTheDownloadAndIsKept) {
  CDownloadHelper helper;
  // The quit arrives through the message pump while the ranges run.
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR, DWORD) { ::PostQuitMessage(3); });
  EXPECT_EQ(Text(Fetch(helper, FileUrl("mid.bin", "rate=200000"), 2)), "stopped");
  ::KillTimer(nullptr, timer);
  EXPECT_EQ(test_support::TakeQueuedQuit(), std::optional<WPARAM>(3u));
  EXPECT_TRUE(platform::FileExists(helper.TempPath()));
}

// A handler run by the wait's message pump tries to start or resume the
// same downloader: refused, and the transfer in progress completes.
CDownloadHelper* g_busy_helper = nullptr;  // UI thread only
std::vector<std::string> g_busy_results;

TEST_F(DownloadTest, AStartOrResumeWhileRunningIsRefused) {
  CDownloadHelper helper;
  g_busy_helper = &helper;
  g_busy_results.clear();
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    g_busy_results.push_back(g_busy_helper->IsRunning() ? "running" : "idle");
    g_busy_results.push_back(
        Text(g_busy_helper->StartDownload(FileUrl("ten.bin"), L"C:\\elsewhere.exe", "", 1, nullptr, nullptr)));
    g_busy_results.push_back(Text(g_busy_helper->ResumeTransfer()));
  });
  ASSERT_NE(timer, 0u);
  EXPECT_EQ(Text(Fetch(helper, FileUrl("mid.bin", "rate=1000000"), 3)), "ok");
  g_busy_helper = nullptr;
  EXPECT_EQ(g_busy_results, (std::vector<std::string>{"running", "busy", "busy"}));
  EXPECT_FALSE(helper.IsRunning());
  EXPECT_EQ(helper.FinalPath(), target_);
  EXPECT_EQ(ReadBytes(target_), DataBytes("mid.bin"));
}

// Out of memory while the range transfers are set up: none of them runs,
// the start fails with its code, and a resume later finishes the file. The
// failing allocation is the copy of the URL that each range's transfer
// takes along (a length no other allocation has).
TEST_F(DownloadTest, NoMemoryWhileTheRangesAreSetUpFailsTheStart) {
  CDownloadHelper helper;
  const std::string before = test_support::ReadBytes(startup::MainLog().path());
  std::string url = FileUrl("mid.bin", "rate=200000&pad=");
  ASSERT_LT(url.size(), 1000u);
  url.append(1000 - url.size(), 'p');  // an even length: no wide text has the odd byte count
  {
    // The worker copies the URL once for the round, then once per range.
    const net_test::FailingAllocations no_memory(url.size() + 1, 3);
    EXPECT_EQ(Text(Fetch(helper, url, 4)), "no thread");
  }
  EXPECT_NE(
      test_support::ReadBytes(startup::MainLog().path()).substr(before.size()).find("range 2 of 4 could not start"),
      std::string::npos);
  EXPECT_FALSE(helper.IsRunning());
  EXPECT_FALSE(platform::FileExists(target_));
  EXPECT_EQ(Text(helper.ResumeTransfer()), "ok");
  EXPECT_EQ(ReadBytes(target_), DataBytes("mid.bin"));
}

TEST_F(DownloadTest, ATakenTargetIsReplacedOrNumberedWhenInUse) {
  ASSERT_TRUE(test_support::WriteBytes(target_, "old installer"));
  {
    CDownloadHelper helper;
    ASSERT_EQ(Text(Fetch(helper, FileUrl("ten.bin"), 1)), "ok");
    EXPECT_EQ(helper.FinalPath(), target_);
    EXPECT_EQ(ReadBytes(target_), DataBytes("ten.bin"));
  }
  // In use by someone else (no delete sharing): the next free numbered name.
  ASSERT_TRUE(test_support::WriteBytes(folder_.File(L"setup(1).exe"), "someone else's"));
  platform::UniqueHandle in_use(::CreateFileW(target_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(in_use.IsValid());
  CDownloadHelper helper;
  ASSERT_EQ(Text(Fetch(helper, FileUrl("small.bin"), 2)), "ok");
  EXPECT_EQ(helper.FinalPath(), folder_.File(L"setup(2).exe"));
  EXPECT_EQ(ReadBytes(helper.FinalPath()), DataBytes("small.bin"));
  in_use.Reset();
  EXPECT_EQ(ReadBytes(target_), DataBytes("ten.bin"));  // nothing it did not create is touched
  EXPECT_EQ(ReadBytes(folder_.File(L"setup(1).exe")), "someone else's");
}

TEST_F(DownloadTest, ATargetWithoutExtensionKeepsTheTemporaryFile) {
  CDownloadHelper helper;
  const std::wstring target = folder_.File(L"setup");
  EXPECT_EQ(Text(helper.StartDownload(FileUrl("ten.bin"), target, "", 1, nullptr, nullptr)), "rename");
  EXPECT_EQ(ReadBytes(target + L".temp"), DataBytes("ten.bin"));
}

TEST_F(DownloadTest, AReadOnlyFolderFailsWithTheTemporaryFileCode) {
  const std::wstring folder = net_test::FixtureFolder("WEBINSTALLER_NET_READONLY_DIR");
  if (folder.empty()) GTEST_SKIP() << "no read-only folder";
  CDownloadHelper helper;
  const DownloadOutcome outcome =
      helper.StartDownload(FileUrl("ten.bin"), folder + L"setup.exe", "", 2, nullptr, nullptr);
  EXPECT_EQ(Text(outcome), "temporary file");
  EXPECT_EQ(outcome.os_error, static_cast<uint32_t>(ERROR_ACCESS_DENIED));  // the reason comes along
  EXPECT_FALSE(platform::FileExists(folder + L"setup.exe.temp"));
}

TEST_F(DownloadTest, AFullDiskFailsEarlyOrCleanly) {
  const std::wstring folder = net_test::FixtureFolder("WEBINSTALLER_NET_SMALL_DIR");
  if (folder.empty()) GTEST_SKIP() << "no small volume (needs root to mount one)";
  // Larger than the volume: refused before anything large is made.
  CDownloadHelper early;
  EXPECT_EQ(Text(early.StartDownload(FileUrl("mid.bin"), folder + L"setup.exe", "", 4, nullptr, nullptr)),
            "temporary file");
  EXPECT_FALSE(platform::FileExists(folder + L"setup.exe.temp"));

  // A full-size temporary file of an earlier run is replaced, not counted
  // against the room: a retry on a nearly full volume still fits.
  ASSERT_TRUE(test_support::WriteBytes(folder + L"setup.exe.temp", std::string(950 * 1024, 't')));
  CDownloadHelper again;
  EXPECT_EQ(Text(again.StartDownload(FileUrl("small.bin"), folder + L"setup.exe", "", 2, nullptr, nullptr)), "ok");
  EXPECT_EQ(ReadBytes(folder + L"setup.exe"), DataBytes("small.bin"));
  ::DeleteFileW((folder + L"setup.exe").c_str());

  // Fits when it starts, then someone else fills the volume: the write fails.
  const std::wstring filler = folder + L"filler.bin";
  CDownloadHelper late;
  ProgressProbe probe;
  probe.on_report = [&filler](const DownloadProgress&) {
    if (!platform::FileExists(filler)) (void)test_support::WriteBytes(filler, std::string(1000 * 1024, 'f'));
  };
  EXPECT_EQ(Text(late.StartDownload(FileUrl("small.bin", "rate=40000"), folder + L"setup.exe", "", 1,
                                    &ProgressProbe::Callback, &probe)),
            "temporary file");
  EXPECT_FALSE(platform::FileExists(folder + L"setup.exe"));
  ::DeleteFileW(filler.c_str());
  ::DeleteFileW((folder + L"setup.exe.temp").c_str());
}

TEST_F(DownloadTest, CertificatesAreCheckedOnEveryTransfer) {
  TlsSettings tls;
  tls.ca_file = net_test::TestCaFile();  // the test authority stands in for the system's roots
  {
    CDownloadHelper helper;
    helper.SetTlsSettings(tls);
    ASSERT_EQ(Text(Fetch(helper, net_test::HttpsBase("https") + "/files/small.bin", 3)), "ok");
    EXPECT_EQ(ReadBytes(target_), DataBytes("small.bin"));
  }
  ::DeleteFileW(target_.c_str());
  for (const char* kind : {"untrusted", "wronghost"}) {
    CDownloadHelper helper;
    helper.SetTlsSettings(tls);
    const std::string result = Text(Fetch(helper, net_test::HttpsBase(kind) + "/files/small.bin", 3));
    EXPECT_TRUE(result == "size probe: libcurl 35" || result == "size probe: libcurl 60") << kind << " gave " << result;
    EXPECT_FALSE(platform::FileExists(target_));
    EXPECT_FALSE(platform::FileExists(helper.TempPath()));
  }
}

TEST_F(DownloadTest, AFileOverFourGibibytes) {
  CDownloadHelper helper;
  ASSERT_EQ(Text(Fetch(helper, NginxBase() + "/big4g.bin", 4)), "ok");
  platform::UniqueHandle file(::CreateFileW(target_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file.IsValid());
  LARGE_INTEGER size{};
  ASSERT_TRUE(::GetFileSizeEx(file.Get(), &size));
  EXPECT_EQ(size.QuadPart, 4294967297LL);
  const auto read_at = [&file](int64_t offset, DWORD count) {
    std::string bytes(count, '\0');
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    (void)::ReadFile(file.Get(), bytes.data(), count, &read, &at);
    bytes.resize(read);
    return bytes;
  };
  EXPECT_EQ(read_at(0, 5), "first");
  EXPECT_EQ(read_at(4294967296LL - 6, 5), "cross");
  EXPECT_EQ(read_at(4294967296LL, 1), "!");
  // The digest reads past the 32-bit line too (known answer of the marked sparse file).
  EXPECT_EQ(FileMd5Hex(target_), "cbf6ea0073bce5a05b8e9b63321ff53b");
}

}  // namespace
}  // namespace net
