#include "platform/file_io.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "test_support.h"

namespace {

using test_support::TempFolder;

TEST(FileIoTest, ReadFileLimitedRefusesMissingAndOversizedFiles) {
  TempFolder folder;
  EXPECT_FALSE(platform::ReadFileLimited(folder.File(L"missing.ini"), 100).has_value());
  ASSERT_TRUE(test_support::WriteBytes(folder.File(L"ten.bin"), std::string(10, 'x')));
  EXPECT_EQ(platform::ReadFileLimited(folder.File(L"ten.bin"), 10).value_or("?"), std::string(10, 'x'));
  EXPECT_FALSE(platform::ReadFileLimited(folder.File(L"ten.bin"), 9).has_value());
  ASSERT_TRUE(test_support::WriteBytes(folder.File(L"empty.bin"), ""));
  EXPECT_EQ(platform::ReadFileLimited(folder.File(L"empty.bin"), 9).value_or("?"), "");
  // A folder is not a file.
  EXPECT_FALSE(platform::ReadFileLimited(folder.path(), 100).has_value());
  EXPECT_FALSE(platform::FileExists(folder.path()));
}

TEST(FileIoTest, ConcurrentAppendsKeepEveryWriteWhole) {
  TempFolder folder;
  const std::wstring path = folder.File(L"shared.log");
  const std::string a(300, 'a');
  const std::string b(300, 'b');
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i) ASSERT_TRUE(platform::AppendToFile(path, (t % 2 ? a : b) + "\n"));
    });
  }
  for (std::thread& writer : writers) writer.join();
  const std::string all = test_support::ReadBytes(path);
  ASSERT_EQ(all.size(), 200u * 301u);
  for (size_t offset = 0; offset < all.size(); offset += 301) {
    const std::string line = all.substr(offset, 300);
    EXPECT_TRUE(line == a || line == b) << "mixed line at " << offset;
  }
}

TEST(FileIoTest, AppendToAFolderPathFailsQuietly) {
  TempFolder folder;
  EXPECT_FALSE(platform::AppendToFile(folder.path(), "x"));
  EXPECT_FALSE(platform::AppendToFile(folder.File(L"no\\such\\folder\\x.log"), "x"));
}

}  // namespace
