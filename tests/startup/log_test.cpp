#include "startup/log.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/system_paths.h"
#include "platform/text.h"
#include "test_support.h"

namespace {

using startup::FormatLogText;

TEST(LogFormatTest, ArgumentsAreWrittenByTheirOwnType) {
  const std::wstring wide = L"w\u7b80";
  const std::string narrow = "n\xE7\xAE\x80";
  struct Case {
    std::wstring got;
    std::wstring expected;
  } cases[] = {
      {FormatLogText("ParseCmdLine param=%S\n", {wide}), L"ParseCmdLine param=w\u7b80\n"},
      {FormatLogText("%s|%S", {narrow, wide}), L"n\u7b80|w\u7b80"},
      {FormatLogText("%d %ld %lld %I64d", {-5, 7L, -9000000000LL, 12345678901LL}), L"-5 7 -9000000000 12345678901"},
      {FormatLogText("%u %x %X %08X", {4000000000u, 255, 255, 0xBEEFu}), L"4000000000 ff FF 0000BEEF"},
      {FormatLogText("[%5d][%-5d][%05d][%3s]", {42, 42, -42, "a"}), L"[   42][42   ][-0042][  a]"},
      {FormatLogText("100%% done", {}), L"100% done"},
      {FormatLogText("%d and %d", {1}), L"1 and <?>"},
      {FormatLogText("%d", {"text"}), L"<?>"},
      {FormatLogText("%s", {7}), L"<?>"},
      {FormatLogText("%n%p", {1, 2}), L"<?><?>"},
      {FormatLogText("trailing %", {1}), L"trailing %"},
      {FormatLogText("%s", {static_cast<const char*>(nullptr)}), L""},
      {FormatLogText("%s", {std::string("\xFF\xFE")}), platform::AnsiToWide("\xFF\xFE")},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);
}

TEST(LogTest, TimeStampHasTheFixedPattern) {
  SYSTEMTIME time{};
  time.wYear = 2026;
  time.wMonth = 12;
  time.wDay = 7;
  time.wHour = 3;
  time.wMinute = 4;
  time.wSecond = 5;
  time.wDayOfWeek = 1;
  EXPECT_EQ(startup::LogTimeStamp(time), L"\t[2026.12.07 03:04:05 Monday]");
}

TEST(LogTest, LinesAreUtf8WithCrLfAndTheStampAfterTheMessage) {
  test_support::TempFolder folder;
  const startup::DiagnosticLog log(folder.File(L"test.log"));
  log.Write("ParseCmdLine param=%s\n", {std::wstring(L"A=\u7b80")});
  const std::string text = test_support::ReadBytes(log.path());
  ASSERT_EQ(text.rfind("ParseCmdLine param=A=\xE7\xAE\x80\r\n\t[", 0), 0u) << text;
  EXPECT_EQ(text.substr(text.size() - 3), "]\r\n");
}

TEST(LogTest, OverlongMessagesAreCutNotDroppedAndNeverOverrun) {
  test_support::TempFolder folder;
  const startup::DiagnosticLog log(folder.File(L"cut.log"));
  log.Write("%s", {std::wstring(1023, L'a')});
  std::string text = test_support::ReadBytes(log.path());
  EXPECT_EQ(text.find(std::string(1023, 'a') + "\t["), 0u);

  ::DeleteFileW(log.path().c_str());
  log.Write("%s", {std::wstring(1 << 20, L'b')});
  text = test_support::ReadBytes(log.path());
  const size_t stamp = text.find("\t[");
  ASSERT_NE(stamp, std::string::npos);
  EXPECT_EQ(stamp, 1023u);  // the whole message fits the line limit, the mark included
  EXPECT_EQ(text.substr(stamp - 6, 6), " [cut]");

  // A cut never separates a surrogate pair.
  ::DeleteFileW(log.path().c_str());
  std::wstring pairs;
  for (int i = 0; i < 600; ++i) pairs += L"\U0001F600";
  log.Write("%s", {pairs});
  const std::wstring back = platform::Utf8ToWide(test_support::ReadBytes(log.path()));
  EXPECT_EQ(back.find(L'\xFFFD'), std::wstring::npos);
}

TEST(LogTest, ConcurrentLinesNeverMix) {
  test_support::TempFolder folder;
  const startup::DiagnosticLog log(folder.File(L"threads.log"));
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      const std::wstring body(200, static_cast<wchar_t>(L'a' + t));
      for (int i = 0; i < 50; ++i) log.Write("%s\n", {body});
    });
  }
  for (std::thread& thread : threads) thread.join();
  const std::string text = test_support::ReadBytes(log.path());
  size_t lines = 0;
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    const std::string line = text.substr(start, end - start);
    if (line.rfind("\t[", 0) != 0) {
      ASSERT_EQ(line.size(), 200u);
      EXPECT_EQ(line.find_first_not_of(line[0]), std::string::npos) << "mixed line";
      ++lines;
    }
    start = end + 2;
  }
  EXPECT_EQ(lines, 200u);
}

TEST(LogTest, UnwritableLogIsASilentNoOp) {
  test_support::TempFolder folder;
  const startup::DiagnosticLog log(folder.path());  // a folder, not a file
  log.Write("nothing %d\n", {1});
  const startup::DiagnosticLog nowhere(folder.File(L"missing\\folder\\x.log"));
  nowhere.Write("nothing %d\n", {2});
  SUCCEED();
}

TEST(LogTest, DebugLogWritesItsTextLiterallyBesideTheExecutable) {
  const std::wstring path = platform::ExecutableFolder() + L"log.txt";
  ::DeleteFileW(path.c_str());
  startup::DebugLog(L"C:\\Program Files\\App\\app.exe,%d %s");
  const std::string text = test_support::ReadBytes(path);
  ::DeleteFileW(path.c_str());
  EXPECT_EQ(text.rfind("MyLogInfo: ", 0), 0u) << text;
  EXPECT_NE(text.find(" \r\n C:\\Program Files\\App\\app.exe,%d %s"), std::string::npos) << text;
}

}  // namespace
