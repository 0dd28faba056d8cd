#include "net/json.h"

#include <cmath>
#include <cstring>
#include <new>

namespace net {
namespace {

// Reading position and the end of the text (its length or its first NUL).
struct Cursor {
  const char* pos;
  const char* end;
};

bool AtEnd(const Cursor& c) { return c.pos >= c.end; }

void SkipWhitespace(Cursor& c) {
  while (!AtEnd(c) && static_cast<unsigned char>(*c.pos) >= 1 && static_cast<unsigned char>(*c.pos) <= 32) {
    ++c.pos;
  }
}

bool StartsWith(const Cursor& c, std::string_view word) {
  return static_cast<size_t>(c.end - c.pos) >= word.size() && std::memcmp(c.pos, word.data(), word.size()) == 0;
}

int HexValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

// Reads "uXXXX" at `p` (p points at the 'u'); -1 when fewer than four hex
// digits stand before the end.
long ReadUnicodeEscape(const char* p, const char* end) {
  if (end - p < 5) return -1;
  long value = 0;
  for (int i = 1; i <= 4; ++i) {
    const int digit = HexValue(p[i]);
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

void AppendUtf8(std::string& out, unsigned long code_point) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | (code_point >> 6));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    out += static_cast<char>(0xE0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code_point >> 18));
    out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

// Decodes the escape at `p` (a backslash before `closing`) into `out` and
// returns the position behind it; null for a \u escape without four hex
// digits. A code unit 0 and lone surrogates give nothing.
const char* DecodeEscape(const char* p, const char* closing, std::string& out) {
  const char kind = p[1];
  switch (kind) {
    case 'b': out += '\b'; return p + 2;
    case 'f': out += '\f'; return p + 2;
    case 'n': out += '\n'; return p + 2;
    case 'r': out += '\r'; return p + 2;
    case 't': out += '\t'; return p + 2;
    case 'u': break;
    default: out += kind; return p + 2;
  }
  const long unit = ReadUnicodeEscape(p + 1, closing);
  if (unit < 0) return nullptr;
  p += 6;
  if (unit == 0 || (unit >= 0xDC00 && unit <= 0xDFFF)) return p;
  if (unit < 0xD800 || unit > 0xDBFF) {
    AppendUtf8(out, static_cast<unsigned long>(unit));
    return p;
  }
  const long low = (closing - p >= 6 && p[0] == '\\' && p[1] == 'u') ? ReadUnicodeEscape(p + 1, closing) : -1;
  if (low < 0xDC00 || low > 0xDFFF) return p;  // a lone high surrogate gives nothing
  AppendUtf8(out,
             0x10000 + ((static_cast<unsigned long>(unit) & 0x3FF) << 10) + (static_cast<unsigned long>(low) & 0x3FF));
  return p + 6;
}

// Parses a string at c.pos into `out`. An unterminated string or an escape
// cut short by the end fails: a reply that ends inside a string is
// truncated, not complete.
bool ParseStringText(Cursor& c, std::string& out) {
  if (AtEnd(c) || *c.pos != '"') return false;
  const char* start = c.pos + 1;
  const char* p = start;
  while (p < c.end && *p != '"') {
    if (*p == '\\' && c.end - p < 2) return false;
    p += *p == '\\' ? 2 : 1;
  }
  if (p >= c.end) return false;
  const char* closing = p;
  // Every escape yields at most as many bytes as it takes in the text.
  out.reserve(static_cast<size_t>(closing - start));
  p = start;
  while (p < closing) {
    if (*p != '\\') {
      out += *p++;
      continue;
    }
    p = DecodeEscape(p, closing, out);
    if (p == nullptr) return false;
  }
  c.pos = closing + 1;
  return true;
}

int64_t SaturatedInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 9223372036854775807.0) return INT64_MAX;
  if (value <= -9223372036854775808.0) return INT64_MIN;
  return static_cast<int64_t>(value);
}

bool IsDigit(const Cursor& c) { return !AtEnd(c) && *c.pos >= '0' && *c.pos <= '9'; }

void ParseNumber(JsonValue& value, Cursor& c) {
  constexpr int kExponentCap = 100000;  // far beyond any double; keeps the int from overflowing
  double n = 0;
  int sign = 1;
  int scale = 0;
  int exponent = 0;
  int exponent_sign = 1;
  if (!AtEnd(c) && *c.pos == '-') {
    sign = -1;
    ++c.pos;
  }
  if (!AtEnd(c) && *c.pos == '0') ++c.pos;
  while (IsDigit(c)) n = n * 10.0 + (*c.pos++ - '0');
  if (!AtEnd(c) && *c.pos == '.' && c.end - c.pos >= 2 && c.pos[1] >= '0' && c.pos[1] <= '9') {
    ++c.pos;
    while (IsDigit(c)) {
      n = n * 10.0 + (*c.pos++ - '0');
      if (scale > -kExponentCap) --scale;
    }
  }
  if (!AtEnd(c) && (*c.pos == 'e' || *c.pos == 'E')) {
    ++c.pos;
    if (!AtEnd(c) && (*c.pos == '+' || *c.pos == '-')) exponent_sign = (*c.pos++ == '-') ? -1 : 1;
    while (IsDigit(c)) {
      exponent = exponent * 10 + (*c.pos++ - '0');
      if (exponent > kExponentCap) exponent = kExponentCap;
    }
  }
  const bool fractional = scale != 0 || exponent != 0;
  value.type = fractional ? JsonType::Double : JsonType::Int;
  value.double_value = fractional ? sign * n * std::pow(10.0, scale + exponent_sign * exponent) : sign * n;
  value.int_value = SaturatedInt(value.double_value);
}

bool ParseValue(JsonValue& value, Cursor& c, int depth);

// The elements of an array or the members of an object after its opening
// bracket, up to the closing one.
bool ParseItems(JsonValue& container, Cursor& c, int depth, char closing) {
  ++c.pos;
  SkipWhitespace(c);
  if (!AtEnd(c) && *c.pos == closing) {
    ++c.pos;
    return true;
  }
  for (;;) {
    JsonValue& item = container.items.emplace_back();
    SkipWhitespace(c);
    if (container.type == JsonType::Object) {
      if (!ParseStringText(c, item.name)) return false;
      SkipWhitespace(c);
      if (AtEnd(c) || *c.pos != ':') return false;
      ++c.pos;
      SkipWhitespace(c);
    }
    if (!ParseValue(item, c, depth)) return false;
    SkipWhitespace(c);
    if (AtEnd(c)) return false;
    if (*c.pos == ',') {
      ++c.pos;
      continue;
    }
    if (*c.pos != closing) return false;
    ++c.pos;
    return true;
  }
}

bool ParseValue(JsonValue& value, Cursor& c, int depth) {
  if (AtEnd(c)) return false;
  if (StartsWith(c, "null")) {
    value.type = JsonType::Null;
    c.pos += 4;
    return true;
  }
  if (StartsWith(c, "false")) {
    value.type = JsonType::False;
    c.pos += 5;
    return true;
  }
  if (StartsWith(c, "true")) {
    value.type = JsonType::True;
    value.int_value = 1;
    c.pos += 4;
    return true;
  }
  const char first = *c.pos;
  if (first == '"') {
    value.type = JsonType::String;
    return ParseStringText(c, value.text);
  }
  if (first == '-' || (first >= '0' && first <= '9')) {
    ParseNumber(value, c);
    return true;
  }
  if (first == '[' || first == '{') {
    if (depth >= kJsonMaxDepth) return false;
    value.type = first == '[' ? JsonType::Array : JsonType::Object;
    return ParseItems(value, c, depth + 1, first == '[' ? ']' : '}');
  }
  return false;
}

bool NamesEqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

const JsonValue* JsonValue::Member(std::string_view member) const {
  if (type != JsonType::Object) return nullptr;
  for (const JsonValue& item : items) {
    if (NamesEqualIgnoringCase(item.name, member)) return &item;
  }
  return nullptr;
}

const std::string* JsonValue::StringMember(std::string_view member) const {
  const JsonValue* found = Member(member);
  return found != nullptr && found->type == JsonType::String ? &found->text : nullptr;
}

bool JsonDocument::Parse(std::string_view text) {
  root_ = JsonValue();
  if (text.size() > kJsonMaxTextBytes) return false;
  const void* nul = std::memchr(text.data(), '\0', text.size());
  Cursor c{text.data(), nul != nullptr ? static_cast<const char*>(nul) : text.data() + text.size()};
  try {
    if (ParseValue(root_, c, 0)) return true;
  } catch (const std::bad_alloc&) {
    // A reply larger than the memory left is no reply.
  }
  root_ = JsonValue();
  return false;
}

}  // namespace net
