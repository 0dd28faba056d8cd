// The picture slides of the progress tab: three slides with a caption and
// a counter slide in from the right every few seconds, two slots at a time,
// until the release's web page replaces them. The main window's timers call
// Advance once per animation frame.
#pragma once

#include "ui/window_operations.h"

namespace ui {

class AdsCarousel {
 public:
  static constexpr int kSlides = 3;
  static constexpr int kWidth = 752;  // slide area, description units
  static constexpr int kHeight = 342;
  static constexpr int kFrames = 16;  // frames of one change

  explicit AdsCarousel(IWindowOperations& window) : window_(window) {}

  // Frame `frame` of `frames`; (0, 0) places the next slide at once. The
  // change ends (and the next slide is chosen) at frame >= frames.
  void Advance(int frame, int frames);
  // The slide that comes in next, 1 to 3.
  [[nodiscard]] int next_slide() const { return next_slide_; }

 private:
  enum class Slot { Incoming, Outgoing };
  void Place(int slide, Slot slot, double fraction);

  IWindowOperations& window_;
  int next_slide_ = 1;  // kept across runs: a new install continues the sequence
};

}  // namespace ui
