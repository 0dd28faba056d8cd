// Parsers for attribute values as skin authors write them: booleans,
// integers, colours ("#AARRGGBB", "#RRGGBB", "0x…"), "a,b,c,d" edge lists,
// "cx,cy" sizes, image descriptions and attribute lists of <Default>.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "toolkit/geometry.h"

namespace toolkit {

using Argb = uint32_t;  // 0xAARRGGBB; alpha 0 means "no colour"

[[nodiscard]] std::optional<bool> ParseBool(std::wstring_view text);
[[nodiscard]] std::optional<int> ParseInt(std::wstring_view text);
[[nodiscard]] std::optional<Argb> ParseColor(std::wstring_view text);
[[nodiscard]] std::optional<Edges> ParseEdges(std::wstring_view text);
[[nodiscard]] std::optional<Size> ParseSize(std::wstring_view text);
// Up to `max` comma-separated integers.
[[nodiscard]] std::vector<int> ParseIntList(std::wstring_view text, size_t max);

// An image reference: either a bare file name or key='value' pairs.
struct ImageDescription {
  std::wstring file;
  std::optional<Edges> source;  // rectangle within the image, 96-DPI independent (image pixels)
  std::optional<Edges> dest;    // rectangle within the control, 96-DPI units
  Edges corner;                 // nine-slice corners in image pixels
  int fade = 255;
  std::optional<Argb> mask;  // colour drawn transparent
  bool xtiled = false;
  bool ytiled = false;
  bool hole = false;  // nine-slice without its centre

  [[nodiscard]] bool empty() const { return file.empty(); }
  friend bool operator==(const ImageDescription&, const ImageDescription&) = default;
};

[[nodiscard]] ImageDescription ParseImageDescription(std::wstring_view text);

// `name="value" other='value'` as written in <Default value="…">.
[[nodiscard]] std::vector<std::pair<std::wstring, std::wstring>> ParseAttributeList(std::wstring_view text);

}  // namespace toolkit
