// A download that a later downloader (a later run) continues from its
// journal, against the fixture server's validators and If-Range: only the
// missing bytes are asked for when the file is unchanged; anything else
// starts clean and never mixes old bytes with new ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "net/download_helper.h"
#include "net/download_journal.h"
#include "net_fixture.h"
#include "platform/file_io.h"
#include "platform/text.h"

namespace net {
namespace {

using test_support::ReadBytes;
using test_support::TempFolder;
using test_support::WriteBytes;

constexpr size_t kFileBytes = 3 * 1024 * 1024 + 13;

// A file of its own on the fixture server, so a test may change it.
class ServedFile {
 public:
  ServedFile() : name_(platform::WideToAnsi(test_support::UniqueName(L"resume")) + ".bin") { Write('a'); }
  ~ServedFile() { ::DeleteFileW(net_test::DataFile(name_).c_str()); }
  ServedFile(const ServedFile&) = delete;
  ServedFile& operator=(const ServedFile&) = delete;

  // Same length, other bytes: a new version of the file.
  void Write(char seed) {
    bytes_.resize(kFileBytes);
    for (size_t i = 0; i < bytes_.size(); ++i) bytes_[i] = static_cast<char>(seed + (i * 7919) % 251);
    EXPECT_TRUE(WriteBytes(net_test::DataFile(name_), bytes_));
  }
  [[nodiscard]] const std::string& bytes() const { return bytes_; }
  // The file's address with `query` and a request log of its own.
  [[nodiscard]] std::string Url(const std::string& query) const {
    return net_test::HttpBase() + "/files/" + name_ + "?log=" + name_ + "&" + query;
  }
  // The requests the server saw so far: "<Range> [if-range=<value>]".
  [[nodiscard]] std::vector<std::string> Requests() const {
    std::vector<std::string> requests;
    for (const auto& [method, entry] : net_test::Recorded(name_)) {
      if (method == "GET" && entry != "-") requests.push_back(entry);
    }
    return requests;
  }

 private:
  std::string name_;
  std::string bytes_;
};

// The byte count a ranged request asked for ("bytes=a-b ..."), 0 when unreadable.
int64_t AskedBytes(const std::string& request) {
  long long first = 0, last = -1;
  if (std::sscanf(request.c_str(), "bytes=%lld-%lld", &first, &last) != 2) return 0;
  return last - first + 1;
}

// A downloader that stops itself at its first progress report.
struct StoppedEarly {
  CDownloadHelper helper;
  DownloadOutcome outcome;
};
void FetchUntilFirstReport(StoppedEarly& stopped, const std::string& url, const std::wstring& target) {
  stopped.outcome = stopped.helper.StartDownload(
      url, target, "test-agent", 4,
      [](void* context, const DownloadProgress*) { static_cast<CDownloadHelper*>(context)->StopDownload(); },
      &stopped.helper);
}

class DownloadResumeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!net_test::FixtureAvailable()) GTEST_SKIP() << "run through net_fixture.sh";
  }
  // A second downloader for `url` that must start clean (nothing resumed)
  // and end with the served bytes and no journal; returns its requests.
  std::vector<std::string> FetchAgainClean(const ServedFile& file, const std::string& url) {
    const size_t earlier = file.Requests().size();
    CDownloadHelper second;
    EXPECT_TRUE(second.StartDownload(url, target_, "test-agent", 4, nullptr, nullptr).Ok());
    EXPECT_EQ(second.ResumedBytes(), 0);
    EXPECT_EQ(ReadBytes(target_), file.bytes());
    EXPECT_FALSE(platform::FileExists(journal_));
    std::vector<std::string> requests = file.Requests();
    requests.erase(requests.begin(),
                   requests.begin() + static_cast<std::ptrdiff_t>(std::min(earlier, requests.size())));
    return requests;
  }

  TempFolder folder_;
  std::wstring target_ = folder_.File(L"setup.exe");
  std::wstring journal_ = target_ + L".temp.journal";
};

TEST_F(DownloadResumeTest, ALaterDownloaderFetchesOnlyTheMissingBytesOfTheSameFile) {
  for (const char* validators : {"validators=strong", "validators=weak", "validators=date"}) {
    ServedFile file;
    const std::string url = file.Url(std::string(validators) + "&rate=300000");
    StoppedEarly first;
    FetchUntilFirstReport(first, url, target_);
    ASSERT_EQ(first.outcome.cause, DownloadCause::Stopped) << validators;
    const std::optional<JournalRecord> journal = DownloadJournal(first.helper.TempPath()).Load();
    ASSERT_TRUE(journal) << validators;
    EXPECT_EQ(journal->url, url);
    EXPECT_EQ(journal->total, static_cast<int64_t>(kFileBytes));
    ASSERT_GT(journal->PresentBytes(), 0) << validators;
    ASSERT_LT(journal->PresentBytes(), journal->total) << validators;
    const size_t first_requests = file.Requests().size();

    CDownloadHelper second;
    ASSERT_TRUE(second.StartDownload(url, target_, "test-agent", 4, nullptr, nullptr).Ok()) << validators;
    EXPECT_EQ(second.ResumedBytes(), journal->PresentBytes());
    EXPECT_EQ(ReadBytes(target_), file.bytes()) << validators;
    EXPECT_FALSE(platform::FileExists(journal_)) << validators;
    EXPECT_FALSE(platform::FileExists(second.TempPath())) << validators;

    // Exactly the missing bytes were asked for, each request on condition
    // that the file is still the one the journal names.
    const std::vector<std::string> requests = file.Requests();
    ASSERT_GT(requests.size(), first_requests);
    int64_t asked = 0;
    const std::string if_range =
        std::string(validators) == "validators=strong" ? journal->validators.etag : journal->validators.last_modified;
    for (size_t i = first_requests; i < requests.size(); ++i) {
      asked += AskedBytes(requests[i]);
      EXPECT_NE(requests[i].find(" if-range=" + if_range), std::string::npos) << requests[i];
    }
    EXPECT_EQ(asked, journal->total - journal->PresentBytes()) << validators;
  }
}

// Without a usable validator nothing could tell a later run that the file
// is the same: no journal is kept and the next start fetches everything.
TEST_F(DownloadResumeTest, WithoutAValidatorThereIsNoJournalAndNoResume) {
  for (const char* validators : {"validators=none", "validators=weakonly"}) {
    ServedFile file;
    const std::string url = file.Url(std::string(validators) + "&rate=300000");
    StoppedEarly first;
    FetchUntilFirstReport(first, url, target_);
    ASSERT_EQ(first.outcome.cause, DownloadCause::Stopped) << validators;
    EXPECT_FALSE(platform::FileExists(journal_)) << validators;

    int64_t asked = 0;
    for (const std::string& request : FetchAgainClean(file, url)) {
      asked += AskedBytes(request);
      EXPECT_EQ(request.find("if-range"), std::string::npos) << request;
    }
    EXPECT_EQ(asked, static_cast<int64_t>(kFileBytes)) << validators;
  }
}

// The file changed on the server between the runs: the size probe sees new
// validators, so the earlier bytes are discarded before any request.
TEST_F(DownloadResumeTest, AFileChangedBetweenRunsStartsClean) {
  ServedFile file;
  const std::string url = file.Url("validators=strong&rate=300000");
  StoppedEarly first;
  FetchUntilFirstReport(first, url, target_);
  ASSERT_EQ(first.outcome.cause, DownloadCause::Stopped);
  ASSERT_TRUE(DownloadJournal(first.helper.TempPath()).Load());
  ::Sleep(20);  // a modification time of its own
  file.Write('b');

  for (const std::string& request : FetchAgainClean(file, url)) {
    EXPECT_EQ(request.find("if-range"), std::string::npos) << request;
  }
}

// The file changes between the probe and the ranges (the server answers the
// If-Range with the whole file and 200): the old bytes, here also damaged
// on disk, must not end up in the result. The clean start that follows
// fetches everything again, without a condition.
TEST_F(DownloadResumeTest, AnIfRangeAnsweredWithTheWholeFileStartsCleanAndNeverMixes) {
  ServedFile file;
  const std::string url = file.Url("validators=strong&ifrange=stale&rate=300000");
  StoppedEarly first;
  FetchUntilFirstReport(first, url, target_);
  ASSERT_EQ(first.outcome.cause, DownloadCause::Stopped);
  const std::optional<JournalRecord> journal = DownloadJournal(first.helper.TempPath()).Load();
  ASSERT_TRUE(journal);
  ASSERT_GT(journal->PresentBytes(), 0);
  // Every byte the journal calls present is made wrong.
  std::string kept = ReadBytes(first.helper.TempPath());
  ASSERT_EQ(kept.size(), kFileBytes);
  for (char& c : kept) c = static_cast<char>(~c);
  ASSERT_TRUE(WriteBytes(first.helper.TempPath(), kept));

  int64_t asked_clean = 0;
  bool conditional_seen = false;
  for (const std::string& request : FetchAgainClean(file, url)) {
    if (request.find("if-range") != std::string::npos) {
      conditional_seen = true;
    } else {
      asked_clean += AskedBytes(request);
    }
  }
  EXPECT_TRUE(conditional_seen);
  EXPECT_EQ(asked_clean, static_cast<int64_t>(kFileBytes));
}

TEST_F(DownloadResumeTest, ADamagedJournalIsIgnoredAndReplaced) {
  ServedFile file;
  const std::string url = file.Url("validators=strong&rate=300000");
  StoppedEarly first;
  FetchUntilFirstReport(first, url, target_);
  ASSERT_EQ(first.outcome.cause, DownloadCause::Stopped);
  std::string bytes = ReadBytes(journal_);
  ASSERT_FALSE(bytes.empty());
  bytes[bytes.size() / 3] = static_cast<char>(bytes[bytes.size() / 3] ^ 0x10);
  ASSERT_TRUE(WriteBytes(journal_, bytes));

  int64_t asked = 0;
  for (const std::string& request : FetchAgainClean(file, url)) asked += AskedBytes(request);
  EXPECT_EQ(asked, static_cast<int64_t>(kFileBytes));
}

}  // namespace
}  // namespace net
