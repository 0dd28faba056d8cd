// How a control looks: colours per state, border, font, text placement and
// the images per state, as the description's attributes set them. A
// control keeps one style value; derived classes read it to paint.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "toolkit/attribute_values.h"
#include "toolkit/geometry.h"
#include "toolkit/painter.h"

namespace toolkit {

struct ControlStyle {
  Argb bk_color = 0;
  Argb border_color = 0;
  Argb focus_border_color = 0;
  Argb text_color = 0xFF000000;
  Argb disabled_text_color = 0xFF808080;
  Argb hot_text_color = 0;
  Argb pushed_text_color = 0;
  Argb focused_text_color = 0;
  Argb selected_text_color = 0;
  int border_size = 0;
  int border_round = 0;
  int font = -1;
  Edges text_padding;
  TextFlags text_flags = TextFlags::kEndEllipsis;
  ImageDescription bk_image;
  ImageDescription fore_image;
  ImageDescription normal_image;
  ImageDescription hot_image;
  ImageDescription pushed_image;
  ImageDescription focused_image;
  ImageDescription disabled_image;
  ImageDescription selected_image;
  ImageDescription selected_hot_image;
  ImageDescription selected_pushed_image;
  ImageDescription selected_disabled_image;  // a ticked box that cannot be changed
};

// What a style attribute's new value asks of the control.
enum class StyleChange {
  kNothing,  // seen in the next paint that needs it (state images and colours)
  kRepaint,
  kRelayout,
};

// Applies the style attribute `name`; nullopt when `name` is not one.
[[nodiscard]] std::optional<StyleChange> ApplyStyleAttribute(ControlStyle& style, std::wstring_view name,
                                                             const std::wstring& value);

}  // namespace toolkit
