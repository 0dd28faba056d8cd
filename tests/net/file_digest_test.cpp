// The digest over real files (empty, small, larger than one read chunk,
// missing, locked) and the size text's unit boundaries.
#include "net/file_digest.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/unique_resource.h"
#include "test_support.h"

namespace net {
namespace {

TEST(FileDigestTest, DigestsFilesOfAnySize) {
  test_support::TempFolder folder;
  const struct {
    std::string content;
    const char* md5;
  } cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {std::string(3 * 1024 * 1024 + 5, 'a'), "902bc2de25c939532f3ac35ac514222a"},
  };
  for (const auto& c : cases) {
    const std::wstring path = folder.File(test_support::UniqueName(L"d") + L".bin");
    ASSERT_TRUE(test_support::WriteBytes(path, c.content));
    EXPECT_EQ(FileMd5Hex(path), c.md5) << c.content.size();
  }
}

TEST(FileDigestTest, UnreadableFilesGiveTheEmptyDigest) {
  test_support::TempFolder folder;
  EXPECT_EQ(FileMd5Hex(folder.File(L"missing.exe")), "");
  EXPECT_EQ(FileMd5Hex(folder.path()), "");  // a folder is not a file
  const std::wstring locked = folder.File(L"locked.exe");
  platform::UniqueHandle writer(::CreateFileW(locked.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(writer.IsValid());
  EXPECT_EQ(FileMd5Hex(locked), "");  // still being written by someone else
}

TEST(SizeTextTest, ChoosesTheUnitAtEachBoundary) {
  const struct {
    int64_t bytes;
    const wchar_t* text;
  } cases[] = {
      {0, L"0.00B"},           {1024, L"1024.00B"},      {1025, L"1.00KB"},
      {1048576, L"1024.00KB"}, {1048577, L"1.00MB"},     {1073741824, L"1024.00MB"},
      {1073741825, L"1.00GB"}, {1536, L"1.50KB"},        {-5, L"-5.00B"},
      {4294967297LL, L"4.00GB"},
      // Exact halves round to even, as "%.2f" does; just below a unit rounds up.
      {1152, L"1.12KB"},       {1408, L"1.38KB"},        {1048575, L"1024.00KB"},
      {1034, L"1.01KB"},       {1588592, L"1.51MB"},
      // The extremes of the type: no overflow on either side.
      {INT64_MIN, L"-9223372036854775808.00B"}, {-92233720368547759LL, L"-92233720368547759.00B"},
      {INT64_MAX, L"8589934592.00GB"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatSizeText(c.bytes), c.text) << c.bytes;
}

}  // namespace
}  // namespace net
