// The download journal: what reads back is exactly what was written, and
// nothing else is ever taken for a journal (damage, truncation, foreign or
// unsound content with a correct checksum), on real files.
#include "net/download_journal.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdio>

#include "platform/file_io.h"
#include "test_support.h"

namespace net {
namespace {

using test_support::ReadBytes;
using test_support::TempFolder;
using test_support::WriteBytes;

JournalRecord Sample() {
  JournalRecord record;
  record.url = "http://127.0.0.1:8080/files/setup.exe?a=1 b";
  record.total = 4294967297LL;
  record.validators = {"\"5e1-6f\"", "Tue, 08 Dec 2026 10:00:00 GMT"};
  record.missing = {{100, 199}, {2147483648LL, 4294967296LL}};
  return record;
}

// zlib's CRC-32 (an implementation not ours), so unsound content can carry
// a correct checksum.
std::string WithChecksum(const std::string& body) {
  const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
  char hex[9];
  (void)std::snprintf(hex, sizeof hex, "%08lx", static_cast<unsigned long>(crc));
  return body + "check " + hex + "\n";
}

std::string Body(const std::string& url, const std::string& total, const std::string& spans_text) {
  return "webinstaller-download-journal 1\nurl " + url + "\ntotal " + total + "\netag \"x\"\nmodified \n" + spans_text;
}

TEST(DownloadJournalTest, ReadsBackExactlyWhatWasWritten) {
  const JournalRecord sample = Sample();
  const std::string text = EncodeJournal(sample);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(DecodeJournal(text), sample);
  EXPECT_EQ(sample.PresentBytes(), 4294967297LL - 100 - 2147483649LL);

  // Empty validators and no missing bytes at all (finished, not yet renamed).
  JournalRecord bare = sample;
  bare.validators = {};
  bare.missing.clear();
  EXPECT_EQ(DecodeJournal(EncodeJournal(bare)), bare);
  EXPECT_EQ(bare.PresentBytes(), bare.total);
  // zlib's CRC-32 agrees with ours.
  EXPECT_EQ(text, WithChecksum(text.substr(0, text.rfind("check "))));
}

TEST(DownloadJournalTest, DamagedOrTruncatedJournalsAreNeverTaken) {
  const std::string text = EncodeJournal(Sample());
  ASSERT_FALSE(text.empty());
  for (size_t length = 0; length < text.size(); ++length) {
    EXPECT_FALSE(DecodeJournal(text.substr(0, length))) << "truncated to " << length;
  }
  for (size_t i = 0; i < text.size(); ++i) {
    std::string damaged = text;
    damaged[i] = static_cast<char>(damaged[i] ^ 0x04);
    EXPECT_FALSE(DecodeJournal(damaged)) << "byte " << i << " changed";
  }
  EXPECT_FALSE(DecodeJournal(text + "x"));
  EXPECT_FALSE(DecodeJournal(text + text));
  EXPECT_FALSE(DecodeJournal(""));
  EXPECT_FALSE(DecodeJournal("MZ\x90\0\3\0\0\0"));
  EXPECT_FALSE(DecodeJournal(std::string(kJournalMaxBytes + 1, '\n')));
}

// Content a checksum cannot catch: written by something else, or by a
// damaged program. Each case carries a correct checksum.
TEST(DownloadJournalTest, UnsoundContentWithACorrectChecksumIsRefused) {
  const std::string url = "http://h/f";
  // The well-formed twin is taken: the cases below differ only where named.
  ASSERT_TRUE(DecodeJournal(WithChecksum(Body(url, "100", "missing 2\n0 9\n20 99\n"))));
  const struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"another version",
       WithChecksum("webinstaller-download-journal 2\nurl " + url + "\ntotal 100\netag \"x\"\nmodified \nmissing 0\n")},
      {"overlapping spans", WithChecksum(Body(url, "100", "missing 2\n0 20\n20 99\n"))},
      {"spans out of order", WithChecksum(Body(url, "100", "missing 2\n20 99\n0 9\n"))},
      {"a span past the end", WithChecksum(Body(url, "100", "missing 1\n0 100\n"))},
      {"a reversed span", WithChecksum(Body(url, "100", "missing 1\n9 0\n"))},
      {"a signed offset", WithChecksum(Body(url, "100", "missing 1\n-1 9\n"))},
      {"a plus sign", WithChecksum(Body(url, "100", "missing 1\n+1 9\n"))},
      {"fewer spans than counted", WithChecksum(Body(url, "100", "missing 2\n0 9\n"))},
      {"more spans than counted", WithChecksum(Body(url, "100", "missing 1\n0 9\n20 29\n"))},
      {"too many spans", WithChecksum(Body(url, "100", "missing 257\n"))},
      {"no length", WithChecksum(Body(url, "0", "missing 0\n"))},
      {"an overflowing length", WithChecksum(Body(url, "9223372036854775808", "missing 0\n"))},
      {"no address", WithChecksum(Body("", "100", "missing 0\n"))},
      {"an address over the bound", WithChecksum(Body(std::string(kJournalMaxUrl + 1, 'u'), "100", "missing 0\n"))},
      {"a blank inside a span", WithChecksum(Body(url, "100", "missing 1\n0  9\n"))},
      {"Windows line ends", WithChecksum("webinstaller-download-journal 1\r\nurl " + url +
                                         "\r\ntotal 100\r\netag \r\nmodified \r\nmissing 0\r\n")},
  };
  for (const auto& c : cases) EXPECT_FALSE(DecodeJournal(c.text)) << c.what;
}

TEST(DownloadJournalTest, RecordsThatCannotBeWrittenFaithfullyAreNotWritten) {
  JournalRecord record = Sample();
  record.url = "http://h/f\nmissing 0";
  EXPECT_EQ(EncodeJournal(record), "");
  record = Sample();
  record.validators.etag = std::string("\"a\0b\"", 5);
  EXPECT_EQ(EncodeJournal(record), "");
  record = Sample();
  record.validators.last_modified = std::string(kJournalMaxValidator + 1, 'd');
  EXPECT_EQ(EncodeJournal(record), "");
  record = Sample();
  record.missing = {{200, 299}, {100, 199}};
  EXPECT_EQ(EncodeJournal(record), "");
  record = Sample();
  record.missing.assign(kJournalMaxSpans + 1, ByteSpan{0, 0});
  EXPECT_EQ(EncodeJournal(record), "");
}

TEST(DownloadJournalTest, SavesAtomicallyBesideTheTemporaryFileAndRemovesItself) {
  TempFolder folder;
  const std::wstring temp = folder.File(L"setup.exe.temp");
  DownloadJournal journal(temp);
  EXPECT_EQ(journal.path(), temp + L".journal");
  EXPECT_FALSE(journal.Load());

  // A half-written journal of a killed run lies beside it: it is never read
  // and the next save replaces it.
  ASSERT_TRUE(WriteBytes(journal.path() + L".new", "webinstaller-download-journal 1\nurl"));
  const JournalRecord sample = Sample();
  ASSERT_TRUE(journal.Save(sample));
  EXPECT_EQ(journal.Load(), sample);
  EXPECT_FALSE(platform::FileExists(journal.path() + L".new"));
  EXPECT_EQ(ReadBytes(journal.path()), EncodeJournal(sample));

  // Saving a record that cannot be written leaves the last good journal.
  JournalRecord bad = sample;
  bad.url = "http://h/\r\n";
  EXPECT_FALSE(journal.Save(bad));
  EXPECT_EQ(DownloadJournal(temp).Load(), sample);

  // Damage on disk: ignored, never trusted.
  std::string bytes = ReadBytes(journal.path());
  bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 1);
  ASSERT_TRUE(WriteBytes(journal.path(), bytes));
  EXPECT_FALSE(journal.Load());

  ASSERT_TRUE(WriteBytes(journal.path() + L".new", "left over"));
  journal.Remove();
  EXPECT_FALSE(platform::FileExists(journal.path()));
  EXPECT_FALSE(platform::FileExists(journal.path() + L".new"));
  EXPECT_FALSE(journal.Load());

  // No path: nothing is read or written.
  DownloadJournal none;
  EXPECT_FALSE(none.Save(sample));
  EXPECT_FALSE(none.Load());
}

}  // namespace
}  // namespace net
