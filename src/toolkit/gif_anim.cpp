#include "toolkit/gif_anim.h"

#include "toolkit/skin_resources.h"

namespace toolkit {

GifAnim::GifAnim() : Control(L"GifAnim") {}

GifAnim::~GifAnim() {
  if (host() != nullptr && running_) host()->KillControlTimer(this, 1);
}

bool GifAnim::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (name == L"autoplay") {
    auto_play_ = ParseBool(value).value_or(true);
    return true;
  }
  if (name == L"autosize") return true;
  return Control::ApplyAttribute(name, value);
}

void GifAnim::Schedule(const DecodedImage* image) {
  if (host() == nullptr || image == nullptr || image->frames.size() < 2) return;
  host()->SetControlTimer(this, 1, static_cast<UINT>(image->delays_ms[frame_ % image->delays_ms.size()]));
  running_ = true;
}

void GifAnim::Paint(Painter& painter, const Rect& dirty) {
  Control::Paint(painter, dirty);
  if (!running_ && auto_play_) Schedule(painter.resources().Image(style_.bk_image));
}

void GifAnim::OnTimer(UINT id) {
  if (id != 1 || host() == nullptr) return;
  const DecodedImage* image = host()->resources().Image(style_.bk_image);
  if (image == nullptr || image->frames.empty()) return;
  frame_ = (frame_ + 1) % image->frames.size();
  Invalidate();
  Schedule(image);
}

}  // namespace toolkit
