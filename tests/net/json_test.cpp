// The reader against the replies a release server (or an attacker in its
// place) can send: valid shapes, broken shapes, escapes, numbers, limits.
#include "net/json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace net {
namespace {

struct ParseCase {
  const char* name;
  std::string text;
  bool parses;
};

TEST(JsonReaderTest, AcceptsAndRejectsShapes) {
  const ParseCase cases[] = {
      {"empty", "", false},
      {"only whitespace", " \t\r\n", false},
      {"object", R"({"a":"b"})", true},
      {"nested", R"({"a":{"b":[1,2,{"c":null}]}})", true},
      {"empty containers", R"({"a":[],"b":{}})", true},
      {"trailing text ignored", R"({"a":1} garbage)", true},
      {"nullx is null", "nullx", true},
      {"comma before brace", R"({"a":1,})", false},
      {"comma before bracket", "[1,2,]", false},
      {"missing colon", R"({"a" 1})", false},
      {"unquoted name", "{a:1}", false},
      {"plus sign", "+1", false},
      {"dot", ".5", false},
      {"unterminated string", R"("abc)", false},
      {"trailing backslash", "\"abc\\", false},
      {"short unicode escape", R"("\u12")", false},
      {"unicode escape with non-hex", R"("\u12G4")", false},
      {"unterminated object", R"({"a":"b")", false},
      {"unterminated array", "[1,2", false},
      {"nul ends the text", std::string("{\"a\":\"b\0\"}", 10), false},
      {"nul after value", std::string("{}\0junk", 7), true},
      {"literal cut short", "tru", false},
  };
  for (const ParseCase& c : cases) {
    JsonDocument document;
    EXPECT_EQ(document.Parse(c.text), c.parses) << c.name;
  }
}

struct StringCase {
  const char* name;
  std::string text;
  std::string expected;
};

TEST(JsonReaderTest, DecodesStringEscapes) {
  const StringCase cases[] = {
      {"plain", R"("abc")", "abc"},
      {"simple escapes", R"("\b\f\n\r\t")", "\b\f\n\r\t"},
      {"quote backslash slash", R"("\"\\\/")", "\"\\/"},
      {"other byte", R"("\q")", "q"},
      {"e acute", R"("\u00e9")", "\xC3\xA9"},
      {"ascii", R"("\u0041")", "A"},
      {"three bytes", R"("\u20AC")", "\xE2\x82\xAC"},
      {"surrogate pair", R"("\ud83d\ude00")", "\xF0\x9F\x98\x80"},
      {"code unit zero gives nothing", R"("a\u0000b")", "ab"},
      {"lone low surrogate gives nothing", R"("a\udc00b")", "ab"},
      {"lone high surrogate gives nothing", R"("a\ud83db")", "ab"},
      {"high then non-low keeps the second", R"("\ud83d\u0041")", "A"},
      {"raw utf-8 kept", "\"\xC3\xA9\"", "\xC3\xA9"},
  };
  for (const StringCase& c : cases) {
    JsonDocument document;
    ASSERT_TRUE(document.Parse(c.text)) << c.name;
    ASSERT_EQ(document.Root().type, JsonType::String) << c.name;
    EXPECT_EQ(document.Root().text, c.expected) << c.name;
  }
}

struct NumberCase {
  const char* text;
  JsonType type;
  int64_t as_int;
  double as_double;
};

TEST(JsonReaderTest, ReadsNumbersAndSaturates) {
  const NumberCase cases[] = {
      {"0", JsonType::Int, 0, 0},
      {"07", JsonType::Int, 7, 7},
      {"-12", JsonType::Int, -12, -12},
      {"-", JsonType::Int, 0, 0},
      {"1.5", JsonType::Double, 1, 1.5},
      {"-2.25", JsonType::Double, -2, -2.25},
      {"1e0", JsonType::Int, 1, 1},
      {"2E+0", JsonType::Int, 2, 2},
      {"1e3", JsonType::Double, 1000, 1000},
      {"25e-1", JsonType::Double, 2, 2.5},
      {"1.", JsonType::Int, 1, 1},
      {"99999999999999999999999", JsonType::Int, INT64_MAX, 1e23},
      {"-99999999999999999999999", JsonType::Int, INT64_MIN, -1e23},
      {"1e999999999999", JsonType::Double, INT64_MAX, HUGE_VAL},
      {"1e-999999999999", JsonType::Double, 0, 0},
  };
  for (const NumberCase& c : cases) {
    JsonDocument document;
    ASSERT_TRUE(document.Parse(c.text)) << c.text;
    EXPECT_EQ(document.Root().type, c.type) << c.text;
    EXPECT_EQ(document.Root().int_value, c.as_int) << c.text;
    if (std::isinf(c.as_double)) {
      EXPECT_EQ(document.Root().double_value, c.as_double) << c.text;
    } else {
      EXPECT_NEAR(document.Root().double_value, c.as_double, std::fabs(c.as_double) * 1e-12) << c.text;
    }
  }
}

TEST(JsonReaderTest, LooksUpMembersIgnoringCaseFirstWins) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"DATA":{"MD5":"abc","md5":"second","n":5,"t":true}})"));
  const JsonValue* data = document.Root().Member("data");
  ASSERT_NE(data, nullptr);
  ASSERT_NE(data->StringMember("md5"), nullptr);
  EXPECT_EQ(*data->StringMember("md5"), "abc");
  EXPECT_EQ(data->StringMember("n"), nullptr);  // a number has no string value
  EXPECT_EQ(data->StringMember("t"), nullptr);
  EXPECT_EQ(data->StringMember("missing"), nullptr);
  EXPECT_EQ(data->Member("md"), nullptr);  // no prefix match
  EXPECT_EQ(data->Member("md55"), nullptr);
  // Only an object has members: an array's elements have no names.
  ASSERT_TRUE(document.Parse(R"(["data"])"));
  EXPECT_EQ(document.Root().Member(""), nullptr);
  EXPECT_EQ(document.Root().Member("data"), nullptr);
}

TEST(JsonReaderTest, LimitsDepthAndSize) {
  const auto nested = [](int depth) {
    return std::string(static_cast<size_t>(depth), '[') + std::string(static_cast<size_t>(depth), ']');
  };
  JsonDocument document;
  EXPECT_TRUE(document.Parse(nested(kJsonMaxDepth)));
  EXPECT_FALSE(document.Parse(nested(kJsonMaxDepth + 1)));
  EXPECT_FALSE(document.Parse(nested(100000)));  // no stack exhaustion

  std::string big = "\"" + std::string(kJsonMaxTextBytes - 2, 'x') + "\"";
  EXPECT_TRUE(document.Parse(big));
  big.insert(1, "x");
  EXPECT_FALSE(document.Parse(big));
}

TEST(JsonReaderTest, NeverReadsPastTheGivenLength) {
  // The view stops inside the string: the bytes behind it must not be read.
  const std::string text = R"({"a":"bcdef"})";
  for (size_t cut = 0; cut < text.size(); ++cut) {
    JsonDocument document;
    EXPECT_FALSE(document.Parse(std::string_view(text.data(), cut))) << cut;
  }
}

}  // namespace
}  // namespace net
