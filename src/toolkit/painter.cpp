#include "toolkit/painter.h"

#include "toolkit/gdi_owners.h"
#include "toolkit/gdiplus_session.h"
#include "toolkit/skin_resources.h"

namespace toolkit {
namespace {

COLORREF ToColorRef(Argb color) { return RGB((color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF); }

Gdiplus::Color ToGdiplus(Argb color) { return Gdiplus::Color(static_cast<Gdiplus::ARGB>(color)); }

void AddRoundedRect(Gdiplus::GraphicsPath& path, const RECT& r, int radius) {
  const int d = std::min({radius * 2, static_cast<int>(r.right - r.left), static_cast<int>(r.bottom - r.top)});
  if (d <= 1) {
    path.AddRectangle(Gdiplus::Rect(r.left, r.top, r.right - r.left, r.bottom - r.top));
    return;
  }
  path.AddArc(static_cast<INT>(r.left), r.top, d, d, 180, 90);
  path.AddArc(static_cast<INT>(r.right - d), r.top, d, d, 270, 90);
  path.AddArc(static_cast<INT>(r.right - d), r.bottom - d, d, d, 0, 90);
  path.AddArc(static_cast<INT>(r.left), r.bottom - d, d, d, 90, 90);
  path.CloseFigure();
}

UINT DrawTextFormat(TextFlags flags) {
  UINT format = DT_NOPREFIX;
  if (HasFlag(flags, TextFlags::kCenter)) format |= DT_CENTER;
  if (HasFlag(flags, TextFlags::kRight)) format |= DT_RIGHT;
  if (HasFlag(flags, TextFlags::kMultiLine)) {
    format |= DT_WORDBREAK | DT_EDITCONTROL;
  } else {
    format |= DT_SINGLELINE;
    if (HasFlag(flags, TextFlags::kBottom))
      format |= DT_BOTTOM;
    else if (!HasFlag(flags, TextFlags::kTop))
      format |= DT_VCENTER;
  }
  if (HasFlag(flags, TextFlags::kEndEllipsis)) format |= DT_END_ELLIPSIS;
  return format;
}

// The frame as a premultiplied 32-bit DIB, made once per image.
HBITMAP GdiFrame(const DecodedImage& image, size_t frame) {
  if (image.gdi_frames.size() != image.frames.size()) image.gdi_frames.resize(image.frames.size());
  UniqueGdiObject& slot = image.gdi_frames[frame];
  if (slot) return static_cast<HBITMAP>(slot.Get());
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), image.width, -image.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  UniqueGdiObject dib(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!dib || bits == nullptr) return nullptr;
  Gdiplus::BitmapData data;
  Gdiplus::Rect all(0, 0, image.width, image.height);
  if (image.frames[frame]->LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &data) != Gdiplus::Ok)
    return nullptr;
  for (int y = 0; y < image.height; ++y) {
    memcpy(static_cast<uint8_t*>(bits) + static_cast<size_t>(y) * image.width * 4,
           static_cast<const uint8_t*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride,
           static_cast<size_t>(image.width) * 4);
  }
  image.frames[frame]->UnlockBits(&data);
  slot = std::move(dib);
  return static_cast<HBITMAP>(slot.Get());
}

}  // namespace

Painter::Painter(HDC dc, int dpi, SkinResources& resources, Point origin)
    : dc_(dc), dpi_(dpi), resources_(resources), origin_(origin) {
  ::SetBkMode(dc_, TRANSPARENT);
}

Painter::~Painter() = default;

RECT Painter::ToDevice(const Rect& rect) const {
  return RECT{rect.left - origin_.x, rect.top - origin_.y, rect.right - origin_.x, rect.bottom - origin_.y};
}

Gdiplus::Graphics& Painter::Graphics() {
  if (!graphics_) {
    (void)EnsureGdiplus();  // without GDI+ the Graphics object reports errors and draws nothing
    graphics_ = std::make_unique<Gdiplus::Graphics>(dc_);
    graphics_->SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
  }
  return *graphics_;
}

void Painter::FillRect(const Rect& rect, Argb color, int radius) {
  if ((color >> 24) == 0 || rect.empty()) return;
  const RECT r = ToDevice(rect);
  if ((color >> 24) == 0xFF && radius <= 0) {
    UniqueGdiObject brush(::CreateSolidBrush(ToColorRef(color)));
    ::FillRect(dc_, &r, static_cast<HBRUSH>(brush.Get()));
    return;
  }
  Gdiplus::Graphics& g = Graphics();
  Gdiplus::SolidBrush brush(ToGdiplus(color));
  if (radius <= 0) {
    g.FillRectangle(&brush, static_cast<INT>(r.left), r.top, r.right - r.left, r.bottom - r.top);
    return;
  }
  g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
  Gdiplus::GraphicsPath path;
  AddRoundedRect(path, r, radius);
  g.FillPath(&brush, &path);
  g.SetSmoothingMode(Gdiplus::SmoothingModeNone);
}

void Painter::DrawBorder(const Rect& rect, Argb color, int width, int radius) {
  if ((color >> 24) == 0 || width <= 0 || rect.empty()) return;
  if (radius <= 0) {
    FillRect({rect.left, rect.top, rect.right, rect.top + width}, color);
    FillRect({rect.left, rect.bottom - width, rect.right, rect.bottom}, color);
    FillRect({rect.left, rect.top + width, rect.left + width, rect.bottom - width}, color);
    FillRect({rect.right - width, rect.top + width, rect.right, rect.bottom - width}, color);
    return;
  }
  RECT r = ToDevice(rect);
  // The pen is centred on the path: inset by half its width to stay inside.
  r.left += width / 2;
  r.top += width / 2;
  r.right -= (width + 1) / 2;
  r.bottom -= (width + 1) / 2;
  Gdiplus::Graphics& g = Graphics();
  g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
  Gdiplus::Pen pen(ToGdiplus(color), static_cast<Gdiplus::REAL>(width));
  Gdiplus::GraphicsPath path;
  AddRoundedRect(path, r, radius);
  g.DrawPath(&pen, &path);
  g.SetSmoothingMode(Gdiplus::SmoothingModeNone);
}

bool Painter::DrawImage(const ImageDescription& description, const Rect& rect, size_t frame) {
  const DecodedImage* image = resources_.Image(description, dpi_);
  if (image == nullptr || image->frames.empty()) return false;
  Gdiplus::Bitmap* bitmap = image->frames[std::min(frame, image->frames.size() - 1)].get();

  // Source rectangles and corners are written in the 1x image's pixels; a
  // @2x image has `scale` pixels for each of them.
  const int scale = image->scale;
  const int logical_width = image->width / scale;
  const int logical_height = image->height / scale;
  Edges source{0, 0, logical_width, logical_height};
  if (description.source) {
    source = *description.source;
    source.left = std::clamp(source.left, 0, logical_width);
    source.right = std::clamp(source.right, source.left, logical_width);
    source.top = std::clamp(source.top, 0, logical_height);
    source.bottom = std::clamp(source.bottom, source.top, logical_height);
  }
  Rect target = rect;
  if (description.dest) {
    const Edges d = ScaleBy(*description.dest, dpi_);
    target = Rect{rect.left + d.left, rect.top + d.top, rect.left + d.right, rect.top + d.bottom}.Intersect(rect);
  }
  if (target.empty() || source.right <= source.left || source.bottom <= source.top) return true;

  Gdiplus::Graphics& g = Graphics();
  Gdiplus::ImageAttributes attributes;
  if (description.fade < 255) {
    Gdiplus::ColorMatrix matrix = {
        {{1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {0, 0, 1, 0, 0}, {0, 0, 0, description.fade / 255.0f, 0}, {0, 0, 0, 0, 1}}};
    attributes.SetColorMatrix(&matrix);
  }
  // Mirrored edges keep stretched pieces from sampling outside their source.
  attributes.SetWrapMode(Gdiplus::WrapModeTileFlipXY);

  const RECT t = ToDevice(target);
  auto blit = [&](int dx, int dy, int dw, int dh, int sx, int sy, int sw, int sh) {
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
    g.DrawImage(bitmap, Gdiplus::Rect(dx, dy, dw, dh), sx, sy, sw, sh, Gdiplus::UnitPixel, &attributes);
  };

  const Edges c = description.corner;
  const int sw = source.right - source.left;
  const int sh = source.bottom - source.top;
  const bool nine_slice = (c.left | c.top | c.right | c.bottom) != 0 && c.left + c.right < sw && c.top + c.bottom < sh;
  if (!nine_slice) {
    g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
    blit(t.left, t.top, t.right - t.left, t.bottom - t.top, source.left * scale, source.top * scale, sw * scale,
         sh * scale);
    return true;
  }
  // Corners keep their size (scaled for DPI); edges stretch one way; the
  // centre stretches both ways unless it is a hole. The pieces are copied
  // with GDI from a premultiplied bitmap: each copy samples only its own
  // source rectangle, so no seams or bleeding at piece edges.
  const size_t frame_index = std::min(frame, image->frames.size() - 1);
  HBITMAP pieces = GdiFrame(*image, frame_index);
  UniqueMemoryDc source_dc(::CreateCompatibleDC(dc_));
  if (pieces == nullptr || !source_dc) return false;
  g.Flush(Gdiplus::FlushIntentionSync);
  ScopedSelectObject select(source_dc.Get(), pieces);
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, static_cast<BYTE>(description.fade), AC_SRC_ALPHA};
  const Edges d = ScaleBy(c, dpi_);
  const int dw = t.right - t.left;
  const int dh = t.bottom - t.top;
  const int left = std::min(d.left, dw / 2), right = std::min(d.right, dw - left);
  const int top = std::min(d.top, dh / 2), bottom = std::min(d.bottom, dh - top);
  const int xs[4] = {static_cast<int>(t.left), static_cast<int>(t.left) + left, static_cast<int>(t.right) - right,
                     static_cast<int>(t.right)};
  const int ys[4] = {static_cast<int>(t.top), static_cast<int>(t.top) + top, static_cast<int>(t.bottom) - bottom,
                     static_cast<int>(t.bottom)};
  const int sxs[4] = {source.left * scale, (source.left + c.left) * scale, (source.right - c.right) * scale,
                      source.right * scale};
  const int sys[4] = {source.top * scale, (source.top + c.top) * scale, (source.bottom - c.bottom) * scale,
                      source.bottom * scale};
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      if (row == 1 && column == 1 && description.hole) continue;
      const int w = xs[column + 1] - xs[column], h = ys[row + 1] - ys[row];
      const int source_w = sxs[column + 1] - sxs[column], source_h = sys[row + 1] - sys[row];
      if (w <= 0 || h <= 0 || source_w <= 0 || source_h <= 0) continue;
      // gdi32's own export: msimg32's AlphaBlend only forwards to it, and one
      // library fewer loads before the first frame.
      ::GdiAlphaBlend(dc_, xs[column], ys[row], w, h, source_dc.Get(), sxs[column], sys[row], source_w, source_h,
                      blend);
    }
  }
  return true;
}

void Painter::DrawText(const std::wstring& text, const Rect& rect, int font_id, Argb color, TextFlags flags) {
  DrawTextWithFont(text, rect, resources_.Font(font_id, dpi_), color, flags);
}

Size Painter::MeasureText(const std::wstring& text, int font_id, int max_width, TextFlags flags) {
  return MeasureTextWithFont(text, resources_.Font(font_id, dpi_), max_width, flags);
}

void Painter::DrawTextWithFont(const std::wstring& text, const Rect& rect, HFONT font_handle, Argb color,
                               TextFlags flags) {
  if (text.empty() || rect.empty() || (color >> 24) == 0) return;
  if (graphics_) graphics_->Flush(Gdiplus::FlushIntentionSync);
  ScopedSelectObject font(dc_, font_handle);
  ::SetTextColor(dc_, ToColorRef(color));
  RECT r = ToDevice(rect);
  ::DrawTextW(dc_, text.c_str(), static_cast<int>(text.size()), &r, DrawTextFormat(flags));
}

Size Painter::MeasureTextWithFont(const std::wstring& text, HFONT font_handle, int max_width, TextFlags flags) {
  ScopedSelectObject font(dc_, font_handle);
  RECT r{0, 0, max_width > 0 ? max_width : 100000, 0};
  UINT format =
      DrawTextFormat(flags) & ~static_cast<UINT>(DT_END_ELLIPSIS | DT_VCENTER | DT_BOTTOM | DT_CENTER | DT_RIGHT);
  const std::wstring measured = text.empty() ? std::wstring(L" ") : text;
  ::DrawTextW(dc_, measured.c_str(), static_cast<int>(measured.size()), &r, format | DT_CALCRECT);
  return {text.empty() ? 0 : static_cast<int>(r.right - r.left), static_cast<int>(r.bottom - r.top)};
}

// One Graphics object serves the whole paint: its clip follows the DC's
// (making a new Graphics per control costs more than the drawing).
void Painter::PushClip(const Rect& rect) {
  // Made before the first clip: some GDI+ versions keep the DC's clip as it
  // was when the Graphics was made and never widen it again.
  (void)Graphics();
  saved_states_.push_back(::SaveDC(dc_));
  RECT r = ToDevice(rect);
  if (!clips_.empty()) {
    const RECT& outer = clips_.back();
    r = {std::max(r.left, outer.left), std::max(r.top, outer.top), std::min(r.right, outer.right),
         std::min(r.bottom, outer.bottom)};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
  }
  clips_.push_back(r);
  ::IntersectClipRect(dc_, r.left, r.top, r.right, r.bottom);
  if (graphics_) graphics_->SetClip(Gdiplus::Rect(r.left, r.top, r.right - r.left, r.bottom - r.top));
}

void Painter::PopClip() {
  if (saved_states_.empty()) return;
  ::RestoreDC(dc_, saved_states_.back());
  saved_states_.pop_back();
  clips_.pop_back();
  if (!graphics_) return;
  if (clips_.empty()) {
    graphics_->ResetClip();
  } else {
    const RECT& c = clips_.back();
    graphics_->SetClip(Gdiplus::Rect(c.left, c.top, c.right - c.left, c.bottom - c.top));
  }
}

}  // namespace toolkit

namespace toolkit {

Size MeasureTextForLayout(SkinResources& resources, int dpi, const std::wstring& text, int font_id, int max_width,
                          TextFlags flags) {
  UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
  if (!dc) return {};
  Painter painter(dc.Get(), dpi, resources);
  return painter.MeasureText(text, font_id, max_width, flags);
}

}  // namespace toolkit
