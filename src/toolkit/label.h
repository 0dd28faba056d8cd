// Labels: text in the description's font and colours, with mark-up (bold,
// colours, links) and an optional width that follows the text.
#pragma once

#include "toolkit/control.h"
#include "toolkit/markup.h"

namespace toolkit {

class Label : public Control {
 public:
  explicit Label(std::wstring class_name = L"Label");
  void SetText(const std::wstring& text) override;
  [[nodiscard]] bool SizeFollowsText() const override { return auto_width_; }
  [[nodiscard]] Size Measure(Size available) override;
  [[nodiscard]] HCURSOR CursorAt(Point point) const override;
  bool HandleEvent(const UiEvent& event) override;
  [[nodiscard]] bool TakesMouse() const override;
  [[nodiscard]] const MarkupText& markup() const { return markup_; }
  // Window rectangles of the links as last painted (link index, rectangle).
  [[nodiscard]] const std::vector<std::pair<int, Rect>>& link_rects() const { return link_rects_; }

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;
  void PaintText(Painter& painter) override;
  [[nodiscard]] int LinkAt(Point point) const;

 private:
  void PaintMarkup(Painter& painter);
  bool auto_width_ = false;
  bool has_markup_ = false;
  MarkupText markup_;
  std::vector<std::pair<int, Rect>> link_rects_;
  int pressed_link_ = -1;
};

}  // namespace toolkit
