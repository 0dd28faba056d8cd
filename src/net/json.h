// A small reader for the release server's JSON replies: a tree of values
// with case-insensitive member look-up. It only reads; nothing here writes
// JSON. The reader is bounded: it never reads past the text it is given,
// nesting deeper than kJsonMaxDepth or text longer than kJsonMaxTextBytes
// fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace net {

enum class JsonType : uint8_t { False, True, Null, Int, Double, String, Array, Object };

inline constexpr int kJsonMaxDepth = 64;
inline constexpr size_t kJsonMaxTextBytes = 1024 * 1024;

// One value of the tree; it owns everything below it.
struct JsonValue {
  JsonType type = JsonType::False;
  std::string text;              // String: the decoded bytes
  int64_t int_value = 0;         // Int and Double (saturated); 1 for True
  double double_value = 0.0;     // Int and Double
  std::string name;              // the member's name when the parent is an Object
  std::vector<JsonValue> items;  // Array elements or Object members, in text order

  // The first member of an Object whose name equals `member` ignoring ASCII
  // case; null for anything else.
  [[nodiscard]] const JsonValue* Member(std::string_view member) const;
  // That member's text when it is a String, else null.
  [[nodiscard]] const std::string* StringMember(std::string_view member) const;
};

// One parsed document.
class JsonDocument {
 public:
  // Parses the value at the start of `text`. The text ends at its length or
  // at its first NUL byte, whichever comes first; bytes behind the value are
  // not examined. False (and an empty tree) on any failure, also when memory
  // runs out.
  [[nodiscard]] bool Parse(std::string_view text);
  [[nodiscard]] const JsonValue& Root() const { return root_; }

 private:
  JsonValue root_;
};

}  // namespace net
