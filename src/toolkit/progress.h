// A value within a range: progress bars, sliders and scroll bars.
#pragma once

#include "toolkit/label.h"

namespace toolkit {

class Progress : public Label {
 public:
  explicit Progress(std::wstring class_name = L"Progress");
  [[nodiscard]] std::optional<std::wstring> GetAttribute(std::wstring_view name) const override;
  void SetValue(int value);
  [[nodiscard]] int value() const { return value_; }

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;
  void PaintStatusImages(Painter& painter) override;
  [[nodiscard]] Rect FillRect() const;

  int min_ = 0;
  int max_ = 100;
  int value_ = 0;
  bool horizontal_ = true;
  Argb fore_color_ = 0;
};

class Slider : public Progress {
 public:
  Slider();
  [[nodiscard]] bool IsFocusable() const override { return true; }
  bool HandleEvent(const UiEvent& event) override;

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;
  void PaintStatusImages(Painter& painter) override;

 private:
  void SetFromPoint(Point point);
  Size thumb_size_{10, 10};
  ImageDescription thumb_image_;
  bool dragging_ = false;
};

class ScrollBar : public Progress {
 public:
  ScrollBar();
  bool HandleEvent(const UiEvent& event) override;
  bool ScrollBy(int delta) override;

 protected:
  void PaintStatusImages(Painter& painter) override;
};

}  // namespace toolkit
