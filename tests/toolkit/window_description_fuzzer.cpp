// libFuzzer entry for the text side of the window-description reader, built
// natively with clang from the product's source files (scripts/fuzz.sh
// window_description): the XML reader, then every attribute value and text
// through the value, image-description, attribute-list and mark-up parsers
// the builder applies to them. (The builder itself makes GDI controls and is
// exercised under Wine by the toolkit tests.)
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "toolkit/attribute_values.h"
#include "toolkit/markup.h"
#include "toolkit/xml_reader.h"

namespace {

void ParseValue(const std::wstring& value) {
  (void)toolkit::ParseBool(value);
  (void)toolkit::ParseInt(value);
  (void)toolkit::ParseColor(value);
  (void)toolkit::ParseEdges(value);
  (void)toolkit::ParseSize(value);
  (void)toolkit::ParseIntList(value, 4);
  (void)toolkit::ParseImageDescription(value);
  for (const auto& [name, inner] : toolkit::ParseAttributeList(value)) (void)toolkit::ParseImageDescription(inner);
  if (toolkit::HasMarkup(value)) (void)toolkit::PlainText(toolkit::ParseMarkup(value));
}

// Recursion is bounded by the reader's depth limit.
void Walk(const toolkit::XmlElement& element) {
  for (const auto& [name, value] : element.attributes) ParseValue(value);
  ParseValue(element.text);
  for (const auto& child : element.children) Walk(*child);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const toolkit::XmlResult xml = toolkit::ParseXml(std::string_view(reinterpret_cast<const char*>(data), size));
  if (xml.root) Walk(*xml.root);
  return 0;
}
