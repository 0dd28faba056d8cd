// A small reader for the release server's JSON replies: a tree of items with
// case-insensitive member look-up. It only reads; nothing here writes JSON.
// The reader is bounded: it never reads past the text it is given, nesting
// deeper than kJsonMaxDepth or text longer than kJsonMaxTextBytes fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace net {

enum JsonType : int32_t {
  JsonFalse = 0,
  JsonTrue = 1,
  JsonNull = 2,
  JsonInt = 3,
  JsonDouble = 4,
  JsonString = 5,
  JsonArray = 6,
  JsonObject = 7,
};
// Flag on `type`: the item owns neither its children nor its string.
inline constexpr int32_t JsonIsReference = 256;

inline constexpr int kJsonMaxDepth = 64;
inline constexpr size_t kJsonMaxTextBytes = 1024 * 1024;

struct JsonItem {
  JsonItem* next = nullptr;
  JsonItem* prev = nullptr;
  JsonItem* child = nullptr;
  int32_t type = JsonFalse;
  char* valueString = nullptr;  // NUL-terminated, owned; null unless JsonString
  int64_t valueInt = 0;
  double valueDouble = 0.0;
  int32_t sign = 1;
  char* name = nullptr;  // member name, owned; null unless an object member
};

// Parses the value at the start of `text` into the zero-filled `root`. The
// text ends at its length or at the first NUL byte, whichever comes first.
// Returns the position just behind the value, or null on failure; bytes
// behind the value are not examined. Release `root`'s contents with
// JsonDelete of its children (or use JsonDocument) in every case.
[[nodiscard]] const char* JsonParse(JsonItem* root, std::string_view text);

// First member of `object` whose name equals `name` ignoring ASCII case.
[[nodiscard]] const JsonItem* JsonGetObjectItem(const JsonItem* object, std::string_view name);

// Frees `item`, its following siblings and everything below them.
void JsonDelete(JsonItem* item);

// Owns one parsed document.
class JsonDocument {
 public:
  JsonDocument();
  ~JsonDocument();
  JsonDocument(const JsonDocument&) = delete;
  JsonDocument& operator=(const JsonDocument&) = delete;

  // True when a value was parsed; the tree is kept either way until destruction.
  [[nodiscard]] bool Parse(std::string_view text);
  [[nodiscard]] const JsonItem& root() const { return *root_; }
  // The string value of member `name` of `object`, or null when absent or not a string.
  [[nodiscard]] static const char* StringMember(const JsonItem* object, std::string_view name);

 private:
  JsonItem* root_;
};

}  // namespace net
