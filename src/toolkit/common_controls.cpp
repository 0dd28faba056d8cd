#include "toolkit/common_controls.h"

#include "toolkit/log.h"

namespace toolkit {
namespace {

template <class Function>
Function Lookup(HMODULE module, const char* name) {
  return module == nullptr ? nullptr
                           : reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

}  // namespace

const CommonControls& LoadCommonControls() {
  static const CommonControls loaded = [] {
    // Never freed: windows of its classes live until the process ends.
    HMODULE module = ::LoadLibraryW(L"comctl32.dll");
    if (module == nullptr) LogLine(L"the common controls library cannot be loaded");
    CommonControls functions;
    functions.init = Lookup<CommonControls::InitFunction>(module, "InitCommonControlsEx");
    functions.set_subclass = Lookup<CommonControls::SetSubclassFunction>(module, "SetWindowSubclass");
    functions.remove_subclass = Lookup<CommonControls::RemoveSubclassFunction>(module, "RemoveWindowSubclass");
    functions.def_subclass_proc = Lookup<CommonControls::DefSubclassFunction>(module, "DefSubclassProc");
    return functions;
  }();
  return loaded;
}

}  // namespace toolkit
