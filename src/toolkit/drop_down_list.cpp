#include "toolkit/drop_down_list.h"

#include <algorithm>

#include "toolkit/gdi_owners.h"
#include "toolkit/scroll_thumb.h"
#include "toolkit/window_class.h"

namespace toolkit {
namespace {

constexpr wchar_t kClassName[] = L"ToolkitDropDown";

wchar_t Upper(wchar_t c) {
  return static_cast<wchar_t>(
      reinterpret_cast<uintptr_t>(::CharUpperW(reinterpret_cast<LPWSTR>(static_cast<uintptr_t>(c)))));
}

}  // namespace

DropDownList::DropDownList(std::vector<std::wstring> items, int current, const Look& look)
    : items_(std::move(items)), current_(current), look_(look), hot_(current) {
  look_.row_height = std::max(1, look_.row_height);
  look_.visible_rows = std::max(1, look_.visible_rows);
  if (hot_ < 0 || hot_ >= static_cast<int>(items_.size())) hot_ = items_.empty() ? -1 : 0;
  // The current item starts in view.
  if (hot_ >= shown_rows()) top_ = hot_ - shown_rows() + 1;
}

DropDownList::~DropDownList() {
  finished_ = true;  // a capture lost while the window goes is no choice
  // This object goes first: the window's last messages must not reach it.
  if (hwnd_) ::SetWindowLongPtrW(hwnd_.Get(), GWLP_USERDATA, 0);
  hwnd_.Reset();
}

int DropDownList::shown_rows() const {
  return std::max(1, std::min(look_.visible_rows, static_cast<int>(items_.size())));
}

Size DropDownList::ClientSize(int min_width) const { return {std::max(1, min_width), shown_rows() * look_.row_height}; }

bool DropDownList::Open(HWND owner, const RECT& anchor, DoneHandler done) {
  done_ = std::move(done);
  // The drop shadow is what users expect of a list that floats over the window.
  if (owner == nullptr || items_.empty() || !RegisterToolkitWindowClass(kClassName, StaticProc, CS_DROPSHADOW)) {
    return false;
  }
  const int border = 1;
  const Size client = ClientSize(anchor.right - anchor.left - 2 * border);
  const int width = client.cx + 2 * border;
  const int height = client.cy + 2 * border;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  ::GetMonitorInfoW(::MonitorFromRect(&anchor, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT work = monitor.rcWork;
  int top = anchor.bottom;
  if (top + height > work.bottom && anchor.top - height >= work.top) top = anchor.top - height;
  const int left = std::max<int>(work.left, std::min<int>(anchor.left, work.right - width));
  // WM_NCCREATE hands the new window to hwnd_.
  if (::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_TOPMOST, kClassName, L"", WS_POPUP | WS_BORDER,
                        left, top, width, height, owner, nullptr, ::GetModuleHandleW(nullptr), this) == nullptr) {
    return false;
  }
  ::ShowWindow(hwnd_.Get(), SW_SHOWNOACTIVATE);
  // The capture lets a click anywhere outside the list close it.
  ::SetCapture(hwnd_.Get());
  return true;
}

void DropDownList::Finish(int chosen) {
  if (finished_) return;
  finished_ = true;
  if (hwnd_) {
    ::ShowWindow(hwnd_.Get(), SW_HIDE);
    if (::GetCapture() == hwnd_.Get()) ::ReleaseCapture();
  }
  if (done_) done_(chosen);
}

void DropDownList::SetHot(int index) {
  if (items_.empty()) return;
  index = std::clamp(index, 0, static_cast<int>(items_.size()) - 1);
  if (index == hot_) return;
  hot_ = index;
  if (hot_ < top_)
    ScrollTo(hot_);
  else if (hot_ >= top_ + shown_rows())
    ScrollTo(hot_ - shown_rows() + 1);
  Redraw();
}

void DropDownList::ScrollTo(int top) {
  top_ = std::clamp(top, 0, std::max(0, static_cast<int>(items_.size()) - shown_rows()));
  Redraw();
}

void DropDownList::Redraw() {
  if (hwnd_) ::InvalidateRect(hwnd_.Get(), nullptr, FALSE);
}

bool DropDownList::KeyDown(UINT key) {
  const int page = shown_rows();
  switch (key) {
    case VK_UP: SetHot(hot_ - 1); return true;
    case VK_DOWN: SetHot(hot_ + 1); return true;
    case VK_PRIOR: SetHot(hot_ - page); return true;
    case VK_NEXT: SetHot(hot_ + page); return true;
    case VK_HOME: SetHot(0); return true;
    case VK_END: SetHot(static_cast<int>(items_.size()) - 1); return true;
    case VK_RETURN: Finish(hot_); return true;
    case VK_ESCAPE:
    case VK_TAB:
    case VK_F4: Finish(-1); return true;
    default: return false;
  }
}

bool DropDownList::Char(wchar_t character) {
  if (character < L' ' || items_.empty()) return false;
  // The next item after the hot one that starts with the letter, wrapping.
  const wchar_t wanted = Upper(character);
  const int count = static_cast<int>(items_.size());
  for (int step = 1; step <= count; ++step) {
    const int index = (hot_ + step) % count;
    if (!items_[static_cast<size_t>(index)].empty() && Upper(items_[static_cast<size_t>(index)][0]) == wanted) {
      SetHot(index);
      return true;
    }
  }
  return true;
}

void DropDownList::Wheel(int delta) {
  const int rows = std::max(1, std::abs(delta) / WHEEL_DELTA) * 3;
  ScrollTo(top_ + (delta > 0 ? -rows : rows));
}

int DropDownList::ItemAt(Point point) const {
  if (point.x < 0 || point.y < 0 || point.y >= shown_rows() * look_.row_height) return -1;
  if (hwnd_) {
    RECT client;
    ::GetClientRect(hwnd_.Get(), &client);
    const int bar = static_cast<int>(items_.size()) > shown_rows() ? ScaleBy(8, look_.dpi) : 0;
    if (point.x >= client.right - bar) return -1;
  }
  const int index = top_ + point.y / look_.row_height;
  return index < static_cast<int>(items_.size()) ? index : -1;
}

void DropDownList::Paint(HDC dc, Size size) const {
  RECT all{0, 0, size.cx, size.cy};
  ::FillRect(dc, &all, ::GetSysColorBrush(COLOR_WINDOW));
  const bool scrolls = static_cast<int>(items_.size()) > shown_rows();
  const int bar = scrolls ? ScaleBy(8, look_.dpi) : 0;
  const int pad = ScaleBy(4, look_.dpi);
  ScopedSelectObject font(dc, look_.font);
  ::SetBkMode(dc, TRANSPARENT);
  for (int row = 0; row < shown_rows() && top_ + row < static_cast<int>(items_.size()); ++row) {
    const int index = top_ + row;
    RECT line{0, row * look_.row_height, size.cx - bar, (row + 1) * look_.row_height};
    const bool hot = index == hot_;
    if (hot) ::FillRect(dc, &line, ::GetSysColorBrush(COLOR_HIGHLIGHT));
    ::SetTextColor(dc, ::GetSysColor(hot ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT text = line;
    text.left += pad;
    text.right -= pad;
    ::DrawTextW(dc, items_[static_cast<size_t>(index)].c_str(),
                static_cast<int>(items_[static_cast<size_t>(index)].size()), &text,
                DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
  }
  if (scrolls) {
    RECT track{size.cx - bar, 0, size.cx, size.cy};
    ::FillRect(dc, &track, ::GetSysColorBrush(COLOR_BTNFACE));
    const int count = static_cast<int>(items_.size());
    const ThumbSpan thumb =
        PlaceThumb(size.cy, ScaleBy(12, look_.dpi), shown_rows(), count, top_, count - shown_rows());
    RECT shape{size.cx - bar + 1, thumb.start, size.cx - 1, thumb.start + thumb.length};
    ::FillRect(dc, &shape, ::GetSysColorBrush(COLOR_BTNSHADOW));
  }
}

LRESULT CALLBACK DropDownList::StaticProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* created = static_cast<DropDownList*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    created->hwnd_ = UniqueWindow(hwnd);
  }
  auto* self = reinterpret_cast<DropDownList*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(hwnd, message, wparam, lparam);
  return self->HandleMessage(message, wparam, lparam);
}

LRESULT DropDownList::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) noexcept {
  const Point point{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
  switch (message) {
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_PAINT: {
      ScopedPaint paint(hwnd_.Get());
      HDC dc = paint.dc();
      if (dc == nullptr) return 0;
      RECT client;
      ::GetClientRect(hwnd_.Get(), &client);
      // Drawn off screen first, so scrolling does not flicker.
      UniqueMemoryDc memory(::CreateCompatibleDC(dc));
      UniqueGdiObject bitmap(
          ::CreateCompatibleBitmap(dc, std::max<int>(1, client.right), std::max<int>(1, client.bottom)));
      if (memory && bitmap) {
        ScopedSelectObject select(memory.Get(), bitmap.Get());
        Paint(memory.Get(), {client.right, client.bottom});
        ::BitBlt(dc, 0, 0, client.right, client.bottom, memory.Get(), 0, 0, SRCCOPY);
      }
      return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_MOUSEMOVE: {
      const int index = ItemAt(point);
      if (index >= 0) SetHot(index);
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      RECT client;
      ::GetClientRect(hwnd_.Get(), &client);
      // A press outside the list (the capture brings it here) closes it; a
      // press on the scroll strip pages towards it.
      if (point.x < 0 || point.y < 0 || point.x >= client.right || point.y >= client.bottom)
        Finish(-1);
      else if (ItemAt(point) < 0)
        ScrollTo(top_ + (point.y < client.bottom / 2 ? -shown_rows() : shown_rows()));
      return 0;
    }
    case WM_LBUTTONUP: {
      const int index = ItemAt(point);
      if (index >= 0) Finish(index);
      return 0;
    }
    case WM_MOUSEWHEEL: Wheel(GET_WHEEL_DELTA_WPARAM(wparam)); return 0;
    case WM_NCDESTROY: {
      // Destroyed with its owner: nothing is left to destroy later.
      HWND hwnd = hwnd_.Release();
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      return ::DefWindowProcW(hwnd, message, wparam, lparam);
    }
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lparam) != hwnd_.Get()) Finish(-1);
      return 0;
    default: break;
  }
  return ::DefWindowProcW(hwnd_.Get(), message, wparam, lparam);
}

}  // namespace toolkit
