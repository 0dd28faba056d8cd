// Animated GIFs: the background image's frames, each shown for its delay.
#pragma once

#include "toolkit/control.h"

namespace toolkit {

class GifAnim : public Control {
 public:
  GifAnim();
  ~GifAnim() override;
  void OnTimer(UINT id) override;
  void Paint(Painter& painter, const Rect& dirty) override;
  // The frame shown now.
  [[nodiscard]] size_t frame() const { return frame_; }

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;
  [[nodiscard]] size_t BackgroundFrame() const override { return frame_; }

 private:
  void Schedule(const struct DecodedImage* image);
  bool auto_play_ = true;
  bool running_ = false;
  size_t frame_ = 0;
};

}  // namespace toolkit
