// Owners for the GDI and window objects the toolkit creates or borrows:
// GDI objects, memory DCs, icons and windows it destroys, and for one scope
// a selected object, a saved DC state, a window's DC and a paint.
#pragma once

#include "platform/unique_resource.h"
#include "platform/windows_api.h"

namespace toolkit {

struct GdiObjectTraits {
  using Handle = HGDIOBJ;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::DeleteObject(h); }
};

struct MemoryDcTraits {
  using Handle = HDC;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::DeleteDC(h); }
};

struct IconTraits {
  using Handle = HICON;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::DestroyIcon(h); }
};

// A window the toolkit destroys when its owner goes. A window the system
// destroys first (with its owner window) is let go at WM_NCDESTROY.
struct WindowTraits {
  using Handle = HWND;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::DestroyWindow(h); }
};

using UniqueGdiObject = platform::UniqueResource<GdiObjectTraits>;
using UniqueMemoryDc = platform::UniqueResource<MemoryDcTraits>;
using UniqueIcon = platform::UniqueResource<IconTraits>;
using UniqueWindow = platform::UniqueResource<WindowTraits>;

// Selects an object into a DC for one scope (nothing when it is null).
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object)
      : dc_(dc), old_(object != nullptr ? ::SelectObject(dc, object) : nullptr) {}
  ~ScopedSelectObject() {
    if (old_ != nullptr) ::SelectObject(dc_, old_);
  }
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// Saves and restores a DC's state (clip region, colours) for one scope.
class ScopedSaveDc {
 public:
  explicit ScopedSaveDc(HDC dc) : dc_(dc), saved_(::SaveDC(dc)) {}
  ~ScopedSaveDc() { ::RestoreDC(dc_, saved_); }
  ScopedSaveDc(const ScopedSaveDc&) = delete;
  ScopedSaveDc& operator=(const ScopedSaveDc&) = delete;

 private:
  HDC dc_;
  int saved_;
};

// The DC of a window's client area (of the screen for nullptr) for one scope.
class ScopedWindowDc {
 public:
  explicit ScopedWindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
  ~ScopedWindowDc() {
    if (dc_ != nullptr) ::ReleaseDC(window_, dc_);
  }
  ScopedWindowDc(const ScopedWindowDc&) = delete;
  ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;
  [[nodiscard]] HDC Get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// One WM_PAINT: the DC and the area to paint, from BeginPaint to EndPaint.
class ScopedPaint {
 public:
  explicit ScopedPaint(HWND window) : window_(window), dc_(::BeginPaint(window, &paint_)) {}
  ~ScopedPaint() {
    if (dc_ != nullptr) ::EndPaint(window_, &paint_);
  }
  ScopedPaint(const ScopedPaint&) = delete;
  ScopedPaint& operator=(const ScopedPaint&) = delete;
  [[nodiscard]] HDC dc() const { return dc_; }
  [[nodiscard]] const RECT& area() const { return paint_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

}  // namespace toolkit
