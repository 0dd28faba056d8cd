// Table-driven cases for the small parsers skin authors meet: attribute
// values, image descriptions, attribute lists and label mark-up.
#include <gtest/gtest.h>

#include "toolkit/attribute_values.h"
#include "toolkit/date_time.h"
#include "toolkit/markup.h"
#include "toolkit/skin_resources.h"

namespace {

using namespace toolkit;

TEST(AttributeValuesTest, ParsesBooleansIntegersAndColours) {
  EXPECT_EQ(ParseBool(L"true"), true);
  EXPECT_EQ(ParseBool(L" FALSE "), false);
  EXPECT_EQ(ParseBool(L"1"), true);
  EXPECT_EQ(ParseBool(L"yes"), std::nullopt);
  struct IntCase {
    const wchar_t* text;
    std::optional<int> expected;
  } ints[] = {{L"0", 0},
              {L"-12", -12},
              {L" 42 ", 42},
              {L"+7", 7},
              {L"", std::nullopt},
              {L"4x", std::nullopt},
              {L"9999999999", std::nullopt},
              {L"-", std::nullopt}};
  for (const IntCase& c : ints) EXPECT_EQ(ParseInt(c.text), c.expected) << testing::PrintToString(std::wstring(c.text));
  struct ColorCase {
    const wchar_t* text;
    std::optional<Argb> expected;
  } colors[] = {{L"#FF3196F7", 0xFF3196F7}, {L"#3196f7", 0xFF3196F7},   {L"0x3196f7", 0xFF3196F7},
                {L"#0x3196f7", 0xFF3196F7}, {L"#80000000", 0x80000000}, {L"#12345", std::nullopt},
                {L"#GG0000", std::nullopt}, {L"", std::nullopt}};
  for (const ColorCase& c : colors)
    EXPECT_EQ(ParseColor(c.text), c.expected) << testing::PrintToString(std::wstring(c.text));
  EXPECT_EQ(ParseEdges(L"1,2,3,4"), (Edges{1, 2, 3, 4}));
  EXPECT_EQ(ParseEdges(L"1,2,3"), std::nullopt);
  EXPECT_EQ(ParseEdges(L"1,2,x,4"), std::nullopt);
  EXPECT_EQ(ParseSize(L"640, 480"), (Size{640, 480}));
  EXPECT_EQ(ParseIntList(L"1,2,3,4,5,6", 4).size(), 4u);
}

TEST(AttributeValuesTest, ParsesImageDescriptionsAndAttributeLists) {
  EXPECT_EQ(ParseImageDescription(L"images/a.png").file, L"images/a.png");
  const ImageDescription full = ParseImageDescription(
      L"file='b.png' source='0,0,40,20' dest='1,2,3,4' corner='4,4,4,4' fade='128' mask='#FFFF00FF' hole='true'");
  EXPECT_EQ(full.file, L"b.png");
  EXPECT_EQ(full.source, (Edges{0, 0, 40, 20}));
  EXPECT_EQ(full.dest, (Edges{1, 2, 3, 4}));
  EXPECT_EQ(full.corner, (Edges{4, 4, 4, 4}));
  EXPECT_EQ(full.fade, 128);
  EXPECT_EQ(full.mask, 0xFFFF00FFu);
  EXPECT_TRUE(full.hole);
  EXPECT_EQ(ParseImageDescription(L"file='c.png' fade='999'").fade, 255);
  EXPECT_EQ(ParseImageDescription(L"file='c.png' source='bad'").source, std::nullopt);

  const auto list = ParseAttributeList(L" height=\"24\" textcolor='#FF000000'  broken=\"x");
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0], (std::pair<std::wstring, std::wstring>{L"height", L"24"}));
  EXPECT_EQ(list[1].second, L"#FF000000");
  EXPECT_TRUE(ParseAttributeList(L"no equals sign").empty());
}

TEST(ImageNamesTest, TheDoubleResolutionVariantIsNamedBeforeTheExtension) {
  struct Case {
    const wchar_t* file;
    const wchar_t* expected;
  } cases[] = {
      {L"images/button.png", L"images/button@2x.png"},
      {L"logo.bmp", L"logo@2x.bmp"},
      {L"skin.v2/arrow", L"skin.v2/arrow@2x"},
      {L"skin.v2\\arrow.big.png", L"skin.v2\\arrow.big@2x.png"},
      {L"plain", L"plain@2x"},
  };
  for (const Case& c : cases) EXPECT_EQ(DoubleResolutionName(c.file), c.expected) << testing::PrintToString(c.file);
}

TEST(MarkupTest, SplitsLinksColoursAndStylesIntoRuns) {
  struct Case {
    const wchar_t* text;
    std::wstring plain;
    std::vector<std::wstring> links;
  } cases[] = {
      {L"plain text", L"plain text", {}},
      {L"Read {a  }{c #0x3196f7}the licence{/c}{/a} now", L"Read the licence now", {L""}},
      {L"{a http://x/?a=b}one{/a} and {a two}2{/a}", L"one and 2", {L"http://x/?a=b", L"two"}},
      {L"{b}bold{/b}{n}{u}under{/u}", L"bold\nunder", {}},
      {L"unknown {z} tag", L"unknown {z} tag", {}},
      {L"unbalanced {/a} close", L"unbalanced {/a} close", {}},
      {L"open {a x}never closed", L"open never closed", {L"x"}},
      {L"brace { alone", L"brace { alone", {}},
  };
  for (const Case& c : cases) {
    const MarkupText markup = ParseMarkup(c.text);
    EXPECT_EQ(PlainText(markup), c.plain) << testing::PrintToString(std::wstring(c.text));
    EXPECT_EQ(markup.links, c.links) << testing::PrintToString(std::wstring(c.text));
  }
  const MarkupText coloured = ParseMarkup(L"a {a t}{c #0x3196f7}b{/c}{/a} c");
  ASSERT_EQ(coloured.runs.size(), 3u);
  EXPECT_EQ(coloured.runs[1].color, 0xFF3196F7u);
  EXPECT_EQ(coloured.runs[1].link, 0);
  EXPECT_EQ(coloured.runs[2].link, -1);
  EXPECT_EQ(coloured.runs[2].color, 0u);
  // Nesting is bounded: thousands of opening tags do not grow without limit.
  std::wstring deep;
  for (int i = 0; i < 5000; ++i) deep += L"{b}";
  deep += L"x";
  EXPECT_NE(PlainText(ParseMarkup(deep)).find(L'x'), std::wstring::npos);
  EXPECT_FALSE(HasMarkup(L"no tags {here}"));
  EXPECT_TRUE(HasMarkup(L"{a x}y{/a}"));
}

TEST(DateTimeValueTest, ReadsAndWritesIsoDates) {
  struct Case {
    const wchar_t* value;
    const wchar_t* shown;  // what the control holds afterwards
  } cases[] = {
      {L"2024-02-29", L"2024-02-29"},
      {L"2023-7-4", L"2023-07-04"},
      {L" 1999- 12- 31", L"1999-12-31"},
      {L"1601-01-01", L"1601-01-01"},
      {L"2020-01-05T10:00", L"2020-01-05"},
      // Refused: the previous date stays.
      {L"1600-12-31", L"2020-01-05"},
      {L"2023-13-01", L"2020-01-05"},
      {L"2023-02-30", L"2020-01-05"},
      {L"2023/01/01", L"2020-01-05"},
      {L"12345-01-01", L"2020-01-05"},
      {L"", L"2020-01-05"},
      {L"2023-0-10", L"2020-01-05"},
      {L"2023-1", L"2020-01-05"},
  };
  DateTime date;
  ASSERT_TRUE(date.SetAttribute(L"value", L"2020-01-05"));
  for (const Case& c : cases) {
    (void)date.SetAttribute(L"value", c.value);
    EXPECT_EQ(date.GetAttribute(L"value"), std::wstring(c.shown)) << testing::PrintToString(std::wstring(c.value));
  }
}

}  // namespace
