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

 protected:
  bool ApplyAttribute(std::wstring_view name, const std::wstring& value) override;

 private:
  void Schedule(const struct DecodedImage* image);
  bool auto_play_ = true;
  bool running_ = false;
};

}  // namespace toolkit
