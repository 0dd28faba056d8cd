// Owners for the GDI objects the toolkit creates.
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

using UniqueGdiObject = platform::UniqueResource<GdiObjectTraits>;
using UniqueMemoryDc = platform::UniqueResource<MemoryDcTraits>;

// Selects an object into a DC for one scope.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(::SelectObject(dc, object)) {}
  ~ScopedSelectObject() { ::SelectObject(dc_, old_); }
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

}  // namespace toolkit
