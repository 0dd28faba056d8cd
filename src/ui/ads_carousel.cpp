#include "ui/ads_carousel.h"

#include "platform/text.h"
#include "startup/product_config.h"

namespace ui {
namespace {

struct SlotControls {
  const wchar_t* container;
  const wchar_t* picture;
  const wchar_t* caption;
  const wchar_t* counter;
};

constexpr SlotControls kIncoming{L"loadingLayout", L"adsImg", L"adsTip", L"adsIdx"};
constexpr SlotControls kOutgoing{L"loadingLayout2", L"adsImg2", L"adsTip2", L"adsIdx2"};

std::wstring Position(int left, int top, int right, int bottom) {
  return platform::DecimalText(left) + L"," + platform::DecimalText(top) + L"," + platform::DecimalText(right) + L"," +
         platform::DecimalText(bottom);
}

}  // namespace

void AdsCarousel::Advance(int frame, int frames) {
  const double fraction = frames >= 1 && frame < frames ? static_cast<double>(frame) / frames : 1.0;
  const int current = next_slide_;
  const int previous = current - 1 < 1 ? kSlides : current - 1;
  Place(previous, Slot::Outgoing, fraction);
  Place(current, Slot::Incoming, fraction);
  window_.SetAttribute(L"loadingLayout3", L"pos", Position(-kWidth, 0, 0, kHeight));
  if (frame >= frames) next_slide_ = current >= kSlides ? 1 : current + 1;
}

void AdsCarousel::Place(int slide, Slot slot, double fraction) {
  const SlotControls& controls = slot == Slot::Incoming ? kIncoming : kOutgoing;
  const std::string key = "InstallingPicTips" + std::to_string(slide);
  window_.SetText(controls.caption, startup::Strings().Get(key));
  window_.SetAttribute(controls.picture, L"bkimage", L"startup" + platform::DecimalText(slide) + L".png");
  window_.SetText(controls.counter, platform::DecimalText(slide) + L"/" + platform::DecimalText(kSlides));
  const int offset = static_cast<int>(kWidth * fraction);
  const int left = slot == Slot::Outgoing ? -offset : kWidth - offset;
  window_.SetAttribute(controls.container, L"pos", Position(left, 0, left + kWidth, kHeight));
}

}  // namespace ui
