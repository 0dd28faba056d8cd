// The list a combo box drops down: a pop-up window owned by the host window
// that never takes activation from it. It shows the items in the combo's
// font, scrolls when there are more than fit, follows the pointer and the
// keys the host forwards, and ends exactly once with the chosen index or
// none. The state and painting work without a window so tests can render
// them into a bitmap.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/windows_api.h"
#include "toolkit/gdi_owners.h"
#include "toolkit/geometry.h"

namespace toolkit {

class DropDownList {
 public:
  struct Look {
    HFONT font = nullptr;  // not owned; outlives the list
    int dpi = 96;
    int row_height = 20;    // pixels at `dpi`
    int visible_rows = 10;  // the most rows shown before scrolling
  };
  // `done` runs once with the chosen index, or -1 when the list closed
  // without a choice. It runs inside the list's own handling, so it must
  // not destroy the list (the host posts itself a message instead).
  using DoneHandler = std::function<void(int chosen)>;

  DropDownList(std::vector<std::wstring> items, int current, const Look& look);
  ~DropDownList();
  DropDownList(const DropDownList&) = delete;
  DropDownList& operator=(const DropDownList&) = delete;

  // Opens the pop-up below `anchor` (screen coordinates of the combo), or
  // above it when the work area has no room below. False when the window
  // cannot be made (or there is no owner); `done` is kept either way.
  [[nodiscard]] bool Open(HWND owner, const RECT& anchor, DoneHandler done);
  [[nodiscard]] HWND hwnd() const { return hwnd_.Get(); }

  // Keys and characters the host forwards while the list is open; true when
  // the list used them.
  bool KeyDown(UINT key);
  bool Char(wchar_t character);
  void Wheel(int delta);
  // Ends the list with `chosen` (-1: no choice); later calls do nothing.
  void Finish(int chosen);

  [[nodiscard]] int hot() const { return hot_; }
  [[nodiscard]] int top() const { return top_; }
  [[nodiscard]] int shown_rows() const;
  [[nodiscard]] Size ClientSize(int min_width) const;
  // The item under a client point, or -1.
  [[nodiscard]] int ItemAt(Point point) const;
  void SetHot(int index);
  // Paints the client area (`size` pixels) into `dc`.
  void Paint(HDC dc, Size size) const;

 private:
  static LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) noexcept;
  void ScrollTo(int top);
  void Redraw();

  std::vector<std::wstring> items_;
  int current_;
  Look look_;
  int hot_;
  int top_ = 0;
  UniqueWindow hwnd_;  // from WM_NCCREATE until destroyed (here or with its owner)
  DoneHandler done_;
  bool finished_ = false;
};

}  // namespace toolkit
