#include "toolkit/attribute_values.h"

#include <cwctype>

namespace toolkit {
namespace {

std::wstring_view Trim(std::wstring_view text) {
  while (!text.empty() && std::iswspace(text.front())) text.remove_prefix(1);
  while (!text.empty() && std::iswspace(text.back())) text.remove_suffix(1);
  return text;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return true;
}

}  // namespace

std::optional<bool> ParseBool(std::wstring_view text) {
  text = Trim(text);
  if (EqualsNoCase(text, L"true") || text == L"1") return true;
  if (EqualsNoCase(text, L"false") || text == L"0") return false;
  return std::nullopt;
}

std::optional<int> ParseInt(std::wstring_view text) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text[0] == L'-' || text[0] == L'+')) {
    negative = text[0] == L'-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 9) return std::nullopt;  // keeps it far from overflow
  int value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + (c - L'0');
  }
  return negative ? -value : value;
}

std::optional<Argb> ParseColor(std::wstring_view text) {
  text = Trim(text);
  if (!text.empty() && text[0] == L'#') text.remove_prefix(1);
  if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) text.remove_prefix(2);
  if (text.size() != 6 && text.size() != 8) return std::nullopt;
  uint32_t value = 0;
  for (wchar_t c : text) {
    uint32_t digit;
    if (c >= L'0' && c <= L'9')
      digit = c - L'0';
    else if (c >= L'a' && c <= L'f')
      digit = c - L'a' + 10;
    else if (c >= L'A' && c <= L'F')
      digit = c - L'A' + 10;
    else
      return std::nullopt;
    value = (value << 4) | digit;
  }
  if (text.size() == 6) value |= 0xFF000000u;
  return value;
}

std::vector<int> ParseIntList(std::wstring_view text, size_t max) {
  std::vector<int> values;
  while (values.size() < max) {
    const size_t comma = text.find(L',');
    std::optional<int> value = ParseInt(text.substr(0, comma));
    if (!value) return {};
    values.push_back(*value);
    if (comma == std::wstring_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return values;
}

std::optional<Edges> ParseEdges(std::wstring_view text) {
  const std::vector<int> v = ParseIntList(text, 4);
  if (v.size() != 4) return std::nullopt;
  return Edges{v[0], v[1], v[2], v[3]};
}

std::optional<Size> ParseSize(std::wstring_view text) {
  const std::vector<int> v = ParseIntList(text, 2);
  if (v.size() != 2) return std::nullopt;
  return Size{v[0], v[1]};
}

std::vector<std::pair<std::wstring, std::wstring>> ParseAttributeList(std::wstring_view text) {
  std::vector<std::pair<std::wstring, std::wstring>> list;
  size_t pos = 0;
  while (pos < text.size() && list.size() < 256) {
    while (pos < text.size() && std::iswspace(text[pos])) ++pos;
    const size_t eq = text.find(L'=', pos);
    if (eq == std::wstring_view::npos) break;
    std::wstring name(Trim(text.substr(pos, eq - pos)));
    size_t q = eq + 1;
    while (q < text.size() && std::iswspace(text[q])) ++q;
    if (q >= text.size() || (text[q] != L'"' && text[q] != L'\'')) break;
    const size_t end = text.find(text[q], q + 1);
    if (end == std::wstring_view::npos) break;
    list.emplace_back(std::move(name), std::wstring(text.substr(q + 1, end - q - 1)));
    pos = end + 1;
  }
  return list;
}

ImageDescription ParseImageDescription(std::wstring_view text) {
  ImageDescription image;
  text = Trim(text);
  if (text.find(L'=') == std::wstring_view::npos) {
    image.file = std::wstring(text);
    return image;
  }
  for (const auto& [key, value] : ParseAttributeList(text)) {
    if (key == L"file" || key == L"res")
      image.file = value;
    else if (key == L"source")
      image.source = ParseEdges(value);
    else if (key == L"dest")
      image.dest = ParseEdges(value);
    else if (key == L"corner")
      image.corner = ParseEdges(value).value_or(Edges{});
    else if (key == L"fade")
      image.fade = std::clamp(ParseInt(value).value_or(255), 0, 255);
    else if (key == L"mask")
      image.mask = ParseColor(value);
    else if (key == L"xtiled")
      image.xtiled = ParseBool(value).value_or(false);
    else if (key == L"ytiled")
      image.ytiled = ParseBool(value).value_or(false);
    else if (key == L"hole")
      image.hole = ParseBool(value).value_or(false);
  }
  return image;
}

}  // namespace toolkit
