#include "toolkit/label.h"

#include "toolkit/skin_resources.h"

namespace toolkit {

Label::Label(std::wstring class_name) : Control(std::move(class_name)) {}

bool Label::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (name == L"autocalcwidth") {
    auto_width_ = ParseBool(value).value_or(false);
    NeedLayout();
    return true;
  }
  return Control::ApplyAttribute(name, value);
}

void Label::SetText(const std::wstring& text) {
  has_markup_ = HasMarkup(text);
  markup_ = has_markup_ ? ParseMarkup(text) : MarkupText{};
  if (!has_markup_) link_rects_.clear();
  Control::SetText(text);
  Invalidate();
}

Size Label::Measure(Size available) {
  Size size = Control::Measure(available);
  if (auto_width_ && host() != nullptr) {
    const std::wstring shown = has_markup_ ? PlainText(markup_) : DisplayText();
    const Size text = MeasureTextForLayout(host()->resources(), host()->dpi(), shown, style_.font, 0, TextFlags::kNone);
    const Edges pad = ScaleBy(style_.text_padding, host()->dpi());
    size.cx = text.cx + pad.left + pad.right;
  }
  return size;
}

bool Label::TakesMouse() const { return has_markup_ && !markup_.links.empty() && Control::TakesMouse(); }

int Label::LinkAt(Point point) const {
  for (const auto& [link, rect] : link_rects_) {
    if (rect.Contains(point)) return link;
  }
  return -1;
}

HCURSOR Label::CursorAt(Point point) const { return LinkAt(point) >= 0 ? ::LoadCursorW(nullptr, IDC_HAND) : nullptr; }

bool Label::HandleEvent(const UiEvent& event) {
  if (event.type == UiEventType::kPressCancelled) pressed_link_ = -1;
  if (!has_markup_ || markup_.links.empty()) return Control::HandleEvent(event);
  if (!IsEnabledInTree()) return false;
  if (event.type == UiEventType::kButtonDown) {
    pressed_link_ = LinkAt(event.point);
    return true;
  }
  if (event.type == UiEventType::kButtonUp) {
    const int link = LinkAt(event.point);
    if (link >= 0 && link == pressed_link_) Notify(L"link", link, markup_.links[static_cast<size_t>(link)]);
    pressed_link_ = -1;
    return true;
  }
  return Control::HandleEvent(event);
}

void Label::PaintText(Painter& painter) {
  if (has_markup_) {
    PaintMarkup(painter);
    return;
  }
  Control::PaintText(painter);
}

void Label::PaintMarkup(Painter& painter) {
  link_rects_.clear();
  const Rect area = TextRect();
  const bool multi_line = HasFlag(style_.text_flags, TextFlags::kMultiLine);
  const Argb base_color = CurrentTextColor();
  struct Piece {
    const MarkupRun* run;
    std::wstring text;
    HFONT font;
    Size size;
  };
  // Break runs into words when wrapping, then lay pieces out into lines.
  std::vector<std::vector<Piece>> lines(1);
  int x = 0;
  int line_height = painter.MeasureText(L"Ag", style_.font, 0, TextFlags::kNone).cy;
  for (const MarkupRun& run : markup_.runs) {
    if (run.line_break) {
      lines.emplace_back();
      x = 0;
      continue;
    }
    HFONT font = painter.resources().FontVariant(run.font >= 0 ? run.font : style_.font, painter.dpi(), run.bold,
                                                 run.italic, run.underline);
    size_t pos = 0;
    while (pos < run.text.size()) {
      size_t end = run.text.size();
      if (multi_line) {
        const size_t space = run.text.find(L' ', pos);
        end = space == std::wstring::npos ? run.text.size() : space + 1;
      }
      Piece piece{&run, run.text.substr(pos, end - pos), font, {}};
      piece.size = painter.MeasureTextWithFont(piece.text, font, 0, TextFlags::kNone);
      line_height = std::max(line_height, piece.size.cy);
      if (multi_line && x > 0 && x + piece.size.cx > area.width()) {
        lines.emplace_back();
        x = 0;
      }
      x += piece.size.cx;
      lines.back().push_back(std::move(piece));
      pos = end;
    }
  }
  const int total_height = line_height * static_cast<int>(lines.size());
  int y = area.top;
  if (!HasFlag(style_.text_flags, TextFlags::kTop)) {
    y = HasFlag(style_.text_flags, TextFlags::kBottom) ? area.bottom - total_height
                                                       : area.top + (area.height() - total_height) / 2;
  }
  for (const auto& line : lines) {
    int width = 0;
    for (const Piece& piece : line) width += piece.size.cx;
    int left = area.left;
    if (HasFlag(style_.text_flags, TextFlags::kCenter))
      left += (area.width() - width) / 2;
    else if (HasFlag(style_.text_flags, TextFlags::kRight))
      left = area.right - width;
    for (const Piece& piece : line) {
      const Rect r{left, y, std::min(left + piece.size.cx, area.right), y + line_height};
      const Argb color = piece.run->color != 0 ? piece.run->color : base_color;
      painter.DrawTextWithFont(piece.text, r, piece.font, color, TextFlags::kNone);
      if (piece.run->link >= 0) link_rects_.emplace_back(piece.run->link, r);
      left += piece.size.cx;
    }
    y += line_height;
  }
}

}  // namespace toolkit
