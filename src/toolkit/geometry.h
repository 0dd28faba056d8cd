// Integer rectangles, sizes and edge widths in device pixels; descriptions
// give them in 96-DPI units and the toolkit scales them once per layout.
#pragma once

#include <algorithm>

namespace toolkit {

struct Size {
  int cx = 0;
  int cy = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Point {
  int x = 0;
  int y = 0;
};

struct Edges {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  friend bool operator==(const Edges&, const Edges&) = default;
};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  [[nodiscard]] int width() const { return right - left; }
  [[nodiscard]] int height() const { return bottom - top; }
  [[nodiscard]] bool empty() const { return right <= left || bottom <= top; }
  [[nodiscard]] bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  [[nodiscard]] Rect Intersect(const Rect& o) const {
    Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom)};
    if (r.empty()) return {};
    return r;
  }
  [[nodiscard]] bool Intersects(const Rect& o) const { return !Intersect(o).empty(); }
  [[nodiscard]] Rect Deflate(const Edges& e) const {
    Rect r{left + e.left, top + e.top, right - e.right, bottom - e.bottom};
    r.right = std::max(r.left, r.right);
    r.bottom = std::max(r.top, r.bottom);
    return r;
  }
  [[nodiscard]] Rect Offset(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

// 96-DPI units to device pixels, rounding half away from zero.
[[nodiscard]] inline int ScaleBy(int value, int dpi) {
  const long long scaled = static_cast<long long>(value) * dpi;
  return static_cast<int>(scaled >= 0 ? (scaled + 48) / 96 : (scaled - 48) / 96);
}
[[nodiscard]] inline Edges ScaleBy(const Edges& e, int dpi) {
  return {ScaleBy(e.left, dpi), ScaleBy(e.top, dpi), ScaleBy(e.right, dpi), ScaleBy(e.bottom, dpi)};
}

}  // namespace toolkit
