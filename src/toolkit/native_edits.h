// The native EDIT (or rich edit) children that show a window's Edit
// controls: one map from native window to control. Each is made once, when
// first needed: making the first one loads the common controls (tens of
// milliseconds), which the window's first frame must not wait for. Until
// then the control keeps its text, limits and flags, and the child takes
// them when it is made. They are placed, shown and enabled with their
// controls, given the description's fonts and colours, and answer the
// notifications (WM_COMMAND) and colour questions (WM_CTLCOLOR…) their
// parent window receives. Tab, Enter and Esc typed into them go to the
// window, as in the rest of it.
#pragma once

#include <map>
#include <vector>

#include "platform/windows_api.h"
#include "toolkit/gdi_owners.h"

namespace toolkit {

class Control;
class Edit;
class WindowCore;

// Which edits still waiting for their native child to make.
enum class Waiting {
  kNone,
  kShown,  // those that show now (the control and all its parents visible)
  kAll,
};

// Read-only and password flags, limit and (rich edits) background of
// `edit` onto its native child, after they changed.
void UpdateNativeEdit(HWND native, const Edit& edit);

class NativeEdits {
 public:
  NativeEdits(HWND parent, WindowCore& core);
  // The native windows are gone with their parent by then; the controls
  // paint their own text again.
  ~NativeEdits();
  NativeEdits(const NativeEdits&) = delete;
  NativeEdits& operator=(const NativeEdits&) = delete;

  // `edit` shows in a native child from when it is made (Place, MakeNext
  // or Make); until then the control paints its text itself.
  void Add(Edit& edit);
  // `control` goes away: its native child goes too.
  void Remove(const Control* control);
  // Makes the waiting edits `making` names, then places every child over its
  // control, shown and enabled as it is.
  void Place(Waiting making);
  // Makes and places one waiting edit of those `which` names (shown ones
  // first); false when none waits.
  bool MakeNext(Waiting which);
  // The native child of `control`, made now if it waits (it is to take the
  // focus); nullptr when it has none.
  HWND Make(const Control* control);
  // The description's fonts at the window's current DPI.
  void ApplyFonts();
  // The native child of `control`, or nullptr.
  [[nodiscard]] HWND NativeOf(const Control* control) const;
  // WM_COMMAND: true when it came from one of these children.
  bool OnCommand(WPARAM wparam, LPARAM lparam);
  // WM_CTLCOLOREDIT and WM_CTLCOLORSTATIC: the background brush.
  [[nodiscard]] HBRUSH OnColor(HDC dc, HWND child);

 private:
  static LRESULT CALLBACK KeyProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id, DWORD_PTR data);
  // Makes the native child of `edit` (a failure is logged; the control
  // then paints its text itself) and places it.
  HWND MakeNative(Edit& edit);
  void PlaceOne(HWND native, const Edit& edit);

  struct Child {
    Edit* edit;
    UniqueWindow native;  // destroyed when its control goes, else with the parent
  };

  HWND parent_;
  WindowCore& core_;
  int next_id_ = 100;
  std::map<HWND, Child> edits_;
  std::vector<Edit*> waiting_;  // in the tree's order, none made yet
  UniqueGdiObject brush_;
  COLORREF brush_color_ = 0;
};

}  // namespace toolkit
