// A small, strict-enough XML reader for window descriptions: elements,
// attributes, text, entities (named and numeric), CDATA, comments,
// declarations; UTF-8 with or without a byte-order mark (UTF-16 with a mark
// is converted). Depth and size are bounded; errors carry the line.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace toolkit {

struct XmlElement {
  std::wstring name;
  std::vector<std::pair<std::wstring, std::wstring>> attributes;  // document order
  std::vector<std::unique_ptr<XmlElement>> children;
  std::wstring text;  // character data directly inside, concatenated
  int line = 0;

  // The attribute's value, or nullptr; names compare exactly.
  [[nodiscard]] const std::wstring* Attribute(std::wstring_view attribute_name) const;
};

struct XmlResult {
  std::unique_ptr<XmlElement> root;  // null on error
  std::wstring error;                // "line N: what went wrong"
  int error_line = 0;
};

struct XmlLimits {
  size_t max_depth = 256;
  size_t max_elements = 200000;
  size_t max_bytes = 16u << 20;
};

[[nodiscard]] XmlResult ParseXml(std::string_view bytes, const XmlLimits& limits = {});

}  // namespace toolkit
