#include "net/json.h"

#include <cmath>
#include <cstdlib>
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
  while (!AtEnd(c) && static_cast<unsigned char>(*c.pos) >= 1 &&
         static_cast<unsigned char>(*c.pos) <= 32) {
    ++c.pos;
  }
}

bool StartsWith(const Cursor& c, std::string_view word) {
  return static_cast<size_t>(c.end - c.pos) >= word.size() &&
         std::memcmp(c.pos, word.data(), word.size()) == 0;
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

char* AppendUtf8(char* out, unsigned long code_point) {
  if (code_point < 0x80) {
    *out++ = static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    *out++ = static_cast<char>(0xC0 | (code_point >> 6));
    *out++ = static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (code_point >> 12));
    *out++ = static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (code_point >> 18));
    *out++ = static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (code_point & 0x3F));
  }
  return out;
}

// Parses a string at c.pos into a fresh heap buffer; null on failure. An
// unterminated string or an escape cut short by the end fails: a reply that
// ends inside a string is truncated, not complete.
char* ParseStringText(Cursor& c) {
  if (AtEnd(c) || *c.pos != '"') return nullptr;
  const char* start = c.pos + 1;
  const char* p = start;
  while (p < c.end && *p != '"') {
    if (*p == '\\') {
      if (c.end - p < 2) return nullptr;
      p += 2;
    } else {
      ++p;
    }
  }
  if (p >= c.end) return nullptr;
  const char* closing = p;
  // Every escape yields at most as many bytes as it takes in the text.
  char* buffer = static_cast<char*>(std::malloc(static_cast<size_t>(closing - start) + 1));
  if (buffer == nullptr) return nullptr;

  char* out = buffer;
  p = start;
  while (p < closing) {
    if (*p != '\\') {
      *out++ = *p++;
      continue;
    }
    const char kind = p[1];
    switch (kind) {
      case 'b': *out++ = '\b'; p += 2; break;
      case 'f': *out++ = '\f'; p += 2; break;
      case 'n': *out++ = '\n'; p += 2; break;
      case 'r': *out++ = '\r'; p += 2; break;
      case 't': *out++ = '\t'; p += 2; break;
      case 'u': {
        const long unit = ReadUnicodeEscape(p + 1, closing);
        if (unit < 0) {
          std::free(buffer);
          return nullptr;
        }
        p += 6;
        if (unit == 0 || (unit >= 0xDC00 && unit <= 0xDFFF)) break;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
          const long low =
              (closing - p >= 6 && p[0] == '\\' && p[1] == 'u') ? ReadUnicodeEscape(p + 1, closing) : -1;
          if (low < 0xDC00 || low > 0xDFFF) break;  // a lone high surrogate gives nothing
          p += 6;
          const unsigned long code_point =
              0x10000 + ((static_cast<unsigned long>(unit) & 0x3FF) << 10) +
              (static_cast<unsigned long>(low) & 0x3FF);
          out = AppendUtf8(out, code_point);
          break;
        }
        out = AppendUtf8(out, static_cast<unsigned long>(unit));
        break;
      }
      default: *out++ = kind; p += 2; break;
    }
  }
  *out = '\0';
  c.pos = closing + 1;
  return buffer;
}

int64_t SaturatedInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 9223372036854775807.0) return INT64_MAX;
  if (value <= -9223372036854775808.0) return INT64_MIN;
  return static_cast<int64_t>(value);
}

bool IsDigit(const Cursor& c) { return !AtEnd(c) && *c.pos >= '0' && *c.pos <= '9'; }

void ParseNumber(JsonItem* item, Cursor& c) {
  constexpr int kExponentCap = 100000;  // far beyond any double; keeps the int from overflowing
  double n = 0;
  int scale = 0;
  int exponent = 0;
  int exponent_sign = 1;
  item->sign = 1;
  if (!AtEnd(c) && *c.pos == '-') {
    item->sign = -1;
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
  if (scale != 0 || exponent != 0) {
    item->type = JsonDouble;
    item->valueDouble = item->sign * n * std::pow(10.0, scale + exponent_sign * exponent);
    item->valueInt = SaturatedInt(item->valueDouble);
  } else {
    item->type = JsonInt;
    item->valueDouble = item->sign * n;
    item->valueInt = SaturatedInt(item->valueDouble);
  }
}

JsonItem* NewItem() { return new (std::nothrow) JsonItem(); }

// A fresh item linked behind `last` (or as the first child of `parent`); null without memory.
JsonItem* AppendChild(JsonItem* parent, JsonItem*& last) {
  JsonItem* item = NewItem();
  if (item == nullptr) return nullptr;
  if (last == nullptr) {
    parent->child = item;
  } else {
    last->next = item;
    item->prev = last;
  }
  last = item;
  return item;
}

bool ParseValue(JsonItem* item, Cursor& c, int depth);

bool ParseArray(JsonItem* item, Cursor& c, int depth) {
  item->type = JsonArray;
  ++c.pos;
  SkipWhitespace(c);
  if (!AtEnd(c) && *c.pos == ']') {
    ++c.pos;
    return true;
  }
  JsonItem* last = nullptr;
  for (;;) {
    JsonItem* element = AppendChild(item, last);
    if (element == nullptr) return false;
    SkipWhitespace(c);
    if (!ParseValue(element, c, depth)) return false;
    SkipWhitespace(c);
    if (AtEnd(c)) return false;
    if (*c.pos == ',') {
      ++c.pos;
      continue;
    }
    if (*c.pos != ']') return false;
    ++c.pos;
    return true;
  }
}

bool ParseObject(JsonItem* item, Cursor& c, int depth) {
  item->type = JsonObject;
  ++c.pos;
  SkipWhitespace(c);
  if (!AtEnd(c) && *c.pos == '}') {
    ++c.pos;
    return true;
  }
  JsonItem* last = nullptr;
  for (;;) {
    JsonItem* member = AppendChild(item, last);
    if (member == nullptr) return false;
    SkipWhitespace(c);
    member->name = ParseStringText(c);
    if (member->name == nullptr) return false;
    SkipWhitespace(c);
    if (AtEnd(c) || *c.pos != ':') return false;
    ++c.pos;
    SkipWhitespace(c);
    if (!ParseValue(member, c, depth)) return false;
    SkipWhitespace(c);
    if (AtEnd(c)) return false;
    if (*c.pos == ',') {
      ++c.pos;
      continue;
    }
    if (*c.pos != '}') return false;
    ++c.pos;
    return true;
  }
}

bool ParseValue(JsonItem* item, Cursor& c, int depth) {
  if (AtEnd(c)) return false;
  if (StartsWith(c, "null")) {
    item->type = JsonNull;
    c.pos += 4;
    return true;
  }
  if (StartsWith(c, "false")) {
    item->type = JsonFalse;
    c.pos += 5;
    return true;
  }
  if (StartsWith(c, "true")) {
    item->type = JsonTrue;
    item->valueInt = 1;
    c.pos += 4;
    return true;
  }
  const char first = *c.pos;
  if (first == '"') {
    item->valueString = ParseStringText(c);
    if (item->valueString == nullptr) return false;
    item->type = JsonString;
    return true;
  }
  if (first == '-' || (first >= '0' && first <= '9')) {
    ParseNumber(item, c);
    return true;
  }
  if (first == '[' || first == '{') {
    if (depth >= kJsonMaxDepth) return false;
    return first == '[' ? ParseArray(item, c, depth + 1) : ParseObject(item, c, depth + 1);
  }
  return false;
}

bool NamesEqualIgnoringCase(const char* a, std::string_view b) {
  size_t i = 0;
  for (; a[i] != '\0'; ++i) {
    if (i >= b.size()) return false;
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return i == b.size();
}

}  // namespace

const char* JsonParse(JsonItem* root, std::string_view text) {
  if (root == nullptr || text.size() > kJsonMaxTextBytes) return nullptr;
  const void* nul = std::memchr(text.data(), '\0', text.size());
  Cursor c{text.data(), nul != nullptr ? static_cast<const char*>(nul) : text.data() + text.size()};
  if (!ParseValue(root, c, 0)) return nullptr;
  return c.pos;
}

const JsonItem* JsonGetObjectItem(const JsonItem* object, std::string_view name) {
  if (object == nullptr) return nullptr;
  for (const JsonItem* item = object->child; item != nullptr; item = item->next) {
    if (item->name != nullptr && NamesEqualIgnoringCase(item->name, name)) return item;
  }
  return nullptr;
}

void JsonDelete(JsonItem* item) {
  // Siblings iteratively; only nesting recurses, and nesting is bounded by the parse.
  while (item != nullptr) {
    JsonItem* next = item->next;
    const bool reference = (item->type & JsonIsReference) != 0;
    if (!reference) {
      JsonDelete(item->child);
      std::free(item->valueString);
    }
    std::free(item->name);
    delete item;
    item = next;
  }
}

JsonDocument::JsonDocument() : root_(new JsonItem()) {}

JsonDocument::~JsonDocument() { JsonDelete(root_); }

bool JsonDocument::Parse(std::string_view text) {
  // Allocated first: if that throws, root_ still owns a valid tree.
  JsonItem* fresh = new JsonItem();
  JsonDelete(root_);
  root_ = fresh;
  return JsonParse(root_, text) != nullptr;
}

const char* JsonDocument::StringMember(const JsonItem* object, std::string_view name) {
  const JsonItem* member = JsonGetObjectItem(object, name);
  return member != nullptr ? member->valueString : nullptr;
}

}  // namespace net
