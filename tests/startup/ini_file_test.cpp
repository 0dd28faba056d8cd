#include "startup/ini_file.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

using startup::IniEntry;
using startup::ParseIniSection;

std::wstring ValueOf(const std::vector<IniEntry>& entries, const std::string& key) {
  for (const IniEntry& entry : entries) {
    if (entry.key == key) return entry.value;
  }
  return L"<absent>";
}

TEST(IniFileTest, ReadsOneSectionLikeTheProfileApi) {
  const std::string text =
      "\xEF\xBB\xBF; comment\r\n"
      "[Other]\r\nKey=other\r\n"
      "[ product ]\r\n"
      "  Name = Photo Studio  \r\n"
      "Quoted=\"  spaced  \"\r\n"
      "Equals=a=b\r\n"
      "Empty=\r\n"
      "Name=second value loses\n"
      "NoEquals\n"
      "; Hidden=1\n"
      "Cjk=\xE7\xAE\x80\xE4\xBD\x93\n"
      "[Product]\nLater=ignored, the first section wins\n";
  const auto entries = ParseIniSection(text, "Product", L"test");
  EXPECT_EQ(ValueOf(entries, "Name"), L"Photo Studio");
  EXPECT_EQ(ValueOf(entries, "Quoted"), L"  spaced  ");
  EXPECT_EQ(ValueOf(entries, "Equals"), L"a=b");
  EXPECT_EQ(ValueOf(entries, "Empty"), L"");
  EXPECT_EQ(ValueOf(entries, "Cjk"), L"\u7b80\u4f53");
  EXPECT_EQ(ValueOf(entries, "Key"), L"<absent>");
  EXPECT_EQ(ValueOf(entries, "Hidden"), L"<absent>");
  EXPECT_EQ(ValueOf(entries, "Later"), L"<absent>");
  EXPECT_EQ(entries.size(), 5u);
}

TEST(IniFileTest, LongValuesAreCutAtACharacterBoundary) {
  // 300 bytes: 100 three-byte characters. 259 bytes would end inside the 87th.
  std::string value;
  for (int i = 0; i < 100; ++i) value += "\xE7\xAE\x80";
  const auto entries = ParseIniSection("[s]\nLong=" + value + "\nAscii=" + std::string(300, 'a'), "s", L"test");
  EXPECT_EQ(ValueOf(entries, "Long"), std::wstring(86, L'\u7b80'));
  EXPECT_EQ(ValueOf(entries, "Ascii"), std::wstring(259, L'a'));
}

TEST(IniFileTest, NameLimitsEndTheSection) {
  const std::string long_name(259, 'k');
  auto entries = ParseIniSection("[s]\nA=1\n" + long_name + "=x\nB=2\n", "s", L"test");
  EXPECT_EQ(ValueOf(entries, "A"), L"1");
  EXPECT_EQ(ValueOf(entries, "B"), L"<absent>");

  // Names fill the 2048-byte list: 100-byte names take 101 bytes each, so 20 fit.
  std::string many = "[s]\n";
  for (int i = 0; i < 30; ++i) many += std::string(98, 'n') + (i < 10 ? "0" : "") + std::to_string(i) + "=v\n";
  entries = ParseIniSection(many, "s", L"test");
  EXPECT_EQ(entries.size(), 20u);
}

TEST(IniFileTest, BinaryTruncatedAndMissingFilesGiveWhatIsReadable) {
  static const char kBinary[] = "[s]\nA=1\0\xFF\xFE\x01garbage\nB=\xFF\xFE\n[t";
  const std::string binary(kBinary, sizeof(kBinary) - 1);
  const auto entries = ParseIniSection(binary, "s", L"test");
  EXPECT_EQ(ValueOf(entries, "A"), L"1");
  EXPECT_NE(ValueOf(entries, "B"), L"<absent>");
  EXPECT_TRUE(ParseIniSection("[s", "s", L"test").empty());
  EXPECT_TRUE(ParseIniSection("", "s", L"test").empty());

  test_support::TempFolder folder;
  EXPECT_TRUE(startup::ReadIniSection(folder.File(L"missing.ini"), "s").empty());
  ASSERT_TRUE(test_support::WriteBytes(folder.File(L"huge.ini"), "[s]\nA=1\n" + std::string(5u << 20, ';')));
  EXPECT_TRUE(startup::ReadIniSection(folder.File(L"huge.ini"), "s").empty());
}

}  // namespace
