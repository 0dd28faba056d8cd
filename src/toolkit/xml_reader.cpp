#include "toolkit/xml_reader.h"

#include <algorithm>
#include <unordered_set>

#include "platform/text.h"

namespace toolkit {
namespace {

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

bool IsNameStart(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'_' || c == L':' || c >= 0x80;
}

bool IsNameChar(wchar_t c) { return IsNameStart(c) || (c >= L'0' && c <= L'9') || c == L'-' || c == L'.'; }

class Parser {
 public:
  Parser(std::wstring text, const XmlLimits& limits) : text_(std::move(text)), limits_(limits) {}

  XmlResult Run() {
    XmlResult result;
    if (!ParseDocument()) {
      result.error_line = LineAt(error_at_);
      result.error = L"line " + platform::DecimalText(result.error_line) + L": " + error_;
      return result;
    }
    result.root = std::move(root_);
    return result;
  }

 private:
  bool Fail(std::wstring what) {
    if (error_.empty()) {
      error_ = std::move(what);
      error_at_ = pos_;
    }
    return false;
  }

  int LineAt(size_t at) {
    // Positions asked for only grow, so counting resumes where it stopped.
    if (at < line_counted_to_) {
      line_counted_to_ = 0;
      line_ = 1;
    }
    for (; line_counted_to_ < at && line_counted_to_ < text_.size(); ++line_counted_to_) {
      if (text_[line_counted_to_] == L'\n') ++line_;
    }
    return line_;
  }

  bool StartsWith(std::wstring_view prefix) const { return text_.compare(pos_, prefix.size(), prefix) == 0; }

  bool SkipPast(std::wstring_view terminator, const wchar_t* what) {
    const size_t end = text_.find(terminator, pos_);
    if (end == std::wstring::npos) return Fail(std::wstring(L"unterminated ") + what);
    pos_ = end + terminator.size();
    return true;
  }

  bool ParseDocument() {
    while (pos_ < text_.size()) {
      const size_t lt = text_.find(L'<', pos_);
      const size_t text_end = lt == std::wstring::npos ? text_.size() : lt;
      if (!TakeText(text_end)) return false;
      pos_ = text_end;
      if (pos_ >= text_.size()) break;
      if (StartsWith(L"<?")) {
        if (!SkipPast(L"?>", L"declaration")) return false;
      } else if (StartsWith(L"<!--")) {
        if (!SkipPast(L"-->", L"comment")) return false;
      } else if (StartsWith(L"<![CDATA[")) {
        if (stack_.empty()) return Fail(L"CDATA outside the root element");
        const size_t begin = pos_ + 9;
        const size_t end = text_.find(L"]]>", begin);
        if (end == std::wstring::npos) return Fail(L"unterminated CDATA section");
        stack_.back()->text.append(text_, begin, end - begin);
        pos_ = end + 3;
      } else if (StartsWith(L"<!")) {
        if (!SkipDoctype()) return false;
      } else if (StartsWith(L"</")) {
        if (!ParseEndTag()) return false;
      } else {
        if (!ParseStartTag()) return false;
      }
    }
    if (!stack_.empty()) {
      pos_ = text_.size();
      return Fail(L"element <" + stack_.back()->name + L"> is not closed");
    }
    if (!root_) return Fail(L"no root element");
    return true;
  }

  bool SkipDoctype() {
    int brackets = 0;
    for (; pos_ < text_.size(); ++pos_) {
      if (text_[pos_] == L'[') ++brackets;
      if (text_[pos_] == L']') --brackets;
      if (text_[pos_] == L'>' && brackets <= 0) {
        ++pos_;
        return true;
      }
    }
    return Fail(L"unterminated document type declaration");
  }

  bool TakeText(size_t end) {
    if (stack_.empty()) {
      for (size_t i = pos_; i < end; ++i) {
        if (!IsSpace(text_[i])) {
          pos_ = i;
          return Fail(root_ ? L"text after the root element" : L"text before the root element");
        }
      }
      return true;
    }
    std::wstring decoded;
    if (!Decode(pos_, end, &decoded)) return false;
    stack_.back()->text += decoded;
    return true;
  }

  bool Decode(size_t begin, size_t end, std::wstring* out) {
    out->reserve(end - begin);
    for (size_t i = begin; i < end; ++i) {
      const wchar_t c = text_[i];
      if (c != L'&') {
        out->push_back(c);
        continue;
      }
      // An entity is at most 12 characters: look no further for its end.
      const size_t semicolon = std::wstring_view(text_).substr(0, std::min(end, i + 13)).find(L';', i);
      if (semicolon == std::wstring_view::npos) {
        pos_ = i;
        return Fail(L"bare '&' (write &amp;)");
      }
      const std::wstring_view entity(text_.data() + i + 1, semicolon - i - 1);
      if (!AppendEntity(entity, out)) {
        pos_ = i;
        return Fail(L"unknown entity &" + std::wstring(entity) + L";");
      }
      i = semicolon;
    }
    return true;
  }

  static bool AppendEntity(std::wstring_view entity, std::wstring* out) {
    static constexpr struct {
      const wchar_t* name;
      wchar_t value;
    } kNamed[] = {{L"lt", L'<'}, {L"gt", L'>'}, {L"amp", L'&'}, {L"quot", L'"'}, {L"apos", L'\''}};
    for (const auto& named : kNamed) {
      if (entity == named.name) {
        out->push_back(named.value);
        return true;
      }
    }
    if (entity.size() < 2 || entity[0] != L'#') return false;
    const bool hex = entity[1] == L'x' || entity[1] == L'X';
    std::wstring_view digits = entity.substr(hex ? 2 : 1);
    if (digits.empty()) return false;
    uint32_t code = 0;
    for (wchar_t d : digits) {
      uint32_t value;
      if (d >= L'0' && d <= L'9')
        value = d - L'0';
      else if (hex && d >= L'a' && d <= L'f')
        value = d - L'a' + 10;
      else if (hex && d >= L'A' && d <= L'F')
        value = d - L'A' + 10;
      else
        return false;
      code = code * (hex ? 16 : 10) + value;
      if (code > 0x10FFFF) return false;
    }
    if (code == 0 || (code >= 0xD800 && code <= 0xDFFF)) return false;
    if (code > 0xFFFF) {
      code -= 0x10000;
      out->push_back(static_cast<wchar_t>(0xD800 + (code >> 10)));
      out->push_back(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out->push_back(static_cast<wchar_t>(code));
    }
    return true;
  }

  bool ReadName(std::wstring* name) {
    if (pos_ >= text_.size() || !IsNameStart(text_[pos_])) return Fail(L"name expected");
    const size_t begin = pos_;
    while (pos_ < text_.size() && IsNameChar(text_[pos_])) ++pos_;
    name->assign(text_, begin, pos_ - begin);
    return true;
  }

  void SkipSpace() {
    while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
  }

  bool ParseStartTag() {
    if (root_ && stack_.empty()) return Fail(L"second root element");
    if (stack_.size() >= limits_.max_depth) return Fail(L"elements nested too deeply");
    if (++element_count_ > limits_.max_elements) return Fail(L"too many elements");
    auto element = std::make_unique<XmlElement>();
    element->line = LineAt(pos_);
    ++pos_;  // '<'
    if (!ReadName(&element->name)) return false;
    // The names as they stand in the text (which outlives the tag), hashed:
    // a duplicate is found in constant time however many attributes there are.
    std::unordered_set<std::wstring_view> names;
    for (;;) {
      const size_t before = pos_;
      SkipSpace();
      if (pos_ >= text_.size()) return Fail(L"unterminated tag <" + element->name + L">");
      if (text_[pos_] == L'>' || StartsWith(L"/>")) break;
      if (pos_ == before) return Fail(L"space expected in <" + element->name + L">");
      std::wstring name;
      const size_t name_at = pos_;
      if (!ReadName(&name)) return false;
      const std::wstring_view name_in_text(text_.data() + name_at, name.size());
      SkipSpace();
      if (pos_ >= text_.size() || text_[pos_] != L'=') return Fail(L"'=' expected after " + name);
      ++pos_;
      SkipSpace();
      if (pos_ >= text_.size() || (text_[pos_] != L'"' && text_[pos_] != L'\''))
        return Fail(L"quoted value expected for " + name);
      const wchar_t quote = text_[pos_++];
      const size_t end = text_.find(quote, pos_);
      if (end == std::wstring::npos) return Fail(L"unterminated value of " + name);
      // Only the value itself is searched: a tag with very many attributes stays linear.
      if (std::wstring_view(text_).substr(pos_, end - pos_).find(L'<') != std::wstring_view::npos)
        return Fail(L"'<' inside the value of " + name);
      if (!names.insert(name_in_text).second) return Fail(L"attribute " + name + L" given twice");
      std::wstring value;
      if (!Decode(pos_, end, &value)) return false;
      element->attributes.emplace_back(std::move(name), std::move(value));
      pos_ = end + 1;
    }
    const bool empty = text_[pos_] == L'/';
    pos_ += empty ? 2 : 1;
    XmlElement* raw = element.get();
    if (stack_.empty()) {
      root_ = std::move(element);
    } else {
      stack_.back()->children.push_back(std::move(element));
    }
    if (!empty) stack_.push_back(raw);
    return true;
  }

  bool ParseEndTag() {
    pos_ += 2;
    std::wstring name;
    if (!ReadName(&name)) return false;
    SkipSpace();
    if (pos_ >= text_.size() || text_[pos_] != L'>') return Fail(L"'>' expected after </" + name);
    if (stack_.empty()) return Fail(L"closing tag </" + name + L"> without an open element");
    if (stack_.back()->name != name) return Fail(L"</" + name + L"> closes <" + stack_.back()->name + L">");
    stack_.pop_back();
    ++pos_;
    return true;
  }

  std::wstring text_;
  XmlLimits limits_;
  size_t pos_ = 0;
  std::unique_ptr<XmlElement> root_;
  std::vector<XmlElement*> stack_;
  size_t element_count_ = 0;
  std::wstring error_;
  size_t error_at_ = 0;
  size_t line_counted_to_ = 0;
  int line_ = 1;
};

std::wstring ToWide(std::string_view bytes) {
  if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF && static_cast<uint8_t>(bytes[1]) == 0xFE) {
    std::wstring wide((bytes.size() - 2) / 2, L'\0');
    for (size_t i = 0; i < wide.size(); ++i) {
      wide[i] =
          static_cast<wchar_t>(static_cast<uint8_t>(bytes[2 + 2 * i]) | (static_cast<uint8_t>(bytes[3 + 2 * i]) << 8));
    }
    return wide;
  }
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  return platform::Utf8ToWide(bytes);
}

}  // namespace

const std::wstring* XmlElement::Attribute(std::wstring_view attribute_name) const {
  for (const auto& [name, value] : attributes) {
    if (name == attribute_name) return &value;
  }
  return nullptr;
}

XmlResult ParseXml(std::string_view bytes, const XmlLimits& limits) {
  if (bytes.size() > limits.max_bytes) {
    XmlResult result;
    result.error = L"line 1: description larger than " + platform::DecimalText(limits.max_bytes) + L" bytes";
    result.error_line = 1;
    return result;
  }
  return Parser(ToWide(bytes), limits).Run();
}

}  // namespace toolkit
