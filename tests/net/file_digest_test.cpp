// The digests over real files (empty, small, larger than one read chunk,
// missing, locked, through a held handle) and the size text's unit
// boundaries.
#include "net/file_digest.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <optional>

#include "platform/unique_resource.h"
#include "test_support.h"

namespace net {
namespace {

TEST(FileDigestTest, DigestsFilesOfAnySize) {
  test_support::TempFolder folder;
  const struct {
    std::string content;
    const char* md5;
    const char* sha256;
  } cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {std::string(3 * 1024 * 1024 + 5, 'a'), "902bc2de25c939532f3ac35ac514222a",
       "aff2c7498aae939dfb2fb1dc6c0c83fa3708b069428e51338801af7f5dc2bf0f"},
  };
  for (const auto& c : cases) {
    const std::wstring path = folder.File(test_support::UniqueName(L"d") + L".bin");
    ASSERT_TRUE(test_support::WriteBytes(path, c.content));
    EXPECT_EQ(FileMd5Hex(path), c.md5) << c.content.size();
    EXPECT_EQ(FileSha256Hex(path), c.sha256) << c.content.size();
    // Both in one pass through a held handle whose pointer stands at the end.
    platform::UniqueHandle held(
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.IsValid());
    ASSERT_NE(::SetFilePointer(held.Get(), 0, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
    const std::optional<FileDigests> both = DigestOpenFile(held.Get(), DigestKinds::Both);
    ASSERT_TRUE(both.has_value());
    EXPECT_EQ(both->md5, c.md5);
    EXPECT_EQ(both->sha256, c.sha256);
    const std::optional<FileDigests> only = DigestOpenFile(held.Get(), DigestKinds::Sha256);
    ASSERT_TRUE(only.has_value());
    EXPECT_EQ(only->md5, "");
    EXPECT_EQ(only->sha256, c.sha256);
  }
}

TEST(FileDigestTest, Sha256TextIsExactly64HexDigits) {
  const std::string good = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
  std::string upper = good;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_TRUE(IsSha256Text(good));
  EXPECT_TRUE(IsSha256Text(upper));
  EXPECT_FALSE(IsSha256Text(""));
  EXPECT_FALSE(IsSha256Text(good.substr(1)));        // 63 digits
  EXPECT_FALSE(IsSha256Text(good + "0"));            // 65 digits
  EXPECT_FALSE(IsSha256Text("g" + good.substr(1)));  // not hexadecimal
  EXPECT_FALSE(IsSha256Text(" " + good.substr(1)));  // a blank
  EXPECT_FALSE(IsSha256Text(good.substr(0, 32)));    // an MD5's length
}

TEST(FileDigestTest, UnreadableFilesGiveTheEmptyDigest) {
  test_support::TempFolder folder;
  EXPECT_EQ(FileMd5Hex(folder.File(L"missing.exe")), "");
  EXPECT_EQ(FileMd5Hex(folder.path()), "");  // a folder is not a file
  const std::wstring locked = folder.File(L"locked.exe");
  platform::UniqueHandle writer(
      ::CreateFileW(locked.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(writer.IsValid());
  EXPECT_EQ(FileMd5Hex(locked), "");  // still being written by someone else
  EXPECT_EQ(FileSha256Hex(locked), "");
  EXPECT_EQ(FileSha256Hex(folder.File(L"missing.exe")), "");
  // A handle without read access yields no digest rather than a partial one.
  EXPECT_FALSE(DigestOpenFile(writer.Get(), DigestKinds::Both).has_value());
}

TEST(SizeTextTest, ChoosesTheUnitAtEachBoundary) {
  const struct {
    int64_t bytes;
    const wchar_t* text;
  } cases[] = {
      {0, L"0.00B"},
      {1024, L"1024.00B"},
      {1025, L"1.00KB"},
      {1048576, L"1024.00KB"},
      {1048577, L"1.00MB"},
      {1073741824, L"1024.00MB"},
      {1073741825, L"1.00GB"},
      {1536, L"1.50KB"},
      {-5, L"-5.00B"},
      {4294967297LL, L"4.00GB"},
      // Exact halves round to even, as "%.2f" does; just below a unit rounds up.
      {1152, L"1.12KB"},
      {1408, L"1.38KB"},
      {1048575, L"1024.00KB"},
      {1034, L"1.01KB"},
      {1588592, L"1.51MB"},
      // The extremes of the type: no overflow on either side.
      {INT64_MIN, L"-9223372036854775808.00B"},
      {-92233720368547759LL, L"-92233720368547759.00B"},
      {INT64_MAX, L"8589934592.00GB"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatSizeText(c.bytes), c.text) << c.bytes;
}

}  // namespace
}  // namespace net
