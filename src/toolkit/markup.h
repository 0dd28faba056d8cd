// Inline mark-up of label texts: {a target}…{/a} links, {c #0xRRGGBB}…{/c}
// colours, {b} bold, {u} underline, {i} italic, {f id} font, {n} new line.
// An unknown or unbalanced tag is shown as plain text, never an error.
#pragma once

#include <string>
#include <vector>

#include "toolkit/attribute_values.h"

namespace toolkit {

struct MarkupRun {
  std::wstring text;
  Argb color = 0;  // 0: the label's own colour
  int link = -1;   // index into MarkupText::links, -1 outside links
  int font = -1;   // -1: the label's own font
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool line_break = false;  // this run is a {n}
};

struct MarkupText {
  std::vector<MarkupRun> runs;
  std::vector<std::wstring> links;  // each link's target text, in order
};

[[nodiscard]] bool HasMarkup(const std::wstring& text);
[[nodiscard]] MarkupText ParseMarkup(const std::wstring& text);
// The text without its tags (for measuring and reading back).
[[nodiscard]] std::wstring PlainText(const MarkupText& markup);

}  // namespace toolkit
