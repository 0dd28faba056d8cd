// Draws into a device context in window coordinates: colours, rounded
// rectangles and borders, images with source/destination rectangles,
// nine-slice corners and fade (GDI+), and text (GDI, ClearType). `origin` is
// the window point that maps to the DC's (0,0), so a partial repaint can draw
// into a bitmap the size of the dirty rectangle.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/windows_api.h"
#include "toolkit/attribute_values.h"
#include "toolkit/geometry.h"

namespace Gdiplus {
class Graphics;
}

namespace toolkit {

class SkinResources;

enum class TextFlags : unsigned {
  kNone = 0,
  kCenter = 1,
  kRight = 2,
  kTop = 4,
  kBottom = 8,
  kMultiLine = 16,
  kEndEllipsis = 32,
};
constexpr TextFlags operator|(TextFlags a, TextFlags b) { return TextFlags(unsigned(a) | unsigned(b)); }
constexpr bool HasFlag(TextFlags set, TextFlags flag) { return (unsigned(set) & unsigned(flag)) != 0; }
constexpr TextFlags Without(TextFlags set, TextFlags flags) { return TextFlags(unsigned(set) & ~unsigned(flags)); }

class Painter {
 public:
  Painter(HDC dc, int dpi, SkinResources& resources, Point origin = {});
  ~Painter();
  Painter(const Painter&) = delete;
  Painter& operator=(const Painter&) = delete;

  [[nodiscard]] int dpi() const { return dpi_; }
  [[nodiscard]] HDC dc() const { return dc_; }
  [[nodiscard]] SkinResources& resources() { return resources_; }
  [[nodiscard]] int Scale(int value) const { return ScaleBy(value, dpi_); }

  void FillRect(const Rect& rect, Argb color, int radius = 0);
  void DrawBorder(const Rect& rect, Argb color, int width, int radius = 0);
  // Draws the image into `rect` (its dest rectangle taken within `rect`);
  // false when the image is missing.
  bool DrawImage(const ImageDescription& image, const Rect& rect, size_t frame = 0);
  void DrawText(const std::wstring& text, const Rect& rect, int font_id, Argb color, TextFlags flags);
  [[nodiscard]] Size MeasureText(const std::wstring& text, int font_id, int max_width, TextFlags flags);
  void DrawTextWithFont(const std::wstring& text, const Rect& rect, HFONT font, Argb color, TextFlags flags);
  [[nodiscard]] Size MeasureTextWithFont(const std::wstring& text, HFONT font, int max_width, TextFlags flags);

  // Clipping to window rectangles; restored in reverse order.
  void PushClip(const Rect& rect);
  void PopClip();

 private:
  [[nodiscard]] RECT ToDevice(const Rect& rect) const;
  Gdiplus::Graphics& Graphics();

  HDC dc_;
  int dpi_;
  SkinResources& resources_;
  Point origin_;
  std::unique_ptr<Gdiplus::Graphics> graphics_;  // made on first use
  std::vector<int> saved_states_;
  std::vector<RECT> clips_;  // device rectangles, each within the one before
};

// Measures text for layout, outside any paint (a private memory DC).
[[nodiscard]] Size MeasureTextForLayout(SkinResources& resources, int dpi, const std::wstring& text, int font_id,
                                        int max_width, TextFlags flags);

class ScopedClip {
 public:
  ScopedClip(Painter& painter, const Rect& rect) : painter_(painter) { painter_.PushClip(rect); }
  ~ScopedClip() { painter_.PopClip(); }
  ScopedClip(const ScopedClip&) = delete;
  ScopedClip& operator=(const ScopedClip&) = delete;

 private:
  Painter& painter_;
};

}  // namespace toolkit
