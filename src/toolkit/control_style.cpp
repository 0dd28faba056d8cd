#include "toolkit/control_style.h"

#include <algorithm>
#include <vector>

namespace toolkit {
namespace {

void SetColor(Argb& target, const std::wstring& value) {
  if (auto color = ParseColor(value)) target = *color;
}

int IntOr(const std::wstring& value, int fallback) { return ParseInt(value).value_or(fallback); }

// Replaces the `flags` bits of the text flags with those `value` names.
void SetTextFlags(ControlStyle& s, TextFlags flags, TextFlags chosen) {
  s.text_flags = Without(s.text_flags, flags) | chosen;
}

TextFlags FlagIf(bool on, TextFlags flag) { return on ? flag : TextFlags::kNone; }

struct StyleAttribute {
  const wchar_t* name;
  StyleChange change;
  void (*apply)(ControlStyle& style, const std::wstring& value);
};

constexpr StyleChange kNothing = StyleChange::kNothing;
constexpr StyleChange kRepaint = StyleChange::kRepaint;
constexpr StyleChange kRelayout = StyleChange::kRelayout;

const StyleAttribute kStyleAttributes[] = {
    {L"bkcolor", kRepaint, [](ControlStyle& s, const std::wstring& v) { SetColor(s.bk_color, v); }},
    {L"bkcolor1", kRepaint, [](ControlStyle& s, const std::wstring& v) { SetColor(s.bk_color, v); }},
    // Accepted for existing skins: nothing draws a second background colour.
    {L"bkcolor2", kNothing, [](ControlStyle&, const std::wstring&) {}},
    {L"bordercolor", kRepaint, [](ControlStyle& s, const std::wstring& v) { SetColor(s.border_color, v); }},
    {L"focusbordercolor", kNothing, [](ControlStyle& s, const std::wstring& v) { SetColor(s.focus_border_color, v); }},
    {L"bordersize", kRepaint, [](ControlStyle& s, const std::wstring& v) { s.border_size = std::max(0, IntOr(v, 0)); }},
    {L"borderround", kRepaint,
     [](ControlStyle& s, const std::wstring& v) {
       std::vector<int> r = ParseIntList(v, 2);
       s.border_round = r.empty() ? 0 : std::max(0, r[0] / (r.size() == 2 ? 2 : 1));
     }},
    {L"font", kRelayout, [](ControlStyle& s, const std::wstring& v) { s.font = IntOr(v, -1); }},
    {L"textcolor", kRepaint, [](ControlStyle& s, const std::wstring& v) { SetColor(s.text_color, v); }},
    {L"disabledtextcolor", kNothing,
     [](ControlStyle& s, const std::wstring& v) { SetColor(s.disabled_text_color, v); }},
    {L"hottextcolor", kNothing, [](ControlStyle& s, const std::wstring& v) { SetColor(s.hot_text_color, v); }},
    {L"pushedtextcolor", kNothing, [](ControlStyle& s, const std::wstring& v) { SetColor(s.pushed_text_color, v); }},
    {L"focusedtextcolor", kNothing, [](ControlStyle& s, const std::wstring& v) { SetColor(s.focused_text_color, v); }},
    {L"selectedtextcolor", kNothing,
     [](ControlStyle& s, const std::wstring& v) { SetColor(s.selected_text_color, v); }},
    {L"textpadding", kRelayout,
     [](ControlStyle& s, const std::wstring& v) { s.text_padding = ParseEdges(v).value_or(Edges{}); }},
    {L"align", kRepaint,
     [](ControlStyle& s, const std::wstring& v) {
       SetTextFlags(s, TextFlags::kCenter | TextFlags::kRight,
                    FlagIf(v.find(L"center") != std::wstring::npos, TextFlags::kCenter) |
                        FlagIf(v.find(L"right") != std::wstring::npos, TextFlags::kRight));
     }},
    {L"valign", kRepaint,
     [](ControlStyle& s, const std::wstring& v) {
       SetTextFlags(s, TextFlags::kTop | TextFlags::kBottom,
                    FlagIf(v.find(L"top") != std::wstring::npos, TextFlags::kTop) |
                        FlagIf(v.find(L"bottom") != std::wstring::npos, TextFlags::kBottom));
     }},
    {L"multiline", kRelayout,
     [](ControlStyle& s, const std::wstring& v) {
       SetTextFlags(s, TextFlags::kMultiLine, FlagIf(ParseBool(v).value_or(false), TextFlags::kMultiLine));
     }},
    // Accepted for existing skins: "wordbreak" only ever turns wrapping on.
    {L"wordbreak", kNothing,
     [](ControlStyle& s, const std::wstring& v) {
       if (ParseBool(v).value_or(false)) s.text_flags = s.text_flags | TextFlags::kMultiLine;
     }},
    {L"endellipsis", kRepaint,
     [](ControlStyle& s, const std::wstring& v) {
       SetTextFlags(s, TextFlags::kEndEllipsis, FlagIf(ParseBool(v).value_or(true), TextFlags::kEndEllipsis));
     }},
    {L"bkimage", kRepaint, [](ControlStyle& s, const std::wstring& v) { s.bk_image = ParseImageDescription(v); }},
    {L"foreimage", kRepaint, [](ControlStyle& s, const std::wstring& v) { s.fore_image = ParseImageDescription(v); }},
    {L"normalimage", kRepaint,
     [](ControlStyle& s, const std::wstring& v) { s.normal_image = ParseImageDescription(v); }},
    {L"hotimage", kNothing, [](ControlStyle& s, const std::wstring& v) { s.hot_image = ParseImageDescription(v); }},
    {L"pushedimage", kNothing,
     [](ControlStyle& s, const std::wstring& v) { s.pushed_image = ParseImageDescription(v); }},
    {L"focusedimage", kNothing,
     [](ControlStyle& s, const std::wstring& v) { s.focused_image = ParseImageDescription(v); }},
    {L"disabledimage", kNothing,
     [](ControlStyle& s, const std::wstring& v) { s.disabled_image = ParseImageDescription(v); }},
    {L"selectedimage", kNothing,
     [](ControlStyle& s, const std::wstring& v) { s.selected_image = ParseImageDescription(v); }},
    {L"selectedhotimage", kNothing,
     [](ControlStyle& s, const std::wstring& v) { s.selected_hot_image = ParseImageDescription(v); }},
    {L"selectedpushedimage", kNothing,
     [](ControlStyle& s, const std::wstring& v) { s.selected_pushed_image = ParseImageDescription(v); }},
    {L"selecteddisabledimage", kNothing,
     [](ControlStyle& s, const std::wstring& v) { s.selected_disabled_image = ParseImageDescription(v); }},
};

}  // namespace

std::optional<StyleChange> ApplyStyleAttribute(ControlStyle& style, std::wstring_view name, const std::wstring& value) {
  for (const StyleAttribute& attribute : kStyleAttributes) {
    if (name == attribute.name) {
      attribute.apply(style, value);
      return attribute.change;
    }
  }
  return std::nullopt;
}

}  // namespace toolkit
