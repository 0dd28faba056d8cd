// Owners for the COM objects the toolkit holds and makes: interface
// references, BSTRs, memory handed to streams, OLE on the UI thread, and the
// reference count of our own COM objects.
#pragma once

#include <ole2.h>

#include <utility>

#include "platform/unique_resource.h"
#include "platform/windows_api.h"

namespace toolkit {

template <class Interface>
struct ComTraits {
  using Handle = Interface*;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { h->Release(); }
};

// One reference to a COM interface.
template <class Interface>
using UniqueCom = platform::UniqueResource<ComTraits<Interface>>;

// Another interface of `object` (empty when it has none).
template <class Interface>
[[nodiscard]] UniqueCom<Interface> QueryInterfaceOf(IUnknown* object, REFIID id) {
  UniqueCom<Interface> result;
  if (object != nullptr) (void)object->QueryInterface(id, reinterpret_cast<void**>(result.Receive()));
  return result;
}

struct BstrTraits {
  using Handle = BSTR;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::SysFreeString(h); }
};
using UniqueBstr = platform::UniqueResource<BstrTraits>;

// Movable global memory, as streams over memory (CreateStreamOnHGlobal) take it.
struct GlobalMemoryTraits {
  using Handle = HGLOBAL;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::GlobalFree(h); }
};
using UniqueGlobalMemory = platform::UniqueResource<GlobalMemoryTraits>;

// The bytes of movable global memory, locked for one scope.
class ScopedGlobalLock {
 public:
  explicit ScopedGlobalLock(HGLOBAL memory) : memory_(memory), data_(::GlobalLock(memory)) {}
  ~ScopedGlobalLock() {
    if (data_ != nullptr) ::GlobalUnlock(memory_);
  }
  ScopedGlobalLock(const ScopedGlobalLock&) = delete;
  ScopedGlobalLock& operator=(const ScopedGlobalLock&) = delete;
  [[nodiscard]] void* data() const { return data_; }

 private:
  HGLOBAL memory_;
  void* data_;
};

// OLE on this thread for the owner's life (in-place activation needs it).
class ScopedOle {
 public:
  ScopedOle() : initialized_(SUCCEEDED(::OleInitialize(nullptr))) {}
  ~ScopedOle() {
    if (initialized_) ::OleUninitialize();
  }
  ScopedOle(const ScopedOle&) = delete;
  ScopedOle& operator=(const ScopedOle&) = delete;
  [[nodiscard]] bool initialized() const { return initialized_; }

 private:
  bool initialized_;
};

// A COM object of ours: the interfaces T implements, with AddRef and
// Release counted here. MakeComObject hands out the first reference; the
// last Release ends the object, as COM requires of every object.
template <class T>
class ComObject final : public T {
 public:
  template <class... Args>
  explicit ComObject(Args&&... args) : T(std::forward<Args>(args)...) {}
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&references_)); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = ::InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

 private:
  ~ComObject() = default;
  LONG references_ = 1;
};

template <class T, class... Args>
[[nodiscard]] UniqueCom<ComObject<T>> MakeComObject(Args&&... args) {
  return UniqueCom<ComObject<T>>(new ComObject<T>(std::forward<Args>(args)...));
}

}  // namespace toolkit
