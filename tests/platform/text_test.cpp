#include "platform/text.h"

#include <gtest/gtest.h>

namespace {

TEST(TextTest, Utf8RoundTripKeepsCjkAndSurrogatePairs) {
  const std::wstring wide = L"Setup \u7b80\u4f53 \U0001F600 end";
  const std::string utf8 = platform::WideToUtf8(wide);
  EXPECT_EQ(utf8, "Setup \xE7\xAE\x80\xE4\xBD\x93 \xF0\x9F\x98\x80 end");
  EXPECT_EQ(platform::Utf8ToWide(utf8), wide);
  EXPECT_EQ(platform::Utf8ToWide(""), L"");
  EXPECT_EQ(platform::WideToUtf8(L""), "");
}

TEST(TextTest, InvalidUtf8BecomesReplacementCharactersNotGarbage) {
  const std::wstring wide = platform::Utf8ToWide(
      "a\xFF\xFE"
      "b");
  ASSERT_GE(wide.size(), 3u);
  EXPECT_EQ(wide.front(), L'a');
  EXPECT_EQ(wide.back(), L'b');
  EXPECT_NE(wide.find(L'\xFFFD'), std::wstring::npos);
}

TEST(TextTest, PrefixNeverEndsInsideACharacter) {
  const std::string text =
      "ab\xE7\xAE\x80"
      "c";  // a, b, one 3-byte character, c
  struct Case {
    size_t max;
    std::string expected;
  } cases[] = {{0, ""}, {1, "a"}, {2, "ab"}, {3, "ab"}, {4, "ab"}, {5, "ab\xE7\xAE\x80"}, {6, text}, {100, text}};
  for (const Case& c : cases) {
    EXPECT_EQ(platform::Utf8PrefixAtCharBoundary(text, c.max), c.expected) << c.max;
  }
  // Four-byte sequence cut after its third byte.
  EXPECT_EQ(platform::Utf8PrefixAtCharBoundary("\xF0\x9F\x98\x80", 3), "");
}

TEST(TextTest, SmallDecimalTakesOnlyPlainDigits) {
  EXPECT_EQ(platform::SmallDecimal(L"0"), 0);
  EXPECT_EQ(platform::SmallDecimal(L"120"), 120);
  EXPECT_EQ(platform::SmallDecimal(L"999999"), 999999);
  for (const wchar_t* text : {L"", L"1000000", L"-5", L"+5", L" 5", L"5 ", L"1e3", L"0x10", L"\u0665"}) {
    EXPECT_EQ(platform::SmallDecimal(text), 0) << platform::WideToUtf8(text);
  }
}

TEST(TextTest, AsciiLowerLeavesOtherLettersAlone) {
  EXPECT_EQ(platform::AsciiLower(std::string("VeXa-TrialAD")), "vexa-trialad");
  EXPECT_EQ(platform::AsciiLower(std::wstring(L"SETUP.EXE \u00C4")), L"setup.exe \u00C4");
}

}  // namespace
